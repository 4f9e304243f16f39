// Timer-driven answering of modal boxes and a recording display hook, shared by the message-box tests.
#include "msgbox_driver.h"
#include "kvkernel.h"
#include "kvmsgbox.h"

namespace msgboxtest {

const wchar_t* const kAppName = L"Tarrow Box Test";

namespace {
BoxDriver* g_driver = nullptr;
constexpr int kMaxIdleTicks = 100; // 5 s without a dialog ends the steps
}

void ResetMessageBoxes(HWND appWindow) {
    if (!KvKernel_GetLanguage()) KvKernel_Init(GetModuleHandleW(nullptr));
    KvMsgBoxSetAppData(GetModuleHandleW(nullptr), appWindow, kAppName);
}

BoxDriver::BoxDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
    g_driver = this;
    timer_ = SetTimer(nullptr, 0, 50, OnTimer);
}

BoxDriver::~BoxDriver() {
    KillTimer(nullptr, timer_);
    g_driver = nullptr;
}

void CALLBACK BoxDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver) g_driver->Tick();
}

void BoxDriver::Tick() {
    HWND box = FindBox();
    if (!box) {
        if (next_ < steps_.size() && ++idleTicks_ > kMaxIdleTicks) next_ = steps_.size();
        return;
    }
    sawDialog_ = true;
    if (next_ < steps_.size()) {
        if (steps_[next_](box)) ++next_;
        return;
    }
    EndDialog(box, 0);
}

HWND FindBox() {
    struct Search { HWND found = nullptr; } search;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM param) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 && WindowText(window) == kAppName) {
            reinterpret_cast<Search*>(param)->found = window;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

BoxDriver::Step Click(int id) {
    return [id](HWND dialog) {
        HWND button = GetDlgItem(dialog, id);
        if (!button || !IsWindowEnabled(button)) return false;
        PostMessageW(button, BM_CLICK, 0, 0);
        return true;
    };
}

BoxDriver::Step PressKey(UINT key) {
    return [key](HWND dialog) {
        HWND focus = GetFocus();
        if (!focus || (focus != dialog && !IsChild(dialog, focus))) return false;
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
        return true;
    };
}

BoxDriver::Step Check(std::function<void(HWND dialog)> checks) {
    return [checks](HWND dialog) {
        checks(dialog);
        return true;
    };
}

namespace {
int CALLBACK RecordingHook(void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    auto* recorder = static_cast<HookRecorder*>(data);
    ++recorder->calls;
    recorder->owner = owner;
    recorder->text = text ? text : L"";
    recorder->caption = caption ? caption : L"(none)";
    recorder->style = style;
    return recorder->answer;
}
}

void HookRecorder::Install() { KvMsgBoxSetHook(RecordingHook, this); }

} // namespace msgboxtest
