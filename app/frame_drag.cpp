// Drag and drop in the frame window, from the begin-drag notification to the drop or its cancellation.
#include "frame_drag.h"
#include <windowsx.h>
#include "edit_commands.h"
#include "frame_busy.h"
#include "frame_state.h"
#include "toolbar.h"

namespace {

DragContext ContextOf(FrameState& state) { return DragContext{state.frame, state.sides}; }

POINT PointOf(LPARAM point) { return POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)}; }

// The side whose tree or list sent the notification, or null.
PaneState* PaneOf(FrameState& state, HWND control, FocusedPane* kind) {
    for (int side = 0; side < state.sideCount; ++side) {
        PaneState& pane = state.sides[side];
        if (control && control == pane.list) {
            *kind = PANE_LIST;
            return &pane;
        }
        if (control && control == pane.tree) {
            *kind = PANE_TREE;
            return &pane;
        }
    }
    return nullptr;
}

void EndDrag(FrameState& state) { UpdateToolbarStates(state); }

// The text the target side shows for the plug-in the drag started from: the store may name a copied plug-in
// otherwise than its source side does.
std::wstring PlugInTextOnTarget(FrameState& state, const DropResult& drop) {
    CatalogueModel& model = state.catalogue;
    const int target = drop.targetIndex == PANE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM;
    const int source = target == SIDE_PACKAGE ? SIDE_SYSTEM : SIDE_PACKAGE;
    const PlugInEntry* dragged =
        model.plugIns[source] ? model.plugIns[source]->FindEntryByName(drop.startNodeText.c_str(), model.language) : nullptr;
    const PlugInEntry* copy = dragged && model.plugIns[target]
                                  ? model.plugIns[target]->FindEntryByIdentity(*dragged, model.language)
                                  : nullptr;
    if (!copy) return drop.startNodeText;
    wchar_t text[CATALOGUE_NAME_CHARS];
    copy->GetDisplayName(text, CATALOGUE_NAME_CHARS, model.language);
    return text;
}

} // namespace

bool OnDragNotify(FrameState& state, const NMHDR* header) {
    if (!header || (header->code != LVN_BEGINDRAG && header->code != TVN_BEGINDRAGW)) return false;
    FocusedPane kind = PANE_NONE;
    PaneState* pane = PaneOf(state, header->hwndFrom, &kind);
    if (!pane || state.sideCount != FRAME_SIDE_COUNT) return false;
    POINT start{};
    if (kind == PANE_LIST) {
        // The focus makes the list's side the active one, whose selection the drag carries.
        if (GetFocus() != pane->list) SetFocus(pane->list);
        start = reinterpret_cast<const NMLISTVIEW*>(header)->ptAction;
    } else {
        const auto* tree = reinterpret_cast<const NMTREEVIEWW*>(header);
        SetFocus(pane->tree);
        TreeView_SelectItem(pane->tree, tree->itemNew.hItem); // the list follows the dragged node
        start = tree->ptDrag;
    }
    BeginDrag(state.drag, ContextOf(state), pane->sideIndex == PANE_PACKAGE, kind, start);
    return true;
}

bool OnDragMouseMove(FrameState& state, LPARAM point) {
    if (!state.drag.dragging) return false;
    DragMove(state.drag, ContextOf(state), PointOf(point));
    return true;
}

bool OnDragButtonUp(FrameState& state, LPARAM point) {
    if (!state.drag.dragging) return false;
    FrameBusyScope busy(state); // the drop copies, and its questions may run while the program is reactivated
    DropResult drop = Drop(state.drag, ContextOf(state), PointOf(point));
    if (drop.onTarget) {
        // A cancelled question leaves both sides as they were; the target still shows the dragged node.
        RunCopy(state, drop.selection);
        if (drop.startNodeKind == NODE_PLUGIN) drop.startNodeText = PlugInTextOnTarget(state, drop);
        FollowDrop(state.sides[drop.targetIndex], drop);
    }
    EndDrag(state);
    return true;
}

bool OnDragCancel(FrameState& state) {
    if (!state.drag.dragging) return false;
    CancelDrag(state.drag);
    EndDrag(state);
    return true;
}
