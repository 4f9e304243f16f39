// Dragging items between the two sides: image, cursors and capture from the start of a drag to its end.
#include "drag_drop.h"
#include <algorithm>
#include <vector>
#include "kvresult.h"
#include "pane_focus.h"

namespace {

// The screen point's place in the frame window's window coordinates (the drag image covers the whole window).
POINT ScreenToWindowPoint(HWND window, POINT screen) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return POINT{screen.x - bounds.left, screen.y - bounds.top};
}

bool InClientArea(HWND window, POINT screen) {
    if (!window || !IsWindowVisible(window)) return false;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return PtInRect(&client, screen) != FALSE;
}

// Icon and label of one row together, in list client coordinates.
bool RowRects(HWND list, int row, RECT* icon, RECT* label) {
    icon->left = LVIR_ICON;
    label->left = LVIR_LABEL;
    return SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(icon)) &&
           SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(label));
}

int NextSelectedRow(HWND list, int after) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, after, MAKELPARAM(LVNI_SELECTED, 0)));
}

// One row as the outline images draw it: its icon's frame and a line through its label.
struct RowOutline {
    RECT icon, label;
};

// The outlines of rows in one masked image covering them all, lines one pixel wide at 96 DPI; origin receives its
// top-left corner.
KvImageList OutlineImage(const std::vector<RowOutline>& rows, UINT dpi, POINT* origin) {
    *origin = POINT{};
    RECT bounds{};
    for (const RowOutline& row : rows) {
        UnionRect(&bounds, &bounds, &row.icon);
        UnionRect(&bounds, &bounds, &row.label);
    }
    int width = bounds.right - bounds.left;
    int height = bounds.bottom - bounds.top;
    if (rows.empty() || width <= 0 || height <= 0) return KvImageList();

    KvWindowDC screen(nullptr);
    KvBitmap colour(CreateCompatibleBitmap(screen.get(), width, height));
    KvBitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    KvMemoryDC colourDC(CreateCompatibleDC(nullptr)), maskDC(CreateCompatibleDC(nullptr));
    const int pen = KvDpi_Scale(1, dpi); // wider lines stay inside the icons' frames, and so inside the image
    KvPen colourPen(CreatePen(PS_INSIDEFRAME, pen, DRAG_OUTLINE_COLOUR));
    KvPen maskPen(CreatePen(PS_INSIDEFRAME, pen, RGB(0, 0, 0)));
    if (!colour || !mask || !colourDC.get() || !maskDC.get() || !colourPen || !maskPen) return KvImageList();
    {
        KvSelectObject colourBitmap(colourDC.get(), colour.get());
        KvSelectObject maskBitmap(maskDC.get(), mask.get());
        // Transparent ground: black in the image, set in the mask.
        RECT all{0, 0, width, height};
        FillRect(colourDC.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(maskDC.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        KvSelectObject colourLine(colourDC.get(), colourPen.get());
        KvSelectObject maskLine(maskDC.get(), maskPen.get());
        KvSelectObject colourFill(colourDC.get(), GetStockObject(NULL_BRUSH));
        KvSelectObject maskFill(maskDC.get(), GetStockObject(NULL_BRUSH));
        for (const RowOutline& row : rows) {
            RECT icon = row.icon;
            OffsetRect(&icon, -bounds.left, -bounds.top);
            int middle = (row.label.top + row.label.bottom) / 2 - bounds.top;
            for (HDC dc : {colourDC.get(), maskDC.get()}) {
                Rectangle(dc, icon.left, icon.top, icon.right, icon.bottom);
                MoveToEx(dc, row.label.left - bounds.left, middle, nullptr);
                LineTo(dc, row.label.right - bounds.left, middle);
            }
        }
    }
    KvImageList images(ImageList_Create(width, height, ILC_COLORDDB | ILC_MASK, 1, 0));
    if (!images || ImageList_Add(images.get(), colour.get(), mask.get()) < 0) return KvImageList();
    *origin = POINT{bounds.left, bounds.top};
    return images;
}

// A control's own drag image, or nothing when the control made an image list without an image in it.
KvImageList UsableImage(HIMAGELIST made) {
    KvImageList image(made);
    if (image && ImageList_GetImageCount(image.get()) < 1) image.reset();
    return image;
}

int TreeDepth(HWND tree, HTREEITEM item) {
    int depth = 0;
    for (HTREEITEM node = item; node; node = TreeView_GetParent(tree, node)) ++depth;
    return depth;
}

// The image of the dragged list rows and where it sits in the list.
KvImageList ListDragImage(HWND list, POINT start, UINT dpi, POINT* origin) {
    LVHITTESTINFO hit{};
    hit.pt = start;
    int row = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0) row = 0;
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1) {
        POINT upperLeft{};
        KvImageList image = UsableImage(ListView_CreateDragImage(list, row, &upperLeft));
        if (image) {
            *origin = upperLeft;
            return image;
        }
    }
    return BuildMultiDragImage(list, dpi, origin);
}

