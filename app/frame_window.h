// The program's frame window: class registration, creation and its message handlers.
#pragma once
#include <windows.h>

constexpr wchar_t FRAME_CLASS_NAME[] = L"Tarrow.Class.Frame";

// The frame window's own record, reached from its user data.
struct FrameState {
    HWND window;
};

// Registers the frame class and creates the frame window; the state goes to g_appContext.frameState.
HRESULT FrameCreate(HINSTANCE instance, HWND* frame);
