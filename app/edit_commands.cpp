// Copy, delete, undo, redo and rename from the window, and the refresh each edit's outcome asks for.
#include "edit_commands.h"
#include "editing.h"
#include "frame_busy.h"
#include "frame_state.h"
#include "kverror.h"
#include "kvgdi_handles.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "resource.h"
#include "system_refresh.h"
#include "toolbar.h"

namespace {

constexpr UINT kFailureStyle = KVMB_OK | KVMB_ICONEXCLAMATION;

uint32_t PaneIndexOf(CatalogueSide side) { return side == SIDE_PACKAGE ? PANE_PACKAGE : PANE_SYSTEM; }

bool HasBothSides(const FrameState& state) { return state.sideCount == FRAME_SIDE_COUNT; }

PaneState& ActivePane(FrameState& state) {
    return state.sides[state.activeSide == PANE_SYSTEM ? PANE_SYSTEM : PANE_PACKAGE];
}

// The list shows the tree's selected node again, whatever kind it now is.
void RefillList(PaneState& pane) {
    HTREEITEM selected = pane.tree ? TreeView_GetSelection(pane.tree) : nullptr;
    pane.currentNodeKind = TreeItemKind(pane.tree, selected);
    FillList(pane, selected);
}

void MarkPackageModified(FrameState& state) {
    if (!state.document) return;
    state.document->flags |= DOC_MODIFIED;
    UpdateTitle(state.frame, state.document);
}

// The failure's message: the context sentence names the item, the code's own text follows.
void ReportFailure(FrameState& state, HRESULT result, UINT contextId, const std::wstring& item) {
    if (result >= 0 || result == KV_E_CANCELLED) return;
    if (item.empty()) {
        KvErrorHandler_MsgBox(state.frame, kFailureStyle, 0, result, nullptr, FALSE);
        return;
    }
    const wchar_t* context = KvGetString(state.language, contextId);
    KvErrorHandler_MsgBox(state.frame, kFailureStyle, reinterpret_cast<UINT_PTR>(context), result, item.c_str(),
                          FALSE);
}

EditSession SessionOf(FrameState& state, EditHistory& history) {
    EditSession session{state.catalogue, history};
    session.owner = state.frame;
    session.destination = CurrentLathmereDestination(state.catalogue);
    return session;
}

// The list row's current text, as long as a name can be.
Selection RenameSelection(const PaneState& pane, int row) {
    Selection selection;
    selection.side = CatalogueSideOf(pane);
    selection.focusedPane = PANE_LIST;
    selection.nodeKind = pane.currentNodeKind;
    selection.parent = TreeItemText(pane.tree, TreeView_GetSelection(pane.tree));
    selection.names.push_back(ListItemText(pane.list, row, PANE_FIND_TEXT_CHARS));
    return selection;
}

// Undo or Redo left these items alone: they changed since, or another item took the name.
void ReportLeftAlone(FrameState& state, const std::vector<std::wstring>& names) {
    if (names.empty()) return;
    std::wstring list;
    for (const std::wstring& name : names) list += (list.empty() ? L"'" : L", '") + name + L"'";
    KvMsgBoxId(state.language, state.frame, kFailureStyle, IDS_EDIT_LEFT_ALONE, list.c_str());
}

void ShowEditOutcome(FrameState& state, const EditOutcome& outcome) {
    if (!outcome.changed || !HasBothSides(state)) return;
    // Part of the edit may not have reached the store, or its plug-ins could not be given the store's names: show what the
    // store really holds.
    if (outcome.reloadSystem || (outcome.side != SIDE_PACKAGE && SettleSystemPlugInNames(state.catalogue) < 0)) {
        RefreshSystemPresets(state);
        return;
    }
    PaneState& pane = state.sides[PaneIndexOf(outcome.side)];
    if (outcome.side == SIDE_PACKAGE) {
        FillTree(pane, state.document ? state.document->path : L"");
        if (outcome.packageModified) MarkPackageModified(state);
    } else {
        FillTree(pane, nullptr);
    }
    RefillList(pane);
}

} // namespace

void RefreshAfterEdit(FrameState& state, HRESULT result, const EditOutcome& outcome, UINT contextId) {
    if (result < 0) ReportFailure(state, result, contextId, outcome.failedItem);
    ShowEditOutcome(state, outcome);
    ReportLeftAlone(state, outcome.leftAlone);
}

