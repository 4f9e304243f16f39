// Name checks and key path building for the system store.
#include "store_names.h"
#include <cwchar>
#include <cwctype>

bool IsValidClassIdText(const wchar_t* text) {
    if (!text || wcslen(text) != 38) return false;
    if (text[0] != L'{' || text[37] != L'}') return false;
    for (int i = 1; i < 37; ++i) {
        bool dash = (i == 9 || i == 14 || i == 19 || i == 24);
        wchar_t c = text[i];
        if (dash) {
            if (c != L'-') return false;
        } else if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

bool IsValidStoreKeyName(const wchar_t* text, int capacity) {
    if (!text || !*text) return false;
    size_t length = wcslen(text);
    if (length >= static_cast<size_t>(capacity)) return false;
    if (wcscmp(text, L".") == 0 || wcscmp(text, L"..") == 0) return false;
    for (const wchar_t* p = text; *p; ++p)
        if (*p < 0x20 || *p == 0x7F || *p == L'\\' || *p == L'/' || *p == L':') return false;
    return true;
}

std::wstring MakeDataFileName(const wchar_t* itemName) {
    std::wstring name = itemName ? itemName : L"";
    for (wchar_t& c : name)
        if (wcschr(L"\"*/:<>?\\|", c)) c = L'_';
    return name;
}

std::wstring LathmereVersionedKey(unsigned major, unsigned minor) {
    return std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\" + std::to_wstring(major) + L"." + std::to_wstring(minor) +
           L"\\Presets";
}

unsigned ParseLeadingNumber(const wchar_t* text) {
    unsigned value = 0;
    for (; text && *text >= L'0' && *text <= L'9'; ++text) value = value * 10 + static_cast<unsigned>(*text - L'0');
    return value;
}

bool ParseVersionKeyName(const wchar_t* text, unsigned* major, unsigned* minor) {
    // Tokens are the non-empty runs between dots, as a tokenizer splitting at "." sees them.
    std::wstring tokens[2];
    int found = 0;
    for (const wchar_t* p = text ? text : L""; *p && found < 2;) {
        if (*p == L'.') { ++p; continue; }
        const wchar_t* start = p;
        while (*p && *p != L'.') ++p;
        tokens[found++].assign(start, p);
    }
    if (found < 2) return false;
    *major = ParseLeadingNumber(tokens[0].c_str());
    *minor = ParseLeadingNumber(tokens[1].c_str());
    return true;
}
