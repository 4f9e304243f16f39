// The program's frame window: class registration, creation and its message handlers.
#include "frame_window.h"
#include "frame_state.h"
#include "about_box.h"
#include "app_context.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvresult.h"
#include "resource.h"
#include <new>

namespace {

constexpr int kPlacementSetting = 100;

BOOL OnNcCreate(HWND window, const CREATESTRUCTW* create) {
    auto* state = static_cast<FrameState*>(create->lpCreateParams);
    state->frame = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return TRUE;
}

bool OnCommand(HWND window, UINT id) {
    switch (id) {
    case ID_HELP_ABOUT: ShowAboutBox(window); return true;
    case ID_FILE_EXIT: PostMessageW(window, WM_CLOSE, 0, 0); return true;
    default: return false;
    }
}

void OnDestroy(HWND window) {
    KvWindowPlacement(window, g_appContext.settings, kPlacementSetting, KV_PLACEMENT_SAVE);
    g_appContext.frameWindow = nullptr;
    PostQuitMessage(0);
}

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        OnNcCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        break;
    case WM_COMMAND:
        if (OnCommand(window, LOWORD(wParam))) return 0;
        break;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

HRESULT CreateFrameWindow(HINSTANCE instance, HWND* frame) {
    *frame = nullptr;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FrameWndProc;
    wc.hInstance = instance;
    wc.hIcon = KvLoadIcon(g_appContext.language, IDI_TARROW);
    wc.hIconSm = wc.hIcon;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    wc.lpszClassName = FRAME_CLASS_NAME;
    if (!RegisterClassExW(&wc)) return KV_E_OUTOFMEMORY;

    auto* state = new (std::nothrow) FrameState{};
    if (!state) return KV_E_OUTOFMEMORY;
    g_appContext.frameState = state;
    g_appContext.accelerators = KvLoadAccelerators(g_appContext.language, IDR_MAIN_ACCELERATORS);

    HWND window = CreateWindowExW(0, FRAME_CLASS_NAME, g_appContext.productName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, state);
    if (!window) return KV_E_WINDOW_CREATE;
    g_appContext.frameWindow = window;
    *frame = window;
    UpdateTitle(window, &g_appContext.document);
    return 0;
}
