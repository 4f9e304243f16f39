// Turning a selected name into the kind of item it stands for.
#include "selection.h"

NodeKind ItemKindOf(const Selection& selection, const std::wstring& name) {
    if (selection.focusedPane == PANE_TREE) return selection.nodeKind;
    switch (selection.nodeKind) {
    case NODE_ROOT: return name == L"FX Plug-Ins" ? NODE_PLUGINS : NODE_CHAINS; // case significant, as shown
    case NODE_PLUGINS: return NODE_PLUGIN;
    case NODE_PLUGIN: return NODE_PRESET;
    case NODE_CHAINS: return NODE_CHAIN;
    default: return NODE_NONE;
    }
}
