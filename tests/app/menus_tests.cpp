// Menu preparation: telling the popups apart, File and Edit states, Undo and Redo texts, the destination items.
#include <doctest.h>
#include "document_fixture.h"
#include "edit_history.h"
#include "kvresult.h"
#include "menus.h"
#include "resource.h"
#include "store_read.h"
#include <initializer_list>
#include <string>
#include <vector>

using namespace apptest;

namespace {

struct ItemState {
    UINT id;
    std::wstring text;
    bool enabled;
    bool radioChecked;
};

ItemState Item(HMENU menu, UINT command) {
    MENUITEMINFOW info{};
    wchar_t text[300] = L"";
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 300;
    if (!GetMenuItemInfoW(menu, command, FALSE, &info)) return {0, L"(missing)", false, false};
    return {info.wID, text, !(info.fState & MFS_GRAYED), (info.fType & MFT_RADIOCHECK) && (info.fState & MFS_CHECKED)};
}

std::vector<std::wstring> Texts(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[300] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
        texts.emplace_back(text);
    }
    return texts;
}

// A popup holding the given commands; 0 is a separator.
HMENU Popup(std::initializer_list<UINT> commands) {
    HMENU menu = CreatePopupMenu();
    for (UINT command : commands)
        AppendMenuW(menu, command ? MF_STRING : MF_SEPARATOR, command, command ? L"item" : nullptr);
    return menu;
}

HMENU EditMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | MF_GRAYED, ID_EDIT_UNDO, L"&Undo\tCtrl+Z");
    AppendMenuW(menu, MF_STRING | MF_GRAYED, ID_EDIT_REDO, L"&Redo\tCtrl+Shift+Z");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ID_EDIT_DELETE, L"&Delete\tDelete");
    AppendMenuW(menu, MF_STRING, ID_EDIT_COPY_TO_FILE, L"Copy to &File");
    AppendMenuW(menu, MF_STRING, ID_EDIT_COPY_TO_SYSTEM, L"Copy to &System");
    return menu;
}

// A destination list as the store loader makes it.
class Destinations {
public:
    explicit Destinations(std::initializer_list<LathmereDestination> versions) {
        REQUIRE(KvList_CreateExZ(&list, sizeof(void*), -1, -1, KVLIST_ANY_THREAD | KVLIST_OWNS_ITEMS) == S_OK);
        for (const LathmereDestination& version : versions)
            REQUIRE(KvList_AllocAndInsertItem(list, &version, sizeof(version), -1, nullptr) == S_OK);
    }
    ~Destinations() { KvList_Destroy(list); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    tKVLIST* list = nullptr;
};

} // namespace

TEST_CASE("a popup is told by its first plain item") {
    const struct { std::initializer_list<UINT> items; int kind; } rows[] = {
        {{ID_FILE_NEW, ID_FILE_OPEN}, MENU_FILE},
        {{0, ID_EDIT_UNDO, ID_EDIT_REDO}, MENU_EDIT},
        {{ID_HELP_CONTENTS}, MENU_HELP},
        {{ID_DESTINATION_FIRST}, MENU_DESTINATION},
        {{ID_FILE_OPEN, ID_FILE_NEW}, MENU_OTHER},
        {{0}, MENU_OTHER},
        {{}, MENU_OTHER},
    };
    for (const auto& row : rows) {
        HMENU menu = Popup(row.items);
        CHECK(IdentifyMenu(menu) == row.kind);
        DestroyMenu(menu);
    }
    SUBCASE("a submenu in front is passed over") {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({ID_FILE_OPEN})), L"sub");
        AppendMenuW(menu, MF_STRING, ID_EDIT_UNDO, L"undo");
        CHECK(IdentifyMenu(menu) == MENU_EDIT);
        DestroyMenu(menu);
    }
}

TEST_CASE("the File menu enables Save and Save As as told and lists the recent files") {
    HMENU menu = Popup({ID_FILE_NEW, ID_FILE_OPEN, 0, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_EXIT});
    RecentFileList recent;
    AddRecentFile(recent, DocumentRecord{L"C:\\a.kvpreset", 0});
    REQUIRE(PrepareFileMenu(menu, false, true, recent) == S_OK);
    CHECK_FALSE(Item(menu, ID_FILE_SAVE).enabled);
    CHECK(Item(menu, ID_FILE_SAVE_AS).enabled);
    CHECK(Item(menu, ID_FILE_RECENT_FIRST).text == L"&1 C:\\a.kvpreset");
    REQUIRE(PrepareFileMenu(menu, true, false, recent) == S_OK);
    CHECK(Item(menu, ID_FILE_SAVE).enabled);
    CHECK_FALSE(Item(menu, ID_FILE_SAVE_AS).enabled);
    DestroyMenu(menu);
}

