// The formatter as the program uses it: escapes, tokens, integers of both sizes, texts, and bounded output.
#include <doctest.h>
#include <cstdarg>
#include <string>
#include "kvlang.h"
#include "wide_string_maker.h"

namespace {

std::wstring Format(const wchar_t* format, ...) {
    wchar_t out[2048];
    va_list args;
    va_start(args, format);
    int length = KvVPrintFN(out, 2048, format, args);
    va_end(args);
    CHECK(length == static_cast<int>(wcslen(out)));
    return out;
}

// One example: what the formatter wrote and what it should have written; a failure prints both.
struct Example { std::wstring got, want; };
void CheckAll(std::initializer_list<Example> examples) {
    for (const Example& example : examples) CHECK(example.got == example.want);
}

} // namespace

TEST_CASE("escapes, tokens and unfinished directives") {
    REQUIRE(KvPrintF_AddToken(L"AppName", L"Tarrow") == 1);
    const std::wstring longName = L"$(" + std::wstring(300, L'n') + L")";
    const std::wstring tooLong = L"%" + std::wstring(300, L'1') + L"d";
    CheckAll({{Format(L"$$"), L"$"}, {Format(L"100%% sure"), L"100% sure"}, {Format(L"$%"), L"%"},
              {Format(L"$$(AppName)"), L"$(AppName)"}, // the doubled sign is consumed before the token rule
              {Format(L""), L""}, {Format(L"$(APPNAME)/$(appname)"), L"Tarrow/Tarrow"},
              {Format(L"x $(NoSuchToken) y"), L"x $(NoSuchToken) y"}, {Format(L"open $(AppName"), L"open $(AppName"},
              {Format(longName.c_str()), longName.c_str()}, {Format(L"50%"), L"50%"}, {Format(L"cost $"), L"cost $"},
              {Format(L"%5"), L"%5"}, {Format(L"$.2"), L"$.2"},
              {Format(L"%ab c %d", 7), L"%ab c 7"}, // not a valid directive: no argument is used for it
              {Format(tooLong.c_str(), 5), tooLong.c_str()}});
    wchar_t out[4] = L"xyz";
    CHECK(KvPrintFN(out, 4, nullptr) == 0);
    CHECK(out[0] == L'\0');

    // A name given again replaces its value, whatever its letter case; tokens are found among many.
    REQUIRE(KvPrintF_AddToken(L"Probe.Token", L"one") == 1);
    REQUIRE(KvPrintF_AddToken(L"PROBE.token", L"two") == 1);
    CHECK(Format(L"$(probe.token)") == L"two");
    REQUIRE(KvPrintF_AddToken(L"Empty.Value", nullptr) == 1);
    CHECK(Format(L"[$(Empty.Value)]") == L"[]");
    auto name = [](int i) { return L"Many." + std::to_wstring(i * 17 % 40); };
    for (int i = 0; i < 40; ++i) REQUIRE(KvPrintF_AddToken(name(i).c_str(), std::to_wstring(i).c_str()));
    for (int i = 0; i < 40; ++i) CHECK(Format((L"$(" + name(i) + L")").c_str()) == std::to_wstring(i));
}

TEST_CASE("each directive takes its own argument size; texts and characters") {
    CheckAll({{Format(L"[%-5d]", 42), L"[42   ]"}, {Format(L"%05d", -42), L"-0042"},
              {Format(L"%I64d|%d|%.1f|%s", 5000000000LL, 7, 2.5, L"end"), L"5000000000|7|2.5|end"},
              {Format(L"%08x|%03u|%08I64X|%d", 0xBEEFu, 7u, 0x123456789ABCull, -1), L"0000beef|007|123456789ABC|-1"},
              {Format(L"%s|%c", L"abc", L'x'), L"abc|x"}, {Format(L"[%5s][%-5s]", L"abc", L"abc"), L"[  abc][abc  ]"},
              {Format(L"%.2s", L"abc"), L"ab"}, {Format(L"%s", nullptr), L"(null)"}});
}

TEST_CASE("the bounded form never writes past its buffer") {
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    struct Guarded { wchar_t buffer[8]; wchar_t canary[4]; } g;
    auto reset = [&g] {
        wmemset(g.buffer, L'#', 8);
        wmemset(g.canary, L'C', 4);
    };
    auto canaryIntact = [&g] { return std::wstring(g.canary, 4) == L"CCCC"; };
    const struct { const wchar_t* format; const wchar_t* text; int number; const wchar_t* want; } cuts[] = {
        {L"0123456789abc", nullptr, 0, L"0123456"}, {L"%s", L"abcdefghijklm", 0, L"abcdefg"},
        {L"%d", nullptr, 123456789, L"1234567"}, {L"$(AppName)$(AppName)", nullptr, 0, L"TarrowT"},
        {L"%-20s|", L"ab", 0, L"ab     "}};
    for (const auto& cut : cuts) {
        CAPTURE(std::wstring(cut.want));
        reset();
        const int length = cut.text ? KvPrintFN(g.buffer, 8, cut.format, cut.text) : KvPrintFN(g.buffer, 8, cut.format, cut.number);
        CHECK(length == 7);
        CHECK(std::wstring(g.buffer) == cut.want);
        CHECK(canaryIntact());
    }
    reset();
    CHECK(KvPrintFN(g.buffer, 1, L"abc") == 0);
    CHECK(g.buffer[0] == L'\0');
    CHECK(g.buffer[1] == L'#');
    CHECK(KvPrintFN(g.buffer + 1, 0, L"abc") == 0);
    CHECK(g.buffer[1] == L'#');
    reset();
    CHECK(KvPrintFN(g.buffer, 8, L"%d-%s", 12, L"ab") == 5);
    CHECK(std::wstring(g.buffer) == L"12-ab");
    CHECK(g.buffer[6] == L'#');
}
