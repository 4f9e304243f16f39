// Menus as the frame prepares them when they open: File and Edit states and the Lathmere destinations.
#include <doctest.h>
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

} // namespace

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
