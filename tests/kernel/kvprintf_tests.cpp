// The formatter: escapes, tokens, number literals, plain and locale conversions, separators, bounded output.
#include <doctest.h>
#include <climits>
#include <cstdarg>
#include <string>
#include "kvlang.h"
#include "kvlang_internal.h"
#include "wide_string_maker.h"

namespace {

// The locale values are set explicitly so that the results do not depend on the machine's settings.
void UseEnglishLocale() { KvPrintF_SetLocaleValues(L".", L",", L"3;0", L",", L":", 1); }
void UseGermanLocale() { KvPrintF_SetLocaleValues(L",", L".", L"3;0", L";", L":", 1); }

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
    UseEnglishLocale();
    REQUIRE(KvPrintF_AddToken(L"AppName", L"Tarrow") == 1);
    const std::wstring longName = L"$(" + std::wstring(300, L'n') + L")";
    const std::wstring tooLong = L"%" + std::wstring(300, L'1') + L"d";
    CheckAll({{Format(L"$$"), L"$"}, {Format(L"100%% sure"), L"100% sure"}, {Format(L"$%"), L"%"},
              {Format(L"$$(AppName)"), L"$(AppName)"}, // the doubled sign is consumed before the token rule
              {Format(L""), L""}, {Format(L"$(APPNAME)/$(appname)"), L"Tarrow/Tarrow"},
              {Format(L"An error occurred starting $(AppName)."), L"An error occurred starting Tarrow."},
              {Format(L"x $(NoSuchToken) y"), L"x $(NoSuchToken) y"}, {Format(L"open $(AppName"), L"open $(AppName"},
              {Format(longName.c_str()), longName.c_str()}, {Format(L"50%"), L"50%"}, {Format(L"cost $"), L"cost $"},
              {Format(L"%5"), L"%5"}, {Format(L"$.2"), L"$.2"},
              {Format(L"%ab c %d", 7), L"%ab c 7"}, // not a valid directive: no argument is used for it
              {Format(tooLong.c_str(), 5), tooLong.c_str()}});
    wchar_t out[4] = L"xyz";
    CHECK(KvPrintFN(out, 4, nullptr) == 0);
    CHECK(out[0] == L'\0');

    SUBCASE("replacing and deleting tokens, any letter case, an empty value") {
        REQUIRE(KvPrintF_AddToken(L"Probe.Token", L"one") == 1);
        REQUIRE(KvPrintF_AddToken(L"PROBE.token", L"two") == 1); // same name: replaces
        CHECK(Format(L"$(probe.token)") == L"two");
        CHECK(KvPrintF_DeleteToken(L"Probe.TOKEN") == 1);
        CHECK(KvPrintF_DeleteToken(L"Probe.Token") == 0); // only one record existed
        CHECK(Format(L"$(Probe.Token)") == L"$(Probe.Token)");
        REQUIRE(KvPrintF_AddToken(L"Empty.Value", nullptr) == 1);
        CHECK(Format(L"[$(Empty.Value)]") == L"[]");
        CHECK(KvPrintF_DeleteToken(L"Empty.Value") == 1);
    }
    SUBCASE("names sort and are found among many") {
        auto name = [](int i) { return L"Many." + std::to_wstring(i * 17 % 40); };
        for (int i = 0; i < 40; ++i) REQUIRE(KvPrintF_AddToken(name(i).c_str(), std::to_wstring(i).c_str()));
        for (int i = 0; i < 40; ++i) CHECK(Format((L"$(" + name(i) + L")").c_str()) == std::to_wstring(i));
        for (int i = 0; i < 40; ++i) CHECK(KvPrintF_DeleteToken(name(i).c_str()) == 1);
    }
}

