// One side's caption, tree and list: creating them and keeping them in line with the side's collections.
#include "side_panes.h"
#include <algorithm>
#include <unordered_set>
#include <vector>
#include "document_record.h"
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

constexpr COLORREF kImageKey = RGB(255, 0, 255);
constexpr int kImageSize = 16;
constexpr int kImageInitial = 6;
constexpr int kImageGrowth = 12;

struct TreeChild {
    HTREEITEM item;
    std::wstring text;
};

// Turns off a control's redrawing while it is filled, and repaints it afterwards.
class RedrawPause {
public:
    explicit RedrawPause(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPause() {
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    HWND window_;
};

bool TextsEqual(const wchar_t* first, const wchar_t* second) {
    return CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
}

// A key under which texts that TextsEqual calls equal collide.
std::wstring FoldedKey(const std::wstring& text) {
    std::wstring key(text);
    if (!key.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()), key.data(),
                      static_cast<int>(key.size()), nullptr, nullptr, 0);
    return key;
}

// The order the controls sort their items in.
int TextOrder(const std::wstring& first, const std::wstring& second) {
    return lstrcmpiW(first.c_str(), second.c_str());
}

std::wstring DisplayName(const PlugInEntry& entry, tKVLANG* language) {
    wchar_t name[CATALOGUE_NAME_CHARS];
    entry.GetDisplayName(name, CATALOGUE_NAME_CHARS, language);
    return name;
}

HTREEITEM InsertNode(HWND tree, HTREEITEM parent, HTREEITEM after, const wchar_t* text, int image, NodeKind kind) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = kind;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void AddListRow(HWND list, int index, const wchar_t* text, int image) {
    LVITEMW row{};
    row.mask = LVIF_TEXT | LVIF_IMAGE;
    row.iItem = index;
    row.pszText = const_cast<wchar_t*>(text);
    row.iImage = image;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
}

std::vector<TreeChild> ChildrenOf(HWND tree, HTREEITEM parent) {
    std::vector<TreeChild> children;
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child))
        children.push_back({child, TreeItemText(tree, child)});
    return children;
}

bool HasPresets(const PlugInList* plugIns) { return plugIns && plugIns->TotalPresetCount() > 0; }
bool HasChains(const ChainList* chains) { return chains && chains->Count() > 0; }

// The names a plug-in node may carry: a plug-in is found by its own name or its display name.
std::unordered_set<std::wstring> ShownPlugInKeys(const PlugInList& plugIns, tKVLANG* language) {
    std::unordered_set<std::wstring> keys;
    keys.reserve(static_cast<size_t>(plugIns.Count()) * 2);
    for (int i = 0; i < plugIns.Count(); ++i) {
        const PlugInEntry* entry = plugIns.At(i);
        if (entry->PresetCount() == 0) continue;
        keys.insert(FoldedKey(entry->name));
        keys.insert(FoldedKey(DisplayName(*entry, language)));
    }
    return keys;
}

// Deletes the plug-in nodes that no longer stand for a plug-in with presets; returns the others, in tree order.
std::vector<TreeChild> PruneStalePlugIns(HWND tree, HTREEITEM folder, const PlugInList& plugIns, tKVLANG* language) {
    std::unordered_set<std::wstring> shown = ShownPlugInKeys(plugIns, language);
    std::vector<TreeChild> kept;
    for (TreeChild& child : ChildrenOf(tree, folder)) {
        if (shown.count(FoldedKey(child.text))) kept.push_back(std::move(child));
        else TreeView_DeleteItem(tree, child.item);
    }
    return kept;
}

