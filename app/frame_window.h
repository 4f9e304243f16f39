// The program's frame window: class registration, creation, the window procedure and its handlers.
#pragma once
#include <windows.h>

struct KvMetricHandle;

constexpr wchar_t FRAME_CLASS_NAME[] = L"Tarrow.Class.Frame";

// Creates the frame window (hidden; the caller applies the placement and shows it) with a FrameState of its own,
// freed when the window goes. Uses the language, settings and document of g_appContext. 0x8007000E when the class
// or the state cannot be made, 0x8004E00F when the window cannot.
HRESULT CreateFrameWindow(HINSTANCE instance, HWND* frame);

// Applies the placement stored at the last destruction (setting 100), or a default size, and shows the window so.
void ApplyStoredPlacement(HWND frame, KvMetricHandle* settings);
