// Pieces shared by the string, token and formatting modules of the library, and the hooks tests use.
#pragma once
#include <windows.h>
#include <cstddef>
#include "kvlang.h"

// Locale values of the "$" conversions. Read from the user's default locale once (lazily, or by
// KvKernel_Init); KvPrintF_SetLocaleValues replaces them, so tests can format under a known locale.
// grouping uses the locale's own notation ("3;0", "3;2;0", "0").
void KvPrintF_LoadUserLocale();
void KvPrintF_SetLocaleValues(const wchar_t* decimal, const wchar_t* thousands, const wchar_t* grouping,
                              const wchar_t* list, const wchar_t* time, int leadingZero);

// Receives formatted text piece by piece; bounded by the caller's buffer.
class KvTextSink {
public:
    KvTextSink(wchar_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    void Put(wchar_t c) {
        if (length_ + 1 < capacity_) buffer_[length_++] = c;
    }
    void Put(const wchar_t* text, size_t count) {
        for (size_t i = 0; i < count; ++i) Put(text[i]);
    }
    void Put(const wchar_t* text) {
        while (*text) Put(*text++);
    }
    // Terminates the output (when there is room for a terminator at all) and returns its length.
    int Finish() {
        if (capacity_ > 0) buffer_[length_] = L'\0';
        return static_cast<int>(length_);
    }
private:
    wchar_t* buffer_;
    size_t capacity_;
    size_t length_ = 0;
};

// Writes a number given as text (optional leading fill or sign, digits, optional "." and decimals, optional
// trailing fill) with the locale's decimal separator, and with its digit grouping when group is true.
void KvWriteLocaleNumber(KvTextSink& sink, const wchar_t* text, size_t length, bool group);

// The same without the platform's number formatter: digits before and after the decimal point, grouped by
// the locale's grouping rule (when group is true) and joined by its decimal separator.
void KvWriteGroupedDigits(KvTextSink& sink, const wchar_t* digits, size_t intCount, const wchar_t* decimals,
                          size_t decimalCount, bool group);

// Appends the value of a token under the token lock; false when no such token exists.
bool KvPrintF_AppendToken(const wchar_t* name, KvTextSink& sink);

// Removes the "^*" marker from the item texts of a menu and its submenus.
void KvStripMenuMarkers(HMENU menu);

