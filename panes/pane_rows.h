// The rows a list pane shows. The list control holds none of them: it asks for a row's text and image when it
// draws or reports one, so a plug-in of a hundred thousand presets costs the control nothing per row.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

class PaneRows {
public:
    // The rows are texts in the given order (positions into texts), all shown with one image.
    void Assign(const std::vector<std::wstring>& texts, const std::vector<size_t>& order, int image);
    void Clear();

    int Count() const { return static_cast<int>(starts_.size()); }
    int Image() const { return image_; }
    const wchar_t* Text(int row) const; // "" for a row that does not exist
    // A renamed row keeps its place until the list is refilled. False for a row that does not exist.
    bool SetText(int row, const wchar_t* text);
    // The first row from start on (wrapping round to the top when wrap) whose text equals text ignoring case, or,
    // with prefix, begins with it; -1 when none.
    int Find(const wchar_t* text, int start, bool prefix, bool wrap) const;

private:
    std::vector<wchar_t> texts_;  // every row's text with its terminator, one after another
    std::vector<uint32_t> starts_; // where each row's text starts in texts_
    int image_ = 0;
};
