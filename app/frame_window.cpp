// The program's frame window: class registration, creation, the window procedure and its handlers.
#include "frame_window.h"
#include <windowsx.h>
#include <memory>
#include <new>
#include "app_context.h"
#include "document_frame.h"
#include "document_open.h"
#include "edit_commands.h"
#include "frame_commands.h"
#include "frame_dpi.h"
#include "frame_drag.h"
#include "frame_layout.h"
#include "frame_state.h"
#include "kvdpi.h"
#include "kverror.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "menus.h"
#include "package_handover.h"
#include "resource.h"
#include "settings_ids.h"
#include "system_refresh.h"
#include "toolbar.h"

namespace {

constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr UINT_PTR kGeneralContext = 0;

// Handed to the window as its creation parameter: the window takes the state over in WM_NCCREATE, so a window that
// never got that far leaves it here to be freed.
struct FrameCreation {
    std::unique_ptr<FrameState> state;
};

const int kTreeWidthSettings[FRAME_SIDE_COUNT] = {SETTING_PACKAGE_TREE_WIDTH, SETTING_SYSTEM_TREE_WIDTH};

// The DPI the stored pixel sizes (placement, tree widths) were saved at; older versions did not say, and their
// sizes are taken as they are.
UINT StoredPixelsDpi(KvMetricHandle* settings, UINT current) {
    if (KvDoesMetricExist(settings, SETTING_PIXELS_DPI, KV_METRIC_NUMBER) != 0) return current;
    const int stored = KvGetMetricEx(settings, SETTING_PIXELS_DPI, 0, 0, 0);
    return stored >= 24 && stored <= 2400 ? static_cast<UINT>(stored) : current;
}

int32_t StoredTreeWidth(const FrameState& state, int side) {
    if (KvDoesMetricExist(state.settings, kTreeWidthSettings[side], KV_METRIC_NUMBER) != 0)
        return KvDpi_Scale(PANE_DEFAULT_TREE_WIDTH, state.dpi);
    const int stored = KvGetMetricEx(state.settings, kTreeWidthSettings[side], 0, MAX_STORED_TREE_WIDTH, 0);
    return KvDpi_Rescale(stored, StoredPixelsDpi(state.settings, state.dpi), state.dpi);
}

// Creates both sides' panes with provisional rectangles; a side that cannot be made stops the building.
void BuildSides(FrameState& state) {
    state.uiFont = KvDpi_CreateMessageFont(state.dpi);
    RECT client{};
    GetClientRect(state.frame, &client);
    FrameRects provisional = ComputeFrameRects(client, client.right, SIZE{}, state.dpi);
    for (uint32_t side = 0; side < FRAME_SIDE_COUNT; ++side) {
        PaneState& pane = state.sides[side];
        HRESULT hr = CreateSidePanes(pane, state.frame, side, &state.catalogue, state.uiFont.get(), state.dpi);
        if (hr < 0) {
            KvErrorHandler_MsgBox(state.frame, MB_ICONINFORMATION, kGeneralContext, hr, nullptr, FALSE);
            return;
        }
        pane.treeWidth = StoredTreeWidth(state, static_cast<int>(side));
        pane.rect = provisional.sides[side];
        ComputeSideLayout(pane);
        state.sideCount = static_cast<int32_t>(side) + 1;
    }
}

void LoadSystemSide(FrameState& state) {
    state.storeWatch.Arm();
    LoadSystemCatalogue(state.catalogue, &state.storeWatch.files()); // what could not be read is left out
    FillTree(state.sides[PANE_SYSTEM], nullptr);
}

// The package named on the command line; when it does not open (its message has been shown) the document is a new one.
void OpenCommandLinePackage(FrameState& state) {
    DocumentRecord& document = *state.document;
    if (!(document.flags & DOC_UNTITLED) && document.path[0]) {
        DocumentRecord request = document;
        // An opened package has filled its side: a second fill would only hold every node's texts once more.
        if (OpenPackage(state, request) >= 0) return;
        MakeUntitledDocument(document, state.language);
        CatalogueModel& catalogue = state.catalogue;
        delete catalogue.chains[SIDE_PACKAGE];
        catalogue.chains[SIDE_PACKAGE] = nullptr;
        delete catalogue.plugIns[SIDE_PACKAGE];
        catalogue.plugIns[SIDE_PACKAGE] = nullptr;
    }
    FillTree(state.sides[PANE_PACKAGE], document.path);
}

BOOL OnNcCreate(HWND window, const CREATESTRUCTW* create) {
    auto* creation = static_cast<FrameCreation*>(create->lpCreateParams);
    if (!creation || !creation->state) return FALSE;
    FrameState* state = creation->state.release(); // freed in WM_NCDESTROY
    state->frame = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return TRUE;
}

LRESULT OnCreate(FrameState& state) {
    state.dpi = KvDpi_ForWindow(state.frame);
    BuildSides(state);
    g_appContext.accelerators = KvLoadAccelerators(state.language, IDR_MAIN_ACCELERATORS);
    CreateToolbar(state.frame, state); // a frame without toolbar still works from menus and keys
    LoadSystemSide(state);
    OpenCommandLinePackage(state);
    state.ready = true;
    return 0;
}

// The window's placement, the tree widths with their scale, and the recent files. A setting that cannot be written
// only means the defaults next time: the window or the session is going whatever happens.
void SaveFrameSettings(FrameState& state) {
    KvWindowPlacement(state.frame, state.settings, SETTING_WINDOW_PLACEMENT, KV_PLACEMENT_SAVE);
    SaveFrameRecentFiles(state);
    for (int side = 0; side < state.sideCount; ++side)
        KvSetMetric(state.settings, kTreeWidthSettings[side], state.sides[side].treeWidth);
    KvSetMetric(state.settings, SETTING_PIXELS_DPI, static_cast<int>(state.dpi)); // the scale of the widths
}

void OnDestroy(FrameState& state) {
    SaveFrameSettings(state);
    DestroyToolbar(state);
    if (g_appContext.frameWindow == state.frame) {
        g_appContext.frameWindow = nullptr;
        g_appContext.accelerators.reset();
    }
    PostQuitMessage(0);
}

void OnNcDestroy(HWND window, FrameState* state) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (g_appContext.frameState == state) g_appContext.frameState = nullptr;
    delete state; // the child windows are gone by now, so their images and font can go too
}

