// An owned name for the catalogue classes, allocated to its length: a fixed buffer in every preset held many times
// the memory of its data.
#pragma once
#include <windows.h>

constexpr int CATALOGUE_NAME_CHARS = 260; // 259 characters and a terminator

class CatalogueText {
public:
    CatalogueText() = default;
    CatalogueText(const CatalogueText&) = delete;
    CatalogueText& operator=(const CatalogueText&) = delete;
    CatalogueText(CatalogueText&& other) noexcept;
    CatalogueText& operator=(CatalogueText&& other) noexcept;
    ~CatalogueText();

    // Keeps at most CATALOGUE_NAME_CHARS - 1 characters of source; null or empty empties it. KV_E_OUTOFMEMORY
    // leaves the text as it was.
    HRESULT Set(const wchar_t* source);
    HRESULT Set(const CatalogueText& source) { return Set(source.c_str()); }

    const wchar_t* c_str() const { return text_ ? text_ : L""; } // never null
    operator const wchar_t*() const { return c_str(); }

private:
    wchar_t* text_ = nullptr; // null while empty
};
