// Start-up, message loop and shutdown of the program.
#pragma once
#include <windows.h>

int AppMain(HINSTANCE instance, int showCommand);
