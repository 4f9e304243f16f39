// Move-only owners for user-interface handles: GDI objects, image lists, menus, kernel events, device contexts.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "kvhandles.h"

// Handles for which null means none, released by one function.
template <typename T, auto Release> struct KvNullHandleTraits {
    using Handle = T;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
    static void Close(Handle handle) noexcept { Release(handle); }
};

// Fonts, bitmaps and pens (never stock objects), image lists, menus not attached to a window (a window destroys its own
// menu bar), memory device contexts made with CreateCompatibleDC.
using KvFont = KvUniqueHandle<KvNullHandleTraits<HFONT, DeleteObject>>;
using KvBitmap = KvUniqueHandle<KvNullHandleTraits<HBITMAP, DeleteObject>>;
using KvPen = KvUniqueHandle<KvNullHandleTraits<HPEN, DeleteObject>>;
using KvImageList = KvUniqueHandle<KvNullHandleTraits<HIMAGELIST, ImageList_Destroy>>;
using KvMenu = KvUniqueHandle<KvNullHandleTraits<HMENU, DestroyMenu>>;
using KvMemoryDC = KvUniqueHandle<KvNullHandleTraits<HDC, DeleteDC>>;
using KvIcon = KvUniqueHandle<KvNullHandleTraits<HICON, DestroyIcon>>; // icons made for the caller, not shared ones
// Events and other kernel objects that report failure as null (the file traits accept both null and -1).
using KvEvent = KvUniqueHandle<KvFileTraits>;

// A window's device context, released to its window.
class KvWindowDC {
public:
    explicit KvWindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~KvWindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    KvWindowDC(const KvWindowDC&) = delete;
    KvWindowDC& operator=(const KvWindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The painting context of one WM_PAINT.
class KvPaintDC {
public:
    explicit KvPaintDC(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~KvPaintDC() { EndPaint(window_, &paint_); }
    KvPaintDC(const KvPaintDC&) = delete;
    KvPaintDC& operator=(const KvPaintDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class KvSelectObject {
public:
    KvSelectObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~KvSelectObject() {
        if (previous_) SelectObject(dc_, previous_);
    }
    KvSelectObject(const KvSelectObject&) = delete;
    KvSelectObject& operator=(const KvSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Shows a system cursor (the hourglass by default) and restores the previous one.
class KvCursorSwap {
public:
    explicit KvCursorSwap(const wchar_t* systemCursor = IDC_WAIT) noexcept
        : previous_(SetCursor(LoadCursorW(nullptr, systemCursor))) {}
    ~KvCursorSwap() { SetCursor(previous_); }
    KvCursorSwap(const KvCursorSwap&) = delete;
    KvCursorSwap& operator=(const KvCursorSwap&) = delete;

private:
    HCURSOR previous_; // shared system cursors are never destroyed
};
