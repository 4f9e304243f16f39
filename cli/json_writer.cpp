// A minimal JSON writer: UTF-16 text to UTF-8 string literals, numbers, and the commas between members.
#include "json_writer.h"
#include <cwchar>

namespace {

void AppendCodePoint(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point that starts at text[*index]; advances *index past it.
uint32_t NextCodePoint(const wchar_t* text, size_t length, size_t* index) {
    uint32_t unit = static_cast<uint16_t>(text[(*index)++]);
    if (IsHighSurrogate(unit) && *index < length) {
        uint32_t next = static_cast<uint16_t>(text[*index]);
        if (IsLowSurrogate(next)) {
            ++*index;
            return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        }
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) return 0xFFFD;
    return unit;
}

} // namespace

void AppendUtf8(std::string& out, const wchar_t* text, size_t length) {
    for (size_t i = 0; i < length;) AppendCodePoint(out, NextCodePoint(text, length, &i));
}

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    AppendUtf8(out, text.data(), text.size());
    return out;
}

void AppendJsonString(std::string& out, const wchar_t* text, size_t length) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < length;) {
        uint32_t cp = NextCodePoint(text, length, &i);
        switch (cp) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (cp < 0x20) {
                out += "\\u00";
                out += kHex[cp >> 4];
                out += kHex[cp & 0xF];
            } else {
                AppendCodePoint(out, cp);
            }
        }
    }
    out += '"';
}

void JsonWriter::Separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_) out_ += ',';
    first_ = false;
}

void JsonWriter::BeginObject() {
    Separate();
    out_ += '{';
    first_ = true;
}

void JsonWriter::EndObject() {
    out_ += '}';
    first_ = false;
}

void JsonWriter::BeginArray() {
    Separate();
    out_ += '[';
    first_ = true;
}

void JsonWriter::EndArray() {
    out_ += ']';
    first_ = false;
}

void JsonWriter::Key(const char* asciiName) {
    Separate();
    out_ += '"';
    out_ += asciiName;
    out_ += "\":";
    afterKey_ = true;
}

void JsonWriter::String(const wchar_t* text) {
    Separate();
    AppendJsonString(out_, text ? text : L"", text ? wcslen(text) : 0);
}

void JsonWriter::String(const std::wstring& text) {
    Separate();
    AppendJsonString(out_, text.data(), text.size());
}

void JsonWriter::Ascii(const char* text) {
    Separate();
    out_ += '"';
    out_ += text;
    out_ += '"';
}

void JsonWriter::Number(uint64_t value) {
    Separate();
    out_ += std::to_string(value);
}

void JsonWriter::Null() {
    Separate();
    out_ += "null";
}
