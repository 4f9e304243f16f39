// The real frame window in the test process, driven with messages: what both sides show, how they navigate, the
// toolbar, the settings it keeps, and the reload of the store when the program is activated again.
#include <doctest.h>
#include <windowsx.h>
#include <memory>
#include "frame_fixture.h"
#include "document_open.h"
#include "frame_layout.h"
#include "kvlang.h"
#include "kvresult.h"
#include "settings_ids.h"
#include "toolbar.h"

using namespace frametest;
using Lines = std::vector<std::wstring>;

namespace {

const std::wstring kSystemTree = L"FX Chains\n"
                                 L"FX Plug-Ins\n"
                                 L"  alpha Delay\n"
                                 L"  Bright Reverb\n"
                                 L"  Moravel Lathmere Tape\n"
                                 L"  Not Installed 000\n";

struct PackageFile {
    testsupport::ScratchDir folder{L"frame"};
    std::wstring path = folder.file(L"Sample Set.kvpreset");
    PackageFile() { REQUIRE(WriteSamplePackage(path)); }
};

bool ButtonEnabled(const TestFrame& frame, UINT command) {
    return SendMessageW(frame.state().toolbar, TB_ISBUTTONENABLED, command, 0) != 0;
}

} // namespace

TEST_CASE("start-up shows the package above and the store below, each sorted, with captions") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);

    CHECK(session.boxes.texts.empty());
    CHECK(WindowText(frame.window()) == L"Varden Tarrow 2.0 - Sample Set.kvpreset");
    CHECK(WindowText(GetDlgItem(frame.window(), 10)) == L"Preset Package");
    CHECK(WindowText(GetDlgItem(frame.window(), 11)) == L"System Presets");
    CHECK(GetDlgItem(frame.window(), 1) == frame.pane(PANE_PACKAGE).tree);
    CHECK(GetDlgItem(frame.window(), 2) == frame.pane(PANE_SYSTEM).tree);
    CHECK(GetDlgItem(frame.window(), 31) == frame.pane(PANE_SYSTEM).list);
    CHECK(frame.state().sideCount == 2);

    const PaneState& packageSide = frame.pane(PANE_PACKAGE);
    HTREEITEM root = TreeView_GetRoot(packageSide.tree);
    CHECK(TreeItemKind(packageSide.tree, root) == NODE_ROOT);
    CHECK(TreeDump(packageSide.tree) == L"Sample Set.kvpreset\n"
                                        L"  FX Chains\n"
                                        L"  FX Plug-Ins\n"
                                        L"    Eq One\n"
                                        L"    Zeta Comp\n");
    CHECK(TreeDump(frame.pane(PANE_SYSTEM).tree) == kSystemTree);
    // The last destination is selected: only the unversioned store is installed.
    CHECK(frame.state().catalogue.selectedDestination == 0);
}

TEST_CASE("the list shows what the selected node holds") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& system = frame.pane(PANE_SYSTEM);
    PaneState& packageSide = frame.pane(PANE_PACKAGE);

    struct Row {
        PaneState* pane;
        std::vector<const wchar_t*> path;
        NodeKind kind;
        Lines rows;
    };
    const wchar_t* root = L"Sample Set.kvpreset";
    const Row rows[] = {
        {&packageSide, {root}, NODE_ROOT, {L"FX Chains", L"FX Plug-Ins"}},
        {&packageSide, {root, L"FX Plug-Ins"}, NODE_PLUGINS, {L"Eq One", L"Zeta Comp"}},
        {&packageSide, {root, L"FX Plug-Ins", L"Zeta Comp"}, NODE_PLUGIN, {L"a", L"B"}},
        {&packageSide, {root, L"FX Chains"}, NODE_CHAINS, {L"Guitar Rig"}},
        {&system, {L"FX Plug-Ins", L"bright reverb"}, NODE_PLUGIN, {L"hall", L"Plate", L"Room"}},
        {&system, {L"FX Plug-Ins", L"Moravel Lathmere Tape"}, NODE_PLUGIN, {L"Warm"}},
        {&system, {L"FX Chains"}, NODE_CHAINS, {L"Drum Bus", L"Vocal Chain"}},
    };
    for (const Row& row : rows) {
        CAPTURE(storetest::Narrow(*(row.path.end() - 1)));
        REQUIRE(SelectNode(*row.pane, row.path) != nullptr);
        CHECK(row.pane->currentNodeKind == row.kind);
        CHECK(ListRows(row.pane->list) == row.rows);
    }
}

