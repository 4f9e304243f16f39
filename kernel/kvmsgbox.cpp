// Application data, display hook and the system message box with its formatting wrappers.
#include "kvmsgbox.h"
#include "kvmsgbox_private.h"
#include <cwchar>
#include <string>

namespace {

// Process-wide data of the family; reset whole by KvMsgBoxSetAppData.
struct MsgBoxAppData {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;          // the application window, none until the frame exists
    std::wstring appName;           // caption of every box shown without one of its own
    KVMSGBOXHOOK hook = nullptr;
    void* hookData = nullptr;
    DWORD thread = 0;               // the thread that set the data (the user-interface thread)
};
MsgBoxAppData g_appData;

// The one-shot centring hook of the system box; one box at a time.
struct CentreHook {
    HHOOK hook = nullptr;
    std::wstring caption;
    HWND owner = nullptr;
};
CentreHook g_centre;

bool IsDialogClass(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return wcscmp(className, L"#32770") == 0;
}

bool HasTitle(HWND window, const std::wstring& title) {
    int length = GetWindowTextLengthW(window);
    if (length != static_cast<int>(title.size())) return false;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text == title;
}

// Activation rather than creation: by then the box has laid itself out and has its final size.
LRESULT CALLBACK CentreHookProc(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK self = g_centre.hook;
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogClass(window) && HasTitle(window, g_centre.caption)) {
            KvMsgBox_CentreWindow(window, g_centre.owner);
            UnhookWindowsHookEx(self);
            g_centre.hook = nullptr;
        }
    }
    return CallNextHookEx(self, code, wParam, lParam);
}

} // namespace

HINSTANCE KvMsgBox_Instance() {
    return g_appData.instance ? g_appData.instance : GetModuleHandleW(nullptr);
}

const wchar_t* KvMsgBox_AppName() { return g_appData.appName.c_str(); }

HWND KvMsgBox_ResolveOwner(HWND owner) {
    if (owner == KVMB_NOOWNER) return nullptr;
    if (owner) return owner;
    if (g_appData.window && IsWindow(g_appData.window)) return GetLastActivePopup(g_appData.window);
    return nullptr;
}

bool KvMsgBox_CallHook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int* result) {
    if (!g_appData.hook) return false;
    int answer = g_appData.hook(g_appData.hookData, owner, text, caption, style);
    if (answer == -1) return false;
    *result = answer;
    return true;
}

void KvMsgBox_FormatText(wchar_t* out, size_t capacity, const wchar_t* format, va_list args) {
    if (capacity == 0) return;
    out[0] = L'\0';
    if (!format) return;
    if (wcschr(format, L'%') || wcschr(format, L'$')) {
        KvVPrintFN(out, capacity, format, args);
    } else {
        wcsncpy(out, format, capacity - 1);
        out[capacity - 1] = L'\0';
    }
}

void KvMsgBox_CentreWindow(HWND window, HWND owner) {
    RECT box;
    if (!GetWindowRect(window, &box)) return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    HWND reference = (owner && IsWindowVisible(owner) && !IsIconic(owner)) ? owner : window;
    GetMonitorInfoW(MonitorFromWindow(reference, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT area = monitor.rcWork;
    RECT centreOn = area;
    if (reference == owner) GetWindowRect(owner, &centreOn);

    int width = box.right - box.left;
    int height = box.bottom - box.top;
    int x = centreOn.left + (centreOn.right - centreOn.left - width) / 2;
    int y = centreOn.top + (centreOn.bottom - centreOn.top - height) / 2;
    // Keep the whole box (its title bar above all) on the monitor.
    if (x + width > area.right) x = area.right - width;
    if (y + height > area.bottom) y = area.bottom - height;
    if (x < area.left) x = area.left;
    if (y < area.top) y = area.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int KvMsgBoxSetAppData(HINSTANCE instance, HWND appWindow, const wchar_t* appName) {
    g_appData = MsgBoxAppData{};
    g_appData.instance = instance;
    g_appData.window = appWindow;
    g_appData.appName = appName ? appName : L"";
    g_appData.thread = GetCurrentThreadId();
    return 1;
}

void KvMsgBoxSetHook(KVMSGBOXHOOK hook, void* data) {
    g_appData.hook = hook;
    g_appData.hookData = data;
}

int KvMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    owner = KvMsgBox_ResolveOwner(owner);
    int result = 0;
    if (KvMsgBox_CallHook(owner, text, caption, style, &result)) return result;
    if (!caption) caption = KvMsgBox_AppName();

    // A box opened from inside another box's hook window leaves the outer box its hook.
    bool centring = style != KVMB_SYSTEMMODALSTOP && !g_centre.hook;
    if (centring) {
        g_centre.caption = caption;
        g_centre.owner = owner;
        g_centre.hook = SetWindowsHookExW(WH_CBT, CentreHookProc, nullptr, GetCurrentThreadId());
    }
    result = MessageBoxW(owner, text ? text : L"", caption, style);
    if (centring && g_centre.hook) {
        UnhookWindowsHookEx(g_centre.hook);
        g_centre.hook = nullptr;
    }
    return result;
}

int KvMsgBox(HWND owner, UINT style, const wchar_t* format, ...) {
    wchar_t text[KVMB_TEXT_CAPACITY];
    va_list args;
    va_start(args, format);
    KvMsgBox_FormatText(text, KVMB_TEXT_CAPACITY, format, args);
    va_end(args);
    return KvMessageBox(owner, text, nullptr, style);
}

int KvMsgBoxId(tKVLANG* language, HWND owner, UINT style, UINT id, ...) {
    wchar_t text[KVMB_TEXT_CAPACITY];
    va_list args;
    va_start(args, id);
    KvMsgBox_FormatText(text, KVMB_TEXT_CAPACITY, KvGetString(language, id), args);
    va_end(args);
    return KvMessageBox(owner, text, nullptr, style);
}
