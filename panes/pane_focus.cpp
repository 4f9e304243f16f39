// Focus, selection, the panes' notifications and the keyboard commands that move between panes.
#include "pane_focus.h"
#include "kvresult.h"

namespace {

constexpr int kPaneCount = 4; // package tree, package list, system tree, system list

bool ListShowsRenamableRows(NodeKind kind) { return kind == NODE_PLUGIN || kind == NODE_CHAINS; }

int FirstSelectedRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

void SelectFirstRow(HWND list) {
    if (ListView_GetItemCount(list) == 0) return;
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// A pane received the focus: its side becomes the active one.
PaneNotifyOutcome OnPaneFocused(const PaneState& pane, PaneFocus& focus, FocusedPane kind) {
    PaneNotifyOutcome outcome;
    outcome.handled = true;
    if (focus.activeSide == pane.sideIndex && focus.focusedPaneKind == kind) return outcome;
    focus.activeSide = pane.sideIndex;
    focus.focusedPaneKind = kind;
    outcome.statesChanged = true;
    return outcome;
}

// The expansion a user gives a node is kept with its catalogue object.
void RecordExpansion(PaneState& pane, HTREEITEM item) {
    uint32_t expanded = (TreeView_GetItemState(pane.tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) ? 1 : 0;
    PlugInList* plugIns = PanePlugIns(pane);
    ChainList* chains = PaneChains(pane);
    switch (TreeItemKind(pane.tree, item)) {
    case NODE_PLUGINS:
        if (plugIns) plugIns->expanded = expanded;
        break;
    case NODE_CHAINS:
        if (chains) chains->expanded = expanded;
        break;
    case NODE_PLUGIN:
        if (plugIns) {
            tKVLANG* language = pane.catalogue ? pane.catalogue->language : nullptr;
            if (PlugInEntry* entry = plugIns->FindEntryByName(TreeItemText(pane.tree, item).c_str(), language))
                entry->expanded = expanded;
        }
        break;
    default:
        break;
    }
}

PaneNotifyOutcome OnTreeNotify(PaneState& pane, PaneFocus& focus, const NMHDR* header) {
    PaneNotifyOutcome outcome;
    outcome.handled = true;
    const auto* tree = reinterpret_cast<const NMTREEVIEWW*>(header);
    switch (header->code) {
    case NM_SETFOCUS:
        return OnPaneFocused(pane, focus, PANE_TREE);
    case TVN_SELCHANGEDW:
        pane.currentNodeKind = TreeItemKind(pane.tree, tree->itemNew.hItem);
        FillList(pane, tree->itemNew.hItem);
        outcome.statesChanged = true;
        break;
    case TVN_ITEMEXPANDEDW:
        RecordExpansion(pane, tree->itemNew.hItem);
        break;
    default:
        outcome.handled = false;
        break;
    }
    return outcome;
}

void ShowRow(const PaneRows& rows, LVITEMW& item) {
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
        lstrcpynW(item.pszText, rows.Text(item.iItem), item.cchTextMax);
    if (item.mask & LVIF_IMAGE) item.iImage = rows.Image();
}

// Typing a name's first letters, and LVM_FINDITEM, search the rows here.
int FindRow(const PaneRows& rows, const NMLVFINDITEMW& find) {
    const LVFINDINFOW& info = find.lvfi;
    if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL)) || !info.psz) return -1;
    return rows.Find(info.psz, find.iStart, (info.flags & LVFI_PARTIAL) != 0, (info.flags & LVFI_WRAP) != 0);
}

PaneNotifyOutcome OnListNotify(PaneState& pane, PaneFocus& focus, const NMHDR* header) {
    PaneNotifyOutcome outcome;
    outcome.handled = true;
    switch (header->code) {
    case NM_SETFOCUS:
        return OnPaneFocused(pane, focus, PANE_LIST);
    case LVN_BEGINLABELEDITW:
        // Only presets and chains are renamed in place; folder and plug-in names belong to others.
        if (ListShowsRenamableRows(pane.currentNodeKind)) {
            if (HWND edit = ListView_GetEditControl(pane.list)) SendMessageW(edit, EM_LIMITTEXT, PANE_LABEL_LIMIT, 0);
            outcome.result = FALSE;
        } else {
            outcome.result = TRUE;
        }
        break;
    case LVN_ITEMCHANGED:
        outcome.statesChanged = (reinterpret_cast<const NMLISTVIEW*>(header)->uChanged & LVIF_STATE) != 0;
        break;
    case LVN_ODSTATECHANGED: // a range of rows selected or cleared at once
        outcome.statesChanged = true;
        break;
    case LVN_GETDISPINFOW:
        // The notification's item is the control's to be filled in, although it comes as a header.
        ShowRow(pane.rows, reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item);
        break;
    case LVN_ODFINDITEMW:
        outcome.result = FindRow(pane.rows, *reinterpret_cast<const NMLVFINDITEMW*>(header));
        break;
    case LVN_ODCACHEHINT:
        break;
    case NM_DBLCLK: {
        int row = reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem;
        if (row < 0) break;
        if (ListShowsRenamableRows(pane.currentNodeKind)) ListView_EditLabel(pane.list, row);
        else OpenListRow(pane, row);
        break;
    }
    case NM_RETURN:
        if (!ListShowsRenamableRows(pane.currentNodeKind)) {
            int row = FirstSelectedRow(pane.list);
            if (row >= 0) OpenListRow(pane, row);
        }
        break;
    default:
        outcome.handled = false;
        break;
    }
    return outcome;
}

} // namespace

