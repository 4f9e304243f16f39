// The real frame window in the test process, driven with messages: what both sides show, how they navigate, the
// toolbar and menus, the layout and settings, opening packages, and the reload of the store on activation.
#include <doctest.h>
#include <memory>
#include "document_open.h"
#include "frame_fixture.h"
#include "frame_layout.h"
#include "kvresult.h"
#include "settings_ids.h"
#include "toolbar.h"

using namespace frametest;

TEST_CASE("start-up shows the package above and the store below, sorted, with captions; the list follows the node") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& packageSide = frame.pane(PANE_PACKAGE);
    PaneState& system = frame.pane(PANE_SYSTEM);

    CHECK(session.answers.boxes.empty());
    CHECK(Text(frame.window()) == L"Varden Tarrow 2.0 - Sample Set.kvpreset");
    CHECK(TreeDump(packageSide.tree) == L"Sample Set.kvpreset\n  FX Chains\n  FX Plug-Ins\n    Eq One\n    Zeta Comp\n");
    CHECK(TreeDump(system.tree) == L"FX Chains\nFX Plug-Ins\n  alpha Delay\n  Bright Reverb\n  Moravel Lathmere Tape\n"
                                   L"  Not Installed 000\n");
    CHECK(frame.state().catalogue.selectedDestination == 0); // the last (and only) destination

    struct Row {
        PaneState* pane;
        std::vector<const wchar_t*> path;
        NodeKind kind;
        Lines rows;
    };
    const wchar_t* root = L"Sample Set.kvpreset";
    const Row rows[] = {
        {&packageSide, {root, L"FX Plug-Ins"}, NODE_PLUGINS, {L"Eq One", L"Zeta Comp"}},
        {&packageSide, {root, L"FX Chains"}, NODE_CHAINS, {L"Guitar Rig"}},
        {&system, {L"FX Plug-Ins", L"bright reverb"}, NODE_PLUGIN, {L"hall", L"Plate", L"Room"}},
    };
    for (const Row& row : rows) {
        CAPTURE(storetest::Narrow(row.path.back()));
        REQUIRE(SelectNode(*row.pane, row.path) != nullptr);
        CHECK(row.pane->currentNodeKind == row.kind);
        CHECK(ListRows(row.pane->list) == row.rows);
    }
}

TEST_CASE("a list finds its rows by whole name ignoring case, and by the first letters typed") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& system = frame.pane(PANE_SYSTEM);
    REQUIRE(SelectNode(system, {L"FX Plug-Ins", L"bright reverb"}) != nullptr);
    REQUIRE(ListRows(system.list) == Lines{L"hall", L"Plate", L"Room"});
    CHECK(FindRow(system.list, L"PLATE") == 1);
    CHECK(FindRow(system.list, L"Pla") == -1);

    SetFocus(system.list);
    SendMessageW(system.list, WM_CHAR, L'r', 1); // a repeat count of 1
    Pump();
    CHECK(ListView_GetNextItem(system.list, -1, LVNI_FOCUSED) == 2);
    CHECK(SelectedRows(system.list) == std::vector<int>{2});

    // A Shift+click selects a range of rows, and the toolbar follows.
    ListView_SetItemState(system.list, -1, 0, LVIS_SELECTED);
    Pump();
    CHECK_FALSE(frame.Enabled(ID_EDIT_DELETE));
    RECT rect{};
    ListView_GetItemRect(system.list, 0, &rect, LVIR_LABEL);
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(system.list, WM_LBUTTONUP, 0, point); // ends the control's wait for a drag
    SendMessageW(system.list, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, point);
    Pump();
    CHECK(SelectedRows(system.list) == std::vector<int>{0, 1, 2});
    CHECK(frame.Enabled(ID_EDIT_DELETE));
}

