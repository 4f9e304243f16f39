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

namespace {

// Appends text's sort key to keys; nothing when the text cannot be converted.
void AppendSortKey(const std::wstring& text, std::string* keys) {
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const size_t start = keys->size();
    keys->resize(start + text.size() * 4 + 16);
    int size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()),
                             reinterpret_cast<wchar_t*>(keys->data() + start), static_cast<int>(keys->size() - start),
                             nullptr, nullptr, 0);
    if (size == 0) { // a longer key than guessed: ask for its size
        size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                             nullptr, nullptr, 0);
        keys->resize(start + static_cast<size_t>(std::max(size, 0)));
        if (size > 0)
            size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, text.c_str(), static_cast<int>(text.size()),
                                 reinterpret_cast<wchar_t*>(keys->data() + start), size, nullptr, nullptr, 0);
    }
    keys->resize(start + static_cast<size_t>(std::max(size, 0)));
}

} // namespace

void SortKeyList::Add(const std::wstring& text) {
    AppendSortKey(text, &bytes_);
    ends_.push_back(bytes_.size());
}

std::vector<size_t> SortedOrder(const std::vector<std::wstring>& texts) {
    SortKeyList keys;
    for (const std::wstring& text : texts) keys.Add(text);
    std::vector<size_t> order(texts.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    return order;
}