TEST_CASE("numbers: literals, integers, fixed and floating point, plain and the locale's way") {
    UseEnglishLocale();
    SUBCASE("number literals") {
        CheckAll({{Format(L"$(1234567.5)"), L"1,234,567.5"}, {Format(L"$(-1234)"), L"-1,234"},
                  {Format(L"$(.25)"), L"0.25"}, {Format(L"$(1,000)"), L"1,000"}, {Format(L"$(12a)"), L"$(12a)"},
                  {Format(L"$(12"), L"$(12"}});
    }
    SUBCASE("plain integers ignore the locale") {
        CheckAll({{Format(L"%d", -45), L"-45"}, {Format(L"%u", 4000000000u), L"4000000000"},
                  {Format(L"[%5d]", 42), L"[   42]"}, {Format(L"[%-5d]", 42), L"[42   ]"},
                  {Format(L"%05d", -42), L"-0042"}, {Format(L"%x %X %o", 255, 255, 8), L"ff FF 10"},
                  {Format(L"%I64d", 1099511627776LL), L"1099511627776"}, {Format(L"%I64x", 0x123456789abLL), L"123456789ab"},
                  {Format(L"%I64d|%d|%.1f|%s", 5000000000LL, 7, 2.5, L"end"), L"5000000000|7|2.5|end"}});
    }
    SUBCASE("grouped integers") {
        CheckAll({{Format(L"$d", 1234567), L"1,234,567"}, {Format(L"$d", INT_MIN), L"-2,147,483,648"},
                  {Format(L"$u", 4000000000u), L"4,000,000,000"}, {Format(L"$d", 999), L"999"},
                  {Format(L"$I64d", -1099511627776LL), L"-1,099,511,627,776"},
                  {Format(L"[$9d]", 1234567), L"[  1,234,567]"}, // formatted first, then grouped
                  {Format(L"[$-6d]", 1234), L"[1,234  ]"}, {Format(L"$x", 1234567), L"12d687"},
                  {Format(L"$07d", 1234), L"0001,234"}}); // zero fill stays in front of the grouped digits
        KvPrintF_SetLocaleValues(L".", L",", L"3;2;0", L",", L":", 1);
        CHECK(Format(L"$d", 123456789) == L"12,34,56,789");
    }
    SUBCASE("floating and fixed point") {
        CheckAll({{Format(L"%.2f", 1234.5), L"1234.50"}, {Format(L"$.2f MB", 1234.5), L"1,234.50 MB"},
                  {Format(L"$.3f", -1234567.125), L"-1,234,567.125"}, {Format(L"$.0f", 1234.0), L"1,234"},
                  {Format(L"$.12f", 1234.5), L"1,234.500000000000"}, {Format(L"$g", 1234.5), L"1234.5"},
                  {Format(L"%.3z", 12345), L"12.345"}, {Format(L"%z", 12345), L"12345"}, {Format(L"%.2z", -5), L"-0.05"},
                  {Format(L"%.2z", 123456789), L"1234567.89"}, {Format(L"$.2z", 123456789), L"1,234,567.89"},
                  {Format(L"$z", 123456789), L"123,456,789"}, {Format(L"%.12z", INT_MIN), L"-0.002147483648"}});
        CHECK(Format(L"$e", 1.5).rfind(L"1.500000e+0", 0) == 0); // exponent digits are the platform's
    }
    SUBCASE("another locale's separators") {
        UseGermanLocale();
        CheckAll({{Format(L"$(1234567.5)"), L"1.234.567,5"}, {Format(L"$.2f", 1234.5), L"1.234,50"},
                  {Format(L"$g", 1234.5), L"1234,5"}, // no grouping for g
                  {Format(L"%.2f", 1234.5), L"1234.50"}, {Format(L"%.3z", 12345), L"12,345"}});
        CHECK(Format(L"$g", 1.5e20) == Format(L"%g", 1.5e20)); // with an exponent: as formatted
        CHECK(Format(L"$g", 1.5e20).find(L'.') != std::wstring::npos);
    }
}