KvImageList TreeDragImage(HWND tree, HTREEITEM node, POINT start, UINT dpi, POINT* hotSpot) {
    RECT text{};
    TreeView_GetItemRect(tree, node, &text, TRUE);
    KvImageList image = UsableImage(TreeView_CreateDragImage(tree, node));
    if (!image) {
        // The node's outline instead, its icon's frame left of its text.
        int iconWidth = 0, iconHeight = 0;
        ImageList_GetIconSize(TreeView_GetImageList(tree, TVSIL_NORMAL), &iconWidth, &iconHeight);
        const int gap = KvDpi_Scale(1, dpi);
        RowOutline outline{{text.left - iconWidth - gap, text.top, text.left - gap, text.top + iconHeight}, text};
        POINT origin{};
        image = OutlineImage({outline}, dpi, &origin);
        *hotSpot = POINT{start.x - origin.x, start.y - origin.y};
        return image;
    }
    // The image starts with the node's icon, one indent step per level from the tree's left edge.
    int indent = static_cast<int>(TreeView_GetIndent(tree));
    hotSpot->x = std::max(0, static_cast<int>(start.x - indent * TreeDepth(tree, node)));
    hotSpot->y = std::max(0, static_cast<int>(start.y - text.top));
    if (image) {
        int width = 0, height = 0;
        ImageList_GetIconSize(image.get(), &width, &height);
        hotSpot->x = std::min(hotSpot->x, static_cast<LONG>(std::max(0, width - 1)));
        hotSpot->y = std::min(hotSpot->y, static_cast<LONG>(std::max(0, height - 1)));
    }
    return image;
}

void ShowDragCursor(DragState& drag, bool overTarget) {
    drag.cursor.Show(overTarget ? drag.dropCursor : drag.noDropCursor);
}

// Ends the image, the capture and the cursor, in that order, and empties the state.
void ResetDrag(DragState& drag) {
    drag.dragging = 0; // first: releasing the capture sends the frame a message that must find no drag
    drag.imageDrag.End();
    drag.dragImage.reset();
    drag.capture.Release();
    drag.cursor.Restore();
    drag.overTarget = 0;
    drag.sourceIsPackage = 0;
    drag.startNode = nullptr;
    drag.startNodeKind = NODE_NONE;
    drag.startNodeText.clear();
    drag.selection = Selection{};
    drag.hotSpot = POINT{};
    drag.noDropCursor = nullptr;
    drag.dropCursor = nullptr;
}

} // namespace

void KvMouseCapture::Capture(HWND window) noexcept {
    window_ = window;
    SetCapture(window);
}

void KvMouseCapture::Release() noexcept {
    HWND window = window_;
    window_ = nullptr;
    if (window && GetCapture() == window) ReleaseCapture();
}

bool KvImageDrag::Begin(HIMAGELIST image, POINT hotSpot, HWND window, POINT windowPoint) noexcept {
    End();
    if (!ImageList_BeginDrag(image, 0, hotSpot.x, hotSpot.y)) return false;
    window_ = window;
    ImageList_DragEnter(window, windowPoint.x, windowPoint.y);
    return true;
}

void KvImageDrag::Move(POINT windowPoint) const noexcept {
    if (window_) ImageList_DragMove(windowPoint.x, windowPoint.y);
}

void KvImageDrag::End() noexcept {
    if (!window_) return;
    ImageList_DragLeave(window_);
    ImageList_EndDrag();
    window_ = nullptr;
}

void KvCursorRestore::Show(HCURSOR cursor) noexcept {
    HCURSOR previous = SetCursor(cursor);
    if (!holding_) {
        saved_ = previous;
        holding_ = true;
    }
}

void KvCursorRestore::Restore() noexcept {
    if (!holding_) return;
    SetCursor(saved_);
    holding_ = false;
    saved_ = nullptr;
}