TEST_CASE("opening rows by double click and Enter; renaming only presets and chains, F2") {
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& pane = frame.pane(PANE_PACKAGE);
    auto selected = [&pane] { return TreeItemText(pane.tree, TreeView_GetSelection(pane.tree)); };
    REQUIRE(SelectNode(pane, {L"Sample Set.kvpreset"}) != nullptr);
    SetFocus(pane.list);
    CHECK(ListView_EditLabel(pane.list, 0) == nullptr); // folder rows keep their names

    DoubleClickRow(pane.list, 1); // "FX Plug-Ins"
    CHECK(selected() == L"FX Plug-Ins");
    CHECK(ListRows(pane.list) == Lines{L"Eq One", L"Zeta Comp"});
    CHECK(SelectedRows(pane.list) == std::vector<int>{0});
    CHECK(ListView_EditLabel(pane.list, 0) == nullptr); // and so do plug-in rows

    SelectOnly(pane.list, 1);
    SendMessageW(pane.list, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    CHECK(selected() == L"Zeta Comp");
    CHECK(ListRows(pane.list) == Lines{L"a", L"B"});

    DoubleClickRow(pane.list, 1); // a preset row is renamed instead
    HWND edit = ListView_GetEditControl(pane.list);
    REQUIRE(edit != nullptr);
    CHECK(Text(edit) == L"B");
    SetWindowTextW(edit, L"Brand New");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    CHECK(ListRows(pane.list) == Lines{L"a", L"Brand New"});

    SelectOnly(pane.list, 0);
    frame.Command(ID_EDIT_RENAME);
    edit = ListView_GetEditControl(pane.list);
    REQUIRE(edit != nullptr);
    CHECK(Text(edit) == L"a");
    ListView_CancelEditLabel(pane.list);

    REQUIRE(SelectNode(pane, {L"Sample Set.kvpreset", L"FX Chains"}) != nullptr);
    SetFocus(pane.list);
    CHECK(ListView_EditLabel(pane.list, 0) != nullptr);
    ListView_CancelEditLabel(pane.list);
}

TEST_CASE("focus makes a side active; Ctrl+Tab passes over empty panes; Ctrl+A only in a list; focus comes back") {
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
    CHECK(frame.state().activeSide == PANE_PACKAGE);
    CHECK(frame.state().focusedPaneKind == PANE_LIST);
    std::vector<HWND> order = {sides[PANE_PACKAGE].tree, sides[PANE_PACKAGE].list};
    if (store) order.insert(order.begin(), {sides[PANE_SYSTEM].tree, sides[PANE_SYSTEM].list});
    for (HWND expected : order) {
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
        CHECK(SelectedRows(sides[PANE_SYSTEM].list) == std::vector<int>{0}); // landing on a list selects a row
        frame.Command(ID_EDIT_SELECT_ALL);
        CHECK(SelectedRows(sides[PANE_SYSTEM].list) == std::vector<int>{0, 1});
    }
    SetFocus(sides[PANE_PACKAGE].tree);
    CHECK(frame.state().activeSide == PANE_PACKAGE);
    CHECK(frame.state().focusedPaneKind == PANE_TREE);
    ListView_SetItemState(sides[PANE_PACKAGE].list, -1, 0, LVIS_SELECTED);
    frame.Command(ID_EDIT_SELECT_ALL);
    CHECK(SelectedRows(sides[PANE_PACKAGE].list).empty());

    // Switching to another window and back gives the focus back to the pane that had it.
    SetFocus(sides[PANE_PACKAGE].list);
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 80, 40, nullptr, nullptr,
                                 nullptr, nullptr);
    SetActiveWindow(other);
    CHECK(GetFocus() != sides[PANE_PACKAGE].list);
    SetActiveWindow(frame.window());
    CHECK(GetFocus() == sides[PANE_PACKAGE].list);
    DestroyWindow(other);
}

