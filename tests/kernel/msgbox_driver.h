// Answers the library's modal boxes from a thread timer that fires inside their modal loops.
#pragma once
#include <windows.h>
#include "wide_string_maker.h"
#include <functional>
#include <string>
#include <vector>

namespace msgboxtest {

extern const wchar_t* const kAppName;

// Opens the library's strings once and sets the family's application data (which drops any display hook).
void ResetMessageBoxes(HWND appWindow = nullptr);

// Runs steps, one per timer tick, against the first visible dialog-class window of this thread titled
// kAppName; a step returns false to be run again on the next tick. If the dialog is still open when the
// steps run out, it is ended with result 0 so that no test waits for a person.
class BoxDriver {
public:
    using Step = std::function<bool(HWND dialog)>;
    explicit BoxDriver(std::vector<Step> steps);
    ~BoxDriver();
    BoxDriver(const BoxDriver&) = delete;
    BoxDriver& operator=(const BoxDriver&) = delete;
    bool sawDialog() const { return sawDialog_; }
    bool finished() const { return next_ >= steps_.size(); }
private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    std::vector<Step> steps_;
    size_t next_ = 0;
    int idleTicks_ = 0;
    bool sawDialog_ = false;
    UINT_PTR timer_ = 0;
};

HWND FindBox();
std::wstring WindowText(HWND window);
// Steps.
BoxDriver::Step Click(int id);
BoxDriver::Step PressKey(UINT key); // to the control with the focus, as a person would
BoxDriver::Step Check(std::function<void(HWND dialog)> checks);

// A display hook that records its calls and answers with a fixed result.
struct HookRecorder {
    int answer = -1;
    int calls = 0;
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT style = 0;
    void Install();
};

} // namespace msgboxtest

