// Layout of the toolbar and the two sides, and the splitter between each side's tree and list.
#include "frame_layout.h"
#include <windowsx.h>
#include <commctrl.h>
#include <algorithm>
#include <string>
#include "frame_state.h"
#include "kvdpi.h"
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

FrameRects ComputeFrameRects(const RECT& client, int newWidth, SIZE toolbarIdeal, UINT dpi) {
    FrameRects rects{};
    const int toolbarX = KvDpi_Scale(kToolbarX, dpi), toolbarY = KvDpi_Scale(kToolbarY, dpi);
    const int margin = KvDpi_Scale(FRAME_MARGIN, dpi), gap = KvDpi_Scale(FRAME_SIDE_GAP, dpi);
    int toolbarWidth = std::max(Width(client) - toolbarX, newWidth - toolbarX);
    rects.toolbar = RECT{toolbarX, toolbarY, toolbarX + toolbarWidth,
                         toolbarY + static_cast<int>(toolbarIdeal.cy) + KvDpi_Scale(kToolbarExtraHeight, dpi)};
    RECT area = client;
    area.left += margin;
    area.right -= margin;
    area.bottom -= margin;
    int height = area.bottom - area.top;
    rects.sides[0] = RECT{area.left, area.top + KvDpi_Scale(FRAME_SIDES_TOP, dpi), area.right, height / 2 - gap};
    rects.sides[1] = RECT{area.left, height / 2 + gap, area.right, area.bottom};
    return rects;
}

SideRects ComputeSideRects(const RECT& side, SIZE captionText, int32_t treeWidth, UINT dpi) {
    SideRects rects{};
    const int splitter = KvDpi_Scale(SPLITTER_WIDTH, dpi), minListWidth = KvDpi_Scale(MIN_LIST_WIDTH, dpi);
    const int top = side.top + static_cast<int>(captionText.cy);
    rects.caption = RECT{side.left, side.top, side.left + static_cast<int>(captionText.cx), top};
    // The list keeps at least its minimum width; the tree gives way (never below nothing).
    int listWidth = side.right - (side.left + treeWidth + splitter);
    if (listWidth < minListWidth) treeWidth = std::max(0, treeWidth - (minListWidth - listWidth));
    rects.treeWidth = treeWidth;
    rects.tree = RECT{side.left, top, side.left + treeWidth, side.bottom};
    rects.list = RECT{rects.tree.right + splitter, top, side.right, side.bottom};
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

int32_t DraggedTreeWidth(int32_t startWidth, int dx, const RECT& side, UINT dpi) {
    int32_t width = std::min(startWidth + dx, Width(side) - KvDpi_Scale(TREE_RESERVE, dpi));
    return std::max(width, KvDpi_Scale(MIN_TREE_WIDTH, dpi));
}

RECT DefaultFrameRect(UINT dpi, SIZE frame96, SIZE frame, SIZE workArea) {
    const int width = KvDpi_Scale(FRAME_DEFAULT_WIDTH - static_cast<int>(frame96.cx), dpi) + static_cast<int>(frame.cx);
    const int height = KvDpi_Scale(FRAME_DEFAULT_HEIGHT - static_cast<int>(frame96.cy), dpi) + static_cast<int>(frame.cy);
    return RECT{0, 0, std::min(width, static_cast<int>(workArea.cx)), std::min(height, static_cast<int>(workArea.cy))};
}

RECT ScaledPlacementRect(const RECT& stored, UINT fromDpi, UINT toDpi, SIZE workArea) {
    if (fromDpi == toDpi) return stored;
    int width = std::min(KvDpi_Rescale(Width(stored), fromDpi, toDpi), static_cast<int>(workArea.cx));
    int height = std::min(KvDpi_Rescale(stored.bottom - stored.top, fromDpi, toDpi), static_cast<int>(workArea.cy));
    return RECT{stored.left, stored.top, stored.left + width, stored.top + height};
}

void ComputeSideLayout(PaneState& pane) {
    SideRects rects = ComputeSideRects(pane.rect, CaptionTextSize(pane.caption), pane.treeWidth, pane.dpi);
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
    FrameRects rects = ComputeFrameRects(client, newWidth, ideal, frame.dpi);
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
    InflateRect(&bar, 0, KvDpi_Scale(kToolbarLineOffset, frame.dpi));
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
        SIZE drag{KvDpi_GetSystemMetric(SM_CXDRAG, frame.dpi), KvDpi_GetSystemMetric(SM_CYDRAG, frame.dpi)};
        if (BeyondDragDistance(POINT{frame.pressX, frame.pressY}, point, drag)) {
            frame.splitStage = SPLIT_DRAGGING;
            frame.startWidth = pane.treeWidth;
        }
    } else if (frame.splitStage == SPLIT_DRAGGING) {
        pane.treeWidth = DraggedTreeWidth(frame.startWidth, point.x - frame.pressX, pane.rect, frame.dpi);
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
