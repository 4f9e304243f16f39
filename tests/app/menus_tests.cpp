// Menus as the frame prepares them when they open: File and Edit states, the Lathmere destinations, mnemonics.
#include <doctest.h>
#include <cwchar>
#include <cwctype>
#include "frame_fixture.h"

using namespace frametest;

namespace {

struct Item { std::wstring text; bool enabled, marked; };

Item Read(HMENU popup, UINT command) {
    wchar_t text[300] = L"";
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 300;
    if (!GetMenuItemInfoW(popup, command, FALSE, &info)) return {L"(missing)", false, false};
    return {text, !(info.fState & MFS_GRAYED), (info.fType & MFT_RADIOCHECK) && (info.fState & MFS_CHECKED)};
}

// Opens (prepares) a popup of the frame's menu bar, or the given one.
HMENU Opened(FrameFixture& f, HMENU popup) {
    SendMessageW(f.frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    return popup;
}
HMENU Bar(FrameFixture& f, int position) { return Opened(f, GetSubMenu(GetMenu(f.frame), position)); }

std::vector<std::wstring> Texts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) texts.push_back(Read(menu, GetMenuItemID(menu, i)).text);
    return texts;
}

// No two items of a popup, nor of its submenus, share a mnemonic (the letter after a single "&").
void CheckMnemonics(HMENU popup) {
    std::wstring seen;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        if (HMENU submenu = GetSubMenu(popup, i)) CheckMnemonics(submenu);
        wchar_t text[300] = L"";
        GetMenuStringW(popup, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
        const wchar_t* p = text;
        while ((p = wcschr(p, L'&')) && p[1] == L'&') p += 2; // a literal ampersand
        if (!p || !p[1]) continue;
        CAPTURE(storetest::Narrow(text));
        CHECK(seen.find(static_cast<wchar_t>(towupper(p[1]))) == std::wstring::npos);
        seen += static_cast<wchar_t>(towupper(p[1]));
    }
}

} // namespace

TEST_CASE("no two items of a popup share a mnemonic, a recent file's ampersand included") {
    FrameFixture f;
    g_appContext.recentFiles.count = 1; // an entry "&1"
    wcscpy(g_appContext.recentFiles.entries[0].path, L"C:\\Edit&Save.kvpreset");
    Bar(f, 0);
    Bar(f, 1);
    CheckMnemonics(GetMenu(f.frame));
}

TEST_CASE("File and Edit states follow the package, the focus and the history") {
    FrameFixture f;
    const std::wstring path = f.Package(L"mix.kvpreset");
    f.MarkModified(); // modified, but empty
    CHECK_FALSE(Read(Bar(f, 0), ID_FILE_SAVE).enabled);
    CHECK_FALSE(Read(Bar(f, 0), ID_FILE_SAVE_AS).enabled);
    f.answers.boxAnswers = {IDNO};
    f.answers.dialogAnswers = {{path}};
    f.Command(ID_FILE_OPEN);
    CHECK_FALSE(Read(Bar(f, 0), ID_FILE_SAVE).enabled); // clean
    CHECK(Read(Bar(f, 0), ID_FILE_SAVE_AS).enabled);

    HWND tree = f.state->sides[PANE_PACKAGE].tree;
    SetFocus(tree);
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    CHECK_FALSE(Read(Bar(f, 1), ID_EDIT_COPY_TO_FILE).enabled); // the package side is active
    CHECK(Read(Bar(f, 1), ID_EDIT_COPY_TO_SYSTEM).enabled);
    CHECK(Read(Bar(f, 1), ID_EDIT_DELETE).enabled);
    SetFocus(f.state->toolbar);
    CHECK_FALSE(Read(Bar(f, 1), ID_EDIT_DELETE).enabled); // no pane has the focus

    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("the destination menus list what is installed, marked on the chosen version") {
    const struct { std::vector<std::wstring> keys; std::vector<std::wstring> texts; UINT marked; } rows[] = {
        {{}, {L"None Installed"}, 0},
        {{STORE_LATHMERE_KEY, L"7.0", L"8.0"}, {L"Moravel Lathmere", L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"}, 2},
        {{L"7.0", L"8.0"}, {L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"}, 1},
    };
    for (const auto& row : rows) {
        CAPTURE(row.texts.size());
        FrameFixture f([&row] {
            for (const std::wstring& key : row.keys)
                REQUIRE(storetest::CreateKey(key.size() > 3 ? key : LathmereVersionedKey(key[0] - L'0', 0)));
        });
        HMENU edit = GetSubMenu(GetMenu(f.frame), 1);
        HMENU submenu = Opened(f, GetSubMenu(edit, GetMenuItemCount(edit) - 1));
        CHECK(Texts(submenu) == row.texts);
        CHECK(Read(submenu, ID_DESTINATION_FIRST + row.marked).marked != row.keys.empty());
        CHECK(Read(submenu, ID_DESTINATION_FIRST).enabled != row.keys.empty());
        f.Command(ID_DESTINATION_FIRST); // choose the first
        Opened(f, submenu);
        CHECK(Read(submenu, ID_DESTINATION_FIRST).marked != row.keys.empty());
    }
}
