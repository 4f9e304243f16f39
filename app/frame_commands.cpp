// The frame's command dispatch: one line per command.
#include "frame_commands.h"
#include "about_box.h"
#include "edit_commands.h"
#include "frame_drag.h"
#include "document_frame.h"
#include "frame_state.h"
#include "help_commands.h"
#include "resource.h"
#include "system_refresh.h"

namespace {

PaneState* ActivePane(FrameState& state) {
    return static_cast<int>(state.activeSide) < state.sideCount ? &state.sides[state.activeSide] : nullptr;
}

void SelectAll(FrameState& state) {
    if (PaneState* pane = ActivePane(state)) SelectAllRows(*pane, state);
}

void RenameSelectedRow(FrameState& state) {
    if (PaneState* pane = ActivePane(state)) StartRenameSelectedRow(*pane);
}

void CyclePanes(FrameState& state, bool forward) {
    if (state.sideCount == FRAME_SIDE_COUNT) CyclePaneFocus(state.sides, state, forward);
}

} // namespace

bool OnFrameCommand(FrameState& state, UINT command, HWND, UINT) {
    if (command >= ID_DESTINATION_FIRST && command <= ID_DESTINATION_LAST) {
        state.catalogue.selectedDestination = static_cast<int32_t>(command - ID_DESTINATION_FIRST);
        return true;
    }
    if (OnDocumentCommand(state, command)) return true;
    if (OnEditCommand(state, command)) return true;
    switch (command) {
    case IDCANCEL: OnDragCancel(state); return true; // Escape: ends a drag and drop, if one runs
    case ID_HELP_ABOUT: ShowAboutBox(state.frame); return true;
    case ID_FILE_EXIT: PostMessageW(state.frame, WM_CLOSE, 0, 0); return true;
    case ID_EDIT_REFRESH: RefreshSystemPresets(state); return true;
    case ID_EDIT_SELECT_ALL: SelectAll(state); return true;
    case ID_NEXT_PANE: CyclePanes(state, true); return true;
    case ID_PREVIOUS_PANE: CyclePanes(state, false); return true;
    case ID_EDIT_RENAME: RenameSelectedRow(state); return true;
    case ID_HELP_CONTENTS:
    case ID_HELP_HOME_PAGE: return HandleHelpCommand(state.frame, command);
    default: return false;
    }
}
