// The message-box family under Wine: the library's dialog answered from a timer, the display hook, the system box.
#include <doctest.h>
#include "msgbox_driver.h"
#include "kvkernel.h"
#include "kvmsgbox.h"
#include "resource.h"
#include <algorithm>
#include <cstdlib>

using namespace msgboxtest;

namespace {

struct SetCase {
    UINT set;
    std::vector<int> buttons; // results, in order
    int escapeResult;         // 0: Escape is ignored
};

const std::vector<SetCase> kFamilies = {
    {0, {IDOK}, IDOK},
    {7, {IDOK}, IDOK},
    {1, {IDOK, IDCANCEL}, IDCANCEL},
    {2, {IDABORT, IDRETRY, IDIGNORE}, 0},
    {3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
    {4, {IDYES, IDNO}, 0},
    {5, {IDRETRY, IDCANCEL}, IDCANCEL},
    {10, {IDYES, KVMB_ID_YESTOALL, IDNO, IDCANCEL}, IDCANCEL},
    {11, {IDYES, IDNO, KVMB_ID_DELETE}, 0},
    {12, {IDYES, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
    {13, {IDYES, KVMB_ID_YESTOALL, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
};

RECT ChildRect(HWND dialog, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<HWND> VisibleChildren(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child)) children.push_back(child);
    return children;
}

// Every visible control lies inside the client area, no two overlap, and every text fits its control.
void CheckTidyLayout(HWND dialog) {
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<HWND> children = VisibleChildren(dialog);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(dialog, IDOK) ? GetDlgItem(dialog, IDOK) : GetDlgItem(dialog, IDYES), WM_GETFONT, 0, 0));
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, font);
    for (size_t i = 0; i < children.size(); ++i) {
        RECT a = ChildRect(dialog, children[i]);
        CHECK(a.left >= client.left);
        CHECK(a.top >= client.top);
        CHECK(a.right <= client.right);
        CHECK(a.bottom <= client.bottom);
        for (size_t j = i + 1; j < children.size(); ++j) {
            RECT b = ChildRect(dialog, children[j]);
            RECT overlap;
            CHECK_MESSAGE(!IntersectRect(&overlap, &a, &b), "controls ", i, " and ", j, " overlap");
        }
        wchar_t className[16] = {};
        GetClassNameW(children[i], className, 16);
        std::wstring text = WindowText(children[i]);
        if (text.empty() || _wcsicmp(className, L"EDIT") == 0) continue;
        if (GetDlgCtrlID(children[i]) == 1001) {
            RECT need = {0, 0, a.right - a.left, 0};
            DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
            CHECK(need.bottom <= a.bottom - a.top);
            CHECK(need.right <= a.right - a.left);
        } else {
            RECT need = {0, 0, 0, 0};
            DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
            CHECK(need.right < a.right - a.left);
            CHECK(need.bottom <= a.bottom - a.top);
        }
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
}

int WindowHeight(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

bool CloseIsGreyed(HWND dialog) {
    UINT state = GetMenuState(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

const wchar_t* Library(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }

UINT ButtonString(int result) {
    switch (result) {
    case IDOK: return IDS_KV_BUTTON_OK;
    case IDCANCEL: return IDS_KV_BUTTON_CANCEL;
    case IDABORT: return IDS_KV_BUTTON_ABORT;
    case IDRETRY: return IDS_KV_BUTTON_RETRY;
    case IDIGNORE: return IDS_KV_BUTTON_IGNORE;
    case IDYES: return IDS_KV_BUTTON_YES;
    case IDNO: return IDS_KV_BUTTON_NO;
    case KVMB_ID_YESTOALL: return IDS_KV_BUTTON_YES_TO_ALL;
    case KVMB_ID_NOTOALL: return IDS_KV_BUTTON_NO_TO_ALL;
    default: return IDS_KV_BUTTON_DELETE;
    }
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
                                      CHECK_MESSAGE(button, "button ", id, " is missing");
                                      if (!button) continue;
                                      CHECK(WindowText(button) == Library(ButtonString(id)));
                                      RECT rect = ChildRect(dialog, button);
                                      CHECK(rect.left > lastRight);
                                      lastRight = rect.right;
                                  }
                                  CHECK(CloseIsGreyed(dialog) == (family.escapeResult == 0));
                              }),
                              Click(pressed)});
            int result = KvMsgBox_Custom(nullptr, family.set | KVMB_ICONQUESTION, nullptr, L"Pick %d.", pressed);
            CHECK(driver.sawDialog());
            CHECK(result == pressed);
        }
    }
}

