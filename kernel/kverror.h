// The error handler: turns a result code and the failed operation into a sentence and shows it.
#pragma once
#include <windows.h>
#include <cstddef>

// One (result code, message) pair; a message below 0x10000 is a string id of the library's table,
// anything else points at the text itself.
struct tKVERRORPAIR {
    HRESULT code;
    UINT_PTR message;
};

constexpr int KVERR_MAX_TABLES = 32;
constexpr size_t KVERR_TEXT_CAPACITY = 2048;
constexpr size_t KVERR_DETAILS_BYTES = 16384;

// context: a context number (0 to 0x34), or from 0x10000 up a pointer to the context text itself.
const wchar_t* KvErrorHandler_GetErrorMessage(UINT_PTR context, HRESULT code, const wchar_t* argument);
int KvErrorHandler_FormatErrorMessage(wchar_t* out, size_t capacity, UINT_PTR context, HRESULT code,
                                      const wchar_t* argument);
const wchar_t* KvErrorHandler_GetHresultString(HRESULT code); // null when no table knows the code
int KvErrorHandler_MsgBoxText(HWND owner, UINT style, const wchar_t* text, BOOL warning);
int KvErrorHandler_MsgBox(HWND owner, UINT style, UINT_PTR context, HRESULT code, const wchar_t* argument, BOOL warning);
int KvErrorHandler_AddErrorTable(const tKVERRORPAIR* table, int count);
void KvErrorHandler_RemoveErrorTables();

// Detail lines for the next error box; each is formatted and ends with "\r\n".
HRESULT KvErrorHandler_DetailsAddString(const wchar_t* format, ...);
void KvErrorHandler_DetailsClear();
