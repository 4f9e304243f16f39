// Drag and drop on the real frame, driven with the notifications and mouse messages the panes and the mouse send:
// cursors, capture, what a drop copies and where the target side then stands, and Escape.
#include <windows.h>
#include <doctest.h>
#include "frame_fixture.h"
#include "resource.h"

using namespace frametest;
using storetest::ValueBytes;

namespace {

POINT Centre(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

RECT RowRect(HWND list, int row, int part) {
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, part);
    return rect;
}

void BeginListDrag(const TestFrame& frame, const PaneState& pane, const wchar_t* row) {
    NMLISTVIEW notify{};
    notify.hdr = NMHDR{pane.list, static_cast<UINT_PTR>(GetDlgCtrlID(pane.list)), LVN_BEGINDRAG};
    notify.iItem = FindRow(pane.list, row);
    notify.ptAction = Centre(RowRect(pane.list, notify.iItem, LVIR_LABEL));
    SendMessageW(frame.window(), WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

void BeginTreeDrag(const TestFrame& frame, const PaneState& pane, HTREEITEM node) {
    NMTREEVIEWW notify{};
    notify.hdr = NMHDR{pane.tree, static_cast<UINT_PTR>(GetDlgCtrlID(pane.tree)), TVN_BEGINDRAGW};
    notify.itemNew.hItem = node;
    RECT text{};
    TreeView_GetItemRect(pane.tree, node, &text, TRUE);
    notify.ptDrag = Centre(text);
    SendMessageW(frame.window(), WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

// The mouse at the centre of a rectangle given in frame client coordinates.
void MouseAt(const TestFrame& frame, UINT message, const RECT& where) {
    POINT point = Centre(where);
    SendMessageW(frame.window(), message, message == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(point.x, point.y));
    Pump();
}

HCURSOR SystemCursor(const wchar_t* id) { return LoadCursorW(nullptr, id); }

} // namespace

TEST_CASE("dragging three rows: cursors by target, and a drop on the other list copies") {
    EditSetup s;
    FocusRows(s.systemSide, kSystemReverb, {L"Big", L"hall", L"Room"});
    HCURSOR before = SystemCursor(IDC_CROSS);
    SetCursor(before);
    BeginListDrag(s.frame, s.systemSide, L"hall");
    DragState& drag = s.frame.state().drag;

    REQUIRE(drag.dragging == 1);
    CHECK(GetCapture() == s.frame.window());
    CHECK(GetCursor() == SystemCursor(IDC_NO));
    CHECK(drag.dragImage.valid());

    MouseAt(s.frame, WM_MOUSEMOVE, s.packageSide.listRect);
    CHECK(drag.overTarget == 1);
    CHECK(GetCursor() == SystemCursor(IDC_ARROW));
    MouseAt(s.frame, WM_LBUTTONUP, s.packageSide.listRect);

    CHECK(drag.dragging == 0);
    CHECK(GetCapture() == nullptr);
    CHECK(GetCursor() == before);
    CHECK(s.answers.boxes.empty());
    CHECK(SelectedNodeText(s.packageSide) == L"Bright Reverb");
    CHECK(ListRows(s.packageSide.list) == Lines{L"Big", L"Cathedral", L"hall", L"Plate", L"Room"});
    CHECK(s.Modified());
}

TEST_CASE("dragging a plug-in node onto the other tree copies all its presets") {
    EditSetup s;
    HTREEITEM zeta = SelectNode(s.packageSide, {kPackageRoot, L"FX Plug-Ins", L"Zeta Comp"});
    REQUIRE(zeta != nullptr);
    SelectNode(s.packageSide, {kPackageRoot});
    BeginTreeDrag(s.frame, s.packageSide, zeta);
    DragState& drag = s.frame.state().drag;
    REQUIRE(drag.dragging == 1);
    CHECK(drag.dragImage.valid());
    CHECK(SelectedNodeText(s.packageSide) == L"Zeta Comp"); // the dragged node is selected, the list follows it
    CHECK(GetFocus() == s.packageSide.tree);

    MouseAt(s.frame, WM_MOUSEMOVE, s.systemSide.treeRect);
    MouseAt(s.frame, WM_LBUTTONUP, s.systemSide.treeRect);
    CHECK(GetCapture() == nullptr);
    CHECK(ValueBytes(PlugInKey(kZetaClass), L"Knee") == Pattern(20, 5));
    CHECK(FindTreeItem(s.systemSide, L"Zeta Comp", NODE_PLUGIN) != nullptr);
    CHECK_FALSE(s.Modified());
}

TEST_CASE("a drop on the other list follows a copied plug-in to the name the store gives it") {
    EditSetup s;
    storetest::RegisterClassName(kZetaClass, L"Zeta Compressor");
    FocusRows(s.packageSide, {kPackageRoot, L"FX Plug-Ins", L"Zeta Comp"}, {L"Knee"});
    BeginListDrag(s.frame, s.packageSide, L"Knee");
    MouseAt(s.frame, WM_MOUSEMOVE, s.systemSide.listRect);
    MouseAt(s.frame, WM_LBUTTONUP, s.systemSide.listRect);
    CHECK(SelectedNodeText(s.systemSide) == L"Zeta Compressor");
    CHECK(ListRows(s.systemSide.list) == Lines{L"Knee"});
}

TEST_CASE("a drop on the source side or outside both sides, Escape or a lost capture end the drag, nothing copied") {
    EditSetup s;
    const Lines packageRows = ListRows(s.packageSide.list);
    HCURSOR before = SystemCursor(IDC_CROSS);
    const RECT places[] = {s.systemSide.listRect, s.systemSide.treeRect, s.packageSide.captionRect};
    for (int way = 0; way < 5; ++way) {
        CAPTURE(way);
        FocusRows(s.systemSide, kSystemReverb, {L"hall"});
        SetCursor(before);
        BeginListDrag(s.frame, s.systemSide, L"hall");
        REQUIRE(s.frame.state().drag.dragging == 1);
        if (way < 3) { // dropped where nothing is copied
            MouseAt(s.frame, WM_MOUSEMOVE, places[way]);
            CHECK(GetCursor() == SystemCursor(IDC_NO));
            MouseAt(s.frame, WM_LBUTTONUP, places[way]);
        } else {
            MouseAt(s.frame, WM_MOUSEMOVE, s.packageSide.listRect);
            if (way == 3) s.frame.Command(IDCANCEL); // Escape, which the message loop sends as the cancel command
            else { // another window takes the mouse
                HWND other = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
                SetCapture(other);
                Pump();
                ReleaseCapture();
                DestroyWindow(other);
            }
            CHECK(GetCursor() == before);
            MouseAt(s.frame, WM_LBUTTONUP, s.packageSide.listRect); // the release after the end drops nothing
        }
        CHECK(s.frame.state().drag.dragging == 0);
        CHECK(GetCapture() == nullptr);
    }
    CHECK(ListRows(s.packageSide.list) == packageRows);
    CHECK(s.frame.state().history->undoSteps.Count() == 0);
    CHECK_FALSE(s.Modified());
    CHECK(s.answers.boxes.empty());
}