TEST_CASE("message dialog: Escape and Close follow the button set") {
    ResetMessageBoxes();
    for (const SetCase& family : kFamilies) {
        CAPTURE(family.set);
        if (family.escapeResult) {
            BoxDriver driver({PressKey(VK_ESCAPE)});
            CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"Escape") == family.escapeResult);
            BoxDriver closer({[](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return true; }});
            CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"Close") == family.escapeResult);
        } else {
            // Neither key nor Close ends the box; a button still does.
            bool stillOpen = false;
            int last = family.buttons.back();
            BoxDriver driver({PressKey(VK_ESCAPE),
                              [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return true; },
                              [](HWND) { return true; },
                              [&](HWND dialog) { stillOpen = IsWindowVisible(dialog) != FALSE; return true; },
                              Click(last)});
            CHECK(KvMsgBox_Custom(nullptr, family.set, nullptr, L"No way out") == last);
            CHECK(stillOpen);
        }
    }
}

TEST_CASE("message dialog: default button and keyboard focus") {
    ResetMessageBoxes();
    SUBCASE("index past the last button selects the last") {
        BoxDriver driver({Check([](HWND dialog) {
                              CHECK(GetFocus() == GetDlgItem(dialog, IDCANCEL));
                              CHECK(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == IDCANCEL);
                          }),
                          PressKey(VK_RETURN)});
        CHECK(KvMsgBox_Custom(nullptr, 0x533, nullptr, L"Default five") == IDCANCEL);
    }
    SUBCASE("Enter presses the chosen default") {
        BoxDriver driver({PressKey(VK_RETURN)});
        CHECK(KvMsgBox_Custom(nullptr, 0x13D, nullptr, L"Default one") == KVMB_ID_YESTOALL);
    }
}

TEST_CASE("message dialog: details area toggles and check box state round-trips") {
    ResetMessageBoxes();
    SUBCASE("details grow and shrink the dialog and swap the button text") {
        int collapsed = 0;
        const wchar_t* details = L"Line one\r\nLine two";
        BoxDriver driver({Check([&](HWND dialog) {
                              collapsed = WindowHeight(dialog);
                              HWND edit = GetDlgItem(dialog, 1003);
                              CHECK(edit);
                              CHECK_FALSE(IsWindowVisible(edit));
                              CHECK(WindowText(GetDlgItem(dialog, KVMB_ID_DETAILS)) == Library(IDS_KV_DETAILS_SHOW));
                          }),
                          Click(KVMB_ID_DETAILS),
                          Check([&](HWND dialog) {
                              CHECK(WindowHeight(dialog) > collapsed);
                              HWND edit = GetDlgItem(dialog, 1003);
                              CHECK(IsWindowVisible(edit));
                              CHECK(WindowText(edit) == details);
                              CHECK(WindowText(GetDlgItem(dialog, KVMB_ID_DETAILS)) == Library(IDS_KV_DETAILS_HIDE));
                              CheckTidyLayout(dialog);
                          }),
                          Click(KVMB_ID_DETAILS),
                          Check([&](HWND dialog) {
                              CHECK(WindowHeight(dialog) == collapsed);
                              CHECK_FALSE(IsWindowVisible(GetDlgItem(dialog, 1003)));
                              CHECK(WindowText(GetDlgItem(dialog, KVMB_ID_DETAILS)) == Library(IDS_KV_DETAILS_SHOW));
                          }),
                          Click(IDOK)});
        CHECK(KvMsgBox_Custom(nullptr, KVMB_DETAILS | KVMB_ICONSTOP, details, L"Something failed.") == IDOK);
        CHECK(driver.finished());
    }
    SUBCASE("check box starts from the state and writes it back") {
        BOOL state = TRUE;
        BoxDriver driver({Check([](HWND dialog) {
                              CHECK(IsDlgButtonChecked(dialog, 1002) == BST_CHECKED);
                              CHECK(WindowText(GetDlgItem(dialog, 1002)) == Library(IDS_KV_DONT_SHOW_AGAIN));
                          }),
                          Click(1002), Click(IDNO)});
        CHECK(KvMsgBox_CustomEx(nullptr, 0x1004, nullptr, nullptr, &state, L"Again?") == IDNO);
        CHECK(state == FALSE);
    }
    SUBCASE("the check box needs a state to write to") {
        BoxDriver driver({});
        CHECK(KvMsgBox_CustomEx(nullptr, 0x1000, nullptr, nullptr, nullptr, L"Nowhere") == 0);
        CHECK_FALSE(driver.sawDialog());
    }
}

