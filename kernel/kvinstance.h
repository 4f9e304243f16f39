// Finding and activating an already running instance of a program by its main window class.
#pragma once
#include <windows.h>

// Activates the running instance's window (restoring it when minimised) and returns it; null when none runs.
HWND KvActivatePrevAppInstance(const wchar_t* className);
