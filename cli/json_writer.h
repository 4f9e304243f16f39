// A minimal JSON writer: UTF-16 text to UTF-8 string literals, numbers, and the commas between members.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appends text as UTF-8; a surrogate without its partner becomes U+FFFD.
void AppendUtf8(std::string& out, const wchar_t* text, size_t length);
std::string ToUtf8(const std::wstring& text);

// Appends text as a JSON string literal, quotes included: quote, backslash and control characters escaped.
void AppendJsonString(std::string& out, const wchar_t* text, size_t length);

// Writes values one after another into out, placing the commas and colons; the caller pairs Begin and End.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(const char* asciiName);
    void String(const wchar_t* text); // zero-terminated; null writes an empty string
    void String(const std::wstring& text);
    void Ascii(const char* text);     // text that needs no escaping
    void Number(uint64_t value);
    void Null();

private:
    void Separate();

    std::string& out_;
    bool first_ = true;     // nothing written yet at the current level
    bool afterKey_ = false; // a key was written and its value is next
};