// Inserts a node for every plug-in with presets whose name no child shows yet. The nodes are placed in sorted order
// by one merge with the existing children, so that a fill costs one insert per node rather than a search of the
// siblings per node.
void AddMissingPlugIns(HWND tree, HTREEITEM folder, std::vector<TreeChild> existing, const PlugInList& plugIns,
                       tKVLANG* language) {
    std::unordered_set<std::wstring> present;
    present.reserve(existing.size() + static_cast<size_t>(plugIns.Count()));
    for (const TreeChild& child : existing) present.insert(FoldedKey(child.text));
    std::vector<std::wstring> missing;
    for (int i = 0; i < plugIns.Count(); ++i) {
        const PlugInEntry* entry = plugIns.At(i);
        if (entry->PresetCount() == 0) continue;
        std::wstring name = DisplayName(*entry, language);
        if (present.insert(FoldedKey(name)).second) missing.push_back(std::move(name));
    }
    if (missing.empty()) return;

    bool sorted = std::is_sorted(existing.begin(), existing.end(), [](const TreeChild& a, const TreeChild& b) {
        return TextOrder(a.text, b.text) < 0;
    });
    if (!sorted) { // not a tree this code built: let the control find each place
        for (const std::wstring& name : missing) InsertNode(tree, folder, TVI_SORT, name.c_str(), IMAGE_PLUGIN, NODE_PLUGIN);
        return;
    }
    std::stable_sort(missing.begin(), missing.end(),
                     [](const std::wstring& a, const std::wstring& b) { return TextOrder(a, b) < 0; });
    HTREEITEM after = TVI_FIRST;
    size_t next = 0;
    for (const std::wstring& name : missing) {
        while (next < existing.size() && TextOrder(existing[next].text, name) <= 0) after = existing[next++].item;
        HTREEITEM inserted = InsertNode(tree, folder, after, name.c_str(), IMAGE_PLUGIN, NODE_PLUGIN);
        if (inserted) after = inserted;
    }
}

HRESULT LoadPaneImages(KvImageList& images, tKVLANG* language) {
    HMODULE module = KvFindResInstance(language, MAKEINTRESOURCEW(IDB_PANE_IMAGES), RT_BITMAP);
    KvBitmap bitmap(static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(IDB_PANE_IMAGES), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return KV_E_NOT_FOUND;
    images.reset(ImageList_Create(kImageSize, kImageSize, ILC_COLOR24 | ILC_MASK, kImageInitial, kImageGrowth));
    if (!images) return KV_E_OUTOFMEMORY;
    if (ImageList_AddMasked(images.get(), bitmap.get(), kImageKey) < 0) return KV_E_FAIL;
    return S_OK;
}

HWND CreateChild(HWND parent, DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                 HFONT font) {
    HWND child = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

} // namespace

CatalogueSide CatalogueSideOf(const PaneState& pane) {
    return pane.sideIndex == PANE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM;
}

PlugInList* PanePlugIns(const PaneState& pane) {
    return pane.catalogue ? pane.catalogue->plugIns[CatalogueSideOf(pane)] : nullptr;
}

ChainList* PaneChains(const PaneState& pane) {
    return pane.catalogue ? pane.catalogue->chains[CatalogueSideOf(pane)] : nullptr;
}

bool PaneCollectionsEmpty(const PaneState& pane) { return !HasPresets(PanePlugIns(pane)) && !HasChains(PaneChains(pane)); }

const wchar_t* PluginsFolderText(const PaneState& pane) {
    return KvGetString(pane.catalogue ? pane.catalogue->language : nullptr, IDS_FOLDER_PLUGINS);
}

const wchar_t* ChainsFolderText(const PaneState& pane) {
    return KvGetString(pane.catalogue ? pane.catalogue->language : nullptr, IDS_FOLDER_CHAINS);
}

HRESULT CreateSidePanes(PaneState& pane, HWND parent, uint32_t sideIndex, CatalogueModel* catalogue, HFONT font) {
    pane.sideIndex = sideIndex;
    pane.parent = parent;
    pane.catalogue = catalogue;
    tKVLANG* language = catalogue ? catalogue->language : nullptr;
    const int offset = static_cast<int>(sideIndex);
    const UINT captionId = sideIndex == PANE_PACKAGE ? IDS_CAPTION_PACKAGE : IDS_CAPTION_SYSTEM;
    pane.caption = CreateChild(parent, 0, WC_STATICW, KvGetString(language, captionId), SS_LEFT | SS_NOPREFIX,
                               PANE_CAPTION_ID_BASE + offset, font);
    pane.tree = CreateChild(parent, WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            PANE_TREE_ID_BASE + offset, font);
    if (!pane.tree) return KV_E_WINDOW_CREATE;
    pane.list = CreateChild(parent, WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_TABSTOP | LVS_LIST | LVS_NOCOLUMNHEADER | LVS_SORTASCENDING | LVS_EDITLABELS |
                                LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                            PANE_LIST_ID_BASE + offset, font);
    if (!pane.list) return KV_E_WINDOW_CREATE;
    // Missing images leave the panes usable, only without pictures.
    if (LoadPaneImages(pane.treeImages, language) == S_OK)
        TreeView_SetImageList(pane.tree, pane.treeImages.get(), TVSIL_NORMAL);
    if (LoadPaneImages(pane.listImages, language) == S_OK) {
        ListView_SetImageList(pane.list, pane.listImages.get(), LVSIL_NORMAL);
        ListView_SetImageList(pane.list, pane.listImages.get(), LVSIL_SMALL);
    }
    return S_OK;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item, int capacity) {
    std::wstring text(static_cast<size_t>(std::max(capacity, 1)), L'\0');
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text.data();
    query.cchTextMax = capacity;
    if (!item || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::wstring ListItemText(HWND list, int index, int capacity) {
    std::wstring text(static_cast<size_t>(std::max(capacity, 1)), L'\0');
    LVITEMW query{};
    query.iSubItem = 0;
    query.pszText = text.data();
    query.cchTextMax = capacity;
    LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&query));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(length, 0, capacity)));
    return text;
}

