// What the system box and the library's own dialog share: application data, owner rules, hook, formatting.
#pragma once
#include <windows.h>
#include <cstdarg>
#include <cstddef>

constexpr size_t KVMB_TEXT_CAPACITY = 2048; // formatted box texts are cut to this many characters

HINSTANCE KvMsgBox_Instance();
const wchar_t* KvMsgBox_AppName(); // never null
HWND KvMsgBox_ResolveOwner(HWND owner);
// True when a display hook answered; its answer is in *result.
bool KvMsgBox_CallHook(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, int* result);
// Formats only when the text holds "%" or "$", so plain texts are shown exactly as given.
void KvMsgBox_FormatText(wchar_t* out, size_t capacity, const wchar_t* format, va_list args);
// Centres a top-level window over its owner when that is visible, else over the work area, kept on screen.
void KvMsgBox_CentreWindow(HWND window, HWND owner);
