// The enable rules of the commands, over a snapshot taken once from the frame.
#include "command_state.h"
#include "frame_state.h"

namespace {

bool FocusedPaneHasSelection(const PaneState& pane, FocusedPane focused) {
    if (focused == PANE_TREE) return TreeView_GetSelection(pane.tree) != nullptr;
    if (focused == PANE_LIST) return ListView_GetSelectedCount(pane.list) > 0;
    return false;
}

// Copying from the side at fromPane needs that side active, focused, holding something and a selection.
bool CanCopyFrom(const CommandSnapshot& state, uint32_t fromPane) {
    return state.activeSide == fromPane && state.focusedPane != PANE_NONE && !SideIsEmpty(state, fromPane) &&
           state.focusedPaneHasSelection;
}

} // namespace

CommandSnapshot TakeCommandSnapshot(const FrameState& frame) {
    CommandSnapshot state;
    state.activeSide = frame.activeSide == PANE_SYSTEM ? PANE_SYSTEM : PANE_PACKAGE;
    for (int side = 0; side < frame.sideCount; ++side) state.sideEmpty[side] = PaneCollectionsEmpty(frame.sides[side]);
    state.packageHasContent = frame.sideCount > 0 && !state.sideEmpty[PANE_PACKAGE];
    if (static_cast<int>(state.activeSide) < frame.sideCount) {
        const PaneState& active = frame.sides[state.activeSide];
        state.focusedPane = GetFocusedPane(active);
        state.focusedPaneHasSelection = FocusedPaneHasSelection(active, state.focusedPane);
    }
    state.documentFlags = frame.document ? frame.document->flags : 0;
    state.hasHistory = frame.history != nullptr;
    state.canUndo = state.hasHistory && frame.history->undoSteps.Count() > 0;
    state.canRedo = state.hasHistory && frame.history->redoSteps.Count() > 0;
    state.destinationCount = frame.catalogue.destinations ? frame.catalogue.destinations->count : -1;
    return state;
}

bool SideIsEmpty(const CommandSnapshot& state, uint32_t paneIndex) {
    return paneIndex > PANE_SYSTEM || state.sideEmpty[paneIndex];
}

bool PackageHasContent(const CommandSnapshot& state) { return state.packageHasContent; }

bool CanCopyToFile(const CommandSnapshot& state) { return CanCopyFrom(state, PANE_SYSTEM); }

bool CanCopyToSystem(const CommandSnapshot& state) { return CanCopyFrom(state, PANE_PACKAGE); }

bool CanDelete(const CommandSnapshot& state) {
    return state.focusedPane != PANE_NONE && !SideIsEmpty(state, state.activeSide) && state.focusedPaneHasSelection;
}

bool CanSave(const CommandSnapshot& state) {
    return (state.documentFlags & DOC_MODIFIED) && !SideIsEmpty(state, PANE_PACKAGE);
}
