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

bool IsWritableKeyName(const wchar_t* text, int capacity) {
    constexpr size_t kRegistryKeyChars = 255;
    if (!text || !*text || wcschr(text, L'\\')) return false;
    size_t length = wcslen(text);
    if (length >= static_cast<size_t>(capacity) || length > kRegistryKeyChars) return false;
    return wcscmp(text, L".") != 0 && wcscmp(text, L"..") != 0;
}

namespace {

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, alone or before an extension: Windows opens the device, not a file.
bool IsDeviceName(const std::wstring& name) {
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = static_cast<wchar_t>(towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

} // namespace

std::wstring MakeDataFileName(const wchar_t* itemName) {
    std::wstring name = itemName ? itemName : L"";
    for (wchar_t& c : name)
        if (c < 0x20 || c == 0x7F || wcschr(L"\"*/:<>?\\|", c)) c = L'_';
    if (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name += L'_'; // Windows drops these
    if (name.empty() || name == L"." || name == L".." || IsDeviceName(name)) name.insert(0, 1, L'_');
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
