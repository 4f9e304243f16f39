// Lets doctest print wide strings in failed checks.
#pragma once
#include <doctest.h>
#include <string>

namespace doctest {
template <> struct StringMaker<std::wstring> {
    static String convert(const std::wstring& text) {
        std::string narrow = "\"";
        for (wchar_t c : text) {
            if (c >= 32 && c < 127) narrow += static_cast<char>(c);
            else narrow += "\\u" + std::to_string(static_cast<unsigned>(c));
        }
        return (narrow + "\"").c_str();
    }
};
} // namespace doctest
