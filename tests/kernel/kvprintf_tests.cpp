// The formatter: escapes, tokens, number literals, plain and locale conversions, separators, bounded output.
#include <doctest.h>
#include <climits>
#include <cstdarg>
#include <string>
#include <thread>
#include <vector>
#include "kvlang.h"
#include "kvlang_internal.h"
#include "wide_string_maker.h"

namespace {

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

} // namespace

TEST_CASE("escapes of the two introducers") {
    UseEnglishLocale();
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    CHECK(Format(L"$$") == L"$");
    CHECK(Format(L"100%% sure") == L"100% sure");
    CHECK(Format(L"$%") == L"%");
    CHECK(Format(L"$$(AppName)") == L"$(AppName)"); // the doubled sign is consumed before the token rule
    CHECK(Format(L"") == L"");
    wchar_t out[4] = L"xyz";
    CHECK(KvPrintFN(out, 4, nullptr) == 0);
    CHECK(out[0] == L'\0');
}

TEST_CASE("tokens are expanded without regard to case") {
    UseEnglishLocale();
    REQUIRE(KvPrintF_AddToken(L"AppName", L"Tarrow") == 1);

    SUBCASE("known token, any letter case") {
        CHECK(Format(L"An error occurred starting $(AppName).") == L"An error occurred starting Tarrow.");
        CHECK(Format(L"$(APPNAME)/$(appname)") == L"Tarrow/Tarrow");
    }
    SUBCASE("unknown or unterminated names stay as written") {
        CHECK(Format(L"x $(NoSuchToken) y") == L"x $(NoSuchToken) y");
        CHECK(Format(L"open $(AppName") == L"open $(AppName");
        std::wstring longName = L"$(" + std::wstring(300, L'n') + L")";
        CHECK(Format(longName.c_str()) == longName);
    }
    SUBCASE("replacing and deleting") {
        REQUIRE(KvPrintF_AddToken(L"Probe.Token", L"one") == 1);
        REQUIRE(KvPrintF_AddToken(L"PROBE.token", L"two") == 1); // same name: replaces
        CHECK(Format(L"$(probe.token)") == L"two");
        CHECK(KvPrintF_DeleteToken(L"Probe.TOKEN") == 1);
        CHECK(KvPrintF_DeleteToken(L"Probe.Token") == 0); // only one record existed
        CHECK(Format(L"$(Probe.Token)") == L"$(Probe.Token)");
    }
    SUBCASE("names sort and are found among many") {
        for (int i = 0; i < 40; ++i) {
            std::wstring name = L"Many." + std::to_wstring((i * 17) % 40);
            REQUIRE(KvPrintF_AddToken(name.c_str(), std::to_wstring(i).c_str()) == 1);
        }
        for (int i = 0; i < 40; ++i) {
            std::wstring format = L"$(many." + std::to_wstring((i * 17) % 40) + L")";
            CHECK(Format(format.c_str()) == std::to_wstring(i));
        }
        for (int i = 0; i < 40; ++i) CHECK(KvPrintF_DeleteToken((L"Many." + std::to_wstring(i)).c_str()) == 1);
    }
    SUBCASE("empty value and missing arguments") {
        REQUIRE(KvPrintF_AddToken(L"Empty.Value", nullptr) == 1);
        CHECK(Format(L"[$(Empty.Value)]") == L"[]");
        CHECK(KvPrintF_DeleteToken(L"Empty.Value") == 1);
    }
}

TEST_CASE("number literals are written the locale's way") {
    UseEnglishLocale();
    CHECK(Format(L"$(1234567.5)") == L"1,234,567.5");
    CHECK(Format(L"$(-1234)") == L"-1,234");
    CHECK(Format(L"$(.25)") == L"0.25");
    CHECK(Format(L"$(1,000)") == L"1,000");
    CHECK(Format(L"$(12a)") == L"$(12a)");
    CHECK(Format(L"$(12") == L"$(12");
    UseGermanLocale();
    CHECK(Format(L"$(1234567.5)") == L"1.234.567,5");
}

