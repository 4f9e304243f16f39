// One side's caption, tree and list: creating them and keeping them in line with the side's collections.
#include "side_panes.h"
#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>
#include "document_record.h"
#include "kvlang.h"
#include "kvresult.h"
#include "pane_text.h"
#include "resource.h"

namespace {

constexpr COLORREF kImageKey = RGB(255, 0, 255);
constexpr int kImageInitial = 6;
constexpr int kImageGrowth = 12;

// The pane images as drawn for each display scale, 16 pixels at 96 DPI.
constexpr int kImageSizes[] = {16, 20, 24, 32};
constexpr UINT kImageBitmaps[] = {IDB_PANE_IMAGES, IDB_PANE_IMAGES_20, IDB_PANE_IMAGES_24, IDB_PANE_IMAGES_32};
constexpr int kImageSize96 = 16;
constexpr size_t kWaitCursorRows = 5000;

struct TreeChild {
    HTREEITEM item;
    std::wstring text;
    std::wstring folded; // FoldedKey(text)
};

// A plug-in with presets as the tree shows it.
struct ShownPlugIn {
    std::wstring text;   // the display name
    std::wstring folded; // FoldedKey(text)
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

std::vector<TreeChild> ChildrenOf(HWND tree, HTREEITEM parent) {
    std::vector<TreeChild> children;
    for (HTREEITEM child = TreeView_GetChild(tree, parent); child; child = TreeView_GetNextSibling(tree, child)) {
        std::wstring text = TreeItemText(tree, child);
        std::wstring folded = FoldedKey(text);
        children.push_back({child, std::move(text), std::move(folded)});
    }
    return children;
}

bool HasPresets(const PlugInList* plugIns) { return plugIns && plugIns->TotalPresetCount() > 0; }
bool HasChains(const ChainList* chains) { return chains && chains->Count() > 0; }

// The plug-ins with presets, in list order, by the names the tree shows.
std::vector<ShownPlugIn> ShownPlugIns(const PlugInList& plugIns, tKVLANG* language) {
    std::vector<ShownPlugIn> shown;
    shown.reserve(static_cast<size_t>(plugIns.Count()));
    for (int i = 0; i < plugIns.Count(); ++i) {
        const PlugInEntry* entry = plugIns.At(i);
        if (entry->PresetCount() == 0) continue;
        std::wstring text = DisplayName(*entry, language);
        std::wstring folded = FoldedKey(text);
        shown.push_back({std::move(text), std::move(folded)});
    }
    return shown;
}

// Deletes the plug-in nodes that no longer stand for a plug-in with presets (found, like FindByName finds one, by
// its display name or its own name); returns the others, in tree order.
std::vector<TreeChild> PruneStalePlugIns(HWND tree, HTREEITEM folder, const PlugInList& plugIns,
                                         const std::vector<ShownPlugIn>& shown) {
    std::unordered_set<std::wstring> names;
    names.reserve(shown.size() * 2);
    for (const ShownPlugIn& plugIn : shown) names.insert(plugIn.folded);
    for (int i = 0; i < plugIns.Count(); ++i)
        if (plugIns.At(i)->PresetCount() > 0) names.insert(FoldedKey(plugIns.At(i)->name.c_str()));
    std::vector<TreeChild> kept;
    for (TreeChild& child : ChildrenOf(tree, folder)) {
        if (names.count(child.folded)) kept.push_back(std::move(child));
        else TreeView_DeleteItem(tree, child.item);
    }
    return kept;
}

// Inserts a node for every shown plug-in whose name no child shows yet. The new nodes are sorted once and placed by
// one merge with the existing children, so that a fill costs one insert per node rather than a search of the
// siblings per node. At start-up this runs for tens of thousands of plug-ins: it keeps positions and views of the
// caller's texts rather than copies of them.
void AddMissingPlugIns(HWND tree, HTREEITEM folder, const std::vector<TreeChild>& existing,
                       const std::vector<ShownPlugIn>& shown) {
    std::vector<size_t> missing; // positions in shown
    {
        std::unordered_set<std::wstring_view> present;
        present.reserve(existing.size() + shown.size());
        for (const TreeChild& child : existing) present.insert(child.folded);
        for (size_t i = 0; i < shown.size(); ++i)
            if (present.insert(shown[i].folded).second) missing.push_back(i);
    }
    if (missing.empty()) return;

    SortKeyList existingKeys;
    for (const TreeChild& child : existing) existingKeys.Add(child.text);
    bool sorted = true;
    for (size_t i = 1; i < existingKeys.size() && sorted; ++i) sorted = existingKeys[i - 1] <= existingKeys[i];
    if (!sorted) { // not a tree this code built
        for (size_t index : missing)
            InsertNode(tree, folder, TVI_SORT, shown[index].text.c_str(), IMAGE_PLUGIN, NODE_PLUGIN);
        return;
    }
    SortKeyList missingKeys;
    for (size_t index : missing) missingKeys.Add(shown[index].text);
    std::vector<size_t> order(missing.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return missingKeys[a] < missingKeys[b]; });
    HTREEITEM after = TVI_FIRST;
    size_t next = 0;
    for (size_t position : order) {
        while (next < existing.size() && existingKeys[next] <= missingKeys[position]) after = existing[next++].item;
        // Past the last existing child the end is the place, and the cheapest one to reach.
        HTREEITEM place = next == existing.size() ? TVI_LAST : after;
        HTREEITEM inserted =
            InsertNode(tree, folder, place, shown[missing[position]].text.c_str(), IMAGE_PLUGIN, NODE_PLUGIN);
        if (inserted) after = inserted;
    }
}

HRESULT LoadPaneImages(KvImageList& images, tKVLANG* language, UINT dpi) {
    const int pick = KvDpi_PickSize(kImageSizes, static_cast<int>(std::size(kImageSizes)), kImageSize96, dpi);
    const wchar_t* name = MAKEINTRESOURCEW(kImageBitmaps[pick]);
    HMODULE module = KvFindResInstance(language, name, RT_BITMAP);
    KvBitmap bitmap(static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return KV_E_NOT_FOUND;
    const int size = kImageSizes[pick];
    images.reset(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kImageInitial, kImageGrowth));
    if (!images) return KV_E_OUTOFMEMORY;
    if (ImageList_AddMasked(images.get(), bitmap.get(), kImageKey) < 0) return KV_E_FAIL;
    return S_OK;
}

// Missing images leave the panes usable, only without pictures. The controls take the new lists before the old go.
void SetPaneImages(PaneState& pane, UINT dpi) {
    tKVLANG* language = pane.catalogue ? pane.catalogue->language : nullptr;
    KvImageList treeImages, listImages;
    if (LoadPaneImages(treeImages, language, dpi) != S_OK) treeImages.reset();
    if (LoadPaneImages(listImages, language, dpi) != S_OK) listImages.reset();
    TreeView_SetImageList(pane.tree, treeImages.get(), TVSIL_NORMAL);
    ListView_SetImageList(pane.list, listImages.get(), LVSIL_NORMAL);
    ListView_SetImageList(pane.list, listImages.get(), LVSIL_SMALL);
    pane.treeImages = std::move(treeImages);
    pane.listImages = std::move(listImages);
    pane.dpi = dpi;
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

HRESULT CreateSidePanes(PaneState& pane, HWND parent, uint32_t sideIndex, CatalogueModel* catalogue, HFONT font,
                        UINT dpi) {
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
                            WS_TABSTOP | LVS_LIST | LVS_NOCOLUMNHEADER | LVS_EDITLABELS | LVS_SHOWSELALWAYS |
                                LVS_SHAREIMAGELISTS | LVS_OWNERDATA,
                            PANE_LIST_ID_BASE + offset, font);
    if (!pane.list) return KV_E_WINDOW_CREATE;
    SetPaneImages(pane, dpi);
    return S_OK;
}

void RescaleSidePanes(PaneState& pane, HFONT font, UINT dpi) {
    for (HWND window : {pane.caption, pane.tree, pane.list})
        if (window) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (pane.tree && pane.list) SetPaneImages(pane, dpi);
    pane.dpi = dpi;
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
    std::vector<ShownPlugIn> shown;
    std::vector<TreeChild> kept;
    if (HasPresets(plugIns)) shown = ShownPlugIns(*plugIns, language);
    if (plugInsNode && HasPresets(plugIns)) {
        kept = PruneStalePlugIns(tree, plugInsNode, *plugIns, shown);
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
    if (plugInsNode) AddMissingPlugIns(tree, plugInsNode, kept, shown);
}

void FillList(PaneState& pane, HTREEITEM item) {
    HWND list = pane.list;
    if (!list) return;
    RedrawPause pause(list);
    ListView_DeleteAllItems(list);
    pane.rows.Clear();
    if (pane.currentNodeKind == NODE_NONE || !item) return;
    tKVLANG* language = pane.catalogue ? pane.catalogue->language : nullptr;
    PlugInList* plugIns = PanePlugIns(pane);
    ChainList* chains = PaneChains(pane);
    std::vector<std::wstring> texts;
    int image = IMAGE_FOLDER;
    switch (pane.currentNodeKind) {
    case NODE_ROOT:
        if (HasChains(chains)) texts.emplace_back(ChainsFolderText(pane));
        if (HasPresets(plugIns)) texts.emplace_back(PluginsFolderText(pane));
        break;
    case NODE_PLUGINS:
        image = IMAGE_PLUGIN;
        for (int i = 0; plugIns && i < plugIns->Count(); ++i)
            if (plugIns->At(i)->PresetCount() > 0) texts.push_back(DisplayName(*plugIns->At(i), language));
        break;
    case NODE_PLUGIN: {
        image = IMAGE_PRESET;
        const PlugInEntry* entry = plugIns ? plugIns->FindEntryByName(TreeItemText(pane.tree, item).c_str(), language)
                                           : nullptr;
        for (int i = 0; entry && i < entry->PresetCount(); ++i) texts.emplace_back(entry->PresetAt(i)->name);
        break;
    }
    case NODE_CHAINS:
        image = IMAGE_CHAIN;
        for (int i = 0; chains && i < chains->Count(); ++i) texts.emplace_back(chains->At(i)->name);
        break;
    default:
        break;
    }
    // The rows are sorted here, in the order the control would sort them by text. The control itself holds no
    // row: one it held cost it kilobytes, and inserting a hundred thousand of them took seconds.
    std::optional<KvCursorSwap> wait; // sorting tens of thousands of names takes a moment
    if (texts.size() > kWaitCursorRows) wait.emplace();
    pane.rows.Assign(texts, SortedOrder(texts), image);
    ListView_SetItemCountEx(list, pane.rows.Count(), 0);
}

void ClearPanes(PaneState& pane) {
    if (pane.tree) TreeView_DeleteAllItems(pane.tree);
    if (pane.list) ListView_DeleteAllItems(pane.list);
    pane.rows.Clear();
    pane.currentNodeKind = NODE_NONE;
}
