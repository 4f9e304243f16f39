// Start-up, message loop and shutdown of the program.
#pragma once
#include <windows.h>

int AppMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showCommand);
HWND AppInitInstance(HINSTANCE instance, int showCommand, int* exitCode);
int AppRunMessageLoop();
int AppExitInstance(HINSTANCE instance, int exitCode);
