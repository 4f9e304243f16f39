// Copy, delete, undo, redo and rename from the window: the selection is read from the panes, the editing code runs,
// the panes, the title and the toolbar are brought in line with what its outcome names, and a store failure is
// reported with the failing item before the system side is reloaded.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "edit_history.h"
#include "selection.h"

struct FrameState;
struct PaneState;

// Runs commands 32775 (Delete), 32782 and 32783 (Copy to File, Copy to System), 32784 (Undo) and 32785 (Redo);
// false for any other command.
bool OnEditCommand(FrameState& state, UINT command);

// Copies the selection from its side to the other side: what the copy commands and a drop run. Returns the
// editing code's result (0x8004E00C when the user cancelled a question).
HRESULT RunCopy(FrameState& state, const Selection& selection);
HRESULT RunDelete(FrameState& state);
// Reverts the newest step (redo false) or reapplies the next undone one; 0 without a history.
HRESULT RunUndoRedo(FrameState& state, bool redo);

// The end of renaming a row of pane's list in place: TRUE when the row takes the new text. The list is refilled
// (in its order) once the control has finished the edit, on WM_TARROW_RENAMED.
LRESULT OnEndLabelEdit(FrameState& state, PaneState& pane, const NMLVDISPINFOW& info);
constexpr UINT WM_TARROW_RENAMED = WM_APP + 0x10; // wParam: the pane index of the renamed row's side
void OnRenamed(FrameState& state, WPARAM paneIndex);

// Brings the changed side's tree and list, the document's modified mark and the title in line with an edit, and
// for a store failure shows the message (contextId, with the failing item) and reloads the system side.
void RefreshAfterEdit(FrameState& state, HRESULT result, const EditOutcome& outcome, UINT contextId);
