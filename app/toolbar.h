// The frame's toolbar: images from bitmap 132, the twelve buttons, tooltips, the destination drop-down, states.
#pragma once
#include <windows.h>
#include <commctrl.h>

struct FrameState;

constexpr int TOOLBAR_ID = 20;

// Builds the three image lists and the toolbar. 0x8004E00F when the toolbar window cannot be made.
HRESULT CreateToolbar(HWND frame, FrameState& state);
// Detaches the image lists and destroys the toolbar and the lists.
void DestroyToolbar(FrameState& state);

// The string id of a command's tooltip, 0 when it has none.
UINT ToolbarTipStringId(UINT command);
// Answers a tooltip request or the destination button's drop-down; false for other notifications.
bool OnToolbarNotify(FrameState& state, const NMHDR* header, LRESULT* result);

// Enables and disables the buttons by the command states.
void UpdateToolbarStates(FrameState& state);