NodeKind TreeItemKind(HWND tree, HTREEITEM item) {
    TVITEMW query{};
    query.mask = TVIF_PARAM;
    query.hItem = item;
    if (!item || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query))) return NODE_NONE;
    LPARAM kind = query.lParam;
    return kind >= NODE_ROOT && kind <= NODE_CHAIN ? static_cast<NodeKind>(kind) : NODE_NONE;
}

HTREEITEM FindChildByText(const PaneState& pane, HTREEITEM parent, const wchar_t* text) {
    HWND tree = pane.tree;
    HTREEITEM child = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree);
    for (; child; child = TreeView_GetNextSibling(tree, child))
        if (TextsEqual(TreeItemText(tree, child, PANE_FIND_TEXT_CHARS).c_str(), text)) return child;
    return nullptr;
}

HTREEITEM FindTreeItem(const PaneState& pane, const wchar_t* text, uint32_t kind) {
    if (!pane.tree || kind == NODE_NONE) return nullptr;
    HTREEITEM root = TreeView_GetRoot(pane.tree);
    if (kind == NODE_ROOT) return root ? FindChildByText(pane, TreeView_GetChild(pane.tree, root), text) : nullptr;
    HTREEITEM folderParent = pane.sideIndex == PANE_PACKAGE ? root : nullptr;
    if (pane.sideIndex == PANE_PACKAGE && !root) return nullptr;
    if (kind == NODE_PLUGINS || kind == NODE_CHAINS) return FindChildByText(pane, folderParent, text);
    HTREEITEM plugIns = FindChildByText(pane, folderParent, PluginsFolderText(pane));
    return plugIns ? FindChildByText(pane, plugIns, text) : nullptr;
}

