// The JSON writer and the digest in process: escaping, UTF-8 conversion, member separators, SHA-256 text.
#include <doctest.h>
#include <string>
#include "json_writer.h"
#include "sha256_digest.h"

namespace {

std::string Literal(const std::wstring& text) {
    std::string out;
    AppendJsonString(out, text.data(), text.size());
    return out;
}

} // namespace

TEST_CASE("JSON string literals escape what JSON requires and pass everything else through as UTF-8") {
    SUBCASE("quote and backslash") {
        CHECK(Literal(L"a\"b\\c") == "\"a\\\"b\\\\c\"");
        CHECK(Literal(L"\\\"") == "\"\\\\\\\"\"");
    }
    SUBCASE("control characters: short forms where JSON has them, \\u00XX otherwise") {
        CHECK(Literal(L"\b\f\n\r\t") == "\"\\b\\f\\n\\r\\t\"");
        CHECK(Literal(std::wstring(L"\x01\x1F", 2)) == "\"\\u0001\\u001f\"");
        CHECK(Literal(std::wstring(1, L'\0')) == "\"\\u0000\""); // an embedded zero is kept, not a terminator
        CHECK(Literal(L"\x7F /") == "\"\x7F /\"");               // DEL and solidus need no escape
    }
    SUBCASE("non-ASCII text in one, two, three and four bytes") {
        CHECK(Literal(L"A\u00E9\u20AC") == "\"A\xC3\xA9\xE2\x82\xAC\"");
        CHECK(Literal(L"\U0001F600") == "\"\xF0\x9F\x98\x80\"");
        CHECK(Literal(L"\u07FF\u0800\uFFFF") == "\"\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\"");
        CHECK(Literal(L"\U0010FFFF") == "\"\xF4\x8F\xBF\xBF\"");
    }
    SUBCASE("a unit that is not valid UTF-16 becomes U+FFFD, and only that unit") {
        CHECK(Literal(std::wstring(L"a\xD800", 2)) == "\"a\xEF\xBF\xBD\"");            // high at the end
        CHECK(Literal(std::wstring(L"\xD800x", 2)) == "\"\xEF\xBF\xBDx\"");            // high before a non-low
        CHECK(Literal(std::wstring(L"\xDC00\xD83D\xDE00", 3)) == "\"\xEF\xBF\xBD\xF0\x9F\x98\x80\""); // stray low
        CHECK(Literal(std::wstring(L"\xDE00\xD83D", 2)) == "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");           // reversed pair
        CHECK(Literal(std::wstring(L"\xD800\xD800\xDC00", 3)) == "\"\xEF\xBF\xBD\xF0\x90\x80\x80\"");
    }
    SUBCASE("the plain conversion agrees with the literal's contents") {
        std::wstring text(L"\"\xD800\u00E9\U0001F600", 5);
        CHECK(ToUtf8(text) == "\"\xEF\xBF\xBD\xC3\xA9\xF0\x9F\x98\x80");
        CHECK(ToUtf8(L"") == "");
    }
}

TEST_CASE("JsonWriter places commas and colons between members and array items") {
    std::string out;
    JsonWriter json(out);
    SUBCASE("nested containers, empty ones included") {
        json.BeginObject();
        json.Key("a");
        json.BeginArray();
        json.BeginObject();
        json.Key("n");
        json.Number(1);
        json.Key("s");
        json.String(L"x");
        json.EndObject();
        json.BeginObject();
        json.EndObject();
        json.Number(4294967295u);
        json.EndArray();
        json.Key("e");
        json.BeginArray();
        json.EndArray();
        json.Key("h");
        json.Ascii("0x8004E007");
        json.EndObject();
        CHECK(out == "{\"a\":[{\"n\":1,\"s\":\"x\"},{},4294967295],\"e\":[],\"h\":\"0x8004E007\"}");
    }
    SUBCASE("a null text is an empty string") {
        json.BeginArray();
        json.String(static_cast<const wchar_t*>(nullptr));
        json.String(std::wstring(L"a\tb"));
        json.EndArray();
        CHECK(out == "[\"\",\"a\\tb\"]");
    }
}

TEST_CASE("Sha256Digest gives the standard digests in lower-case hex") {
    Sha256Digest digest;
    REQUIRE(digest.Open() == S_OK);
    char hex[65];
    SUBCASE("empty data, with and without a pointer") {
        REQUIRE(digest.Hex(nullptr, 0, hex) == S_OK);
        CHECK(std::string(hex) == "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        const uint8_t none[1] = {0};
        REQUIRE(digest.Hex(none, 0, hex) == S_OK);
        CHECK(std::string(hex) == "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    }
    SUBCASE("the two-block test message, hashed twice with one provider") {
        const char* message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
        for (int round = 0; round < 2; ++round) {
            REQUIRE(digest.Hex(reinterpret_cast<const uint8_t*>(message), 56, hex) == S_OK);
            CHECK(std::string(hex) == "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        }
        REQUIRE(digest.Hex(reinterpret_cast<const uint8_t*>("abc"), 3, hex) == S_OK);
        CHECK(std::string(hex) == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    }
}
