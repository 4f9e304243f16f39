// How the panes compare and order item texts.
#include "pane_text.h"
#include <windows.h>
#include <algorithm>
#include <numeric>

std::wstring FoldedKey(const std::wstring& text) {
    std::wstring key(text);
    bool ascii = true;
    for (wchar_t& c : key) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        else if (c >= 0x80) ascii = false;
    }
    if (!ascii) // the system's own upper-case table, which ordinal comparisons ignoring case use
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()), key.data(),
                      static_cast<int>(key.size()), nullptr, nullptr, 0);
    return key;
}

std::string SortKey(const std::wstring& text) {
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    std::string key(text.size() * 4 + 16, '\0');
    int size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()),
                             reinterpret_cast<wchar_t*>(key.data()), static_cast<int>(key.size()), nullptr, nullptr, 0);
    if (size == 0) { // a longer key than guessed: ask for its size
        size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                             nullptr, nullptr, 0);
        key.assign(static_cast<size_t>(std::max(size, 0)), '\0');
        if (size > 0)
            size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()),
                                 reinterpret_cast<wchar_t*>(key.data()), size, nullptr, nullptr, 0);
    }
    key.resize(static_cast<size_t>(std::max(size, 0)));
    return key;
}

std::vector<size_t> SortedOrder(const std::vector<std::wstring>& texts) {
    std::vector<std::string> keys;
    keys.reserve(texts.size());
    for (const std::wstring& text : texts) keys.push_back(SortKey(text));
    std::vector<size_t> order(texts.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    return order;
}
