// Display scale: DPI queries and scaled sizes. The per-monitor functions exist from Windows 10 on, so they are looked
// up at run time; without them the process is system aware (the manifest's fallback) and the system DPI is the answer.
#include "kvdpi.h"
#include <algorithm>

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI

template <typename Fn> Fn Lookup(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    // Only from the system folder; it stays loaded for the process, like the linked libraries.
    if (!handle) handle = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return handle ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name))) : nullptr;
}

struct DpiFunctions {
    GetDpiForWindowFn forWindow = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    GetDpiForSystemFn forSystem = Lookup<GetDpiForSystemFn>(L"user32.dll", "GetDpiForSystem");
    GetSystemMetricsForDpiFn metrics = Lookup<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    SystemParametersInfoForDpiFn parameters =
        Lookup<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
    AdjustWindowRectExForDpiFn adjust = Lookup<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    GetDpiForMonitorFn forMonitor = Lookup<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
    // Only the version 6 common controls have it; a program without their manifest gets the older ones.
    LoadIconWithScaleDownFn scaledIcon = Lookup<LoadIconWithScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
};

const DpiFunctions& Functions() {
    static const DpiFunctions functions;
    return functions;
}

UINT Usable(UINT dpi) { return dpi ? dpi : KV_DPI_BASE; }

} // namespace

int KvDpi_Scale(int value96, UINT dpi) { return MulDiv(value96, static_cast<int>(Usable(dpi)), KV_DPI_BASE); }

int KvDpi_Rescale(int value, UINT fromDpi, UINT toDpi) {
    return MulDiv(value, static_cast<int>(Usable(toDpi)), static_cast<int>(Usable(fromDpi)));
}

int KvDpi_PickSize(const int* sizes, int count, int value96, UINT dpi) {
    const int wanted = KvDpi_Scale(value96, dpi);
    for (int i = 0; i < count; ++i)
        if (sizes[i] >= wanted) return i;
    return std::max(0, count - 1);
}

UINT KvDpi_ForSystem() {
    if (Functions().forSystem) return Usable(Functions().forSystem());
    KvWindowDC screen(nullptr);
    return screen.get() ? Usable(static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY))) : KV_DPI_BASE;
}

UINT KvDpi_ForWindow(HWND window) {
    UINT dpi = window && Functions().forWindow ? Functions().forWindow(window) : 0;
    return dpi ? dpi : KvDpi_ForSystem();
}

UINT KvDpi_ForRect(const RECT& screen) {
    HMONITOR monitor = MonitorFromRect(&screen, MONITOR_DEFAULTTONEAREST);
    UINT x = 0, y = 0;
    if (monitor && Functions().forMonitor && Functions().forMonitor(monitor, kEffectiveDpi, &x, &y) == S_OK && y)
        return y;
    return KvDpi_ForSystem();
}

int KvDpi_GetSystemMetric(int index, UINT dpi) {
    if (Functions().metrics) return Functions().metrics(index, Usable(dpi));
    return KvDpi_Rescale(GetSystemMetrics(index), KvDpi_ForSystem(), dpi);
}

SIZE KvDpi_FrameSize(DWORD style, bool menu, DWORD exStyle, UINT dpi) {
    RECT rect{0, 0, 0, 0};
    if (Functions().adjust) {
        Functions().adjust(&rect, style, menu, exStyle, Usable(dpi));
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
    AdjustWindowRectEx(&rect, style, menu, exStyle);
    const UINT system = KvDpi_ForSystem();
    return SIZE{KvDpi_Rescale(rect.right - rect.left, system, dpi), KvDpi_Rescale(rect.bottom - rect.top, system, dpi)};
}

KvFont KvDpi_CreateMessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (Functions().parameters) {
        if (!Functions().parameters(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, Usable(dpi)))
            return KvFont();
    } else {
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return KvFont();
        metrics.lfMessageFont.lfHeight = KvDpi_Rescale(metrics.lfMessageFont.lfHeight, KvDpi_ForSystem(), dpi);
    }
    return KvFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

HICON KvDpi_LoadStandardIcon(const wchar_t* name, UINT dpi) {
    const int size = KvDpi_GetSystemMetric(SM_CXICON, dpi);
    HICON icon = nullptr;
    if (!Functions().scaledIcon || Functions().scaledIcon(nullptr, name, size, size, &icon) != S_OK) return nullptr;
    return icon;
}
