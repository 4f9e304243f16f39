// The message-box family under Wine: the library's dialog answered from a timer, the display hook, the system box.
#include <doctest.h>
#include "msgbox_driver.h"
#include "resource.h"

using namespace msgboxtest;

namespace {

struct SetCase {
    UINT set;
    std::vector<int> buttons; // results, in order
    int escapeResult;         // what Escape and Close answer
};

// The sets the program asks with: OK, Yes/No/Cancel (save changes?) and the five buttons of the overwrite question.
const std::vector<SetCase> kFamilies = {
    {0, {IDOK}, IDOK}, {3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
    {13, {IDYES, KVMB_ID_YESTOALL, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
};

const wchar_t* Library(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }

const wchar_t* ButtonText(int result) {
    const struct { int result; UINT text; } texts[] = {
        {IDOK, IDS_KV_BUTTON_OK}, {IDCANCEL, IDS_KV_BUTTON_CANCEL}, {IDYES, IDS_KV_BUTTON_YES},
        {IDNO, IDS_KV_BUTTON_NO}, {KVMB_ID_YESTOALL, IDS_KV_BUTTON_YES_TO_ALL}, {KVMB_ID_NOTOALL, IDS_KV_BUTTON_NO_TO_ALL}};
    for (const auto& row : texts) if (row.result == result) return Library(row.text);
    return L"?";
}

RECT ChildRect(HWND dialog, HWND child) { // in the dialog's coordinates; pass nullptr for the screen's
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every visible control lies inside the client area and no two overlap.
void CheckTidyLayout(HWND dialog) {
    RECT client, overlap;
    GetClientRect(dialog, &client);
    std::vector<RECT> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const RECT a = ChildRect(dialog, child);
        CAPTURE(GetDlgCtrlID(child));
        CHECK(a.left >= client.left);
        CHECK(a.top >= client.top);
        CHECK(a.right <= client.right);
        CHECK(a.bottom <= client.bottom);
        for (const RECT& b : shown) CHECK_FALSE(IntersectRect(&overlap, &a, &b));
        shown.push_back(a);
    }
}

} // namespace

TEST_CASE("message dialog: every button set shows its buttons in order, tidily, and returns the one pressed") {
    ResetMessageBoxes();
    for (const SetCase& family : kFamilies) {
        CAPTURE(family.set);
        for (int pressed : family.buttons) {
            CAPTURE(pressed);
            BoxDriver driver({Check([&](HWND dialog) {
                                  int lastRight = -1;
                                  for (int id : family.buttons) {
                                      HWND button = GetDlgItem(dialog, id);
                                      CHECK(button); // never REQUIRE here: no exception may cross the modal loop
                                      if (!button) continue;
                                      CHECK(WindowText(button) == ButtonText(id));
                                      CHECK(ChildRect(dialog, button).left > lastRight);
                                      lastRight = ChildRect(dialog, button).right;
                                  }
                                  CheckTidyLayout(dialog);
                              }),
                              Click(pressed)});
            CHECK(KvMsgBox_Custom(nullptr, family.set | KVMB_ICONQUESTION, nullptr, L"Pick %d.", pressed) == pressed);
            CHECK(driver.sawDialog());
        }
    }
}

TEST_CASE("message dialog: Escape and Close answer as the set says, Enter presses the first button") {
    ResetMessageBoxes();
    for (const SetCase& family : kFamilies) {
        CAPTURE(family.set);
        const std::pair<BoxDriver::Step, int> ends[] = {
            {PressKey(VK_ESCAPE), family.escapeResult}, {CloseBox(), family.escapeResult},
            {PressKey(VK_RETURN), family.buttons.front()}};
        for (const auto& [step, expected] : ends) {
            BoxDriver driver({step});
            CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"Escape, Close or Enter") == expected);
        }
    }
}

TEST_CASE("message boxes: the display hook answers every box; -1 lets it show; new application data removes it") {
    HookRecorder hook;
    ResetMessageBoxes();
    hook.answer = 7;
    hook.Install();
    {
        BoxDriver guard({}); // ends any box that appears by mistake
        CHECK(KvMsgBox_Custom(KVMB_NOOWNER, 0x33, nullptr, L"%d presets in $(NoSuchToken)%s", 3, L"!") == 7);
        CHECK(hook.caption == kAppName);
        CHECK(hook.style == 0x33);
        CHECK(hook.owner == nullptr);
        CHECK(hook.text == L"3 presets in $(NoSuchToken)!");
        CHECK(KvMessageBox(nullptr, L"Plain", L"Own caption", MB_OK) == 7);
        CHECK(hook.caption == L"Own caption");
        CHECK(KvMsgBoxId(KvKernel_GetLanguage(), nullptr, MB_OK, IDS_OPEN_FILE_MISSING, L"C:\\x.kvpreset") == 7);
        CHECK(hook.text.find(L"C:\\x.kvpreset") != std::wstring::npos);
        CHECK(hook.calls == 3);
        CHECK_FALSE(guard.sawDialog());
    }
    hook.answer = -1;
    {
        BoxDriver driver({Click(IDNO)});
        CHECK(KvMsgBox_Custom(nullptr, 3, nullptr, L"Shown anyway") == IDNO);
        CHECK(driver.sawDialog());
    }
    ResetMessageBoxes();
    BoxDriver second({Click(IDOK)});
    CHECK(KvMsgBox_Custom(nullptr, 0, nullptr, L"No hook") == IDOK);
    CHECK(hook.calls == 4);
}
