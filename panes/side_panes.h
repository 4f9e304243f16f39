// One side of the frame: its caption, tree and list, their images, and bringing them in line with the catalogue.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <string>
#include "catalogue_model.h"
#include "kvdpi.h"
#include "kvgdi_handles.h"
#include "pane_rows.h"
#include "selection.h"

constexpr uint32_t PANE_PACKAGE = 0; // pane index of the package side (shown above)
constexpr uint32_t PANE_SYSTEM = 1;  // pane index of the system side (shown below)

constexpr int PANE_CAPTION_ID_BASE = 10; // control ids: caption 10/11, tree 1/2, list 30/31
constexpr int PANE_TREE_ID_BASE = 1;
constexpr int PANE_LIST_ID_BASE = 30;

constexpr int PANE_TEXT_CHARS = 260;       // item texts are read up to 259 characters
constexpr int PANE_FIND_TEXT_CHARS = 2083; // FindChildByText compares up to 2082 characters
constexpr int PANE_LABEL_LIMIT = 63;       // characters allowed in the in-place rename box
constexpr int PANE_DEFAULT_TREE_WIDTH = 300;

// Images of bitmap 131, by position in the strip.
enum PaneImage : int { IMAGE_ROOT = 0, IMAGE_FOLDER = 2, IMAGE_PLUGIN = 3, IMAGE_CHAIN = 4, IMAGE_PRESET = 5 };

// One side's record; the frame holds two, index 0 the package side and 1 the system side.
struct PaneState {
    uint32_t sideIndex = 0; // PANE_PACKAGE or PANE_SYSTEM
    HWND parent = nullptr;
    HWND caption = nullptr;
    HWND tree = nullptr;
    HWND list = nullptr;
    NodeKind currentNodeKind = NODE_NONE; // kind of the selected tree node: what the list shows
    CatalogueModel* catalogue = nullptr;  // the side's collections live here; not owned
    PaneRows rows; // what the list shows: the control asks for each row's text and image as it needs them
    KvImageList treeImages;
    KvImageList listImages;
    UINT dpi = KV_DPI_BASE; // what the images and the layout are made for

    // Layout, in frame client coordinates, as last laid out.
    RECT rect{};
    int32_t treeWidth = PANE_DEFAULT_TREE_WIDTH;
    RECT captionRect{};
    RECT treeRect{};
    RECT listRect{};
};

// The catalogue side a pane index stands for (they run opposite ways).
CatalogueSide CatalogueSideOf(const PaneState& pane);
PlugInList* PanePlugIns(const PaneState& pane); // may be null
ChainList* PaneChains(const PaneState& pane);   // may be null
// True when the side holds no preset and no chain.
bool PaneCollectionsEmpty(const PaneState& pane);

// Creates the caption, tree and list of a side as children of parent, with font and the images for dpi; the
// catalogue's language gives the texts and images. The windows get their places at the next layout. 0x8004E00F when
// the tree or the list cannot be made.
HRESULT CreateSidePanes(PaneState& pane, HWND parent, uint32_t sideIndex, CatalogueModel* catalogue, HFONT font,
                        UINT dpi);
// After a change of display scale: the side's windows take font, and its images are those drawn for dpi.
void RescaleSidePanes(PaneState& pane, HFONT font, UINT dpi);

// Brings the tree in line with the side's collections without clearing it: stale nodes go, missing ones are added,
// everything else keeps its expansion and selection. rootLabel: the document's path on the package side (the file
// name part is shown), null on the system side, whose tree has no root node.
void FillTree(PaneState& pane, const wchar_t* rootLabel);
// Rebuilds the list for a tree item according to currentNodeKind.
void FillList(PaneState& pane, HTREEITEM item);
// Deletes every item of the tree and the list (before another package is shown).
void ClearPanes(PaneState& pane);

// The first child of parent (the top-level items when parent is null) whose text equals text ignoring case.
HTREEITEM FindChildByText(const PaneState& pane, HTREEITEM parent, const wchar_t* text);
// A tree item for a drop target: kind 1 the package root's first child's child, 2 and 5 a folder, others a
// plug-in under "FX Plug-Ins"; null when none.
HTREEITEM FindTreeItem(const PaneState& pane, const wchar_t* text, uint32_t kind);

// Item texts, read up to capacity - 1 characters.
std::wstring TreeItemText(HWND tree, HTREEITEM item, int capacity = PANE_TEXT_CHARS);
std::wstring ListItemText(HWND list, int index, int capacity = PANE_TEXT_CHARS);
// The kind stored with a tree item, NODE_NONE when it cannot be read.
NodeKind TreeItemKind(HWND tree, HTREEITEM item);

// The fixed folder texts, from the string table.
const wchar_t* PluginsFolderText(const PaneState& pane);
const wchar_t* ChainsFolderText(const PaneState& pane);
