// Storage and search of a list pane's rows.
#include "pane_rows.h"
#include <cwchar>

namespace {

bool Matches(const wchar_t* row, const wchar_t* text, int textLength, bool prefix) {
    int rowLength = static_cast<int>(wcslen(row));
    if (prefix ? rowLength < textLength : rowLength != textLength) return false;
    return CompareStringOrdinal(row, textLength, text, textLength, TRUE) == CSTR_EQUAL;
}

} // namespace

void PaneRows::Assign(const std::vector<std::wstring>& texts, const std::vector<size_t>& order, int image) {
    Clear();
    size_t units = 0;
    for (const std::wstring& text : texts) units += text.size() + 1;
    texts_.reserve(units);
    starts_.reserve(order.size());
    for (size_t index : order) {
        starts_.push_back(static_cast<uint32_t>(texts_.size()));
        texts_.insert(texts_.end(), texts[index].c_str(), texts[index].c_str() + texts[index].size() + 1);
    }
    image_ = image;
}

void PaneRows::Clear() {
    std::vector<wchar_t>().swap(texts_); // a refill of a few rows after a large one gives the memory back
    std::vector<uint32_t>().swap(starts_);
    image_ = 0;
}

const wchar_t* PaneRows::Text(int row) const {
    if (row < 0 || row >= Count()) return L"";
    return texts_.data() + starts_[static_cast<size_t>(row)];
}

bool PaneRows::SetText(int row, const wchar_t* text) {
    if (row < 0 || row >= Count() || !text) return false;
    starts_[static_cast<size_t>(row)] = static_cast<uint32_t>(texts_.size());
    texts_.insert(texts_.end(), text, text + wcslen(text) + 1); // the old text stays unused until the next refill
    return true;
}

int PaneRows::Find(const wchar_t* text, int start, bool prefix, bool wrap) const {
    if (!text || Count() == 0) return -1;
    const int length = static_cast<int>(wcslen(text));
    if (start < 0 || start >= Count()) start = 0;
    for (int row = start; row < Count(); ++row)
        if (Matches(Text(row), text, length, prefix)) return row;
    for (int row = 0; wrap && row < start; ++row)
        if (Matches(Text(row), text, length, prefix)) return row;
    return -1;
}