TEST_CASE("opening a row by double click or Enter selects its node and the first row") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& pane = frame.pane(PANE_PACKAGE);
    REQUIRE(SelectNode(pane, {L"Sample Set.kvpreset"}) != nullptr);

    SendMessageW(pane.list, WM_LBUTTONDBLCLK, MK_LBUTTON, RowPoint(pane.list, 1)); // "FX Plug-Ins"
    SendMessageW(pane.list, WM_LBUTTONUP, 0, RowPoint(pane.list, 1));
    Pump();
    CHECK(TreeItemText(pane.tree, TreeView_GetSelection(pane.tree)) == L"FX Plug-Ins");
    CHECK(ListRows(pane.list) == Lines{L"Eq One", L"Zeta Comp"});
    CHECK(SelectedRows(pane.list) == std::vector<int>{0});

    SetFocus(pane.list);
    ListView_SetItemState(pane.list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(pane.list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(pane.list, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    CHECK(TreeItemText(pane.tree, TreeView_GetSelection(pane.tree)) == L"Zeta Comp");
    CHECK(ListRows(pane.list) == Lines{L"a", L"B"});

    SUBCASE("in a preset list a double click renames instead") {
        SendMessageW(pane.list, WM_LBUTTONDBLCLK, MK_LBUTTON, RowPoint(pane.list, 1));
        SendMessageW(pane.list, WM_LBUTTONUP, 0, RowPoint(pane.list, 1));
        Pump();
        HWND edit = ListView_GetEditControl(pane.list);
        REQUIRE(edit != nullptr);
        CHECK(WindowText(edit) == L"B");
        CHECK(TreeItemText(pane.tree, TreeView_GetSelection(pane.tree)) == L"Zeta Comp");
        SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        Pump();
    }
    SUBCASE("Enter in a preset list opens nothing") {
        SendMessageW(pane.list, WM_KEYDOWN, VK_RETURN, 0);
        Pump();
        CHECK(TreeItemText(pane.tree, TreeView_GetSelection(pane.tree)) == L"Zeta Comp");
    }
}

TEST_CASE("renaming in place: only presets and chains, at most 63 characters, F2 on the first selected row") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& pane = frame.pane(PANE_PACKAGE);

    const std::vector<const wchar_t*> refused[] = {{L"Sample Set.kvpreset"}, {L"Sample Set.kvpreset", L"FX Plug-Ins"}};
    for (const auto& path : refused) {
        REQUIRE(SelectNode(pane, path) != nullptr);
        SetFocus(pane.list);
        CHECK(ListView_EditLabel(pane.list, 0) == nullptr);
        CHECK(ListView_GetEditControl(pane.list) == nullptr);
    }

    REQUIRE(SelectNode(pane, {L"Sample Set.kvpreset", L"FX Chains"}) != nullptr);
    SetFocus(pane.list);
    HWND edit = ListView_EditLabel(pane.list, 0);
    REQUIRE(edit != nullptr);
    CHECK(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0) == 63);
    ListView_CancelEditLabel(pane.list);
    Pump();

    REQUIRE(SelectNode(pane, {L"Sample Set.kvpreset", L"FX Plug-Ins", L"Zeta Comp"}) != nullptr);
    SetFocus(pane.list);
    ListView_SetItemState(pane.list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(pane.list, 1, LVIS_SELECTED, LVIS_SELECTED);
    frame.Command(ID_EDIT_RENAME);
    edit = ListView_GetEditControl(pane.list);
    REQUIRE(edit != nullptr);
    CHECK(WindowText(edit) == L"B");
    SetWindowTextW(edit, L"Brand New");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    CHECK(ListRows(pane.list) == Lines{L"a", L"Brand New"});

    SetFocus(pane.tree);
    frame.Command(ID_EDIT_RENAME);
    CHECK(ListView_GetEditControl(pane.list) == nullptr);
}

TEST_CASE("focus makes a side active; Ctrl+Tab walks the panes and passes over empty ones; Ctrl+A only in a list") {
    PackageFile package;
    std::unique_ptr<SeededStore> store;
    SUBCASE("with an empty store") { storetest::DeleteStoreKeys(); }
    SUBCASE("with a seeded store") { store = std::make_unique<SeededStore>(); }
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState* sides = frame.state().sides;
    REQUIRE(SelectNode(sides[PANE_PACKAGE], {L"Sample Set.kvpreset", L"FX Plug-Ins", L"Zeta Comp"}) != nullptr);
    if (store) REQUIRE(SelectNode(sides[PANE_SYSTEM], {L"FX Chains"}) != nullptr);
    else CHECK(TreeView_GetCount(sides[PANE_SYSTEM].tree) == 0);

    SetFocus(sides[PANE_PACKAGE].list);
    Pump();
    CHECK(frame.state().activeSide == PANE_PACKAGE);
    CHECK(frame.state().focusedPaneKind == PANE_LIST);

    const HWND order[] = {sides[PANE_PACKAGE].list, sides[PANE_SYSTEM].tree, sides[PANE_SYSTEM].list,
                          sides[PANE_PACKAGE].tree, sides[PANE_PACKAGE].list};
    int steps = 0;
    for (HWND expected : order) {
        if (!store && (expected == sides[PANE_SYSTEM].tree || expected == sides[PANE_SYSTEM].list)) continue;
        if (steps++ == 0) continue; // where the walk starts
        frame.Command(ID_NEXT_PANE);
        CHECK(GetFocus() == expected);
    }
    if (store) {
        frame.Command(ID_PREVIOUS_PANE);
        CHECK(GetFocus() == sides[PANE_PACKAGE].tree);
        ListView_SetItemState(sides[PANE_SYSTEM].list, -1, 0, LVIS_SELECTED);
        frame.Command(ID_PREVIOUS_PANE);
        CHECK(GetFocus() == sides[PANE_SYSTEM].list);
        CHECK(frame.state().activeSide == PANE_SYSTEM);
        CHECK(frame.state().focusedPaneKind == PANE_LIST);
        // The list had no selected row when the focus landed on it.
        CHECK(SelectedRows(sides[PANE_SYSTEM].list) == std::vector<int>{0});
        frame.Command(ID_EDIT_SELECT_ALL);
        CHECK(SelectedRows(sides[PANE_SYSTEM].list) == std::vector<int>{0, 1});
    }

    SetFocus(sides[PANE_PACKAGE].tree);
    Pump();
    CHECK(frame.state().activeSide == PANE_PACKAGE);
    CHECK(frame.state().focusedPaneKind == PANE_TREE);
    ListView_SetItemState(sides[PANE_PACKAGE].list, -1, 0, LVIS_SELECTED);
    frame.Command(ID_EDIT_SELECT_ALL);
    CHECK(SelectedRows(sides[PANE_PACKAGE].list).empty());
}

TEST_CASE("the selection of the active side") {
    SeededStore store;
    AppSession session;
    TestFrame frame(session);
    PaneState& system = frame.pane(PANE_SYSTEM);
    REQUIRE(SelectNode(system, {L"FX Plug-Ins", L"Bright Reverb"}) != nullptr);

    Selection selection;
    SetFocus(system.tree);
    REQUIRE(GetSelection(system, &selection) == S_OK);
    CHECK(selection.side == SIDE_SYSTEM);
    CHECK(selection.focusedPane == PANE_TREE);
    CHECK(selection.nodeKind == NODE_PLUGIN);
    CHECK(selection.names == Lines{L"Bright Reverb"});
    CHECK(selection.parent == L"FX Plug-Ins");

    SetFocus(system.list);
    ListView_SetItemState(system.list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(system.list, 2, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(system.list, 0, LVIS_SELECTED, LVIS_SELECTED);
    REQUIRE(GetSelection(system, &selection) == S_OK);
    CHECK(selection.focusedPane == PANE_LIST);
    CHECK(selection.names == Lines{L"hall", L"Room"});
    CHECK(selection.parent == L"Bright Reverb");

    PaneState& packageSide = frame.pane(PANE_PACKAGE);
    REQUIRE(GetSelection(packageSide, &selection) == S_OK);
    CHECK(selection.side == SIDE_PACKAGE);
    CHECK(selection.focusedPane == PANE_NONE);
}

TEST_CASE("a refill keeps valid nodes with their expansion and selection, and removes stale ones") {
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& pane = frame.pane(PANE_PACKAGE);
    CatalogueModel& model = frame.state().catalogue;
    HTREEITEM zeta = SelectNode(pane, {L"Sample Set.kvpreset", L"FX Plug-Ins", L"Zeta Comp"});
    REQUIRE(zeta != nullptr);
    HTREEITEM folder = TreeView_GetParent(pane.tree, zeta);
    // Collapsing and expanding by keyboard, as a user does, is recorded with the plug-in list.
    SetFocus(pane.tree);
    TreeView_SelectItem(pane.tree, folder);
    SendMessageW(pane.tree, WM_KEYDOWN, VK_LEFT, 0);
    Pump();
    CHECK(model.plugIns[SIDE_PACKAGE]->expanded == 0);
    SendMessageW(pane.tree, WM_KEYDOWN, VK_RIGHT, 0);
    Pump();
    CHECK(model.plugIns[SIDE_PACKAGE]->expanded == 1);
    TreeView_SelectItem(pane.tree, zeta);
    Pump();

    std::unique_ptr<PlugInEntry> middle(storetest::MakePlugIn(L"Limiter", L"{7F000000-0000-4000-8000-000000000006}",
                                                              0, 0, 0, {storetest::MakePreset(L"Soft", Pattern(4, 1))}));
    REQUIRE(AddPreset(model, *middle, *middle->PresetAt(0), SIDE_PACKAGE) == S_OK);
    PlugInEntry* eq = model.plugIns[SIDE_PACKAGE]->FindEntryByName(L"Eq One", nullptr);
    REQUIRE(eq != nullptr);
    REQUIRE(RemovePreset(model, *eq, *eq->PresetAt(0), SIDE_PACKAGE) == S_OK);
    FillTree(pane, package.path.c_str());
    Pump();
    CHECK(TreeDump(pane.tree) == L"Sample Set.kvpreset\n"
                                 L"  FX Chains\n"
                                 L"  FX Plug-Ins\n"
                                 L"    Limiter\n"
                                 L"    Zeta Comp\n");
    CHECK(TreeView_GetSelection(pane.tree) == zeta);
    CHECK((TreeView_GetItemState(pane.tree, folder, TVIS_EXPANDED) & TVIS_EXPANDED) != 0);

    SUBCASE("the folders go when nothing is left in them") {
        delete model.chains[SIDE_PACKAGE];
        model.chains[SIDE_PACKAGE] = nullptr;
        PlugInList* plugIns = model.plugIns[SIDE_PACKAGE];
        while (plugIns->Count() > 0) plugIns->DeleteAt(0);
        FillTree(pane, package.path.c_str());
        CHECK(TreeDump(pane.tree) == L"Sample Set.kvpreset\n");
    }
}

TEST_CASE("a package that is missing or damaged leaves an untitled document after its message") {
    testsupport::ScratchDir folder(L"frame-open");
    std::wstring missing = folder.file(L"gone.kvpreset");
    std::wstring damaged = folder.file(L"damaged.kvpreset");
    const char garbage[] = "RIFF\x04\x00\x00\x00KVPDjunk";
    REQUIRE(testsupport::WriteWholeFile(damaged, garbage, sizeof(garbage) - 1));
    struct Case {
        const std::wstring* path;
        const wchar_t* message;
    };
    for (Case c : {Case{&missing, L"could not be opened.\n\nMake sure you have access"},
                   Case{&damaged, L"is not in a supported format, or contains an unrecoverable error."}}) {
        CAPTURE(storetest::Narrow(*c.path));
        AppSession session(*c.path);
        TestFrame frame(session);
        REQUIRE(session.boxes.texts.size() == 1);
        CHECK(session.boxes.texts[0].find(*c.path) != std::wstring::npos);
        CHECK(session.boxes.texts[0].find(c.message) != std::wstring::npos);
        CHECK(g_appContext.document.flags == DOC_UNTITLED);
        CHECK(std::wstring(g_appContext.document.path) == L"Untitled");
        CHECK(WindowText(frame.window()) == L"Varden Tarrow 2.0 - Untitled");
        CHECK(TreeDump(frame.pane(PANE_PACKAGE).tree) == L"Untitled\n");
        CHECK(frame.state().catalogue.plugIns[SIDE_PACKAGE] == nullptr);
    }
}

TEST_CASE("opening a package replaces the package side and keeps a read-only file's flag") {
    PackageFile first;
    testsupport::ScratchDir folder(L"frame-second");
    std::wstring second = folder.file(L"Other.kvpreset");
    {
        PlugInList plugIns;
        plugIns.Append(storetest::MakePlugIn(L"Gate", L"{7F100000-0000-4000-8000-000000000007}", 0, 0, 0,
                                             {storetest::MakePreset(L"Tight", Pattern(6, 1))}));
        REQUIRE(WritePackageFile(second.c_str(), &plugIns, nullptr) >= 0);
    }
    REQUIRE(SetFileAttributesW(second.c_str(), FILE_ATTRIBUTE_READONLY));
    AppSession session(first.path);
    TestFrame frame(session);
    REQUIRE(SelectNode(frame.pane(PANE_PACKAGE), {L"Sample Set.kvpreset", L"FX Chains"}) != nullptr);

    DocumentRecord request{};
    wcscpy(request.path, second.c_str());
    request.flags = DOC_MODIFIED | DOC_UNTITLED; // only the read-only flag of a request is read
    CHECK(OpenPackage(frame.state(), request) == S_OK);
    CHECK(g_appContext.document.flags == DOC_READONLY);
    CHECK(WindowText(frame.window()) == L"Varden Tarrow 2.0 - Other.kvpreset (Read-Only)");
    CHECK(TreeDump(frame.pane(PANE_PACKAGE).tree) == L"Other.kvpreset\n  FX Plug-Ins\n    Gate\n");
    CHECK(ListRows(frame.pane(PANE_PACKAGE).list).empty());
    CHECK(frame.pane(PANE_PACKAGE).currentNodeKind == NODE_NONE);

    wcscpy(request.path, folder.file(L"nothing here.kvpreset").c_str());
    CHECK(OpenPackage(frame.state(), request) == KV_E_DATA_FILE_MISSING);
    CHECK(std::wstring(g_appContext.document.path) == second);
    CHECK(TreeDump(frame.pane(PANE_PACKAGE).tree) == L"Other.kvpreset\n  FX Plug-Ins\n    Gate\n");
    SetFileAttributesW(second.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_CASE("toolbar: twelve buttons, three image strips, tooltips, the destination drop-down and button states") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    HWND toolbar = frame.state().toolbar;
    REQUIRE(toolbar != nullptr);
    CHECK(GetDlgCtrlID(toolbar) == TOOLBAR_ID);

    const int commands[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_UNDO, ID_EDIT_REDO, 0,
                            ID_EDIT_COPY_TO_FILE, ID_EDIT_COPY_TO_SYSTEM, ID_EDIT_DELETE, 0, ID_DESTINATION_BUTTON};
    REQUIRE(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) == 12);
    for (int i = 0; i < 12; ++i) {
        TBBUTTON button{};
        SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        CHECK(button.idCommand == commands[i]);
    }
    for (UINT message : {TB_GETIMAGELIST, TB_GETHOTIMAGELIST, TB_GETDISABLEDIMAGELIST}) {
        auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, message, 0, 0));
        REQUIRE(images != nullptr);
        CHECK(ImageList_GetImageCount(images) == 17);
        int width = 0, height = 0;
        ImageList_GetIconSize(images, &width, &height);
        CHECK(width == 18);
        CHECK(height == 17);
    }

    const std::pair<UINT, const wchar_t*> tips[] = {
        {ID_FILE_NEW, L"New (Ctrl+N)"},       {ID_EDIT_REDO, L"Redo (Ctrl+Shift+Z)"},
        {ID_EDIT_DELETE, L"Delete (Delete)"}, {ID_HELP_WHATS_THIS, L"What's This Help (Shift+F1)"},
        {ID_DESTINATION_BUTTON, L"Lathmere Preset Destination"}};
    for (const auto& [command, text] : tips) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
        info.hdr.idFrom = command;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(frame.window(), WM_NOTIFY, command, reinterpret_cast<LPARAM>(&info));
        CHECK(std::wstring(info.lpszText ? info.lpszText : L"") == text);
    }
    CHECK(ToolbarTipStringId(ID_EDIT_REFRESH) == 0);

    // The drop-down opens menu 110 under the button; a timer inside the menu's loop reads it and closes it.
    static std::vector<std::pair<UINT, std::wstring>> seen;
    seen.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup) return;
        auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = L"";
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            seen.emplace_back(GetMenuItemID(menu, i), text);
        }
        EndMenu();
    });
    NMTOOLBARW drop{};
    drop.hdr.hwndFrom = toolbar;
    drop.hdr.idFrom = TOOLBAR_ID;
    drop.hdr.code = TBN_DROPDOWN;
    drop.iItem = ID_DESTINATION_BUTTON;
    CHECK(SendMessageW(frame.window(), WM_NOTIFY, TOOLBAR_ID, reinterpret_cast<LPARAM>(&drop)) == TBDDRET_DEFAULT);
    KillTimer(nullptr, timer);
    REQUIRE(seen.size() == 1);
    CHECK(seen[0].first == ID_DESTINATION_FIRST);
    CHECK(seen[0].second == L"Moravel Lathmere");

    // Copy to File needs the system side active with a selection; Copy to System the package side.
    PaneState& system = frame.pane(PANE_SYSTEM);
    REQUIRE(SelectNode(system, {L"FX Plug-Ins", L"alpha Delay"}) != nullptr);
    SetFocus(system.list);
    ListView_SetItemState(system.list, 0, LVIS_SELECTED, LVIS_SELECTED);
    Pump();
    CHECK(ButtonEnabled(frame, ID_EDIT_COPY_TO_FILE));
    CHECK_FALSE(ButtonEnabled(frame, ID_EDIT_COPY_TO_SYSTEM));
    CHECK(ButtonEnabled(frame, ID_EDIT_DELETE));
    ListView_SetItemState(system.list, -1, 0, LVIS_SELECTED);
    Pump();
    CHECK_FALSE(ButtonEnabled(frame, ID_EDIT_COPY_TO_FILE));
    CHECK_FALSE(ButtonEnabled(frame, ID_EDIT_DELETE));
    SetFocus(frame.pane(PANE_PACKAGE).tree);
    Pump();
    CHECK(ButtonEnabled(frame, ID_EDIT_COPY_TO_SYSTEM));
    CHECK_FALSE(ButtonEnabled(frame, ID_EDIT_COPY_TO_FILE));
    CHECK_FALSE(ButtonEnabled(frame, ID_FILE_SAVE)); // a clean document
    CHECK_FALSE(ButtonEnabled(frame, ID_EDIT_UNDO));
    CHECK(ButtonEnabled(frame, ID_FILE_NEW));
    CHECK(ButtonEnabled(frame, ID_DESTINATION_BUTTON));

    SUBCASE("no destination installed") {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
        frame.Command(ID_EDIT_REFRESH);
        CHECK_FALSE(ButtonEnabled(frame, ID_DESTINATION_BUTTON));
    }
    SUBCASE("choosing a destination") {
        frame.Command(ID_DESTINATION_FIRST + 2);
        CHECK(frame.state().catalogue.selectedDestination == 2);
    }
}

