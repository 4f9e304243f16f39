// Turning a selected name into the kind of item it stands for.
#include "selection.h"
#include "kvlang.h"
#include "resource.h"

NodeKind ItemKindOf(const Selection& selection, const std::wstring& name, tKVLANG* language) {
    if (selection.focusedPane == PANE_TREE) return selection.nodeKind;
    switch (selection.nodeKind) {
    case NODE_ROOT: // the folder rows show the string table's texts; case significant, as shown
        return name == KvGetString(language, IDS_FOLDER_PLUGINS) ? NODE_PLUGINS : NODE_CHAINS;
    case NODE_PLUGINS: return NODE_PLUGIN;
    case NODE_PLUGIN: return NODE_PRESET;
    case NODE_CHAINS: return NODE_CHAIN;
    default: return NODE_NONE;
    }
}
