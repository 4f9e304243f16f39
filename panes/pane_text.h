// How the panes compare and order item texts: equality ignoring case, and the user's sort order.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// A key under which texts equal ignoring case (as CompareStringOrdinal sees them) collide.
std::wstring FoldedKey(const std::wstring& text);

// A key whose plain byte order is the order of the user's locale, ignoring case (as lstrcmpi sorts): one
// conversion per text instead of one locale comparison per pair. Empty when the text cannot be converted.
std::string SortKey(const std::wstring& text);

// The positions of texts in sorted order; equal texts keep their order.
std::vector<size_t> SortedOrder(const std::vector<std::wstring>& texts);
