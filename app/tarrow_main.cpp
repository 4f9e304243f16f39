// Process entry point of tarrow.exe.
#include <windows.h>
#include "app_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return AppMain(instance, showCommand);
}
