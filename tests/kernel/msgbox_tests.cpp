// The message-box family under Wine: the library's dialog answered from a timer, the display hook, the system box.
#include <doctest.h>
#include "msgbox_driver.h"
#include "resource.h"
#include <cstdlib>

using namespace msgboxtest;

namespace {

struct SetCase {
    UINT set;
    std::vector<int> buttons; // results, in order
    int escapeResult;         // 0: Escape is ignored
};

const std::vector<SetCase> kFamilies = {
    {0, {IDOK}, IDOK}, {7, {IDOK}, IDOK}, {1, {IDOK, IDCANCEL}, IDCANCEL}, {2, {IDABORT, IDRETRY, IDIGNORE}, 0},
    {3, {IDYES, IDNO, IDCANCEL}, IDCANCEL}, {4, {IDYES, IDNO}, 0}, {5, {IDRETRY, IDCANCEL}, IDCANCEL},
    {10, {IDYES, KVMB_ID_YESTOALL, IDNO, IDCANCEL}, IDCANCEL}, {11, {IDYES, IDNO, KVMB_ID_DELETE}, 0},
    {12, {IDYES, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
    {13, {IDYES, KVMB_ID_YESTOALL, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
};

const wchar_t* Library(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }

const wchar_t* ButtonText(int result) {
    const struct { int result; UINT text; } texts[] = {
        {IDOK, IDS_KV_BUTTON_OK}, {IDCANCEL, IDS_KV_BUTTON_CANCEL}, {IDABORT, IDS_KV_BUTTON_ABORT},
        {IDRETRY, IDS_KV_BUTTON_RETRY}, {IDIGNORE, IDS_KV_BUTTON_IGNORE}, {IDYES, IDS_KV_BUTTON_YES},
        {IDNO, IDS_KV_BUTTON_NO}, {KVMB_ID_YESTOALL, IDS_KV_BUTTON_YES_TO_ALL},
        {KVMB_ID_NOTOALL, IDS_KV_BUTTON_NO_TO_ALL}, {KVMB_ID_DELETE, IDS_KV_BUTTON_DELETE}};
    for (const auto& row : texts) if (row.result == result) return Library(row.text);
    return L"?";
}

RECT ChildRect(HWND dialog, HWND child) { // in the dialog's coordinates; pass nullptr for the screen's
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
int WindowHeight(HWND window) { return ChildRect(nullptr, window).bottom - ChildRect(nullptr, window).top; }

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

bool CloseIsGreyed(HWND dialog) {
    UINT state = GetMenuState(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

} // namespace

TEST_CASE("message dialog: every button set shows its buttons in order and returns the one pressed") {
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
                                  CHECK(CloseIsGreyed(dialog) == (family.escapeResult == 0));
                              }),
                              Click(pressed)});
            CHECK(KvMsgBox_Custom(nullptr, family.set | KVMB_ICONQUESTION, nullptr, L"Pick %d.", pressed) == pressed);
            CHECK(driver.sawDialog());
        }
    }
}

TEST_CASE("message dialog: Escape and Close follow the button set") {
    ResetMessageBoxes();
    for (const SetCase& family : kFamilies) {
        CAPTURE(family.set);
        if (family.escapeResult) {
            for (const BoxDriver::Step& step : {PressKey(VK_ESCAPE), CloseBox()}) {
                BoxDriver driver({step});
                CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"Escape or Close") == family.escapeResult);
            }
        } else { // neither key nor Close ends the box; a button still does
            bool stillOpen = false;
            BoxDriver driver({PressKey(VK_ESCAPE), CloseBox(), [](HWND) { return true; },
                              Check([&](HWND dialog) { stillOpen = IsWindowVisible(dialog) != FALSE; }),
                              Click(family.buttons.back())});
            CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"No way out") == family.buttons.back());
            CHECK(stillOpen);
        }
    }
}

TEST_CASE("message dialog: default button, details area and check box") {
    ResetMessageBoxes();
    SUBCASE("an index past the last button selects the last; Enter presses the default") {
        BoxDriver driver({Check([](HWND dialog) {
                              CHECK(GetFocus() == GetDlgItem(dialog, IDCANCEL));
                              CHECK(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == IDCANCEL);
                          }),
                          PressKey(VK_RETURN)});
        CHECK(KvMsgBox_Custom(nullptr, 0x533, nullptr, L"Default five") == IDCANCEL);
        BoxDriver second({PressKey(VK_RETURN)});
        CHECK(KvMsgBox_Custom(nullptr, 0x13D, nullptr, L"Default one") == KVMB_ID_YESTOALL);
    }
    SUBCASE("details grow and shrink the dialog and swap the button text") {
        int collapsed = 0;
        const wchar_t* details = L"Line one\r\nLine two";
        auto checkCollapsed = [&](HWND dialog) {
            CHECK(WindowHeight(dialog) == collapsed);
            CHECK_FALSE(IsWindowVisible(GetDlgItem(dialog, 1003)));
            CHECK(WindowText(GetDlgItem(dialog, KVMB_ID_DETAILS)) == Library(IDS_KV_DETAILS_SHOW));
        };
        BoxDriver driver({Check([&](HWND dialog) { collapsed = WindowHeight(dialog); checkCollapsed(dialog); }),
                          Click(KVMB_ID_DETAILS),
                          Check([&](HWND dialog) {
                              CHECK(WindowHeight(dialog) > collapsed);
                              CHECK(IsWindowVisible(GetDlgItem(dialog, 1003)));
                              CHECK(WindowText(GetDlgItem(dialog, 1003)) == details);
                              CHECK(WindowText(GetDlgItem(dialog, KVMB_ID_DETAILS)) == Library(IDS_KV_DETAILS_HIDE));
                              CheckTidyLayout(dialog);
                          }),
                          Click(KVMB_ID_DETAILS), Check(checkCollapsed), Click(IDOK)});
        CHECK(KvMsgBox_Custom(nullptr, KVMB_DETAILS | KVMB_ICONSTOP, details, L"Something failed.") == IDOK);
        CHECK(driver.finished());
    }
    SUBCASE("the check box starts from the state and writes it back; without a state there is no box") {
        BOOL state = TRUE;
        BoxDriver driver({Check([](HWND dialog) {
                              CHECK(IsDlgButtonChecked(dialog, 1002) == BST_CHECKED);
                              CHECK(WindowText(GetDlgItem(dialog, 1002)) == Library(IDS_KV_DONT_SHOW_AGAIN));
                          }),
                          Click(1002), Click(IDNO)});
        CHECK(KvMsgBox_CustomEx(nullptr, 0x1004, nullptr, nullptr, &state, L"Again?") == IDNO);
        CHECK(state == FALSE);
        CHECK(KvMsgBox_CustomEx(nullptr, 0x1000, nullptr, nullptr, nullptr, L"Nowhere") == 0);
    }
}

