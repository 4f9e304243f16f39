// Start-up, message loop and shutdown of the program: for now one empty frame window.
#include "app_main.h"

namespace {

const wchar_t kFrameClass[] = L"Tarrow.Class.Frame";

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int AppMain(HINSTANCE instance, int showCommand) {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = FrameWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassExW(&wc)) return 3;
    HWND frame = CreateWindowExW(0, kFrameClass, L"Varden Tarrow", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 800, 600, nullptr, nullptr, instance, nullptr);
    if (!frame) return 3;
    ShowWindow(frame, showCommand);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