// The frame passes the focus on to the pane that had it last, which is also how the focus comes back when the
// program is activated again: the list keeps its selected rows as the target of the next command.
void OnSetFocus(FrameState& state) {
    if (static_cast<int>(state.activeSide) >= state.sideCount) return;
    const PaneState& pane = state.sides[state.activeSide];
    HWND target = state.focusedPaneKind == PANE_LIST && pane.list ? pane.list : pane.tree;
    if (target) SetFocus(target);
}

void OnPaint(FrameState& state) {
    KvPaintDC paint(state.frame);
    PaintToolbarLines(state, paint.get());
}

// The session is ending: the process may be ended as soon as this returns, before any destruction.
void OnEndSession(FrameState& state, bool ending) {
    if (ending) SaveFrameSettings(state);
}

void OnActivateApp(FrameState& state, bool active) {
    if (active && state.ready) RefreshSystemPresetsIfChanged(state);
}

LRESULT OnNotify(FrameState& state, const NMHDR* header) {
    if (OnDragNotify(state, header)) return 0;
    if (header && header->code == LVN_ENDLABELEDITW) {
        for (int side = 0; side < state.sideCount; ++side)
            if (header->hwndFrom == state.sides[side].list)
                return OnEndLabelEdit(state, state.sides[side], *reinterpret_cast<const NMLVDISPINFOW*>(header));
    }
    for (int side = 0; side < state.sideCount; ++side) {
        PaneNotifyOutcome outcome = OnPaneNotify(state.sides[side], state, header);
        if (!outcome.handled) continue;
        if (outcome.statesChanged) UpdateToolbarStates(state);
        return outcome.result;
    }
    LRESULT result = 0;
    if (OnToolbarNotify(state, header, &result)) return result;
    return DefWindowProcW(state.frame, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header));
}

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        if (!OnNcCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam))) return FALSE;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    FrameState* state = FrameStateOf(window);
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_CREATE: return OnCreate(*state);
    case WM_DESTROY: OnDestroy(*state); return 0;
    case WM_NCDESTROY: OnNcDestroy(window, state); break;
    case WM_SIZE: LayoutFrame(*state, static_cast<UINT>(wParam), LOWORD(lParam)); return 0;
    case WM_SETFOCUS: OnSetFocus(*state); return 0;
    case WM_PAINT: OnPaint(*state); return 0;
    case WM_ACTIVATEAPP: OnActivateApp(*state, wParam != FALSE); return 0;
    case WM_SETCURSOR:
        if (OnSplitterSetCursor(*state, reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
        break;
    case WM_NOTIFY: return OnNotify(*state, reinterpret_cast<const NMHDR*>(lParam));
    case WM_NCHITTEST: return OnSplitterHitTest(*state, wParam, lParam);
    case WM_COMMAND:
        if (OnFrameCommand(*state, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam))) return 0;
        break;
    case WM_MOUSEMOVE:
        if (!OnDragMouseMove(*state, lParam)) OnSplitterMouseMove(*state, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: OnSplitterButtonDown(*state, lParam); return 0;
    case WM_LBUTTONUP:
        if (!OnDragButtonUp(*state, lParam)) OnSplitterButtonUp(*state);
        return 0;
    case WM_CLOSE:
        if (!OnFrameClose(*state)) return 0;
        break; // the default processing destroys the window
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam)) PrepareMenuPopup(*state, reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_DROPFILES: OnFilesDropped(*state, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_QUERYENDSESSION: return OnFrameQueryEndSession(*state) ? TRUE : FALSE;
    case WM_ENDSESSION: OnEndSession(*state, wParam != FALSE); return 0;
    case WM_COPYDATA: return OnHandOverCopyData(*state, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_TARROW_HANDOVER: OpenHandedOverPackage(*state); return 0;
    case WM_TIMER:
        if (wParam == SYSTEM_REFRESH_RETRY_TIMER) {
            RunDeferredSystemRefresh(*state);
            return 0;
        }
        if (wParam != HANDOVER_RETRY_TIMER) break;
        OpenHandedOverPackage(*state);
        return 0;
    case WM_CAPTURECHANGED: // a lost capture ends a splitter drag or a drag and drop
        state->splitStage = SPLIT_IDLE;
        OnDragCancel(*state);
        return 0;
    case WM_TARROW_RENAMED: OnRenamed(*state, wParam); return 0;
    case WM_DPICHANGED: OnDpiChanged(*state, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The class is registered once per process; later frames (a test makes several) find it there.
bool RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, FRAME_CLASS_NAME, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FrameWndProc;
    wc.hInstance = instance;
    wc.hIcon = KvLoadIcon(g_appContext.language, IDI_TARROW);
    wc.hIconSm = wc.hIcon;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    wc.lpszClassName = FRAME_CLASS_NAME;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

FrameState* FrameStateOf(HWND frame) {
    return frame ? reinterpret_cast<FrameState*>(GetWindowLongPtrW(frame, GWLP_USERDATA)) : nullptr;
}

HRESULT CreateFrameWindow(HINSTANCE instance, HWND* frame) {
    if (!frame) return KV_E_INVALIDARG;
    *frame = nullptr;
    if (!RegisterFrameClass(instance)) return KV_E_OUTOFMEMORY;
    FrameCreation creation;
    creation.state.reset(new (std::nothrow) FrameState());
    if (!creation.state) return KV_E_OUTOFMEMORY;
    FrameState* state = creation.state.get();
    state->history.reset(new (std::nothrow) EditHistory());
    state->language = g_appContext.language;
    state->settings = g_appContext.settings;
    state->document = &g_appContext.document;
    state->recentFiles = &g_appContext.recentFiles;
    state->catalogue.language = g_appContext.language;

    HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, FRAME_CLASS_NAME, g_appContext.productName, kFrameStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, &creation);
    if (!window) return KV_E_WINDOW_CREATE;
    g_appContext.frameWindow = window;
    g_appContext.frameState = state;
    KvMsgBoxSetAppData(instance, window, g_appContext.productName);
    *frame = window;
    UpdateTitle(window, state->document);
    UpdateToolbarStates(*state);
    return S_OK;
}

void ApplyStoredPlacement(HWND frame, KvMetricHandle* settings) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const SIZE workArea{work.right - work.left, work.bottom - work.top};
    // Stored sizes are kept as they looked: saved at 100 % and opened at 200 %, the window is twice as many pixels.
    if (KvLoadWindowPlacement(settings, SETTING_WINDOW_PLACEMENT, KV_PLACEMENT_RESTORE_OR_DEFAULT, &placement) ==
        KV_S_NOTHING_TO_DO) {
        placement.showCmd = SW_RESTORE;
        const UINT dpi = KvDpi_ForWindow(frame);
        const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(frame, GWL_EXSTYLE));
        const bool menu = GetMenu(frame) != nullptr;
        placement.rcNormalPosition = DefaultFrameRect(dpi, KvDpi_FrameSize(style, menu, exStyle, KV_DPI_BASE),
                                                      KvDpi_FrameSize(style, menu, exStyle, dpi), workArea);
    } else {
        RECT screen = placement.rcNormalPosition;
        OffsetRect(&screen, work.left, work.top); // workspace coordinates start at the work area
        const UINT dpi = KvDpi_ForRect(screen);
        placement.rcNormalPosition = ScaledPlacementRect(placement.rcNormalPosition,
                                                         StoredPixelsDpi(settings, dpi), dpi, workArea);
    }
    KvFixWindowPlacement(&placement);
    FrameState* state = FrameStateOf(frame);
    if (state) state->applyingPlacement = true; // the window may reach another monitor's DPI on the way
    SetWindowPlacement(frame, &placement);
    if (state) state->applyingPlacement = false;
}
