// The JSON writer and the digest in process: escaping, UTF-8 conversion, SHA-256 text.
#include <doctest.h>
#include <string>
#include "json_writer.h"
#include "sha256_digest.h"

TEST_CASE("JSON string literals: required escapes, UTF-8, and U+FFFD for units that are not UTF-16") {
    const struct {
        std::wstring in;
        std::string out;
    } cases[] = {
        {L"a\"b\\c", "a\\\"b\\\\c"},
        {L"\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
        {std::wstring(L"\x01\x1F\0", 3), "\\u0001\\u001f\\u0000"}, // an embedded zero is kept, not a terminator
        {L"\x7F /", "\x7F /"},                                       // DEL and solidus need no escape
        {L"A\u00E9\u07FF\u0800\u20AC\uFFFF", "A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
        {L"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {std::wstring(L"a\xD800", 2), "a\xEF\xBF\xBD"},                              // high at the end
        {std::wstring(L"\xD800x", 2), "\xEF\xBF\xBDx"},                              // high before a non-low
        {std::wstring(L"\xDC00\xD83D\xDE00", 3), "\xEF\xBF\xBD\xF0\x9F\x98\x80"},    // stray low, then a pair
        {std::wstring(L"\xDE00\xD83D", 2), "\xEF\xBF\xBD\xEF\xBF\xBD"},              // reversed pair
        {std::wstring(L"\xD800\xD800\xDC00", 3), "\xEF\xBF\xBD\xF0\x90\x80\x80"},    // only the first unit is bad
    };
    for (const auto& c : cases) {
        CAPTURE(c.out);
        std::string literal;
        AppendJsonString(literal, c.in.data(), c.in.size());
        CHECK(literal == "\"" + c.out + "\"");
    }
    CHECK(ToUtf8(std::wstring(L"\"\\\xD800\u00E9", 4)) == "\"\\\xEF\xBF\xBD\xC3\xA9"); // plain: nothing escaped
}

TEST_CASE("Sha256Digest gives the standard digests, repeatedly with one provider") {
    Sha256Digest digest;
    char hex[65];
    REQUIRE(digest.Hex(nullptr, 0, hex) == S_OK);
    CHECK(std::string(hex) == "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const char* message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    for (int round = 0; round < 2; ++round) {
        REQUIRE(digest.Hex(reinterpret_cast<const uint8_t*>(message), 56, hex) == S_OK);
        CHECK(std::string(hex) == "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    }
}