void FillTree(PaneState& pane, const wchar_t* rootLabel) {
    HWND tree = pane.tree;
    if (!tree) return;
    tKVLANG* language = pane.catalogue ? pane.catalogue->language : nullptr;
    PlugInList* plugIns = PanePlugIns(pane);
    ChainList* chains = PaneChains(pane);
    RedrawPause pause(tree);

    HTREEITEM top = rootLabel ? TreeView_GetRoot(tree) : nullptr;
    HTREEITEM chainsNode = FindChildByText(pane, top, ChainsFolderText(pane));
    if (chainsNode && !HasChains(chains)) {
        TreeView_DeleteItem(tree, chainsNode);
        chainsNode = nullptr;
    }
    HTREEITEM plugInsNode = FindChildByText(pane, top, PluginsFolderText(pane));
    std::vector<TreeChild> kept;
    if (plugInsNode && HasPresets(plugIns)) {
        kept = PruneStalePlugIns(tree, plugInsNode, *plugIns, language);
    } else if (plugInsNode) {
        TreeView_DeleteItem(tree, plugInsNode);
        plugInsNode = nullptr;
    }

    if (rootLabel) {
        const wchar_t* name = DocumentFileName(rootLabel);
        HTREEITEM root = TreeView_GetRoot(tree);
        if (root) {
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem = root;
            item.pszText = const_cast<wchar_t*>(name);
            SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        } else {
            root = InsertNode(tree, nullptr, TVI_FIRST, name, IMAGE_ROOT, NODE_ROOT);
        }
        top = root;
    }
    if (HasChains(chains) && !chainsNode) InsertNode(tree, top, TVI_SORT, ChainsFolderText(pane), IMAGE_FOLDER, NODE_CHAINS);
    // Only plug-ins with presets are shown, so that a refill never takes away what this one adds.
    if (!HasPresets(plugIns)) return;
    if (!plugInsNode)
        plugInsNode = InsertNode(tree, top, TVI_SORT, PluginsFolderText(pane), IMAGE_FOLDER, NODE_PLUGINS);
    if (plugInsNode) AddMissingPlugIns(tree, plugInsNode, std::move(kept), *plugIns, language);
}

void FillList(PaneState& pane, HTREEITEM item) {
    HWND list = pane.list;
    if (!list) return;
    RedrawPause pause(list);
    ListView_DeleteAllItems(list);
    if (pane.currentNodeKind == NODE_NONE || !item) return;
    tKVLANG* language = pane.catalogue ? pane.catalogue->language : nullptr;
    PlugInList* plugIns = PanePlugIns(pane);
    ChainList* chains = PaneChains(pane);
    int row = 0;
    switch (pane.currentNodeKind) {
    case NODE_ROOT:
        if (HasChains(chains)) AddListRow(list, row++, ChainsFolderText(pane), IMAGE_FOLDER);
        if (HasPresets(plugIns)) AddListRow(list, row++, PluginsFolderText(pane), IMAGE_FOLDER);
        break;
    case NODE_PLUGINS:
        if (!plugIns) break;
        ListView_SetItemCount(list, plugIns->Count());
        for (int i = 0; i < plugIns->Count(); ++i)
            if (plugIns->At(i)->PresetCount() > 0)
                AddListRow(list, row++, DisplayName(*plugIns->At(i), language).c_str(), IMAGE_PLUGIN);
        break;
    case NODE_PLUGIN: {
        const PlugInEntry* entry = plugIns ? plugIns->FindEntryByName(TreeItemText(pane.tree, item).c_str(), language)
                                           : nullptr;
        if (!entry) break;
        ListView_SetItemCount(list, entry->PresetCount());
        for (int i = 0; i < entry->PresetCount(); ++i) AddListRow(list, row++, entry->PresetAt(i)->name, IMAGE_PRESET);
        break;
    }
    case NODE_CHAINS:
        if (!chains) break;
        ListView_SetItemCount(list, chains->Count());
        for (int i = 0; i < chains->Count(); ++i) AddListRow(list, row++, chains->At(i)->name, IMAGE_CHAIN);
        break;
    default:
        break;
    }
}

void ClearPanes(PaneState& pane) {
    if (pane.tree) TreeView_DeleteAllItems(pane.tree);
    if (pane.list) ListView_DeleteAllItems(pane.list);
    pane.currentNodeKind = NODE_NONE;
}