HRESULT RunCopy(FrameState& state, const Selection& selection) {
    if (!state.history || !HasBothSides(state)) return KV_S_NOTHING_TO_DO;
    KvCursorSwap wait; // a large selection takes seconds, and so does the refill after it
    CopyOutcome outcome;
    HRESULT hr = CopySelection(SessionOf(state, *state.history), selection, CopyOptions{}, &outcome);
    RefreshAfterEdit(state, hr, outcome, IDS_EDIT_STORE_FAILED);
    return hr;
}

HRESULT RunDelete(FrameState& state) {
    if (!state.history || !HasBothSides(state)) return KV_S_NOTHING_TO_DO;
    Selection selection;
    HRESULT hr = GetSelection(ActivePane(state), &selection);
    if (hr < 0) return hr;
    KvCursorSwap wait;
    EditOutcome outcome;
    hr = DeleteSelection(SessionOf(state, *state.history), selection, &outcome);
    RefreshAfterEdit(state, hr, outcome, IDS_EDIT_STORE_FAILED);
    return hr;
}

HRESULT RunUndoRedo(FrameState& state, bool redo) {
    if (!state.history || !HasBothSides(state)) return S_OK;
    KvCursorSwap wait;
    EditOutcome outcome;
    HRESULT hr = redo ? state.history->RedoEdit(state.catalogue, &outcome)
                      : state.history->UndoEdit(state.catalogue, &outcome);
    RefreshAfterEdit(state, hr, outcome, IDS_EDIT_STORE_FAILED);
    return hr;
}

bool OnEditCommand(FrameState& state, UINT command) {
    FrameBusyScope busy(state); // a reload meanwhile waits for the edit and its questions
    switch (command) {
    case ID_EDIT_COPY_TO_FILE:
    case ID_EDIT_COPY_TO_SYSTEM: {
        Selection selection;
        if (HasBothSides(state) && GetSelection(ActivePane(state), &selection) >= 0) RunCopy(state, selection);
        break;
    }
    case ID_EDIT_DELETE: RunDelete(state); break;
    case ID_EDIT_UNDO: RunUndoRedo(state, false); break;
    case ID_EDIT_REDO: RunUndoRedo(state, true); break;
    default: return false;
    }
    UpdateToolbarStates(state);
    return true;
}

LRESULT OnEndLabelEdit(FrameState& state, PaneState& pane, const NMLVDISPINFOW& info) {
    if (!info.item.pszText || info.item.iItem < 0) return FALSE; // the edit was cancelled
    FrameBusyScope busy(state);
    EditHistory unused; // a rename is not recorded; the session only needs a history to exist
    Selection selection = RenameSelection(pane, info.item.iItem);
    EditOutcome outcome;
    HRESULT hr = RenameListItem(SessionOf(state, state.history ? *state.history : unused), selection,
                                info.item.pszText, &outcome);
    if (hr < 0) {
        ReportFailure(state, hr, IDS_RENAME_STORE_FAILED, outcome.failedItem);
        if (outcome.reloadSystem && HasBothSides(state)) RefreshSystemPresets(state);
        return FALSE;
    }
    if (hr != S_OK) return FALSE; // refused: the message (if any) has been shown
    if (outcome.packageModified) MarkPackageModified(state);
    pane.rows.SetText(info.item.iItem, info.item.pszText);
    UpdateToolbarStates(state);
    // The row takes the new text now; the list is refilled in its order once the control has ended the edit,
    // since a list must not lose its items while it is still ending one.
    PostMessageW(state.frame, WM_TARROW_RENAMED, pane.sideIndex, 0);
    return TRUE;
}

void OnRenamed(FrameState& state, WPARAM paneIndex) {
    if (paneIndex >= static_cast<WPARAM>(state.sideCount)) return;
    PaneState& pane = state.sides[paneIndex];
    int focused = ListView_GetNextItem(pane.list, -1, LVNI_FOCUSED);
    std::wstring renamed = focused >= 0 ? ListItemText(pane.list, focused) : std::wstring();
    RefillList(pane);
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = renamed.c_str();
    int row = renamed.empty() ? -1 : ListView_FindItem(pane.list, -1, &find);
    if (row < 0) return;
    ListView_SetItemState(pane.list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(pane.list, row, FALSE);
}