TEST_CASE("grouping without the platform's number formatter follows the same rules") {
    auto grouped = [](const wchar_t* digits, const wchar_t* decimals, bool group) {
        wchar_t out[64];
        KvTextSink sink(out, 64);
        KvWriteGroupedDigits(sink, digits, wcslen(digits), decimals, wcslen(decimals), group);
        sink.Finish();
        return std::wstring(out);
    };
    UseEnglishLocale();
    CheckAll({{grouped(L"1234567", L"5", true), L"1,234,567.5"}, {grouped(L"1234567", L"25", false), L"1234567.25"},
              {grouped(L"", L"5", true), L"0.5"}});
    KvPrintF_SetLocaleValues(L",", L" ", L"3;2;0", L";", L":", 0);
    CheckAll({{grouped(L"123456789", L"", true), L"12 34 56 789"}, {grouped(L"", L"5", true), L",5"}});
}

TEST_CASE("separators, texts and characters") {
    UseEnglishLocale();
    std::wstring longText(3000, L'w');
    CheckAll({{Format(L"$d Hz$, %d Bit$, %s", 44100, 16, L"Stereo"), L"44,100 Hz, 16 Bit, Stereo"},
              {Format(L"1%*5 12%:30"), L"1.5 12:30"}, {Format(L"01%!:02%!.03%!,04"), L"01:02.03,04"},
              {Format(L"a%!xb"), L"axb"}, {Format(L"a%!"), L"a"}, // time-code separators consume their selector
              {Format(L"%d$&:%u$&.%03u", 12, 3, 5), L"12.3.005"}, {Format(L"a%&,b"), L"a,b"},
              {Format(L"%s|%c", L"abc", L'x'), L"abc|x"}, {Format(L"[%5s][%-5s]", L"abc", L"abc"), L"[  abc][abc  ]"},
              {Format(L"%.2s", L"abc"), L"ab"}, {Format(L"$s", L"same"), L"same"}});
    wchar_t big[4000], out[16];
    CHECK(KvPrintFN(big, 4000, L"%-3100s|", longText.c_str()) == 3101);
    CHECK(std::wstring(big) == longText + std::wstring(100, L' ') + L"|");
    wcscpy(out, L"old");
    CHECK(KvGetInat(25, out) == 0);
    CHECK(out[0] == L'\0');
    CHECK(KvGetInat(24, nullptr) == 1);
    UseGermanLocale();
    CheckAll({{Format(L"$d Hz$, %d Bit$, %s", 44100, 16, L"Stereo"), L"44.100 Hz; 16 Bit; Stereo"},
              {Format(L"1%*5"), L"1,5"}});
    for (auto [selector, value] : {std::pair{24, L","}, {40, L";"}, {60, L":"}, {100, L":"}, {101, L"."}, {102, L","}, {121, L"."}}) {
        CAPTURE(selector);
        CHECK(KvGetInat(selector, out) == 1);
        CHECK(std::wstring(out) == value);
    }
    // A decimal separator equal to the thousands separator is replaced.
    KvPrintF_SetLocaleValues(L".", L".", L"3;0", L",", L":", 1);
    CHECK(Format(L"%*") == L",");
    KvPrintF_SetLocaleValues(L" ", L" ", L"3;0", L",", L":", 1);
    CHECK(Format(L"%*") == L".");
}

TEST_CASE("the bounded form never writes past its buffer") {
    UseEnglishLocale();
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    struct Guarded { wchar_t buffer[8]; wchar_t canary[4]; } g;
    auto reset = [&g] {
        wmemset(g.buffer, L'#', 8);
        wmemset(g.canary, L'C', 4);
    };
    auto canaryIntact = [&g] { return std::wstring(g.canary, 4) == L"CCCC"; };
    const struct { const wchar_t* format; const wchar_t* text; int number; const wchar_t* want; } cuts[] = {
        {L"0123456789abc", nullptr, 0, L"0123456"}, {L"%s", L"abcdefghijklm", 0, L"abcdefg"},
        {L"$d", nullptr, 123456789, L"123,456"}, {L"$(AppName)$(AppName)", nullptr, 0, L"TarrowT"},
        {L"%-20s|", L"ab", 0, L"ab     "}, {L"$(1234567.5)", nullptr, 0, L"1,234,5"}};
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
    wchar_t out[64];
    CHECK(KvPrintF(out, L"%s $d", L"total", 1000) == 11);
    CHECK(std::wstring(out) == L"total 1,000");
}
