// Reloading the system store into the system side.
#include "system_refresh.h"
#include "frame_state.h"
#include "kvgdi_handles.h"
#include "toolbar.h"

void RefreshSystemPresets(FrameState& frame) {
    KvCursorSwap wait;
    // Armed before the load: whatever changes while it reads shows up at the next activation.
    frame.storeWatch.Arm();
    LoadSystemCatalogue(frame.catalogue, &frame.storeWatch.files()); // what could not be read is simply left out
    PaneState& pane = frame.sides[PANE_SYSTEM];
    FillTree(pane, nullptr);
    HTREEITEM selected = pane.tree ? TreeView_GetSelection(pane.tree) : nullptr;
    pane.currentNodeKind = TreeItemKind(pane.tree, selected);
    FillList(pane, selected);
    UpdateToolbarStates(frame);
}

bool RefreshSystemPresetsIfChanged(FrameState& frame) {
    if (frame.storeWatch.Unchanged()) return false;
    RefreshSystemPresets(frame);
    return true;
}
