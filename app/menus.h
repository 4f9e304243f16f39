// Preparing the File, Edit and destination menus each time one opens: enabled states, the Undo and Redo texts,
// the recent files and the installed Lathmere versions. The menus keep no state of their own.
#pragma once
#include <windows.h>
#include "kvlist.h"

struct tKVLANG;
struct RecentFileList;
struct FrameState;
class EditHistory;

// What IdentifyMenu tells a popup by.
enum MenuKind : int {
    MENU_DESTINATION = -2, // the Edit menu's destination submenu and the toolbar button's drop-down alike
    MENU_OTHER = -1,
    MENU_FILE = 0,
    MENU_EDIT = 1,
    MENU_HELP = 2,
};

// Tells a popup by the command of its first item that is neither a separator nor a submenu.
int IdentifyMenu(HMENU popup);

// Save and Save As enabled as given; then the recent files below the fixed items.
HRESULT PrepareFileMenu(HMENU menu, bool canSave, bool canSaveAs, const RecentFileList& recentFiles);

// The Edit menu's inputs, read from the panes by the frame.
struct EditMenuState {
    bool canCopyToSystem = false;
    bool canCopyToFile = false;
    bool canDelete = false;
    const EditHistory* history = nullptr; // without one, Undo and Redo stay as the resource has them
};
void PrepareEditMenu(HMENU menu, const EditMenuState& state, tKVLANG* language);

// Lists the destinations (at most nine) with the radio mark on the selected one, or one grayed "None Installed".
HRESULT PrepareDestinationMenu(HMENU menu, const tKVLIST* destinations, int selected, tKVLANG* language);
// The frame's handling of a popup that is about to open.
void PrepareMenuPopup(FrameState& frame, HMENU popup);