TEST_CASE("a refill keeps valid nodes with their expansion and selection, and removes stale ones") {
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    PaneState& pane = frame.pane(PANE_PACKAGE);
    CatalogueModel& model = frame.state().catalogue;
    HTREEITEM zeta = SelectNode(pane, {L"Sample Set.kvpreset", L"FX Plug-Ins", L"Zeta Comp"});
    REQUIRE(zeta != nullptr);
    PlugInEntry* eq = model.plugIns[SIDE_PACKAGE]->FindEntryByName(L"Eq One", nullptr);
    REQUIRE(eq != nullptr);
    REQUIRE(RemovePreset(model, *eq, *eq->PresetAt(0), SIDE_PACKAGE) == S_OK); // its last preset
    FillTree(pane, package.path.c_str());
    CHECK(TreeDump(pane.tree) == L"Sample Set.kvpreset\n  FX Chains\n  FX Plug-Ins\n    Zeta Comp\n");
    CHECK(TreeView_GetSelection(pane.tree) == zeta);
    CHECK((TreeView_GetItemState(pane.tree, TreeView_GetParent(pane.tree, zeta), TVIS_EXPANDED) & TVIS_EXPANDED) != 0);
}

TEST_CASE("opening packages: a missing or damaged one leaves the document as it was, at start-up an untitled one") {
    testsupport::ScratchDir folder(L"frame-open");
    const std::wstring damaged = folder.file(L"damaged.kvpreset");
    const std::wstring missing = (folder.file(L"") + std::wstring(300, L'p')).substr(0, DOC_PATH_CHARS - 1); // as cut
    REQUIRE(testsupport::WriteWholeFile(damaged, "RIFF\x04\0\0\0KVPDjunk", 16));
    const std::pair<std::wstring, const wchar_t*> failures[] = {
        {missing, L"could not be opened.\n\nMake sure you have access"},
        {damaged, L"is not in a supported format, or contains an unrecoverable error."}};
    for (const auto& [path, message] : failures) {
        CAPTURE(storetest::Narrow(path));
        AppSession session(path);
        TestFrame frame(session);
        REQUIRE(session.answers.boxes.size() == 1);
        CHECK(session.answers.boxes[0].text.find(path) != std::wstring::npos);
        CHECK(session.answers.boxes[0].text.find(message) != std::wstring::npos);
        CHECK(g_appContext.document.flags == DOC_UNTITLED);
        CHECK(Text(frame.window()) == L"Varden Tarrow 2.0 - Untitled");
    }

    PackageFile package;
    std::wstring other = folder.file(L"Other.kvpreset");
    PlugInList plugIns;
    plugIns.Append(storetest::MakePlugIn(L"Gate", L"{7F100000-0000-4000-8000-000000000007}", 0, 0, 0,
                                         {storetest::MakePreset(L"Tight", Pattern(6, 1))}));
    REQUIRE(WritePackageFile(other.c_str(), &plugIns, nullptr) >= 0);
    REQUIRE(SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_READONLY));
    AppSession session(package.path);
    TestFrame frame(session);
    REQUIRE(SelectNode(frame.pane(PANE_PACKAGE), {L"Sample Set.kvpreset", L"FX Chains"}) != nullptr);
    EditHistory& history = *frame.state().history;
    REQUIRE(history.undoSteps.Insert(0, std::make_unique<EditStep>(SIDE_PACKAGE)) == S_OK);
    DocumentRecord request{};
    wcscpy(request.path, other.c_str());
    request.flags = DOC_MODIFIED | DOC_UNTITLED; // only the read-only flag of a request counts
    CHECK(OpenPackage(frame.state(), request) == S_OK);
    CHECK(history.undoSteps.Count() == 0);
    CHECK(g_appContext.document.flags == DOC_READONLY); // from the file's attribute
    CHECK(Text(frame.window()) == L"Varden Tarrow 2.0 - Other.kvpreset (Read-Only)");
    CHECK(TreeDump(frame.pane(PANE_PACKAGE).tree) == L"Other.kvpreset\n  FX Plug-Ins\n    Gate\n");
    SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_CASE("toolbar: the destination drop-down and the enabled states") {
    SeededStore store;
    PackageFile package;
    AppSession session(package.path);
    TestFrame frame(session);
    HWND toolbar = frame.state().toolbar;
    REQUIRE(toolbar != nullptr);

    // The drop-down opens menu 110; a timer inside the menu's own loop reads it and closes it.
    static Lines seen;
    seen.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        auto menu = reinterpret_cast<HMENU>(SendMessageW(FindWindowW(L"#32768", nullptr), MN_GETHMENU, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = L"";
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            seen.push_back(std::to_wstring(GetMenuItemID(menu, i)) + L" " + text);
        }
        if (menu) EndMenu();
    });
    NMTOOLBARW drop{};
    drop.hdr = NMHDR{toolbar, TOOLBAR_ID, static_cast<UINT>(TBN_DROPDOWN)};
    drop.iItem = ID_DESTINATION_BUTTON;
    CHECK(SendMessageW(frame.window(), WM_NOTIFY, TOOLBAR_ID, reinterpret_cast<LPARAM>(&drop)) == TBDDRET_DEFAULT);
    KillTimer(nullptr, timer);
    CHECK(seen == Lines{L"32806 Moravel Lathmere"});

    PaneState& system = frame.pane(PANE_SYSTEM);
    REQUIRE(SelectNode(system, {L"FX Plug-Ins", L"alpha Delay"}) != nullptr);
    SetFocus(system.list);
    SelectOnly(system.list, 0);
    CHECK(frame.Enabled(ID_EDIT_COPY_TO_FILE));
    ListView_SetItemState(system.list, -1, 0, LVIS_SELECTED);
    CHECK_FALSE(frame.Enabled(ID_EDIT_COPY_TO_FILE));
    CHECK(frame.Enabled(ID_DESTINATION_BUTTON));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
    frame.Command(ID_EDIT_REFRESH);
    CHECK_FALSE(frame.Enabled(ID_DESTINATION_BUTTON)); // no destination installed any more
}

