// Dragging items from one side's tree or list onto the other side: the drag state, its image, cursors and capture.
// A drop only says what was dropped where; the frame runs the copy and then lets the target side follow it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <string>
#include "kvgdi_handles.h"
#include "selection.h"
#include "side_panes.h"

// Holds the mouse for a window; gives it back when released or destroyed (only if the window still holds it).
class KvMouseCapture {
public:
    KvMouseCapture() noexcept = default;
    ~KvMouseCapture() { Release(); }
    KvMouseCapture(const KvMouseCapture&) = delete;
    KvMouseCapture& operator=(const KvMouseCapture&) = delete;

    void Capture(HWND window) noexcept;
    void Release() noexcept;
    HWND window() const noexcept { return window_; }

private:
    HWND window_ = nullptr;
};

// The common controls' image drag over one window: shown by Begin, moved by Move, ended by End or destruction.
class KvImageDrag {
public:
    KvImageDrag() noexcept = default;
    ~KvImageDrag() { End(); }
    KvImageDrag(const KvImageDrag&) = delete;
    KvImageDrag& operator=(const KvImageDrag&) = delete;

    // The image list is copied by the controls; the caller keeps its own. windowPoint: in window coordinates.
    bool Begin(HIMAGELIST image, POINT hotSpot, HWND window, POINT windowPoint) noexcept;
    void Move(POINT windowPoint) const noexcept;
    void End() noexcept;
    bool active() const noexcept { return window_ != nullptr; }

private:
    HWND window_ = nullptr;
};

// Shows a cursor and puts back the one that was current before, once.
class KvCursorRestore {
public:
    KvCursorRestore() noexcept = default;
    ~KvCursorRestore() { Restore(); }
    KvCursorRestore(const KvCursorRestore&) = delete;
    KvCursorRestore& operator=(const KvCursorRestore&) = delete;

    void Show(HCURSOR cursor) noexcept; // the first call remembers the current cursor
    void Restore() noexcept;
    HCURSOR saved() const noexcept { return saved_; }

private:
    HCURSOR saved_ = nullptr;
    bool holding_ = false;
};

// The one drag in progress, a member of the frame's state; all empty when no drag runs.
struct DragState {
    uint32_t dragging = 0;      // 1 between BeginDrag and Drop or CancelDrag
    int32_t overTarget = 0;     // the last drop-target test, so the cursor changes only when it changes
    uint32_t sourceIsPackage = 0;
    HTREEITEM startNode = nullptr;      // the source tree's selected item when the drag began
    NodeKind startNodeKind = NODE_NONE;
    std::wstring startNodeText;         // read at the start: the drop finds the matching node by it
    Selection selection;                // what is dragged, as the copy command would read it
    KvImageList dragImage;
    POINT hotSpot{};                    // the cursor's place in the image
    // Shared system cursors ("no" and arrow): loaded, never destroyed.
    HCURSOR noDropCursor = nullptr;
    HCURSOR dropCursor = nullptr;
    // Declared last so that they end first: the image, then the capture, then the cursor.
    KvCursorRestore cursor;
    KvMouseCapture capture;
    KvImageDrag imageDrag;
};

// The two sides and the frame window a drag works in.
struct DragContext {
    HWND frame = nullptr;
    PaneState* sides = nullptr; // two records: PANE_PACKAGE and PANE_SYSTEM
};

// Where a drop landed, for the frame: copy dropped.selection when onTarget, then FollowDrop.
struct DropResult {
    bool onTarget = false;
    int32_t paneKind = 0;      // PANE_TREE or PANE_LIST of the target side; 0 off target
    uint32_t targetIndex = 0;  // pane index of the target side
    Selection selection;
    std::wstring startNodeText;
    NodeKind startNodeKind = NODE_NONE;
};

// Starts a drag from the active side's tree (sourcePane PANE_TREE) or list (PANE_LIST); start is in that pane's
// client coordinates. The caller has given the pane the focus (and, for a tree, selected the dragged item).
// Fails without changing anything when nothing is selected or no image can be made.
HRESULT BeginDrag(DragState& drag, const DragContext& context, bool sourceIsPackage, FocusedPane sourcePane,
                  POINT start);
// The mouse moved to clientPoint (frame client coordinates) while dragging.
void DragMove(DragState& drag, const DragContext& context, POINT clientPoint);
// Ends the drag at clientPoint and says whether it landed on the other side. The state is empty afterwards.
DropResult Drop(DragState& drag, const DragContext& context, POINT clientPoint);
// Ends a drag without copying; nothing happens when no drag runs.
void CancelDrag(DragState& drag);

// After the dropped items were copied: a drop on the target list selects the target tree's node that matches the
// dragged node (or clears the selection when there is none), a drop on the target tree refills the list.
void FollowDrop(PaneState& target, const DropResult& drop);

// True when screenPoint lies in the client area of the tree or list of the side that is not the source.
bool IsOverDropTarget(const DragContext& context, bool sourceIsPackage, POINT screenPoint);
// PANE_LIST when screenPoint lies in a list, PANE_TREE when in a tree, PANE_NONE otherwise.
FocusedPane PaneKindAt(const DragContext& context, POINT screenPoint);

// The image for several dragged rows: an outline of each selected row's icon and a line through its label, in one
// colour, on a transparent ground, its lines as thick as dpi makes one pixel at 96 DPI. origin receives the image's
// top-left corner in the list's client coordinates. Empty when no row is selected or the image cannot be made.
KvImageList BuildMultiDragImage(HWND list, UINT dpi, POINT* origin);

constexpr COLORREF DRAG_OUTLINE_COLOUR = RGB(0x40, 0x40, 0x40);
