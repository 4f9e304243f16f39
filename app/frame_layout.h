// Where the toolbar, the sides and their panes go, and the splitter between tree and list: the arithmetic (pure, so
// it can be tested alone) and applying it to the windows.
#pragma once
#include <windows.h>
#include <cstdint>

struct FrameState;
struct PaneState;

// Sizes at 96 DPI; the layout scales each to the window's DPI (KvDpi_Scale).
constexpr int FRAME_MARGIN = 6;           // left, right and bottom margin of the sides
constexpr int FRAME_SIDES_TOP = 42;       // the package side starts this far below the client top
constexpr int FRAME_SIDE_GAP = 3;         // half the gap between the two sides
constexpr int SPLITTER_WIDTH = 6;         // between tree and list
constexpr int MIN_LIST_WIDTH = 10;
constexpr int MIN_TREE_WIDTH = 10;        // while dragging
constexpr int TREE_RESERVE = 16;          // a dragged tree leaves this much of the side's width
constexpr int MAX_STORED_TREE_WIDTH = 16384; // pixels, as stored
constexpr int FRAME_DEFAULT_WIDTH = 800;  // the window's size when no placement is stored
constexpr int FRAME_DEFAULT_HEIGHT = 600;

struct FrameRects {
    RECT toolbar;  // where the toolbar goes
    RECT sides[2]; // index 0 package, 1 system
};

struct SideRects {
    RECT caption;
    RECT tree;
    RECT list;
    int32_t treeWidth; // reduced when the list would be narrower than MIN_LIST_WIDTH (scaled)
};

// The toolbar's and both sides' rectangles for a client rectangle at dpi. newWidth is the width the size message gave.
FrameRects ComputeFrameRects(const RECT& client, int newWidth, SIZE toolbarIdeal, UINT dpi);
// The caption, tree and list of one side at dpi; captionText is the measured caption text, treeWidth in pixels.
SideRects ComputeSideRects(const RECT& side, SIZE captionText, int32_t treeWidth, UINT dpi);

// The splitter between a side's tree and list (left and top edges inclusive).
RECT SplitterRect(const RECT& tree, const RECT& list);
// 0 none, 1 the package side's splitter, 2 the system side's: the side is picked by the point's height.
int32_t SplitterHitTest(POINT point, int clientHeight, const RECT splitters[2]);
// True when point has left the rectangle around press that the system drag distance spans.
bool BeyondDragDistance(POINT press, POINT point, SIZE dragDistance);
// The tree width while dragging: startWidth moved by dx, at least MIN_TREE_WIDTH and at most the side's width
// minus TREE_RESERVE (both scaled to dpi).
int32_t DraggedTreeWidth(int32_t startWidth, int dx, const RECT& side, UINT dpi);

// The window's rectangle when no placement is stored, at dpi: the client area that the default size holds at 96 DPI
// (frame96: what the window's frame adds there), scaled, with the frame at dpi around it; no larger than the work area.
RECT DefaultFrameRect(UINT dpi, SIZE frame96, SIZE frame, SIZE workArea);
// A stored normal-position rectangle, saved at fromDpi, for a window at toDpi: the same top-left, the size scaled
// (so that it looks the same size) and, when it was scaled, kept within the work area.
RECT ScaledPlacementRect(const RECT& stored, UINT fromDpi, UINT toDpi, SIZE workArea);

// Positions the toolbar and both sides (not when minimised).
void LayoutFrame(FrameState& frame, UINT sizeType, int newWidth);
// Positions one side's caption, tree and list in one batch at the side's DPI and records their rectangles.
void LayoutSide(PaneState& pane);
// Measures the caption and records the side's rectangles without moving a window.
void ComputeSideLayout(PaneState& pane);
// Draws the etched lines above and below the toolbar.
void PaintToolbarLines(const FrameState& frame, HDC dc);

// Mouse handling of the splitter; mouse coordinates are signed.
LRESULT OnSplitterHitTest(FrameState& frame, WPARAM wParam, LPARAM lParam);
bool OnSplitterSetCursor(FrameState& frame, HWND cursorWindow, UINT hitCode);
void OnSplitterButtonDown(FrameState& frame, LPARAM lParam);
void OnSplitterMouseMove(FrameState& frame, LPARAM lParam);
void OnSplitterButtonUp(FrameState& frame);
