// The message-box family: the system box, its formatting wrappers and the library's own message dialog.
#pragma once
#include <windows.h>
#include <cstdarg>
#include "kvlang.h"

// Style word: button set, icon, default button, check box and details.
constexpr UINT KVMB_SETMASK        = 0x000F;
constexpr UINT KVMB_OK             = 0x0000;
constexpr UINT KVMB_OKCANCEL       = 0x0001;
constexpr UINT KVMB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT KVMB_YESNOCANCEL    = 0x0003;
constexpr UINT KVMB_YESNO          = 0x0004;
constexpr UINT KVMB_RETRYCANCEL    = 0x0005;
constexpr UINT KVMB_YESYESALLNOCANCEL = 0x000A;
constexpr UINT KVMB_YESNODELETE    = 0x000B;
constexpr UINT KVMB_YESNONOALLCANCEL = 0x000C;
constexpr UINT KVMB_YESYESALLNONOALLCANCEL = 0x000D;
constexpr UINT KVMB_ICONMASK       = 0x00F0;
constexpr UINT KVMB_ICONSTOP       = 0x0010;
constexpr UINT KVMB_ICONQUESTION   = 0x0020;
constexpr UINT KVMB_ICONEXCLAMATION = 0x0030;
constexpr UINT KVMB_ICONINFORMATION = 0x0040;
constexpr UINT KVMB_DEFMASK        = 0x0F00;
constexpr UINT KVMB_DEFSHIFT       = 8;
constexpr UINT KVMB_CHECKBOX       = 0x1000;
constexpr UINT KVMB_DETAILSMASK    = 0xC000;
constexpr UINT KVMB_DETAILS        = 0xC000; // details text given, area and toggle button shown
constexpr UINT KVMB_SYSTEMMODALSTOP = 0x1010; // the one style the system box shows without centring

// Results of the library's own buttons, beyond the system's IDOK..IDNO.
constexpr int KVMB_ID_YESTOALL = 100;
constexpr int KVMB_ID_DELETE   = 101;
constexpr int KVMB_ID_NOTOALL  = 102;
constexpr int KVMB_ID_DETAILS  = 200; // toggles the details area, never returned

// Owner value meaning "no owner at all" (null means the application's active pop-up).
#define KVMB_NOOWNER (reinterpret_cast<HWND>(static_cast<INT_PTR>(-1)))

// Display hook: a result other than -1 is taken as the box's result and nothing is shown.
typedef int (CALLBACK* KVMSGBOXHOOK)(void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

int KvMsgBoxSetAppData(HINSTANCE instance, HWND appWindow, const wchar_t* appName);
void KvMsgBoxSetHook(KVMSGBOXHOOK hook, void* data);

int KvMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
int KvMsgBox(HWND owner, UINT style, const wchar_t* format, ...);
int KvMsgBoxId(tKVLANG* language, HWND owner, UINT style, UINT id, ...);

int KvMsgBox_Custom(HWND owner, UINT style, const wchar_t* details, const wchar_t* format, ...);
int KvMsgBox_CustomEx(HWND owner, UINT style, const wchar_t* details, const wchar_t* checkText, BOOL* checkState,
                      const wchar_t* format, ...);
int KvMsgBox_CustomV(HWND owner, UINT style, const wchar_t* details, const wchar_t* checkText, BOOL* checkState,
                     const wchar_t* format, va_list args);