TEST_CASE("activation reloads the store only when it changed; F5 always reloads") {
    SeededStore store;
    std::wstring dataFile = store.sandbox.file(L"big.dxp");
    REQUIRE(storetest::SetText(PlugInKey(kReverbClass), L"From File", dataFile)); // missing at start-up
    AppSession session;
    TestFrame frame(session);
    PaneState& system = frame.pane(PANE_SYSTEM);
    HTREEITEM reverb = SelectNode(system, {L"FX Plug-Ins", L"Bright Reverb"});
    REQUIRE(reverb != nullptr);
    CHECK(ListRows(system.list) == Lines{L"hall", L"Plate", L"Room"});
    // A reload refills the list, so a selected row tells whether one ran.
    auto selectRow = [&system](int row) { ListView_SetItemState(system.list, row, LVIS_SELECTED, LVIS_SELECTED); };
    selectRow(1);

    auto activate = [&frame] {
        SendMessageW(frame.window(), WM_ACTIVATEAPP, TRUE, 0);
        Pump();
    };
    activate();
    CHECK(SelectedRows(system.list) == std::vector<int>{1}); // nothing changed: nothing reloaded

    SUBCASE("another program adds a preset") {
        std::wstring line = L"reg.exe add \"HKCU\\" + PlugInKey(kReverbClass) + L"\" /v Cathedral /t REG_BINARY /d 0102 /f";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        REQUIRE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        activate();
        CHECK(ListRows(system.list) == Lines{L"Cathedral", L"hall", L"Plate", L"Room"});
        CHECK(TreeView_GetSelection(system.tree) == reverb);
    }
    SUBCASE("a data file appears, then changes") {
        testsupport::WriteWholeFile(dataFile, Pattern(400, 1).data(), 400);
        activate();
        CHECK(ListRows(system.list) == Lines{L"From File", L"hall", L"Plate", L"Room"});
        const PresetEntry* preset =
            frame.state().catalogue.plugIns[SIDE_SYSTEM]->FindEntryByName(L"Bright Reverb", nullptr)->FindPreset(L"From File");
        REQUIRE(preset != nullptr);
        CHECK(preset->dataSize == 400);
        testsupport::WriteWholeFile(dataFile, Pattern(500, 1).data(), 500);
        activate();
        preset = frame.state().catalogue.plugIns[SIDE_SYSTEM]->FindEntryByName(L"Bright Reverb", nullptr)->FindPreset(L"From File");
        REQUIRE(preset != nullptr);
        CHECK(preset->dataSize == 500);
    }
    SUBCASE("a deactivation does nothing, F5 reloads in full") {
        REQUIRE(storetest::SetBinary(PlugInKey(kDelayClass), L"Tape Echo", Pattern(4, 9)));
        SendMessageW(frame.window(), WM_ACTIVATEAPP, FALSE, 0);
        Pump();
        CHECK(SelectedRows(system.list) == std::vector<int>{1});
        frame.Command(ID_EDIT_REFRESH);
        CHECK(SelectedRows(system.list).empty());
        CHECK(ListRows(system.list) == Lines{L"hall", L"Plate", L"Room"});
        selectRow(2);
        frame.Command(ID_EDIT_REFRESH); // even with nothing changed
        CHECK(SelectedRows(system.list).empty());
    }
}

