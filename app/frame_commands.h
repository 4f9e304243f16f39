// The frame's command dispatch: menu, toolbar and accelerator commands.
#pragma once
#include <windows.h>

struct FrameState;

// Runs a command; false for commands the frame does not handle (they go to the default processing).
bool OnFrameCommand(FrameState& state, UINT command, HWND control, UINT code);
