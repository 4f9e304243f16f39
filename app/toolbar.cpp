// The toolbar: three image lists cut from bitmap 132, the button table, tooltips, the destination drop-down and the
// enabled states.
#include "toolbar.h"
#include <algorithm>
#include <iterator>
#include "command_state.h"
#include "frame_state.h"
#include "kvdpi.h"
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

// The images as drawn for each display scale, 16 pixels at 96 DPI. Each image sits in a cell two pixels wider and one
// taller than itself (18 x 17 at 96 DPI); the bitmap holds three strips of cells.
constexpr int kImageSizes[] = {16, 20, 24, 32};
constexpr UINT kImageBitmaps[] = {IDB_TOOLBAR, IDB_TOOLBAR_20, IDB_TOOLBAR_24, IDB_TOOLBAR_32};
constexpr int kImageSize96 = 16;
constexpr int kStripCount = 3;  // normal, hot, disabled
// Buttons have one size, scaled like everything else: the common controls' own padding around an image stays the
// same number of pixels at every scale in some versions. At 96 DPI it is the size the buttons gave themselves.
constexpr int kButtonWidth = 26;
constexpr int kButtonHeight = 23;
constexpr int kSeparatorWidth = 8;
constexpr COLORREF kImageKey = RGB(255, 0, 255);
constexpr DWORD kToolbarStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_LIST |
                                TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE;