TEST_CASE("the splitter: hit test, cursor, a move within the drag distance, clamps at both ends") {
    AppSession session;
    TestFrame frame(session, 800, 600);
    FrameState& state = frame.state();
    PaneState& pane = state.sides[PANE_PACKAGE];
    const int width = pane.treeWidth;
    CHECK(width == 300);
    const RECT splitter = SplitterRect(pane.treeRect, pane.listRect);
    POINT inside{splitter.left, (splitter.top + splitter.bottom) / 2};
    POINT screen = inside;
    ClientToScreen(frame.window(), &screen);

    CHECK(SendMessageW(frame.window(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)) == HTCLIENT);
    CHECK(state.splitHit == 1);
    CHECK(SendMessageW(frame.window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(frame.window()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE);
    CHECK(GetCursor() == LoadCursorW(nullptr, IDC_SIZEWE));

    const LPARAM press = MAKELPARAM(inside.x, inside.y);
    SendMessageW(frame.window(), WM_LBUTTONDOWN, MK_LBUTTON, press);
    CHECK(GetCapture() == frame.window());
    CHECK(state.splitStage == SPLIT_PRESSED);
    SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside.x + 1, inside.y));
    CHECK(state.splitStage == SPLIT_PRESSED);
    SendMessageW(frame.window(), WM_LBUTTONUP, 0, MAKELPARAM(inside.x + 1, inside.y));
    CHECK(state.splitStage == SPLIT_IDLE);
    CHECK(GetCapture() == nullptr);
    CHECK(pane.treeWidth == width);

    auto drag = [&](int toX) {
        SendMessageW(frame.window(), WM_LBUTTONDOWN, MK_LBUTTON, press);
        SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside.x + 40, inside.y));
        SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, inside.y));
        SendMessageW(frame.window(), WM_LBUTTONUP, 0, MAKELPARAM(toX, inside.y));
        Pump();
    };
    drag(inside.x - 40);
    CHECK(pane.treeWidth == width - 40);
    CHECK(pane.listRect.left == pane.treeRect.right + 6);
    drag(-600); // left of the window: the coordinate is negative
    CHECK(pane.treeWidth == 10);
    drag(5000);
    CHECK(pane.treeWidth == (pane.rect.right - pane.rect.left) - 16);
    CHECK(state.sides[PANE_SYSTEM].treeWidth == 300);

    // The lower half of the client area belongs to the system side's splitter.
    PaneState& lower = state.sides[PANE_SYSTEM];
    RECT lowerSplitter = SplitterRect(lower.treeRect, lower.listRect);
    POINT below{lowerSplitter.left + 1, lowerSplitter.bottom - 1};
    ClientToScreen(frame.window(), &below);
    SendMessageW(frame.window(), WM_NCHITTEST, 0, MAKELPARAM(below.x, below.y));
    CHECK(state.splitHit == 2);
    POINT tree{lower.treeRect.left + 5, lower.treeRect.top + 5};
    ClientToScreen(frame.window(), &tree);
    SendMessageW(frame.window(), WM_NCHITTEST, 0, MAKELPARAM(tree.x, tree.y));
    CHECK(state.splitHit == 0);
}

