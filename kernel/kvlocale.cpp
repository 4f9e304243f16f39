// Locale values of the "$" conversions, KvGetInat, and writing numbers the way the locale does.
#include "kvlang_internal.h"
#include <cwchar>
#include <mutex>
#include <vector>

namespace {

struct LocaleValues {
    wchar_t decimal[8];
    wchar_t thousands[8];
    wchar_t list[8];
    wchar_t time[8];
    UINT grouping;    // NUMBERFMT notation: 3 for "3;0", 32 for "3;2;0", 30 for "3"
    UINT leadingZero;
};

LocaleValues g_locale;
std::once_flag g_localeOnce;

void CopyValue(wchar_t* target, const wchar_t* value, const wchar_t* fallback) {
    const wchar_t* source = (value && *value) ? value : fallback;
    wcsncpy(target, source, 7);
    target[7] = L'\0';
}

// "3;2;0" -> 32, "3;0" -> 3, "3" -> 30 (a last group that does not repeat), "0" -> 0.
UINT GroupingFromText(const wchar_t* text) {
    UINT value = 0;
    bool endsWithZero = false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            endsWithZero = (*p == L'0');
            if (value < 100000000) value = value * 10 + (*p - L'0');
        }
    }
    if (endsWithZero) value /= 10;
    else if (value != 0) value *= 10;
    return value;
}

// The decimal separator must differ from the thousands separator, or numbers could not be read back.
void FixDecimal(LocaleValues& values) {
    if (wcscmp(values.decimal, values.thousands) == 0) {
        wcscpy(values.decimal, wcscmp(values.thousands, L".") == 0 ? L"," : L".");
    }
}

void SetValues(const wchar_t* decimal, const wchar_t* thousands, const wchar_t* grouping, const wchar_t* list,
               const wchar_t* time, int leadingZero) {
    CopyValue(g_locale.decimal, decimal, L".");
    // An empty thousands separator is legal (no grouping mark), so it is not replaced by a default.
    wcsncpy(g_locale.thousands, thousands ? thousands : L",", 7);
    g_locale.thousands[7] = L'\0';
    CopyValue(g_locale.list, list, L",");
    CopyValue(g_locale.time, time, L":");
    g_locale.grouping = GroupingFromText(grouping ? grouping : L"3;0");
    g_locale.leadingZero = leadingZero ? 1 : 0;
    FixDecimal(g_locale);
}

void ReadUserLocale() {
    wchar_t decimal[8] = L"", thousands[8] = L",", grouping[16] = L"3;0", list[8] = L"", time[8] = L"";
    DWORD leadingZero = 1;
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8)) wcscpy(thousands, L",");
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLIST, list, 8);
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, time, 8);
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_ILZERO | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<wchar_t*>(&leadingZero), sizeof(leadingZero) / sizeof(wchar_t))) {
        leadingZero = 1;
    }
    SetValues(decimal, thousands, grouping, list, time, static_cast<int>(leadingZero));
}

const LocaleValues& Locale() {
    std::call_once(g_localeOnce, ReadUserLocale);
    return g_locale;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

} // namespace

// Used when the platform's number formatter refuses the input: groups by the same NUMBERFMT rule.
void KvWriteGroupedDigits(KvTextSink& sink, const wchar_t* digits, size_t intCount, const wchar_t* decimals,
                          size_t decimalCount, bool group) {
    const LocaleValues& locale = Locale();
    std::vector<UINT> sizes; // group sizes from the decimal point leftwards; the last one repeats unless 0
    UINT g = group ? locale.grouping : 0;
    if (g != 0) {
        std::vector<UINT> reversed;
        for (UINT v = g; v != 0; v /= 10) reversed.push_back(v % 10);
        for (size_t i = reversed.size(); i-- > 0;) sizes.push_back(reversed[i]);
    }
    // Mark the positions (counted from the right) that get a separator before them.
    std::vector<bool> separatorBefore(intCount, false);
    size_t position = 0, index = 0;
    while (!sizes.empty()) {
        UINT size = sizes[index];
        if (size == 0) break;
        position += size;
        if (position >= intCount) break;
        separatorBefore[intCount - position] = true;
        if (index + 1 < sizes.size()) ++index;
        else if (sizes.back() == 0) break;
    }
    if (intCount == 0 && decimalCount > 0 && locale.leadingZero) sink.Put(L'0');
    for (size_t i = 0; i < intCount; ++i) {
        if (separatorBefore[i]) sink.Put(locale.thousands);
        sink.Put(digits[i]);
    }
    if (decimalCount > 0) {
        sink.Put(locale.decimal);
        sink.Put(decimals, decimalCount);
    }
}

void KvPrintF_LoadUserLocale() {
    std::call_once(g_localeOnce, [] {});
    ReadUserLocale();
}

void KvPrintF_SetLocaleValues(const wchar_t* decimal, const wchar_t* thousands, const wchar_t* grouping,
                              const wchar_t* list, const wchar_t* time, int leadingZero) {
    std::call_once(g_localeOnce, [] {});
    SetValues(decimal, thousands, grouping, list, time, leadingZero);
}

int KvGetInat(int selector, wchar_t* out) {
    const LocaleValues& locale = Locale();
    const wchar_t* value = nullptr;
    switch (selector) {
    case 24: value = locale.decimal; break;
    case 40: value = locale.list; break;
    case 60: value = locale.time; break;
    case 100: value = L":"; break;
    case 101: value = L"."; break;
    case 102: value = L","; break;
    case 120: value = L"."; break;
    case 121: value = L"."; break;
    default: value = L""; break;
    }
    if (out) wcscpy(out, value);
    return static_cast<int>(wcslen(value));
}

void KvWriteLocaleNumber(KvTextSink& sink, const wchar_t* text, size_t length, bool group) {
    const LocaleValues& locale = Locale();
    size_t i = 0;
    while (i < length && !IsDigit(text[i]) && text[i] != L'.') sink.Put(text[i++]); // sign and fill
    while (i + 1 < length && text[i] == L'0' && IsDigit(text[i + 1])) sink.Put(text[i++]); // zero fill
    size_t intStart = i;
    while (i < length && IsDigit(text[i])) ++i;
    size_t intCount = i - intStart;
    size_t decStart = i, decCount = 0;
    if (i < length && text[i] == L'.') {
        decStart = ++i;
        while (i < length && IsDigit(text[i])) ++i;
        decCount = i - decStart;
    }
    if (intCount == 0 && decCount == 0) { // no number after all: keep the text as it is
        sink.Put(text + intStart, length - intStart);
        return;
    }

    std::wstring number(text + intStart, intCount);
    if (intCount == 0) number = L"0";
    if (decCount > 0) {
        number += L'.';
        number.append(text + decStart, decCount);
    }
    NUMBERFMTW format{};
    format.NumDigits = static_cast<UINT>(decCount);
    format.LeadingZero = locale.leadingZero;
    format.Grouping = group ? locale.grouping : 0;
    format.lpDecimalSep = const_cast<wchar_t*>(locale.decimal);
    format.lpThousandSep = const_cast<wchar_t*>(locale.thousands);
    format.NegativeOrder = 1;
    std::vector<wchar_t> out(number.size() * (1 + wcslen(locale.thousands)) + 16 + wcslen(locale.decimal));
    int written = GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, number.c_str(), &format, out.data(),
                                    static_cast<int>(out.size()));
    if (written > 0) {
        sink.Put(out.data());
    } else {
        KvWriteGroupedDigits(sink, text + intStart, intCount, text + decStart, decCount, group);
    }
    sink.Put(text + i, length - i); // trailing fill of left-justified conversions
}