TEST_CASE("activation reloads the store only when it changed; F5 always reloads") {
    SeededStore store;
    AppSession session;
    TestFrame frame(session);
    PaneState& system = frame.pane(PANE_SYSTEM);
    HTREEITEM reverb = SelectNode(system, {L"FX Plug-Ins", L"Bright Reverb"});
    REQUIRE(reverb != nullptr);
    // A reload refills the list, so a selected row tells whether one ran.
    SelectOnly(system.list, 1);
    auto activate = [&frame](BOOL active) {
        SendMessageW(frame.window(), WM_ACTIVATEAPP, active, 0);
        Pump();
    };
    activate(TRUE);
    CHECK(SelectedRows(system.list) == std::vector<int>{1}); // nothing changed: nothing reloaded

    // Another program adds a preset: a deactivation does nothing, the next activation reloads.
    REQUIRE(storetest::SetBinary(PlugInKey(kReverbClass), L"Cathedral", Pattern(4, 9)));
    activate(FALSE);
    CHECK(SelectedRows(system.list) == std::vector<int>{1});
    activate(TRUE);
    CHECK(ListRows(system.list) == Lines{L"Cathedral", L"hall", L"Plate", L"Room"});
    CHECK(TreeView_GetSelection(system.tree) == reverb);

    SelectOnly(system.list, 2);
    frame.Command(ID_EDIT_REFRESH);
    CHECK(SelectedRows(system.list).empty());
    CHECK(ListRows(system.list) == Lines{L"Cathedral", L"hall", L"Plate", L"Room"});
}