constexpr BYTE kButton = BTNS_BUTTON;
const TBBUTTON kButtons[] = {
    {0, ID_FILE_NEW, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {1, ID_FILE_OPEN, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {2, ID_FILE_SAVE, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {0, 0, 0, BTNS_SEP, {}, 0, 0},
    {4, ID_EDIT_UNDO, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {5, ID_EDIT_REDO, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {0, 0, 0, BTNS_SEP, {}, 0, 0},
    {6, ID_EDIT_COPY_TO_FILE, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {7, ID_EDIT_COPY_TO_SYSTEM, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {8, ID_EDIT_DELETE, TBSTATE_ENABLED, kButton, {}, 0, 0},
    {0, 0, 0, BTNS_SEP, {}, 0, 0},
    {10, ID_DESTINATION_BUTTON, TBSTATE_ENABLED, kButton | BTNS_WHOLEDROPDOWN, {}, 0, 0},
};

struct TipRow {
    UINT command;
    UINT text;
};
const TipRow kTips[] = {
    {ID_FILE_NEW, IDS_TIP_NEW},
    {ID_FILE_OPEN, IDS_TIP_OPEN},
    {ID_FILE_SAVE, IDS_TIP_SAVE},
    {ID_EDIT_UNDO, IDS_TIP_UNDO},
    {ID_EDIT_REDO, IDS_TIP_REDO},
    {ID_EDIT_COPY_TO_FILE, IDS_TIP_COPY_TO_FILE},
    {ID_EDIT_COPY_TO_SYSTEM, IDS_TIP_COPY_TO_SYSTEM},
    {ID_EDIT_DELETE, IDS_TIP_DELETE},
    {ID_HELP_WHATS_THIS, IDS_TIP_WHATS_THIS},
    {ID_DESTINATION_BUTTON, IDS_TIP_DESTINATION},
};

// One horizontal strip of the bitmap as an image list of cellWidth-wide images.
KvImageList CutStrip(HBITMAP source, int width, int stripHeight, int strip, int cellWidth) {
    KvImageList images;
    KvMemoryDC sourceDc(CreateCompatibleDC(nullptr));
    KvMemoryDC stripDc(CreateCompatibleDC(nullptr));
    if (!sourceDc || !stripDc) return images;
    KvWindowDC screen(nullptr);
    KvBitmap stripBitmap(CreateCompatibleBitmap(screen.get(), width, stripHeight));
    if (!stripBitmap) return images;
    {
        KvSelectObject selectSource(sourceDc.get(), source);
        KvSelectObject selectStrip(stripDc.get(), stripBitmap.get());
        BitBlt(stripDc.get(), 0, 0, width, stripHeight, sourceDc.get(), 0, strip * stripHeight, SRCCOPY);
    }
    const int count = width / cellWidth;
    images.reset(ImageList_Create(cellWidth, stripHeight, ILC_COLORDDB | ILC_MASK, count, 0));
    if (images && ImageList_AddMasked(images.get(), stripBitmap.get(), kImageKey) < 0) images.reset();
    return images;
}

HRESULT LoadToolbarImages(FrameState& state) {
    const int pick = KvDpi_PickSize(kImageSizes, static_cast<int>(std::size(kImageSizes)), kImageSize96, state.dpi);
    const wchar_t* name = MAKEINTRESOURCEW(kImageBitmaps[pick]);
    HMODULE module = KvFindResInstance(state.language, name, RT_BITMAP);
    KvBitmap bitmap(static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) return KV_E_NOT_FOUND;
    BITMAP info{};
    if (!GetObjectW(bitmap.get(), sizeof(info), &info) || info.bmHeight <= 0) return KV_E_UNSUPPORTED;
    // Strips of about one cell each (at 96 DPI: (height + 9) / 18), so a bitmap of another height still cuts.
    const int cellWidth = kImageSizes[pick] + 2, pitch = kImageSizes[pick] + 2;
    const int strips = (info.bmHeight + pitch / 2) / pitch;
    if (strips < 1) return KV_E_UNSUPPORTED;
    const int stripHeight = info.bmHeight / strips;
    for (int strip = 0; strip < kStripCount && strip < strips; ++strip)
        state.toolbarImages[strip] = CutStrip(bitmap.get(), info.bmWidth, stripHeight, strip, cellWidth);
    return state.toolbarImages[0] ? S_OK : KV_E_OUTOFMEMORY;
}

HWND CreateEmptyToolbar(HWND parent, DWORD style, int id) {
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (toolbar) SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return toolbar;
}

void ShowDestinationMenu(FrameState& state) {
    KvMenu menu(KvLoadMenu(state.language, IDR_DESTINATION_MENU));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) return;
    RECT button{};
    SendMessageW(state.toolbar, TB_GETRECT, ID_DESTINATION_BUTTON, reinterpret_cast<LPARAM>(&button));
    MapWindowPoints(state.toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&button), 2);
    // Left-aligned under the button; when it has to go elsewhere, never over the button.
    TPMPARAMS avoid{sizeof(avoid), button};
    TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON, button.left, button.bottom,
                     state.frame, &avoid);
}

void EnableButton(HWND toolbar, UINT command, bool enabled) {
    SendMessageW(toolbar, TB_ENABLEBUTTON, command, MAKELONG(enabled ? TRUE : FALSE, 0));
}

} // namespace

HRESULT CreateToolbar(HWND frame, FrameState& state) {
    LoadToolbarImages(state); // without images the buttons still work
    state.toolbar = CreateEmptyToolbar(frame, kToolbarStyle, TOOLBAR_ID);
    if (!state.toolbar) return KV_E_WINDOW_CREATE;
    SendMessageW(state.toolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    const UINT imageMessages[kStripCount] = {TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST};
    for (int strip = 0; strip < kStripCount; ++strip)
        if (state.toolbarImages[strip])
            SendMessageW(state.toolbar, imageMessages[strip], 0, reinterpret_cast<LPARAM>(state.toolbarImages[strip].get()));
    SendMessageW(state.toolbar, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(KvDpi_Scale(kButtonWidth, state.dpi), KvDpi_Scale(kButtonHeight, state.dpi)));
    TBBUTTON buttons[std::size(kButtons)];
    std::copy(std::begin(kButtons), std::end(kButtons), buttons);
    for (TBBUTTON& button : buttons)
        if (button.fsStyle & BTNS_SEP) button.iBitmap = KvDpi_Scale(kSeparatorWidth, state.dpi);
    SendMessageW(state.toolbar, TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<LPARAM>(buttons));
    SendMessageW(state.toolbar, TB_AUTOSIZE, 0, 0);
    ShowWindow(state.toolbar, SW_SHOW);
    return S_OK;
}

void DestroyToolbar(FrameState& state) {
    if (state.toolbar) {
        for (UINT message : {TB_SETIMAGELIST, TB_SETHOTIMAGELIST, TB_SETDISABLEDIMAGELIST})
            SendMessageW(state.toolbar, message, 0, 0);
        DestroyWindow(state.toolbar);
        state.toolbar = nullptr;
    }
    for (KvImageList& images : state.toolbarImages) images.reset();
}

UINT ToolbarTipStringId(UINT command) {
    for (const TipRow& row : kTips)
        if (row.command == command) return row.text;
    return 0;
}

bool OnToolbarNotify(FrameState& state, const NMHDR* header, LRESULT* result) {
    if (header->code == TTN_GETDISPINFOW) {
        UINT text = ToolbarTipStringId(static_cast<UINT>(header->idFrom));
        if (!text) return false;
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header));
        info->hinst = nullptr;
        info->lpszText = const_cast<wchar_t*>(KvGetString(state.language, text));
        *result = 0;
        return true;
    }
    if (header->code == TBN_DROPDOWN && header->hwndFrom == state.toolbar &&
        reinterpret_cast<const NMTOOLBARW*>(header)->iItem == ID_DESTINATION_BUTTON) {
        ShowDestinationMenu(state);
        *result = TBDDRET_DEFAULT;
        return true;
    }
    return false;
}

void UpdateToolbarStates(FrameState& state) {
    if (!state.toolbar) return;
    CommandSnapshot snapshot = TakeCommandSnapshot(state);
    EnableButton(state.toolbar, ID_FILE_SAVE, CanSave(snapshot));
    EnableButton(state.toolbar, ID_EDIT_UNDO, snapshot.hasHistory && snapshot.canUndo);
    EnableButton(state.toolbar, ID_EDIT_REDO, snapshot.hasHistory && snapshot.canRedo);
    EnableButton(state.toolbar, ID_EDIT_COPY_TO_FILE, CanCopyToFile(snapshot));
    EnableButton(state.toolbar, ID_EDIT_COPY_TO_SYSTEM, CanCopyToSystem(snapshot));
    EnableButton(state.toolbar, ID_EDIT_DELETE, CanDelete(snapshot));
    EnableButton(state.toolbar, ID_DESTINATION_BUTTON, snapshot.destinationCount > 0);
}