HRESULT BeginDrag(DragState& drag, const DragContext& context, bool sourceIsPackage, FocusedPane sourcePane,
                  POINT start) {
    if (drag.dragging) CancelDrag(drag);
    PaneState& source = context.sides[sourceIsPackage ? PANE_PACKAGE : PANE_SYSTEM];
    Selection selection;
    HRESULT hr = GetSelection(source, &selection);
    if (hr < 0) return hr;
    if (selection.names.empty()) return KV_S_NOTHING_TO_DO;

    HTREEITEM startNode = TreeView_GetSelection(source.tree);
    POINT hotSpot{};
    KvImageList image;
    if (sourcePane == PANE_LIST) {
        POINT origin{};
        image = ListDragImage(source.list, start, source.dpi, &origin);
        hotSpot = POINT{start.x - origin.x, start.y - origin.y};
    } else {
        if (!startNode) return KV_S_NOTHING_TO_DO;
        image = TreeDragImage(source.tree, startNode, start, source.dpi, &hotSpot);
    }
    if (!image) return KV_E_FAIL;

    POINT cursor{};
    GetCursorPos(&cursor);
    if (!drag.imageDrag.Begin(image.get(), hotSpot, context.frame, ScreenToWindowPoint(context.frame, cursor)))
        return KV_E_FAIL;

    drag.sourceIsPackage = sourceIsPackage ? 1 : 0;
    drag.startNode = startNode;
    drag.startNodeKind = startNode ? TreeItemKind(source.tree, startNode) : NODE_NONE;
    drag.startNodeText = startNode ? TreeItemText(source.tree, startNode) : std::wstring();
    drag.selection = std::move(selection);
    drag.dragImage = std::move(image);
    drag.hotSpot = hotSpot;
    drag.noDropCursor = LoadCursorW(nullptr, IDC_NO);
    drag.dropCursor = LoadCursorW(nullptr, IDC_ARROW);
    drag.overTarget = 0;
    ShowDragCursor(drag, false);
    drag.capture.Capture(context.frame);
    drag.dragging = 1;
    return S_OK;
}

void DragMove(DragState& drag, const DragContext& context, POINT clientPoint) {
    if (!drag.dragging) return;
    POINT screen = clientPoint;
    ClientToScreen(context.frame, &screen);
    int32_t over = IsOverDropTarget(context, drag.sourceIsPackage != 0, screen) ? 1 : 0;
    if (over != drag.overTarget) {
        drag.overTarget = over;
        ShowDragCursor(drag, over != 0);
    }
    drag.imageDrag.Move(ScreenToWindowPoint(context.frame, screen));
}

DropResult Drop(DragState& drag, const DragContext& context, POINT clientPoint) {
    DropResult result;
    if (!drag.dragging) return result;
    bool sourceIsPackage = drag.sourceIsPackage != 0;
    POINT screen = clientPoint;
    ClientToScreen(context.frame, &screen);
    result.targetIndex = sourceIsPackage ? PANE_SYSTEM : PANE_PACKAGE;
    result.onTarget = IsOverDropTarget(context, sourceIsPackage, screen);
    if (result.onTarget) {
        result.paneKind = PaneKindAt(context, screen);
        result.selection = std::move(drag.selection);
        result.startNodeText = std::move(drag.startNodeText);
        result.startNodeKind = drag.startNodeKind;
    }
    ResetDrag(drag);
    return result;
}

void CancelDrag(DragState& drag) {
    if (drag.dragging) ResetDrag(drag);
}

void FollowDrop(PaneState& target, const DropResult& drop) {
    HTREEITEM selected = TreeView_GetSelection(target.tree);
    if (drop.paneKind != PANE_LIST) {
        FillList(target, selected);
        return;
    }
    HTREEITEM match = FindTreeItem(target, drop.startNodeText.c_str(), drop.startNodeKind);
    if (match && match != selected) {
        TreeView_SelectSetFirstVisible(target.tree, match);
        TreeView_SelectItem(target.tree, match); // the selection notification refills the list
    } else if (match) {
        FillList(target, match);
    } else {
        TreeView_SelectItem(target.tree, nullptr);
        FillList(target, nullptr);
    }
}

bool IsOverDropTarget(const DragContext& context, bool sourceIsPackage, POINT screenPoint) {
    if (!WindowFromPoint(screenPoint)) return false;
    const PaneState& target = context.sides[sourceIsPackage ? PANE_SYSTEM : PANE_PACKAGE];
    return InClientArea(target.list, screenPoint) || InClientArea(target.tree, screenPoint);
}

FocusedPane PaneKindAt(const DragContext& context, POINT screenPoint) {
    for (uint32_t side : {PANE_PACKAGE, PANE_SYSTEM}) {
        if (InClientArea(context.sides[side].list, screenPoint)) return PANE_LIST;
        if (InClientArea(context.sides[side].tree, screenPoint)) return PANE_TREE;
    }
    return PANE_NONE;
}

KvImageList BuildMultiDragImage(HWND list, UINT dpi, POINT* origin) {
    std::vector<RowOutline> rows;
    for (int row = NextSelectedRow(list, -1); row >= 0; row = NextSelectedRow(list, row)) {
        RowOutline rects{};
        if (RowRects(list, row, &rects.icon, &rects.label)) rows.push_back(rects);
    }
    return OutlineImage(rows, dpi, origin);
}
