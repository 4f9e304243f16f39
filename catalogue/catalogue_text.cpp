// Allocation and truncation of the catalogue's owned names.
#include "catalogue_text.h"
#include <cstdlib>
#include <cstring>
#include "kvresult.h"

CatalogueText::CatalogueText(CatalogueText&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }

CatalogueText& CatalogueText::operator=(CatalogueText&& other) noexcept {
    if (&other != this) {
        free(text_);
        text_ = other.text_;
        other.text_ = nullptr;
    }
    return *this;
}

CatalogueText::~CatalogueText() { free(text_); }

HRESULT CatalogueText::Set(const wchar_t* source) {
    size_t length = 0;
    if (source)
        while (length < CATALOGUE_NAME_CHARS - 1 && source[length]) ++length;
    wchar_t* copy = nullptr;
    if (length > 0) {
        // Filled before the old text goes: source may point into it.
        copy = static_cast<wchar_t*>(malloc((length + 1) * sizeof(wchar_t)));
        if (!copy) return KV_E_OUTOFMEMORY;
        memcpy(copy, source, length * sizeof(wchar_t));
        copy[length] = 0;
    }
    free(text_);
    text_ = copy;
    return S_OK;
}
