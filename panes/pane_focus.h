// Focus, selection and keyboard commands across the two sides' panes, and the panes' notifications.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include "selection.h"
#include "side_panes.h"

// Which side the user works on: the side whose tree or list last had the focus, and which of the two it was.
struct PaneFocus {
    uint32_t activeSide = PANE_PACKAGE;
    FocusedPane focusedPaneKind = PANE_NONE;
};

// What a pane notification changed, for the frame to act on.
struct PaneNotifyOutcome {
    bool handled = false;       // the notification was a pane's
    LRESULT result = 0;         // the value to return to the control
    bool statesChanged = false; // focus or selection moved: the toolbar states need updating
};

// 1 when the active side's tree has the keyboard focus, 2 when its list has it, 0 otherwise.
FocusedPane GetFocusedPane(const PaneState& activePane);
// The active side's selection: the selected tree node with the tree focused, else the selected rows of the list
// under the selected node's text. Names and parent are read up to 259 characters.
HRESULT GetSelection(const PaneState& activePane, Selection* selection);

// Routes a WM_NOTIFY from a side's tree or list; other senders are left unhandled.
PaneNotifyOutcome OnPaneNotify(PaneState& pane, PaneFocus& focus, const NMHDR* header);

// Opens a folder or plug-in row: selects its node in the tree (which refills the list) and the list's first row.
void OpenListRow(PaneState& pane, int row);

// Ctrl+A: selects every row of the active side's list while a list has the focus.
void SelectAllRows(PaneState& activePane, const PaneFocus& focus);
// F2: starts renaming the first selected row when the active side's list has the focus.
void StartRenameSelectedRow(PaneState& activePane);

// The pane (0 package tree, 1 package list, 2 system tree, 3 system list) that Ctrl+Tab (forward) or
// Ctrl+Shift+Tab reaches from the focus state, passing over panes without items; -1 when none can take it.
int NextPaneIndex(const PaneFocus& focus, bool forward, const bool hasItems[4]);
// Moves the focus that way; a list reached without a selected row gets its first row selected.
void CyclePaneFocus(PaneState (&sides)[2], const PaneFocus& focus, bool forward);