TEST_CASE("message dialog: lays itself out from its text") {
    ResetMessageBoxes();
    std::wstring longText;
    for (int i = 0; i < 60; ++i) longText += L"The quick brown fox jumps over the lazy dog. ";
    longText += L"C:\\A\\Very\\Long\\Path\\Without\\Any\\Spaces\\In\\It\\Whatsoever\\Package.kvpreset";
    BOOL state = FALSE;
    SUBCASE("long text, all buttons, check box and details") {
        BoxDriver driver({Click(KVMB_ID_DETAILS), Check([](HWND dialog) {
                              CheckTidyLayout(dialog);
                              RECT text = ChildRect(dialog, GetDlgItem(dialog, 1001));
                              CHECK(text.right - text.left <= GetSystemMetrics(SM_CXSCREEN) * 3 / 8 + 1);
                          }),
                          Click(IDCANCEL)});
        CHECK(KvMsgBox_CustomEx(nullptr, 0xD03D, L"details", nullptr, &state, longText.c_str()) == IDCANCEL);
    }
    SUBCASE("short text without icon") {
        BoxDriver driver({Check([](HWND dialog) {
                              CheckTidyLayout(dialog);
                              CHECK_FALSE(GetDlgItem(dialog, 1000));
                          }),
                          Click(IDOK)});
        CHECK(KvMsgBox_Custom(nullptr, 0, nullptr, L"Hi") == IDOK);
    }
}

TEST_CASE("message boxes: the display hook short-circuits every box") {
    HookRecorder hook;
    ResetMessageBoxes();
    hook.answer = 7;
    hook.Install();
    BoxDriver guard({}); // ends any box that appears by mistake

    SUBCASE("library dialog gets the formatted text and the application name") {
        CHECK(KvMsgBox_Custom(KVMB_NOOWNER, 0x33, nullptr, L"%d presets in $(NoSuchToken)%s", 3, L"!") == 7);
        CHECK(hook.calls == 1);
        CHECK(hook.caption == kAppName);
        CHECK(hook.style == 0x33);
        CHECK(hook.owner == nullptr);
        CHECK(hook.text.rfind(L"3 presets in ", 0) == 0);
    }
    SUBCASE("details are joined to the text between the markers") {
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
    SUBCASE("a hook answering -1 lets the box show") {
        hook.answer = -1;
        BoxDriver driver({Click(IDNO)});
        CHECK(KvMsgBox_Custom(nullptr, 4, nullptr, L"Shown anyway") == IDNO);
        CHECK(driver.sawDialog());
        CHECK(hook.calls == 1);
    }
    SUBCASE("setting the application data again removes the hook") {
        ResetMessageBoxes();
        BoxDriver driver({Click(IDOK)});
        CHECK(KvMsgBox_Custom(nullptr, 0, nullptr, L"No hook") == IDOK);
        CHECK(hook.calls == 0);
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
    KvMessageBox(app, L"owner", nullptr, 0);
    CHECK(hook.owner == app);
    ResetMessageBoxes();
    DestroyWindow(app);
}

TEST_CASE("system message box: titled with the application name, centred, answered") {
    ResetMessageBoxes();
    RECT box = {};
    BoxDriver driver({Check([&](HWND dialog) { GetWindowRect(dialog, &box); }), Click(IDNO)});
    CHECK(KvMessageBox(nullptr, L"A question for the system box?", nullptr, MB_YESNO | MB_ICONQUESTION) == IDNO);
    REQUIRE(driver.sawDialog());
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    CHECK(std::abs((box.left + box.right) - (work.left + work.right)) <= 2);
    CHECK(std::abs((box.top + box.bottom) - (work.top + work.bottom)) <= 2);
}