TEST_CASE("message boxes: the display hook short-circuits every box") {
    HookRecorder hook;
    ResetMessageBoxes();
    hook.answer = 7;
    hook.Install();
    BoxDriver guard({}); // ends any box that appears by mistake
    SUBCASE("library dialog gets the formatted text, the application name, the style and no owner") {
        CHECK(KvMsgBox_Custom(KVMB_NOOWNER, 0x33, nullptr, L"%d presets in $(NoSuchToken)%s", 3, L"!") == 7);
        CHECK(hook.calls == 1);
        CHECK(hook.caption == kAppName);
        CHECK(hook.style == 0x33);
        CHECK(hook.owner == nullptr);
        CHECK(hook.text == L"3 presets in $(NoSuchToken)!");
        CHECK(KvMsgBox_Custom(nullptr, KVMB_DETAILS, L"the details", L"Text") == 7);
        CHECK(hook.text == std::wstring(L"Text") + Library(IDS_KV_DETAILS_START) + L"the details" + Library(IDS_KV_DETAILS_END));
    }
    SUBCASE("a style with details but no details text shows nothing") {
        CHECK(KvMsgBox_Custom(nullptr, 0x4030, nullptr, L"Missing details") == 0);
        CHECK(KvMsgBox_Custom(nullptr, 0x8030, nullptr, L"Missing details") == 0);
        CHECK(hook.calls == 0);
    }
    SUBCASE("system box, its wrappers and the caption") {
        CHECK(KvMessageBox(nullptr, L"Plain", L"Own caption", MB_OK) == 7);
        CHECK(hook.caption == L"Own caption");
        CHECK(KvMsgBox(nullptr, MB_YESNO, L"100 %s", L"percent") == 7);
        CHECK(hook.text == L"100 percent");
        CHECK(hook.caption == L"(none)");
        CHECK(KvMsgBox(nullptr, MB_OK, L"Verbatim text") == 7);
        CHECK(hook.text == L"Verbatim text");
        CHECK(KvMsgBoxId(KvKernel_GetLanguage(), nullptr, MB_OK, IDS_KV_MESSAGE_MISSING, 0x8004E0FFu) == 7);
        CHECK(hook.text == L"\n\nError 0x8004e0ff (message missing)");
        CHECK(hook.calls == 4);
    }
    SUBCASE("a hook answering -1 lets the box show; new application data removes the hook") {
        hook.answer = -1;
        BoxDriver driver({Click(IDNO)});
        CHECK(KvMsgBox_Custom(nullptr, 4, nullptr, L"Shown anyway") == IDNO);
        CHECK(driver.sawDialog());
        CHECK(hook.calls == 1);
        ResetMessageBoxes();
        BoxDriver second({Click(IDOK)});
        CHECK(KvMsgBox_Custom(nullptr, 0, nullptr, L"No hook") == IDOK);
        CHECK(hook.calls == 1);
    }
    CHECK_FALSE(guard.sawDialog());
}

TEST_CASE("message boxes: owner rules") {
    HookRecorder hook;
    hook.answer = 1;
    HWND app = CreateWindowExW(0, L"STATIC", L"app", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    REQUIRE(app);
    ResetMessageBoxes(app);
    hook.Install();
    KvMsgBox_Custom(nullptr, 0, nullptr, L"owner");
    CHECK(hook.owner == GetLastActivePopup(app));
    KvMsgBox_Custom(KVMB_NOOWNER, 0, nullptr, L"owner");
    CHECK(hook.owner == nullptr);
    CHECK(hook.calls == 2);
    ResetMessageBoxes();
    DestroyWindow(app);
}

TEST_CASE("system message box: titled with the application name, centred, answered") {
    ResetMessageBoxes();
    RECT box = {}, work;
    BoxDriver driver({Check([&](HWND dialog) { GetWindowRect(dialog, &box); }), Click(IDNO)});
    CHECK(KvMessageBox(nullptr, L"A question for the system box?", nullptr, MB_YESNO | MB_ICONQUESTION) == IDNO);
    REQUIRE(driver.sawDialog());
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CHECK(std::abs((box.left + box.right) - (work.left + work.right)) <= 2);
    CHECK(std::abs((box.top + box.bottom) - (work.top + work.bottom)) <= 2);
}
