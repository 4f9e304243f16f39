// The frame window's own record: created for the window, reached from its user data, freed with it.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include "catalogue_model.h"
#include "document_record.h"
#include "drag_drop.h"
#include "edit_history.h"
#include "kvdpi.h"
#include "kvgdi_handles.h"
#include "package_handover.h"
#include "pane_focus.h"
#include "side_panes.h"
#include "store_watch.h"

struct tKVLANG;
struct KvMetricHandle;
struct RecentFileList;

constexpr int FRAME_SIDE_COUNT = 2;

// Splitter stages.
constexpr int32_t SPLIT_IDLE = 0;
constexpr int32_t SPLIT_PRESSED = 1;  // button down on a splitter, not yet moved beyond the drag distance
constexpr int32_t SPLIT_DRAGGING = 2;

// activeSide and focusedPaneKind come from PaneFocus.
struct FrameState : PaneFocus {
    HWND frame = nullptr;
    UINT dpi = KV_DPI_BASE;       // what the font, images and layout are made for; follows WM_DPICHANGED
    bool applyingPlacement = false; // a DPI change meanwhile keeps the placement's rectangle
    KvImageList toolbarImages[3]; // normal, hot, disabled
    HWND toolbar = nullptr;
    int32_t sideCount = 0;
    PaneState sides[FRAME_SIDE_COUNT]; // index PANE_PACKAGE (0) and PANE_SYSTEM (1)

    int32_t splitHit = 0;   // splitter under the mouse: 0 none, 1 the package side's, 2 the system side's
    int32_t splitStage = SPLIT_IDLE;
    int32_t pressX = 0;     // button press on the splitter, frame client coordinates
    int32_t pressY = 0;
    int32_t startWidth = 0; // the side's tree width when dragging began

    // Both sides' collections, the Lathmere destinations and selectedDestination.
    CatalogueModel catalogue;
    std::unique_ptr<EditHistory> history; // null when it could not be made: Undo and Redo are then never available
    StoreWatch storeWatch; // lets an activation with nothing changed skip the reload
    KvFont uiFont;
    DragState drag;                       // the drag and drop in progress, if any
    PackageHandOver handOver;             // a package a second start handed over, until it is opened
    bool ready = false;    // the creation message has run to its end
    int32_t busyDepth = 0;            // FrameBusyScope holders: a command, drop or in-place edit is running
    bool systemRefreshPending = false; // a reload of the system side waits until the frame is no longer busy

    // Process-wide things the frame works with; not owned.
    tKVLANG* language = nullptr;
    KvMetricHandle* settings = nullptr;
    DocumentRecord* document = nullptr;
    RecentFileList* recentFiles = nullptr;
};

// The record of a frame window, or null.
FrameState* FrameStateOf(HWND frame);
