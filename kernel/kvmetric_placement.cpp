// Saving and restoring a window's placement through the settings store, kept reachable on some monitor.
#include "kvmetric.h"
#include "kvresult.h"
#include <algorithm>

static_assert(sizeof(WINDOWPLACEMENT) == 44, "the stored placement record is 44 bytes");

namespace {

// How much of the caption must lie on a monitor's work area for the user to grab it.
constexpr LONG CAPTION_GRIP_PIXELS = 48;

// Placement rectangles are in workspace coordinates, whose origin is the primary work area's top-left.
POINT WorkspaceOrigin() {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return POINT{0, 0};
    return POINT{work.left, work.top};
}

bool CaptionReachable(const RECT& window) {
    const LONG captionHeight = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYSIZEFRAME);
    RECT caption{window.left, window.top, window.right, window.top + captionHeight};
    HMONITOR monitor = MonitorFromRect(&caption, MONITOR_DEFAULTTONULL);
    if (monitor == nullptr)
        return false;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    RECT shown{};
    if (!GetMonitorInfoW(monitor, &info) || !IntersectRect(&shown, &caption, &info.rcWork))
        return false;
    const LONG neededWidth = std::min<LONG>(caption.right - caption.left, CAPTION_GRIP_PIXELS);
    return shown.right - shown.left >= neededWidth && shown.bottom - shown.top >= captionHeight / 2;
}

// Moves the rectangle, keeping its size, so that its top-left lies on the nearest monitor's work area and as much
// of it as fits is inside; a window larger than the work area keeps its caption at the work area's top-left.
void MoveOntoWorkArea(RECT& window) {
    HMONITOR monitor = MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info) &&
        !SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0))
        return;
    const RECT& work = info.rcWork;
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    const LONG left = std::max(work.left, std::min(window.left, work.right - width));
    const LONG top = std::max(work.top, std::min(window.top, work.bottom - height));
    window = RECT{left, top, left + width, top + height};
}

} // namespace

HRESULT KvLoadWindowPlacement(KvMetricHandle* handle, int id, int mode, WINDOWPLACEMENT* placement) {
    if (placement == nullptr)
        return KV_E_INVALIDARG;
    const DWORD bytes = KvGetMetricBinary(handle, id, placement, sizeof(WINDOWPLACEMENT));
    if (mode != KV_PLACEMENT_RESTORE_OR_DEFAULT)
        return bytes == sizeof(WINDOWPLACEMENT) ? 0 : KV_S_NOTHING_TO_DO;
    if (bytes == sizeof(WINDOWPLACEMENT) && placement->ptMaxPosition.x < 0 && placement->ptMaxPosition.y < 0)
        return 0;

    *placement = WINDOWPLACEMENT{};
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->showCmd = SW_SHOWNORMAL;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const LONG insetX = (work.right - work.left) / 16;
    const LONG insetY = (work.bottom - work.top) / 16;
    // The work area in workspace coordinates is (0, 0) to its size.
    placement->rcNormalPosition =
        RECT{insetX, insetY, work.right - work.left - insetX, work.bottom - work.top - insetY};
    return KV_S_NOTHING_TO_DO;
}

HRESULT KvFixWindowPlacement(WINDOWPLACEMENT* placement) {
    if (placement == nullptr)
        return KV_E_INVALIDARG;
    if (placement->showCmd == SW_SHOWMINIMIZED)
        placement->showCmd = SW_SHOWNORMAL;
    const POINT origin = WorkspaceOrigin();
    RECT screen = placement->rcNormalPosition;
    OffsetRect(&screen, origin.x, origin.y);
    if (CaptionReachable(screen))
        return 0;
    MoveOntoWorkArea(screen);
    OffsetRect(&screen, -origin.x, -origin.y);
    placement->rcNormalPosition = screen;
    return 0;
}

HRESULT KvWindowPlacement(HWND window, KvMetricHandle* handle, int id, int mode) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (mode == KV_PLACEMENT_SAVE) {
        if (!GetWindowPlacement(window, &placement))
            return KV_E_FAIL;
        return KvSetMetricBinary(handle, id, &placement, sizeof(placement));
    }
    if (mode != KV_PLACEMENT_RESTORE_STORED && mode != KV_PLACEMENT_RESTORE_OR_DEFAULT)
        return KV_E_FAIL;
    const HRESULT loaded = KvLoadWindowPlacement(handle, id, mode, &placement);
    if (loaded != 0 && mode == KV_PLACEMENT_RESTORE_STORED)
        return loaded;
    KvFixWindowPlacement(&placement);
    placement.length = sizeof(placement); // a stored record with a damaged length would otherwise be refused
    return SetWindowPlacement(window, &placement) ? loaded : KV_E_FAIL;
}
