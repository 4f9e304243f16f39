// How the panes compare and order item texts: equality ignoring case, and the user's sort order.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A key under which texts equal ignoring case (as CompareStringOrdinal sees them) collide.
std::wstring FoldedKey(const std::wstring& text);

// Keys whose plain byte order is the order of the user's locale, ignoring case (as lstrcmpi sorts): one conversion
// per text instead of one locale comparison per pair; empty for a text that cannot be converted. All in one block,
// rather than one allocation per text, as a fill of tens of thousands of tree nodes would otherwise hold at once.
class SortKeyList {
public:
    void Add(const std::wstring& text);
    std::string_view operator[](size_t index) const {
        size_t start = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(bytes_).substr(start, ends_[index] - start);
    }
    size_t size() const { return ends_.size(); }

private:
    std::string bytes_;       // the keys one after another
    std::vector<size_t> ends_; // where each key ends in bytes_
};

// The positions of texts in sorted order; equal texts keep their order.
std::vector<size_t> SortedOrder(const std::vector<std::wstring>& texts);
