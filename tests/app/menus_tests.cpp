// Menus as the frame prepares them when they open: which popup is which, File and Edit states, the Undo and Redo
// texts, and the Lathmere destinations.
#include <doctest.h>
#include "app_fixture.h"
#include "editing.h"
#include "menus.h"
#include "resource.h"

using namespace apptest;

namespace {

struct Item {
    std::wstring text;
    bool enabled;
    bool marked; // the radio mark
};

// Prepares the popup as the frame does when it opens, then reads one item.
Item Read(HMENU popup, UINT command) {
    MENUITEMINFOW info{};
    wchar_t text[300] = L"";
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 300;
    if (!GetMenuItemInfoW(popup, command, FALSE, &info)) return {L"(missing)", false, false};
    return {text, !(info.fState & MFS_GRAYED), (info.fType & MFT_RADIOCHECK) && (info.fState & MFS_CHECKED)};
}

HMENU Opened(FrameFixture& f, HMENU popup) {
    SendMessageW(f.frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    return popup;
}
HMENU FileMenu(FrameFixture& f) { return Opened(f, GetSubMenu(GetMenu(f.frame), 0)); }
HMENU EditMenu(FrameFixture& f) { return Opened(f, GetSubMenu(GetMenu(f.frame), 1)); }

std::vector<std::wstring> Texts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[300] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
        texts.emplace_back(text);
    }
    return texts;
}

} // namespace

TEST_CASE("a popup is told by its first item that is neither a separator nor a submenu") {
    HMENU main = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    HMENU drop = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DESTINATION_MENU));
    HMENU edit = GetSubMenu(main, 1);
    CHECK(IdentifyMenu(GetSubMenu(main, 0)) == MENU_FILE);
    CHECK(IdentifyMenu(edit) == MENU_EDIT);
    CHECK(IdentifyMenu(GetSubMenu(main, 2)) == MENU_HELP);
    CHECK(IdentifyMenu(GetSubMenu(edit, GetMenuItemCount(edit) - 1)) == MENU_DESTINATION);
    CHECK(IdentifyMenu(GetSubMenu(drop, 0)) == MENU_DESTINATION);
    CHECK(IdentifyMenu(main) == MENU_OTHER); // submenus only
    HMENU other = CreatePopupMenu();
    AppendMenuW(other, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(other, MF_STRING, ID_FILE_OPEN, L"open");
    CHECK(IdentifyMenu(other) == MENU_OTHER);
    for (HMENU menu : {main, drop, other}) DestroyMenu(menu);
}

TEST_CASE("File and Edit states follow the package, the focus and the history") {
    FrameFixture f;
    const std::wstring path = f.dir.file(L"mix.kvpreset");
    WritePackage(path, {L"Warm"});
    f.MarkModified(); // modified, but nothing in it
    CHECK_FALSE(Read(FileMenu(f), ID_FILE_SAVE).enabled);
    CHECK_FALSE(Read(FileMenu(f), ID_FILE_SAVE_AS).enabled);

    f.answers.boxAnswers = {IDNO};
    f.answers.dialogAnswers = {{path}};
    f.Command(ID_FILE_OPEN);
    CHECK_FALSE(Read(FileMenu(f), ID_FILE_SAVE).enabled); // clean
    CHECK(Read(FileMenu(f), ID_FILE_SAVE_AS).enabled);
    f.MarkModified();
    CHECK(Read(FileMenu(f), ID_FILE_SAVE).enabled);

    HWND tree = f.state->sides[PANE_PACKAGE].tree;
    SetFocus(tree);
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    CHECK_FALSE(Read(EditMenu(f), ID_EDIT_COPY_TO_FILE).enabled); // the package side is active
    CHECK(Read(EditMenu(f), ID_EDIT_COPY_TO_SYSTEM).enabled);
    CHECK(Read(EditMenu(f), ID_EDIT_DELETE).enabled);
    SetFocus(f.state->toolbar);
    CHECK_FALSE(Read(EditMenu(f), ID_EDIT_DELETE).enabled); // no pane has the focus
    CHECK(Read(EditMenu(f), ID_EDIT_UNDO).text == L"Can't &Undo\tCtrl+Z");

    EditSession session{f.state->catalogue, *f.state->history, f.frame, CurrentLathmereDestination(f.state->catalogue)};
    Selection rows;
    rows.side = SIDE_PACKAGE;
    rows.focusedPane = PANE_LIST;
    rows.nodeKind = NODE_PLUGIN;
    rows.parent = L"Echo";
    rows.names = {L"Warm"};
    CopyOutcome copied;
    REQUIRE(CopySelection(session, rows, CopyOptions{}, &copied) == S_OK);
    Item undo = Read(EditMenu(f), ID_EDIT_UNDO);
    CHECK(undo.text == L"&Undo Copy\tCtrl+Z");
    CHECK(undo.enabled);
    CHECK_FALSE(Read(EditMenu(f), ID_EDIT_REDO).enabled);

    f.answers.boxAnswers = {IDNO};
    f.Command(ID_FILE_NEW);
    undo = Read(EditMenu(f), ID_EDIT_UNDO);
    CHECK(undo.text == L"Can't &Undo\tCtrl+Z");
    CHECK_FALSE(undo.enabled);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("the destination menu lists what is installed, marked on the chosen version") {
    const struct {
        std::vector<std::wstring> versionKeys; // under the versioned store; "6.0" stands for the unversioned one
        std::vector<std::wstring> texts;
        UINT markedAfterStart;
    } rows[] = {
        {{}, {L"None Installed"}, 0},
        {{L"6.0", L"7.0", L"8.0"}, {L"Moravel Lathmere", L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"}, 2},
        {{L"7.0", L"8.0"}, {L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"}, 1},
    };
    for (const auto& row : rows) {
        CAPTURE(row.texts.size());
        FrameFixture f([&row] {
            for (const std::wstring& key : row.versionKeys)
                REQUIRE(storetest::CreateKey(key == L"6.0" ? std::wstring(STORE_LATHMERE_KEY)
                                                           : std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\" + key +
                                                                 L"\\Presets"));
        });
        HMENU edit = GetSubMenu(GetMenu(f.frame), 1);
        HMENU submenu = Opened(f, GetSubMenu(edit, GetMenuItemCount(edit) - 1));
        HMENU resource = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DESTINATION_MENU));
        HMENU dropDown = Opened(f, GetSubMenu(resource, 0)); // the toolbar button's, prepared by the same rule
        CHECK(Texts(submenu) == row.texts);
        CHECK(Texts(dropDown) == row.texts);
        if (row.versionKeys.empty()) {
            CHECK_FALSE(Read(submenu, ID_DESTINATION_FIRST).enabled);
        } else {
            CHECK(Read(submenu, ID_DESTINATION_FIRST + row.markedAfterStart).marked);
            f.Command(ID_DESTINATION_FIRST); // choose the first version
            CHECK(f.state->catalogue.selectedDestination == 0);
            Opened(f, submenu);
            CHECK(Read(submenu, ID_DESTINATION_FIRST).marked);
            CHECK_FALSE(Read(submenu, ID_DESTINATION_FIRST + row.markedAfterStart).marked);
        }
        DestroyMenu(resource);
    }
}
