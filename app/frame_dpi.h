// The frame at another display scale: what WM_DPICHANGED changes.
#pragma once
#include <windows.h>

struct FrameState;

// Makes the font, the images, the toolbar and the layout those of dpi, keeps each tree's share of its side, and
// takes the suggested window rectangle (unless a stored placement is being applied, which is already sized).
void OnDpiChanged(FrameState& state, UINT dpi, const RECT* suggested);
