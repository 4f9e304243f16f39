// Answers the library's modal boxes from a thread timer that fires inside their modal loops, and records the
// display hook's calls.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "kvkernel.h"
#include "kvmsgbox.h"
#include "wide_string_maker.h"

namespace msgboxtest {

inline const wchar_t* const kAppName = L"Tarrow Box Test";

inline std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// Opens the library's strings once and sets the family's application data (which drops any display hook).
inline void ResetMessageBoxes(HWND appWindow = nullptr) {
    if (!KvKernel_GetLanguage()) KvKernel_Init(GetModuleHandleW(nullptr));
    KvMsgBoxSetAppData(GetModuleHandleW(nullptr), appWindow, kAppName);
}

// The first visible dialog-class window of this thread titled kAppName.
inline HWND FindBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM param) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (!IsWindowVisible(window) || wcscmp(className, L"#32770") != 0 || WindowText(window) != kAppName) return TRUE;
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs steps, one per timer tick, against the box; a step returns false to be run again on the next tick. A box
// still open when the steps run out (or after 5 s without one) is ended with 0 so that no test waits for a person.
class BoxDriver {
public:
    using Step = std::function<bool(HWND dialog)>;
    explicit BoxDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
        current() = this;
        timer_ = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { if (current()) current()->Tick(); });
    }
    ~BoxDriver() { KillTimer(nullptr, timer_); current() = nullptr; }
    BoxDriver(const BoxDriver&) = delete;
    BoxDriver& operator=(const BoxDriver&) = delete;
    bool sawDialog() const { return sawDialog_; }
private:
    static BoxDriver*& current() { static BoxDriver* driver = nullptr; return driver; }
    void Tick() {
        HWND box = FindBox();
        if (!box && next_ < steps_.size() && ++idleTicks_ > 100) next_ = steps_.size();
        if (!box) return;
        sawDialog_ = true;
        if (next_ >= steps_.size()) EndDialog(box, 0);
        else if (steps_[next_](box)) ++next_;
    }
    std::vector<Step> steps_;
    size_t next_ = 0;
    int idleTicks_ = 0;
    bool sawDialog_ = false;
    UINT_PTR timer_ = 0;
};

inline BoxDriver::Step Click(int id) {
    return [id](HWND dialog) {
        HWND button = GetDlgItem(dialog, id);
        return button && IsWindowEnabled(button) && PostMessageW(button, BM_CLICK, 0, 0);
    };
}
// To the control with the focus, as a person would.
inline BoxDriver::Step PressKey(UINT key) {
    return [key](HWND dialog) {
        HWND focus = GetFocus();
        if (!focus || (focus != dialog && !IsChild(dialog, focus))) return false;
        return PostMessageW(focus, WM_KEYDOWN, key, 1) && PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    };
}
inline BoxDriver::Step Check(std::function<void(HWND dialog)> checks) {
    return [checks](HWND dialog) { checks(dialog); return true; };
}
inline BoxDriver::Step CloseBox() {
    return [](HWND dialog) { return PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; };
}

// A display hook that records its calls and answers with a fixed result.
struct HookRecorder {
    int answer = -1, calls = 0;
    HWND owner = nullptr;
    std::wstring text, caption;
    UINT style = 0;
    void Install() {
        KvMsgBoxSetHook([](void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
            auto* self = static_cast<HookRecorder*>(data);
            *self = {self->answer, self->calls + 1, owner, text ? text : L"", caption ? caption : L"(none)", style};
            return self->answer;
        }, this);
    }
};

} // namespace msgboxtest
