// What the user has selected on the active side, read from the panes once so that editing never reads a control.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "catalogue.h"

// The kind of a tree node (stored as its item parameter) and of a list row.
enum NodeKind : uint32_t {
    NODE_NONE = 0,
    NODE_ROOT = 1,     // the package tree's single top node
    NODE_PLUGINS = 2,  // "FX Plug-Ins"
    NODE_PLUGIN = 3,
    NODE_PRESET = 4,   // list rows only
    NODE_CHAINS = 5,   // "FX Chains"
    NODE_CHAIN = 6,    // list rows only
};

// Which pane of the active side has the keyboard focus.
enum FocusedPane : uint32_t { PANE_NONE = 0, PANE_TREE = 1, PANE_LIST = 2 };

struct Selection {
    CatalogueSide side = SIDE_PACKAGE;
    FocusedPane focusedPane = PANE_NONE;
    NodeKind nodeKind = NODE_NONE;   // the kind of the tree node that is selected (and that the list shows)
    std::vector<std::wstring> names; // the selected tree node's text, or the selected rows' texts in row order
    std::wstring parent;             // the tree node's parent text (tree focus) or the tree node's text (list focus)
};

// The kind of one selected name: the tree node's own kind with the tree focused, else the kind of a row under it.
// language supplies the folder texts the panes show.
NodeKind ItemKindOf(const Selection& selection, const std::wstring& name, tKVLANG* language);
