// Process entry point of tarrow.exe.
#include <windows.h>
#include "app_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showCommand) {
    return AppMain(instance, previous, commandLine, showCommand);
}
