// The menu-popup preparation of the File, Edit and destination menus.
#include "menus.h"
#include "catalogue_model.h"
#include "command_state.h"
#include "edit_history.h"
#include "frame_state.h"
#include "kvlang.h"
#include "kvresult.h"
#include "recent_files.h"
#include "resource.h"
#include "store_read.h"
#include <cwchar>

namespace {

constexpr int kMenuTextChars = 260;
constexpr int kShownDestinations = ID_DESTINATION_LAST - ID_DESTINATION_FIRST + 1;

void Enable(HMENU menu, UINT command, bool enabled) {
    EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool SetItem(HMENU menu, UINT command, const wchar_t* text, bool enabled) {
    return ModifyMenuW(menu, command, MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command,
                       text) != FALSE;
}

// The unversioned store goes by the name its item has in the destination menu's resource.
void DestinationText(const LathmereDestination& destination, tKVLANG* language, wchar_t* text) {
    text[0] = L'\0';
    if (destination.majorVersion > 6) {
        KvPrintFN(text, kMenuTextChars, KvGetString(language, IDS_LATHMERE_VERSION), destination.majorVersion,
                  destination.minorVersion);
        return;
    }
    HMENU resource = KvLoadMenu(language, IDR_DESTINATION_MENU);
    if (!resource) return;
    GetMenuStringW(resource, ID_DESTINATION_FIRST, text, kMenuTextChars, MF_BYCOMMAND);
    DestroyMenu(resource);
}

} // namespace

int IdentifyMenu(HMENU popup) {
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &info)) continue;
        if ((info.fType & MFT_SEPARATOR) || info.wID == 0 || info.hSubMenu) continue;
        switch (info.wID) {
        case ID_FILE_NEW: return MENU_FILE;
        case ID_EDIT_UNDO: return MENU_EDIT;
        case ID_HELP_CONTENTS: return MENU_HELP;
        case ID_DESTINATION_FIRST: return MENU_DESTINATION;
        default: return MENU_OTHER;
        }
    }
    return MENU_OTHER;
}

HRESULT PrepareFileMenu(HMENU menu, bool canSave, bool canSaveAs, const RecentFileList& recentFiles) {
    Enable(menu, ID_FILE_SAVE, canSave);
    Enable(menu, ID_FILE_SAVE_AS, canSaveAs);
    return AppendRecentFileItems(menu, recentFiles);
}

void PrepareEditMenu(HMENU menu, const EditMenuState& state, tKVLANG* language) {
    Enable(menu, ID_EDIT_COPY_TO_SYSTEM, state.canCopyToSystem);
    Enable(menu, ID_EDIT_COPY_TO_FILE, state.canCopyToFile);
    Enable(menu, ID_EDIT_DELETE, state.canDelete);
    if (!state.history) return;
    EditMenuItem redo = RedoMenuItem(*state.history, language);
    SetItem(menu, ID_EDIT_REDO, redo.text.c_str(), redo.enabled);
    EditMenuItem undo = UndoMenuItem(*state.history, language);
    SetItem(menu, ID_EDIT_UNDO, undo.text.c_str(), undo.enabled);
}

HRESULT PrepareDestinationMenu(HMENU menu, const tKVLIST* destinations, int selected, tKVLANG* language) {
    for (UINT command = ID_DESTINATION_FIRST + 1; command <= ID_DESTINATION_LAST; ++command)
        DeleteMenu(menu, command, MF_BYCOMMAND);
    int count = destinations ? destinations->count : 0;
    if (count <= 0) {
        return SetItem(menu, ID_DESTINATION_FIRST, KvGetString(language, IDS_DESTINATION_NONE), false) ? S_OK
                                                                                                       : KV_E_FAIL;
    }
    if (count > kShownDestinations) count = kShownDestinations;
    for (int i = 0; i < count; ++i) {
        wchar_t text[kMenuTextChars];
        DestinationText(*KvList_Item<LathmereDestination>(destinations, i), language, text);
        UINT command = ID_DESTINATION_FIRST + static_cast<UINT>(i);
        bool done = i == 0 ? SetItem(menu, command, text, true)
                           : AppendMenuW(menu, MF_STRING | MF_ENABLED, command, text) != FALSE;
        if (!done) return KV_E_FAIL;
    }
    // The mark goes where the destination that copies will use is: a stale choice is clamped into the list.
    int marked = selected < 0 ? 0 : (selected >= destinations->count ? destinations->count - 1 : selected);
    if (marked < count)
        CheckMenuRadioItem(menu, ID_DESTINATION_FIRST, ID_DESTINATION_FIRST + count - 1,
                           ID_DESTINATION_FIRST + marked, MF_BYCOMMAND);
    return S_OK;
}

void PrepareMenuPopup(FrameState& frame, HMENU popup) {
    switch (IdentifyMenu(popup)) {
    case MENU_FILE: {
        CommandSnapshot snapshot = TakeCommandSnapshot(frame);
        if (frame.recentFiles) PrepareFileMenu(popup, CanSave(snapshot), PackageHasContent(snapshot), *frame.recentFiles);
        break;
    }
    case MENU_EDIT: {
        CommandSnapshot snapshot = TakeCommandSnapshot(frame);
        EditMenuState state;
        state.canCopyToSystem = CanCopyToSystem(snapshot);
        state.canCopyToFile = CanCopyToFile(snapshot);
        state.canDelete = CanDelete(snapshot);
        state.history = frame.history.get();
        PrepareEditMenu(popup, state, frame.language);
        break;
    }
    case MENU_DESTINATION:
        PrepareDestinationMenu(popup, frame.catalogue.destinations, frame.catalogue.selectedDestination, frame.language);
        break;
    default: break;
    }
}