TEST_CASE("tree widths and placement are saved at destruction and applied at the next creation") {
    AppSession session;
    {
        TestFrame frame(session, 900, 700);
        frame.pane(PANE_SYSTEM).treeWidth = 222;
        SetWindowPos(frame.window(), nullptr, 40, 30, 600, 400, SWP_NOZORDER);
        CHECK(frame.pane(PANE_PACKAGE).treeWidth == 300);
        CHECK(frame.pane(PANE_SYSTEM).treeWidth == 222);
        // A window narrower than the tree plus 16 pixels shrinks the tree so that the list keeps 10 pixels.
        SetWindowPos(frame.window(), nullptr, 0, 0, 200, 400, SWP_NOZORDER | SWP_NOMOVE);
        for (uint32_t side : {PANE_PACKAGE, PANE_SYSTEM}) {
            const PaneState& pane = frame.pane(side);
            CHECK(pane.listRect.right - pane.listRect.left == 10);
            CHECK(pane.treeWidth == (pane.rect.right - pane.rect.left) - 16);
        }
        const int shrunk = frame.pane(PANE_SYSTEM).treeWidth;
        CHECK(shrunk < 222);
        SendMessageW(frame.window(), WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(1, 1));
        CHECK(frame.pane(PANE_SYSTEM).treeWidth == shrunk); // a minimised window is not laid out
    }
    const int savedPackage = KvGetMetric(g_appContext.settings, SETTING_PACKAGE_TREE_WIDTH);
    const int savedSystem = KvGetMetric(g_appContext.settings, SETTING_SYSTEM_TREE_WIDTH);
    CHECK(savedPackage > 0);
    CHECK(savedPackage < 200);
    CHECK(savedSystem == savedPackage);
    WINDOWPLACEMENT stored{};
    REQUIRE(KvGetMetricBinary(g_appContext.settings, SETTING_WINDOW_PLACEMENT, &stored, sizeof(stored)) == sizeof(stored));
    CHECK(stored.rcNormalPosition.left == 40);
    CHECK(stored.rcNormalPosition.right - stored.rcNormalPosition.left == 200);

    HWND window = nullptr;
    REQUIRE(CreateFrameWindow(GetModuleHandleW(nullptr), &window) == S_OK);
    KvMsgBoxSetHook(RecordBox, &session.boxes);
    FrameState* state = FrameStateOf(window);
    CHECK(state->sides[PANE_PACKAGE].treeWidth == savedPackage);
    CHECK(state->sides[PANE_SYSTEM].treeWidth == savedSystem);
    ApplyStoredPlacement(window, g_appContext.settings);
    WINDOWPLACEMENT applied{};
    applied.length = sizeof(applied);
    GetWindowPlacement(window, &applied);
    CHECK(applied.rcNormalPosition.left == 40);
    CHECK(applied.rcNormalPosition.top == 30);
    CHECK(applied.rcNormalPosition.right == 240);
    DestroyWindow(window);
    Pump();
}