FocusedPane GetFocusedPane(const PaneState& activePane) {
    HWND focus = GetFocus();
    if (!focus) return PANE_NONE;
    if (focus == activePane.tree) return PANE_TREE;
    // The in-place rename box is the list's child: the list still counts as focused.
    if (focus == activePane.list || (activePane.list && IsChild(activePane.list, focus))) return PANE_LIST;
    return PANE_NONE;
}

HRESULT GetSelection(const PaneState& activePane, Selection* selection) {
    if (!selection || !activePane.tree || !activePane.list) return KV_E_INVALIDARG;
    selection->side = CatalogueSideOf(activePane);
    selection->focusedPane = GetFocusedPane(activePane);
    selection->nodeKind = activePane.currentNodeKind;
    selection->names.clear();
    selection->parent.clear();
    HTREEITEM selected = TreeView_GetSelection(activePane.tree);
    std::wstring nodeText = TreeItemText(activePane.tree, selected);
    if (selection->focusedPane != PANE_TREE) {
        selection->parent = nodeText;
        for (int row = FirstSelectedRow(activePane.list); row >= 0;
             row = ListView_GetNextItem(activePane.list, row, LVNI_SELECTED))
            selection->names.push_back(ListItemText(activePane.list, row));
        return S_OK;
    }
    if (!selected) return S_OK;
    HTREEITEM parent = TreeView_GetParent(activePane.tree, selected);
    if (parent) selection->parent = TreeItemText(activePane.tree, parent);
    selection->names.push_back(nodeText);
    return S_OK;
}

PaneNotifyOutcome OnPaneNotify(PaneState& pane, PaneFocus& focus, const NMHDR* header) {
    if (!header) return PaneNotifyOutcome{};
    if (pane.tree && header->hwndFrom == pane.tree) return OnTreeNotify(pane, focus, header);
    if (pane.list && header->hwndFrom == pane.list) return OnListNotify(pane, focus, header);
    return PaneNotifyOutcome{};
}

void OpenListRow(PaneState& pane, int row) {
    std::wstring text = ListItemText(pane.list, row);
    HTREEITEM child = FindChildByText(pane, TreeView_GetSelection(pane.tree), text.c_str());
    if (!child) return;
    TreeView_SelectItem(pane.tree, child); // the selection notification refills the list
    TreeView_EnsureVisible(pane.tree, child);
    SelectFirstRow(pane.list);
}

void SelectAllRows(PaneState& activePane, const PaneFocus& focus) {
    if (focus.focusedPaneKind != PANE_LIST || !activePane.list) return;
    ListView_SetItemState(activePane.list, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void StartRenameSelectedRow(PaneState& activePane) {
    if (GetFocusedPane(activePane) != PANE_LIST || ListView_GetItemCount(activePane.list) == 0) return;
    int row = FirstSelectedRow(activePane.list);
    if (row >= 0) ListView_EditLabel(activePane.list, row);
}

int NextPaneIndex(const PaneFocus& focus, bool forward, const bool hasItems[4]) {
    const int step = forward ? 1 : kPaneCount - 1;
    const int side = static_cast<int>(focus.activeSide == PANE_SYSTEM ? PANE_SYSTEM : PANE_PACKAGE);
    int start;
    if (focus.focusedPaneKind == PANE_NONE) {
        start = side * 2 + (forward ? 1 : 0); // the active side's list forward, its tree backward
    } else {
        int current = side * 2 + (focus.focusedPaneKind == PANE_LIST ? 1 : 0);
        start = (current + step) % kPaneCount;
    }
    for (int i = 0; i < kPaneCount; ++i) {
        int index = (start + i * step) % kPaneCount;
        if (hasItems[index]) return index;
    }
    return -1;
}

void CyclePaneFocus(PaneState (&sides)[2], const PaneFocus& focus, bool forward) {
    bool hasItems[kPaneCount];
    for (int side = 0; side < 2; ++side) {
        hasItems[side * 2] = sides[side].tree && TreeView_GetCount(sides[side].tree) > 0;
        hasItems[side * 2 + 1] = sides[side].list && ListView_GetItemCount(sides[side].list) > 0;
    }
    int index = NextPaneIndex(focus, forward, hasItems);
    if (index < 0) return;
    PaneState& pane = sides[index / 2];
    bool toList = index % 2 == 1;
    SetFocus(toList ? pane.list : pane.tree);
    if (toList && FirstSelectedRow(pane.list) < 0) SelectFirstRow(pane.list);
}