TEST_CASE("the Edit menu: command states, and Undo and Redo named after their steps") {
    TestLanguage language;
    HMENU menu = EditMenu();
    EditMenuState state;
    state.canCopyToFile = true;

    PrepareEditMenu(menu, state, language.instance);
    CHECK(Item(menu, ID_EDIT_COPY_TO_FILE).enabled);
    CHECK_FALSE(Item(menu, ID_EDIT_COPY_TO_SYSTEM).enabled);
    CHECK_FALSE(Item(menu, ID_EDIT_DELETE).enabled);
    CHECK(Item(menu, ID_EDIT_UNDO).text == L"&Undo\tCtrl+Z"); // without a history, as the resource has it
    CHECK_FALSE(Item(menu, ID_EDIT_UNDO).enabled);

    // A history with a copy to undo and nothing to redo, as after one copy.
    EditHistory history;
    auto step = std::make_unique<EditStep>(SIDE_PACKAGE);
    wcscpy(step->label, L"Copy");
    REQUIRE(history.undoSteps.Insert(0, std::move(step)) == S_OK);
    state = EditMenuState{};
    state.canCopyToSystem = true;
    state.canDelete = true;
    state.history = &history;
    PrepareEditMenu(menu, state, language.instance);
    CHECK(Item(menu, ID_EDIT_COPY_TO_SYSTEM).enabled);
    CHECK_FALSE(Item(menu, ID_EDIT_COPY_TO_FILE).enabled);
    CHECK(Item(menu, ID_EDIT_DELETE).enabled);
    CHECK(Item(menu, ID_EDIT_UNDO).text == L"&Undo Copy\tCtrl+Z");
    CHECK(Item(menu, ID_EDIT_UNDO).enabled);
    CHECK(Item(menu, ID_EDIT_REDO).text == L"Can't &Redo\tCtrl+Shift+Z");
    CHECK_FALSE(Item(menu, ID_EDIT_REDO).enabled);

    REQUIRE(history.redoSteps.Insert(0, history.undoSteps.Take(0)) == S_OK); // as after Undo
    PrepareEditMenu(menu, state, language.instance);
    CHECK(Item(menu, ID_EDIT_UNDO).text == L"Can't &Undo\tCtrl+Z");
    CHECK_FALSE(Item(menu, ID_EDIT_UNDO).enabled);
    CHECK(Item(menu, ID_EDIT_REDO).text == L"&Redo Copy\tCtrl+Shift+Z");
    CHECK(Item(menu, ID_EDIT_REDO).enabled);
    DestroyMenu(menu);
}

TEST_CASE("the destination menu lists the installed versions with the chosen one marked") {
    TestLanguage language;
    HMENU menu = Popup({ID_DESTINATION_FIRST});
    CatalogueModel model;

    SUBCASE("none installed: one grayed item, also after versions were listed before") {
        Destinations all({{6, 0}, {7, 0}, {8, 0}});
        REQUIRE(PrepareDestinationMenu(menu, all.list, 2, language.instance) == S_OK);
        Destinations none({});
        for (const tKVLIST* list : {static_cast<const tKVLIST*>(none.list), static_cast<const tKVLIST*>(nullptr)}) {
            REQUIRE(PrepareDestinationMenu(menu, list, -1, language.instance) == S_OK);
            CHECK(Texts(menu) == std::vector<std::wstring>{L"None Installed"});
            CHECK_FALSE(Item(menu, ID_DESTINATION_FIRST).enabled);
        }
    }
    SUBCASE("the unversioned store, 7.0 and 8.0, marked on 8.0 as after start-up") {
        Destinations all({{6, 0}, {7, 0}, {8, 0}});
        REQUIRE(PrepareDestinationMenu(menu, all.list, 2, language.instance) == S_OK);
        CHECK(Texts(menu) ==
              std::vector<std::wstring>{L"Moravel Lathmere", L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"});
        CHECK(Item(menu, ID_DESTINATION_FIRST).enabled);
        CHECK_FALSE(Item(menu, ID_DESTINATION_FIRST + 1).radioChecked);
        CHECK(Item(menu, ID_DESTINATION_FIRST + 2).radioChecked);
    }
    SUBCASE("only 7.0 and 8.0; choosing 7.0 selects and marks it") {
        Destinations two({{7, 0}, {8, 0}});
        model.selectedDestination = 1;
        REQUIRE(PrepareDestinationMenu(menu, two.list, model.selectedDestination, language.instance) == S_OK);
        CHECK(Texts(menu) == std::vector<std::wstring>{L"Varden Lathmere 7.0", L"Varden Lathmere 8.0"});
        CHECK(ChooseDestination(model, ID_DESTINATION_FIRST));
        CHECK(model.selectedDestination == 0);
        CHECK_FALSE(ChooseDestination(model, ID_DESTINATION_LAST + 1));
        CHECK(model.selectedDestination == 0);
        REQUIRE(PrepareDestinationMenu(menu, two.list, model.selectedDestination, language.instance) == S_OK);
        CHECK(Item(menu, ID_DESTINATION_FIRST).radioChecked);
        CHECK_FALSE(Item(menu, ID_DESTINATION_FIRST + 1).radioChecked);
    }
    SUBCASE("at most nine are shown; a choice beyond the list marks the last") {
        Destinations many({{7, 0}, {7, 1}, {7, 2}, {7, 3}, {7, 4}, {7, 5}, {7, 6}, {7, 7}, {7, 8}, {7, 9}});
        REQUIRE(PrepareDestinationMenu(menu, many.list, 0, language.instance) == S_OK);
        CHECK(Texts(menu).size() == 9);
        CHECK(Texts(menu).back() == L"Varden Lathmere 7.8");
        Destinations three({{7, 0}, {8, 0}, {9, 1}});
        REQUIRE(PrepareDestinationMenu(menu, three.list, 5, language.instance) == S_OK);
        CHECK(Texts(menu).size() == 3);
        CHECK(Item(menu, ID_DESTINATION_FIRST + 2).radioChecked);
    }
    DestroyMenu(menu);
}