TEST_CASE("integer conversions") {
    UseEnglishLocale();
    SUBCASE("plain") {
        CHECK(Format(L"%d", -45) == L"-45");
        CHECK(Format(L"%u", 4000000000u) == L"4000000000");
        CHECK(Format(L"[%5d]", 42) == L"[   42]");
        CHECK(Format(L"[%-5d]", 42) == L"[42   ]");
        CHECK(Format(L"%05d", -42) == L"-0042");
        CHECK(Format(L"%x %X %o", 255, 255, 8) == L"ff FF 10");
        CHECK(Format(L"%I64d", 1099511627776LL) == L"1099511627776");
        CHECK(Format(L"%I64x", 0x123456789abLL) == L"123456789ab");
    }
    SUBCASE("locale grouping") {
        CHECK(Format(L"$d", 1234567) == L"1,234,567");
        CHECK(Format(L"$d", INT_MIN) == L"-2,147,483,648");
        CHECK(Format(L"$u", 4000000000u) == L"4,000,000,000");
        CHECK(Format(L"$d", 999) == L"999");
        CHECK(Format(L"$I64d", -1099511627776LL) == L"-1,099,511,627,776");
        CHECK(Format(L"[$9d]", 1234567) == L"[  1,234,567]"); // formatted first, then grouped
        CHECK(Format(L"[$-6d]", 1234) == L"[1,234  ]");
        CHECK(Format(L"$x", 1234567) == L"12d687");
        CHECK(Format(L"$07d", 1234) == L"0001,234"); // zero fill stays in front of the grouped digits
        KvPrintF_SetLocaleValues(L".", L",", L"3;2;0", L",", L":", 1);
        CHECK(Format(L"$d", 123456789) == L"12,34,56,789");
    }
    SUBCASE("arguments stay in step across mixed sizes") {
        CHECK(Format(L"%I64d|%d|%.1f|%s", 5000000000LL, 7, 2.5, L"end") == L"5000000000|7|2.5|end");
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
    CHECK(grouped(L"1234567", L"5", true) == L"1,234,567.5");
    CHECK(grouped(L"123", L"", true) == L"123");
    CHECK(grouped(L"1234567", L"25", false) == L"1234567.25");
    CHECK(grouped(L"", L"5", true) == L"0.5");
    KvPrintF_SetLocaleValues(L",", L" ", L"3;2;0", L";", L":", 0);
    CHECK(grouped(L"123456789", L"", true) == L"12 34 56 789");
    CHECK(grouped(L"", L"5", true) == L",5");
    KvPrintF_SetLocaleValues(L".", L",", L"3", L",", L":", 1); // one group, not repeated
    CHECK(grouped(L"123456789", L"", true) == L"123456,789");
}

TEST_CASE("floating-point conversions") {
    UseEnglishLocale();
    CHECK(Format(L"%.2f", 1234.5) == L"1234.50");
    CHECK(Format(L"$.2f MB", 1234.5) == L"1,234.50 MB");
    CHECK(Format(L"$.3f", -1234567.125) == L"-1,234,567.125");
    CHECK(Format(L"$.0f", 1234.0) == L"1,234");
    CHECK(Format(L"$.12f", 1234.5) == L"1,234.500000000000");
    CHECK(Format(L"$g", 1234.5) == L"1234.5");
    CHECK(Format(L"$e", 1.5).rfind(L"1.500000e+0", 0) == 0); // exponent digits are the platform's
    UseGermanLocale();
    CHECK(Format(L"$.2f", 1234.5) == L"1.234,50");
    CHECK(Format(L"$g", 1234.5) == L"1234,5"); // no grouping for g
    CHECK(Format(L"$g", 1.5e20) == Format(L"%g", 1.5e20)); // with an exponent: as formatted
    CHECK(Format(L"$g", 1.5e20).find(L'.') != std::wstring::npos);
    CHECK(Format(L"%.2f", 1234.5) == L"1234.50"); // plain ignores the locale
}

TEST_CASE("fixed-point conversion") {
    UseEnglishLocale();
    CHECK(Format(L"%.3z", 12345) == L"12.345");
    CHECK(Format(L"%z", 12345) == L"12345");
    CHECK(Format(L"%.2z", -5) == L"-0.05");
    CHECK(Format(L"%.2z", 123456789) == L"1234567.89");
    CHECK(Format(L"$.2z", 123456789) == L"1,234,567.89");
    CHECK(Format(L"$z", 123456789) == L"123,456,789");
    CHECK(Format(L"%.12z", INT_MIN) == L"-0.002147483648");
    UseGermanLocale();
    CHECK(Format(L"%.3z", 12345) == L"12,345");
}

TEST_CASE("separator conversions") {
    UseEnglishLocale();
    SUBCASE("locale separators") {
        CHECK(Format(L"$d Hz$, %d Bit$, %s", 44100, 16, L"Stereo") == L"44,100 Hz, 16 Bit, Stereo");
        CHECK(Format(L"1%*5 12%:30") == L"1.5 12:30");
        UseGermanLocale();
        CHECK(Format(L"$d Hz$, %d Bit$, %s", 44100, 16, L"Stereo") == L"44.100 Hz; 16 Bit; Stereo");
        CHECK(Format(L"1%*5") == L"1,5");
    }
    SUBCASE("time-code separators consume their selector") {
        CHECK(Format(L"01%!:02%!.03%!,04") == L"01:02.03,04");
        CHECK(Format(L"a%!xb") == L"axb");
        CHECK(Format(L"a%!") == L"a");
    }
    SUBCASE("musical-time separators") {
        CHECK(Format(L"%d$&:%u$&.%03u", 12, 3, 5) == L"12.3.005");
        CHECK(Format(L"a%&,b") == L"a,b");
    }
    SUBCASE("locale values by selector") {
        wchar_t out[16];
        CHECK(KvGetInat(24, out) == 1);
        CHECK(std::wstring(out) == L".");
        UseGermanLocale();
        CHECK((KvGetInat(40, out) == 1 && std::wstring(out) == L";"));
        const int selectors[] = {60, 100, 101, 102, 120, 121};
        const wchar_t* values[] = {L":", L":", L".", L",", L".", L"."};
        for (int i = 0; i < 6; ++i) {
            CHECK(KvGetInat(selectors[i], out) == 1);
            CHECK(std::wstring(out) == values[i]);
        }
        wcscpy(out, L"old");
        CHECK(KvGetInat(25, out) == 0);
        CHECK(out[0] == L'\0');
        CHECK(KvGetInat(24, nullptr) == 1);
    }
    SUBCASE("a decimal separator equal to the thousands separator is replaced") {
        KvPrintF_SetLocaleValues(L".", L".", L"3;0", L",", L":", 1);
        CHECK(Format(L"%*") == L",");
        KvPrintF_SetLocaleValues(L" ", L" ", L"3;0", L",", L":", 1);
        CHECK(Format(L"%*") == L".");
    }
}

TEST_CASE("text and character conversions") {
    UseEnglishLocale();
    CHECK(Format(L"%s|%c", L"abc", L'x') == L"abc|x");
    CHECK(Format(L"[%5s][%-5s]", L"abc", L"abc") == L"[  abc][abc  ]");
    CHECK(Format(L"%.2s", L"abc") == L"ab");
    CHECK(Format(L"$s", L"same") == L"same");
    std::wstring longText(3000, L'w');
    wchar_t big[4000];
    CHECK(KvPrintFN(big, 4000, L"%-3100s|", longText.c_str()) == 3101);
    CHECK(std::wstring(big) == longText + std::wstring(100, L' ') + L"|");
}

TEST_CASE("unfinished or unknown directives are written as they are") {
    UseEnglishLocale();
    CHECK(Format(L"50%") == L"50%");
    CHECK(Format(L"cost $") == L"cost $");
    CHECK(Format(L"%5") == L"%5");
    CHECK(Format(L"$.2") == L"$.2");
    CHECK(Format(L"%ab c %d", 7) == L"%ab c 7"); // not a valid directive: no argument is used for it
    std::wstring tooLong = L"%" + std::wstring(300, L'1') + L"d";
    CHECK(Format(tooLong.c_str(), 5) == tooLong);
}

TEST_CASE("the bounded form never writes past its buffer") {
    UseEnglishLocale();
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    struct Guarded {
        wchar_t buffer[8];
        wchar_t canary[4];
    } g;
    auto reset = [&g] {
        wmemset(g.buffer, L'#', 8);
        wmemset(g.canary, L'C', 4);
    };
    auto canaryIntact = [&g] { return g.canary[0] == L'C' && g.canary[1] == L'C' && g.canary[3] == L'C'; };

    auto expectCut = [&](int length, const wchar_t* expected) {
        CHECK(length == 7);
        CHECK(std::wstring(g.buffer) == expected);
        CHECK(canaryIntact());
    };
    SUBCASE("literal text, conversions and tokens are cut") {
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"0123456789abc"), L"0123456");
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"%s", L"abcdefghijklm"), L"abcdefg");
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"$d", 123456789), L"123,456");
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"$(AppName)$(AppName)"), L"TarrowT");
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"%-20s|", L"ab"), L"ab     ");
        reset();
        expectCut(KvPrintFN(g.buffer, 8, L"$(1234567.5)"), L"1,234,5");
    }
    SUBCASE("tiny buffers") {
        reset();
        CHECK(KvPrintFN(g.buffer, 1, L"abc") == 0);
        CHECK(g.buffer[0] == L'\0');
        CHECK(g.buffer[1] == L'#');
        reset();
        CHECK(KvPrintFN(g.buffer, 0, L"abc") == 0);
        CHECK(g.buffer[0] == L'#');
    }
    SUBCASE("a result that fits is whole") {
        reset();
        CHECK(KvPrintFN(g.buffer, 8, L"%d-%s", 12, L"ab") == 5);
        CHECK(std::wstring(g.buffer) == L"12-ab");
        CHECK(g.buffer[6] == L'#');
    }
}

TEST_CASE("the unbounded form writes the whole result") {
    UseEnglishLocale();
    wchar_t out[64];
    CHECK(KvPrintF(out, L"%s $d", L"total", 1000) == 11);
    CHECK(std::wstring(out) == L"total 1,000");
}

TEST_CASE("tokens may be changed while other threads format") {
    UseEnglishLocale();
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            std::wstring name = L"Thread." + std::to_wstring(t);
            for (int i = 0; i < 200; ++i) {
                std::wstring value = std::to_wstring(i);
                if (!KvPrintF_AddToken(name.c_str(), value.c_str())) ++failures[t];
                wchar_t out[64];
                KvPrintFN(out, 64, (L"$(" + name + L")").c_str());
                if (value != out) ++failures[t];
            }
            KvPrintF_DeleteToken(name.c_str());
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) CHECK(failures[t] == 0);
}