TEST_CASE("the splitter: hit test, cursor, a move within the drag distance, a drag past the window's left edge") {
    AppSession session;
    TestFrame frame(session, 800, 600);
    FrameState& state = frame.state();
    PaneState& pane = state.sides[PANE_PACKAGE];
    CHECK(pane.treeWidth == PANE_DEFAULT_TREE_WIDTH);
    auto hitTest = [&frame](POINT client) {
        ClientToScreen(frame.window(), &client);
        return SendMessageW(frame.window(), WM_NCHITTEST, 0, MAKELPARAM(client.x, client.y));
    };
    const RECT splitter = SplitterRect(pane.treeRect, pane.listRect);
    const POINT inside{splitter.left, (splitter.top + splitter.bottom) / 2};
    const LPARAM press = MAKELPARAM(inside.x, inside.y);
    CHECK(hitTest(inside) == HTCLIENT);
    CHECK(state.splitHit == 1);
    CHECK(SendMessageW(frame.window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(frame.window()), HTCLIENT) == TRUE);
    CHECK(GetCursor() == LoadCursorW(nullptr, IDC_SIZEWE));

    SendMessageW(frame.window(), WM_LBUTTONDOWN, MK_LBUTTON, press);
    CHECK(GetCapture() == frame.window());
    SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside.x + 1, inside.y));
    CHECK(state.splitStage == SPLIT_PRESSED);
    SendMessageW(frame.window(), WM_LBUTTONUP, 0, MAKELPARAM(inside.x + 1, inside.y));
    CHECK(state.splitStage == SPLIT_IDLE);
    CHECK(GetCapture() == nullptr);
    CHECK(pane.treeWidth == PANE_DEFAULT_TREE_WIDTH);

    auto drag = [&](int toX) {
        SendMessageW(frame.window(), WM_LBUTTONDOWN, MK_LBUTTON, press);
        SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside.x + 40, inside.y));
        SendMessageW(frame.window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, inside.y));
        SendMessageW(frame.window(), WM_LBUTTONUP, 0, MAKELPARAM(toX, inside.y));
    };
    drag(inside.x - 40);
    CHECK(pane.treeWidth == PANE_DEFAULT_TREE_WIDTH - 40);
    drag(-600); // left of the window: a negative coordinate
    CHECK(pane.treeWidth == MIN_TREE_WIDTH);
    CHECK(state.sides[PANE_SYSTEM].treeWidth == PANE_DEFAULT_TREE_WIDTH);
}

TEST_CASE("tree widths and placement are saved at destruction, the widths applied at the next creation") {
    AppSession session;
    {
        TestFrame frame(session, 900, 700);
        frame.pane(PANE_SYSTEM).treeWidth = 222;
        SetWindowPos(frame.window(), nullptr, 40, 30, 600, 400, SWP_NOZORDER);
        SetWindowPos(frame.window(), nullptr, 0, 0, 200, 400, SWP_NOZORDER | SWP_NOMOVE); // the trees give way
        const int shrunk = frame.pane(PANE_SYSTEM).treeWidth;
        SendMessageW(frame.window(), WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(1, 1));
        CHECK(frame.pane(PANE_SYSTEM).treeWidth == shrunk); // a minimised window is not laid out
    }
    const int saved = KvGetMetric(g_appContext.settings, SETTING_PACKAGE_TREE_WIDTH);
    CHECK(saved > 0);
    CHECK(saved < 200);
    CHECK(KvGetMetric(g_appContext.settings, SETTING_SYSTEM_TREE_WIDTH) == saved);
    WINDOWPLACEMENT stored{};
    REQUIRE(KvGetMetricBinary(g_appContext.settings, SETTING_WINDOW_PLACEMENT, &stored, sizeof(stored)) == sizeof(stored));
    CHECK(stored.rcNormalPosition.left == 40);
    CHECK(stored.rcNormalPosition.right == 240);

    TestFrame next(session); // the stored placement's use is the display scale tests'
    CHECK(next.pane(PANE_PACKAGE).treeWidth == saved);
    CHECK(next.pane(PANE_SYSTEM).treeWidth == saved);
}
