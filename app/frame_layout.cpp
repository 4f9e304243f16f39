// Layout of the toolbar and the two sides, and the splitter between each side's tree and list.
#include "frame_layout.h"
#include <windowsx.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include "frame_state.h"
#include "kvgdi_handles.h"

namespace {

constexpr int kToolbarX = 3;
constexpr int kToolbarY = 2;
constexpr int kToolbarExtraHeight = 2;
constexpr int kToolbarLineOffset = 2;

int Width(const RECT& rect) { return rect.right - rect.left; }

SIZE CaptionTextSize(HWND caption) {
    SIZE size{};
    if (!caption) return size;
    int length = GetWindowTextLengthW(caption);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(caption, text.data(), length + 1);
    KvWindowDC dc(caption);
    if (!dc.get()) return size;
    KvSelectObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(caption, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc.get(), text.c_str(), length, &size);
    return size;
}

int ToolbarIdealHeight(HWND toolbar) {
    SIZE ideal{};
    if (SendMessageW(toolbar, TB_GETIDEALSIZE, TRUE, reinterpret_cast<LPARAM>(&ideal)) && ideal.cy > 0) return ideal.cy;
    return HIWORD(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
}

POINT SignedPoint(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

} // namespace

FrameRects ComputeFrameRects(const RECT& client, int newWidth, SIZE toolbarIdeal) {
    FrameRects rects{};
    int toolbarWidth = std::max(Width(client) - kToolbarX, newWidth - kToolbarX);
    rects.toolbar = RECT{kToolbarX, kToolbarY, kToolbarX + toolbarWidth,
                         kToolbarY + static_cast<int>(toolbarIdeal.cy) + kToolbarExtraHeight};
    RECT area = client;
    area.left += FRAME_MARGIN;
    area.right -= FRAME_MARGIN;
    area.bottom -= FRAME_MARGIN;
    int height = area.bottom - area.top;
    rects.sides[0] = RECT{area.left, area.top + FRAME_SIDES_TOP, area.right, height / 2 - FRAME_SIDE_GAP};
    rects.sides[1] = RECT{area.left, height / 2 + FRAME_SIDE_GAP, area.right, area.bottom};
    return rects;
}

SideRects ComputeSideRects(const RECT& side, SIZE captionText, int32_t treeWidth) {
    SideRects rects{};
    const int top = side.top + static_cast<int>(captionText.cy);
    rects.caption = RECT{side.left, side.top, side.left + static_cast<int>(captionText.cx), top};
    // The list keeps at least its minimum width; the tree gives way (never below nothing).
    int listWidth = side.right - (side.left + treeWidth + SPLITTER_WIDTH);
    if (listWidth < MIN_LIST_WIDTH) treeWidth = std::max(0, treeWidth - (MIN_LIST_WIDTH - listWidth));
    rects.treeWidth = treeWidth;
    rects.tree = RECT{side.left, top, side.left + treeWidth, side.bottom};
    rects.list = RECT{rects.tree.right + SPLITTER_WIDTH, top, side.right, side.bottom};
    return rects;
}

RECT SplitterRect(const RECT& tree, const RECT& list) { return RECT{tree.right, tree.top, list.left, tree.bottom}; }

int32_t SplitterHitTest(POINT point, int clientHeight, const RECT splitters[2]) {
    int side = point.y < clientHeight / 2 ? 0 : 1;
    return PtInRect(&splitters[side], point) ? side + 1 : 0;
}

bool BeyondDragDistance(POINT press, POINT point, SIZE dragDistance) {
    const int halfWidth = (static_cast<int>(dragDistance.cx) + 1) / 2;
    const int halfHeight = (static_cast<int>(dragDistance.cy) + 1) / 2;
    RECT still{press.x - halfWidth, press.y - halfHeight, press.x + halfWidth, press.y + halfHeight};
    return !PtInRect(&still, point);
}

int32_t DraggedTreeWidth(int32_t startWidth, int dx, const RECT& side) {
    int32_t width = std::min(startWidth + dx, Width(side) - TREE_RESERVE);
    return std::max(width, MIN_TREE_WIDTH);
}

void ComputeSideLayout(PaneState& pane) {
    SideRects rects = ComputeSideRects(pane.rect, CaptionTextSize(pane.caption), pane.treeWidth);
    pane.treeWidth = rects.treeWidth;
    pane.captionRect = rects.caption;
    pane.treeRect = rects.tree;
    pane.listRect = rects.list;
}

void LayoutSide(PaneState& pane) {
    ComputeSideLayout(pane);
    HDWP batch = BeginDeferWindowPos(3);
    auto place = [&batch](HWND window, HWND after, const RECT& rect, UINT flags) {
        if (!window || !batch) return;
        batch = DeferWindowPos(batch, window, after, rect.left, rect.top, Width(rect), rect.bottom - rect.top,
                               flags | SWP_NOACTIVATE);
    };
    place(pane.caption, HWND_BOTTOM, pane.captionRect, 0);
    place(pane.tree, nullptr, pane.treeRect, SWP_NOZORDER);
    place(pane.list, nullptr, pane.listRect, SWP_NOZORDER);
    if (batch) EndDeferWindowPos(batch);
}

void LayoutFrame(FrameState& frame, UINT sizeType, int newWidth) {
    if (sizeType == SIZE_MINIMIZED || !frame.frame) return;
    RECT client{};
    GetClientRect(frame.frame, &client);
    SIZE ideal{0, frame.toolbar ? ToolbarIdealHeight(frame.toolbar) : 0};
    FrameRects rects = ComputeFrameRects(client, newWidth, ideal);
    if (frame.toolbar)
        SetWindowPos(frame.toolbar, nullptr, rects.toolbar.left, rects.toolbar.top, Width(rects.toolbar),
                     rects.toolbar.bottom - rects.toolbar.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (int side = 0; side < frame.sideCount; ++side) {
        frame.sides[side].rect = rects.sides[side];
        LayoutSide(frame.sides[side]);
    }
}

void PaintToolbarLines(const FrameState& frame, HDC dc) {
    if (!frame.toolbar) return;
    RECT bar{};
    GetClientRect(frame.toolbar, &bar);
    MapWindowPoints(frame.toolbar, frame.frame, reinterpret_cast<POINT*>(&bar), 2);
    InflateRect(&bar, 0, kToolbarLineOffset);
    DrawEdge(dc, &bar, EDGE_ETCHED, BF_TOP | BF_BOTTOM);
}

LRESULT OnSplitterHitTest(FrameState& frame, WPARAM wParam, LPARAM lParam) {
    LRESULT hit = DefWindowProcW(frame.frame, WM_NCHITTEST, wParam, lParam);
    if (hit != HTCLIENT || GetCapture()) return hit;
    frame.splitHit = 0;
    POINT point = SignedPoint(lParam);
    ScreenToClient(frame.frame, &point);
    RECT client{};
    GetClientRect(frame.frame, &client);
    RECT splitters[2] = {};
    for (int side = 0; side < frame.sideCount; ++side)
        splitters[side] = SplitterRect(frame.sides[side].treeRect, frame.sides[side].listRect);
    frame.splitHit = SplitterHitTest(point, client.bottom, splitters);
    return hit;
}

bool OnSplitterSetCursor(FrameState& frame, HWND cursorWindow, UINT hitCode) {
    if (cursorWindow != frame.frame || hitCode != HTCLIENT) return false;
    HCURSOR cursor = LoadCursorW(nullptr, frame.splitHit ? IDC_SIZEWE : IDC_ARROW);
    if (GetCursor() != cursor) SetCursor(cursor);
    return true;
}

void OnSplitterButtonDown(FrameState& frame, LPARAM lParam) {
    if (frame.splitStage != SPLIT_IDLE) return;
    if (frame.splitHit != 1 && frame.splitHit != 2) {
        SetFocus(frame.frame); // passed on to the active side's tree
        return;
    }
    frame.splitStage = SPLIT_PRESSED;
    SetCapture(frame.frame);
    POINT press = SignedPoint(lParam);
    frame.pressX = press.x;
    frame.pressY = press.y;
}

void OnSplitterMouseMove(FrameState& frame, LPARAM lParam) {
    if (GetCapture() != frame.frame || (frame.splitHit != 1 && frame.splitHit != 2)) return;
    PaneState& pane = frame.sides[frame.splitHit - 1];
    POINT point = SignedPoint(lParam);
    if (frame.splitStage == SPLIT_PRESSED) {
        SIZE drag{GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)};
        if (BeyondDragDistance(POINT{frame.pressX, frame.pressY}, point, drag)) {
            frame.splitStage = SPLIT_DRAGGING;
            frame.startWidth = pane.treeWidth;
        }
    } else if (frame.splitStage == SPLIT_DRAGGING) {
        pane.treeWidth = DraggedTreeWidth(frame.startWidth, point.x - frame.pressX, pane.rect);
        RECT client{};
        GetClientRect(frame.frame, &client);
        LayoutFrame(frame, SIZE_RESTORED, client.right);
        RedrawWindow(frame.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

void OnSplitterButtonUp(FrameState& frame) {
    frame.splitStage = SPLIT_IDLE;
    if (GetCapture() == frame.frame) ReleaseCapture();
}