TEST_CASE("several frames at once share the one window class") {
    AppSession session;
    TestFrame first(session);
    TestFrame second(session);
    CHECK(first.window() != second.window());
    CHECK(&first.state() != &second.state());
    wchar_t className[64] = L"";
    GetClassNameW(second.window(), className, 64);
    CHECK(std::wstring(className) == FRAME_CLASS_NAME);
    first.Destroy();
    CHECK(IsWindow(second.window()));
    TestFrame third(session);
    CHECK(TreeDump(third.pane(PANE_PACKAGE).tree) == L"Untitled\n");
}

TEST_CASE("the menu bar, the destination popup and the accelerator table") {
    AppSession session;
    TestFrame frame(session);
    HMENU bar = GetMenu(frame.window());
    REQUIRE(bar != nullptr);
    auto items = [](HMENU menu) {
        std::wstring text;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t label[128] = L"";
            GetMenuStringW(menu, static_cast<UINT>(i), label, 128, MF_BYPOSITION);
            UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR) text += L"-";
            else text += std::to_wstring(static_cast<int>(GetMenuItemID(menu, i))) + L" " + label +
                         ((state & MF_GRAYED) ? L" (grayed)" : L"");
            text += L"\n";
        }
        return storetest::Narrow(text); // readable when a check fails
    };
    CHECK(GetMenuItemCount(bar) == 3);
    CHECK(items(GetSubMenu(bar, 0)) == "32779 &New\tCtrl+N\n32778 &Open...\tCtrl+O\n-\n32780 &Save\tCtrl+S\n"
                                       "32781 Save &As...\n-\n32772 E&xit\n");
    CHECK(items(GetSubMenu(bar, 1)) == "32784 &Undo\tCtrl+Z (grayed)\n32785 &Redo\tCtrl+Shift+Z (grayed)\n-\n"
                                       "32774 Re&fresh System Presets\tF5\n-\n32775 &Delete\tDelete\n-\n"
                                       "32782 Copy to &File\n32783 Copy to &System\n-\n"
                                       "-1 Lathmere Preset &Destination\n");
    CHECK(items(GetSubMenu(GetSubMenu(bar, 1), 10)) == "32806 Moravel Lathmere\n");
    CHECK(items(GetSubMenu(bar, 2)) == "33100 &Contents and Index\bF1\n-\n33103 Varden Media Software Home &Page\n-\n"
                                       "32771 &About Tarrow...\n");
    KvMenu popup(KvLoadMenu(g_appContext.language, IDR_DESTINATION_MENU));
    REQUIRE(popup);
    CHECK(items(GetSubMenu(popup.get(), 0)) == "32806 Moravel Lathmere\n");

    HACCEL table = g_appContext.accelerators;
    REQUIRE(table != nullptr);
    std::vector<ACCEL> rows(static_cast<size_t>(CopyAcceleratorTableW(table, nullptr, 0)));
    CopyAcceleratorTableW(table, rows.data(), static_cast<int>(rows.size()));
    std::wstring keys;
    for (const ACCEL& row : rows)
        keys += std::to_wstring(row.cmd) + L":" + std::to_wstring(row.key) + L":" +
                std::to_wstring(row.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT)) + L" ";
    const std::wstring control = std::to_wstring(FVIRTKEY | FCONTROL), shiftControl = std::to_wstring(FVIRTKEY | FCONTROL | FSHIFT);
    const std::wstring expected = L"32771:47:16 32771:63:16 32801:65:" + control + L" 32779:78:" + control +
                                  L" 32778:79:" + control + L" 32780:83:" + control + L" 32784:90:" + control +
                                  L" 32785:90:" + shiftControl + L" 32775:46:1 32802:9:" + control + L" 32803:9:" +
                                  shiftControl + L" 32774:116:1 33100:112:1 33101:112:5 32804:113:1 ";
    CHECK(storetest::Narrow(keys) == storetest::Narrow(expected));
}
