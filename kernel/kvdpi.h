// Display scale: the DPI a window is shown at, and sizes scaled to it from the 96-DPI values the program is drawn in.
// Every pixel size of the windows goes through KvDpi_Scale, so the program looks the same at every scale.
#pragma once
#include <windows.h>
#include "kvgdi_handles.h"

constexpr UINT KV_DPI_BASE = 96; // the DPI at which the program's sizes are given (100 % display scale)

// A size given at 96 DPI, at dpi, rounded to the nearest pixel.
int KvDpi_Scale(int value96, UINT dpi);
// A size in pixels at fromDpi as the same size at toDpi.
int KvDpi_Rescale(int value, UINT fromDpi, UINT toDpi);
// Of count ascending sizes, the index of the smallest that is at least value96 at dpi; the largest when none is.
int KvDpi_PickSize(const int* sizes, int count, int value96, UINT dpi);

// The process's system DPI (the primary monitor's when the process is not aware of each monitor's).
UINT KvDpi_ForSystem();
// The DPI of a window: its monitor's for a per-monitor aware window, else the system DPI.
UINT KvDpi_ForWindow(HWND window);
// The DPI of the monitor that holds most of a rectangle in screen coordinates.
UINT KvDpi_ForRect(const RECT& screen);
// A size metric of GetSystemMetrics (frame, icon, check mark, drag distance) at dpi.
int KvDpi_GetSystemMetric(int index, UINT dpi);
// What a window's frame (borders, caption, one line of menu bar) adds to its client area's size at dpi.
SIZE KvDpi_FrameSize(DWORD style, bool menu, DWORD exStyle, UINT dpi);
// The user's message font at dpi; empty when it cannot be made.
KvFont KvDpi_CreateMessageFont(UINT dpi);
// A standard icon (IDI_...) at the icon size of dpi, for the caller to destroy; null when it cannot be made so.
HICON KvDpi_LoadStandardIcon(const wchar_t* name, UINT dpi);
