// Reloading the system store into the system side.
#include "system_refresh.h"
#include "frame_busy.h"
#include "frame_state.h"
#include "kvgdi_handles.h"
#include "toolbar.h"

namespace {

constexpr UINT kRetryMs = 250;

void Defer(FrameState& frame) {
    frame.systemRefreshPending = true;
    if (frame.frame) SetTimer(frame.frame, SYSTEM_REFRESH_RETRY_TIMER, kRetryMs, nullptr);
}

} // namespace

void RefreshSystemPresets(FrameState& frame) {
    if (FrameIsBusy(frame)) {
        Defer(frame);
        return;
    }
    frame.systemRefreshPending = false;
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
    return !frame.systemRefreshPending;
}

void RunDeferredSystemRefresh(FrameState& frame) {
    if (!frame.systemRefreshPending) {
        if (frame.frame) KillTimer(frame.frame, SYSTEM_REFRESH_RETRY_TIMER);
        return;
    }
    RefreshSystemPresets(frame); // busy still: it stays pending and the timer keeps running
    if (!frame.systemRefreshPending && frame.frame) KillTimer(frame.frame, SYSTEM_REFRESH_RETRY_TIMER);
}
