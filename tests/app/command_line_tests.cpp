// Splitting and interpreting the command line, with response files on disk.
#include <doctest.h>
#include "command_line.h"
#include "app_context.h"
#include "kvresult.h"
#include "test_support.h"
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::vector<std::wstring> Split(const wchar_t* text) {
    int count = -1;
    wchar_t** argv = nullptr;
    HRESULT hr = AppSplitArguments(text, &argv, &count);
    std::vector<std::wstring> out;
    if (hr == 1) {
        CHECK(count == 0);
        CHECK(argv == nullptr);
        return out;
    }
    REQUIRE(hr == S_OK);
    for (int i = 0; i < count; ++i) out.emplace_back(argv[i]);
    CHECK(argv[count] == nullptr);
    LocalFree(argv);
    return out;
}

// A relative path as the command line makes it absolute: against the current folder.
std::wstring Absolute(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return std::wstring(folder) + L"\\" + name;
}

DocumentRecord Untitled() {
    DocumentRecord doc{};
    doc.flags = DOC_UNTITLED;
    wcscpy(doc.path, L"Untitled");
    return doc;
}

// Writes a response file as UTF-16LE, optionally with a byte-order mark.
void WriteResponse(const std::wstring& path, const std::wstring& text, bool bom = false) {
    std::wstring body = bom ? std::wstring(1, wchar_t(0xFEFF)) + text : text;
    REQUIRE(WriteWholeFile(path, body.data(), body.size() * sizeof(wchar_t)));
}

// Memory runs out for any block larger than a page: a short response file is still read into its buffer, but
// the argument block of its text (about five times its size) cannot be had.
HLOCAL WINAPI PagesOnly(UINT flags, SIZE_T bytes) { return bytes <= 4096 ? LocalAlloc(flags, bytes) : nullptr; }

struct ScopedAllocator {
    AppArgumentAllocator previous;
    explicit ScopedAllocator(AppArgumentAllocator allocator) : previous(AppSetArgumentAllocator(allocator)) {}
    ~ScopedAllocator() { AppSetArgumentAllocator(previous); }
};

} // namespace

TEST_CASE("arguments are split at white space with quotes removed") {
    CHECK(Split(L"").empty());
    CHECK(Split(L"  \t ").empty());
    CHECK(Split(L"a  b\tc") == std::vector<std::wstring>{L"a", L"b", L"c"});
    CHECK(Split(L"\"C:\\My Files\\x.kvpreset\" next") ==
          std::vector<std::wstring>{L"C:\\My Files\\x.kvpreset", L"next"});
    SUBCASE("quotes open and close in the middle of an argument") {
        CHECK(Split(L"ab\"c d\"e f") == std::vector<std::wstring>{L"abc de", L"f"});
    }
    SUBCASE("a doubled quote inside a quoted stretch keeps one quote") {
        CHECK(Split(L"\"say \"\"hi\"\" now\"") == std::vector<std::wstring>{L"say \"hi\" now"});
    }
    SUBCASE("an unclosed quote runs to the end") {
        CHECK(Split(L"\"a b  c") == std::vector<std::wstring>{L"a b  c"});
    }
}

TEST_CASE("interpreting the command line") {
    DocumentRecord doc = Untitled();

    SUBCASE("only the program path leaves the document untitled") {
        CHECK(AppParseCommandLine(L"tarrow.exe", TRUE, &doc) == 1);
        CHECK(doc.flags == DOC_UNTITLED);
        CHECK(std::wstring(doc.path) == L"Untitled");
    }
    SUBCASE("the last of two package paths wins") {
        CHECK(AppParseCommandLine(L"tarrow.exe first.kvpreset \"second one.kvpreset\"", TRUE, &doc) == 0);
        CHECK(std::wstring(doc.path) == Absolute(L"second one.kvpreset"));
        CHECK((doc.flags & DOC_UNTITLED) == 0);
    }
    SUBCASE("an empty argument names no package") {
        CHECK(AppParseCommandLine(L"x \"\"", TRUE, &doc) == 0);
        CHECK(doc.flags == DOC_UNTITLED);
        CHECK(AppParseCommandLine(L"x sub\\a.kvpreset \"\"", TRUE, &doc) == 0);
        CHECK(std::wstring(doc.path) == Absolute(L"sub\\a.kvpreset"));
    }
    SUBCASE("a long path is cut to 259 characters") {
        std::wstring longPath(300, L'p');
        CHECK(AppParseCommandLine((L"x " + longPath).c_str(), TRUE, &doc) == 0);
        CHECK(wcslen(doc.path) == 259);
    }
    SUBCASE("the table switches in any case and with either lead are accepted and change nothing") {
        CHECK(AppParseCommandLine(L"x /help -? /HELP -Help /?", TRUE, &doc) == 0);
        CHECK(doc.flags == DOC_UNTITLED);
    }
    SUBCASE("invalid arguments are refused and nothing is applied") {
        const wchar_t* bad[] = {L"x a.kvpreset /nope", L"x a.kvpreset HELP:x /HELP:x", L"x -", L"x /",
                                L"x a.kvpreset @", L"x @ -x", L"x @ /help"};
        for (const wchar_t* line : bad) {
            DocumentRecord d = Untitled();
            CAPTURE(std::wstring(line).size());
            CHECK(AppParseCommandLine(line, TRUE, &d) == KV_E_INVALIDARG);
            CHECK(d.flags == DOC_UNTITLED);
        }
    }
    SUBCASE("a missing response file cannot be opened") {
        CHECK(AppParseCommandLine(L"x @Z:\\no\\such\\file.rsp", TRUE, &doc) == KV_E_FILE_OPEN);
    }
}

TEST_CASE("response files") {
    ScratchDir dir(L"rsp");
    DocumentRecord doc = Untitled();

    SUBCASE("joined and separate at signs read the same file, quotes included") {
        WriteResponse(dir.file(L"a.rsp"), L"\"with space.kvpreset\" /help");
        CHECK(AppParseCommandLine((L"x @" + dir.file(L"a.rsp")).c_str(), TRUE, &doc) == 0);
        CHECK(std::wstring(doc.path) == Absolute(L"with space.kvpreset"));
        DocumentRecord other = Untitled();
        CHECK(AppParseCommandLine((L"x @ " + dir.file(L"a.rsp")).c_str(), TRUE, &other) == 0);
        CHECK(std::wstring(other.path) == Absolute(L"with space.kvpreset"));
    }
    SUBCASE("a response file can name another one; a byte-order mark is skipped") {
        WriteResponse(dir.file(L"inner.rsp"), L"inner.kvpreset", true);
        WriteResponse(dir.file(L"outer.rsp"), L"outer.kvpreset @" + dir.file(L"inner.rsp"), true);
        CHECK(AppReadResponseFile(dir.file(L"outer.rsp").c_str(), &doc) == 0);
        CHECK(std::wstring(doc.path) == Absolute(L"inner.kvpreset"));
    }
    SUBCASE("an empty response file is nothing to do") {
        WriteResponse(dir.file(L"empty.rsp"), L"  ");
        CHECK(AppReadResponseFile(dir.file(L"empty.rsp").c_str(), &doc) == 1);
        CHECK(doc.flags == DOC_UNTITLED);
    }
    SUBCASE("a response file that names itself stops with an invalid argument") {
        WriteResponse(dir.file(L"self.rsp"), L"@" + dir.file(L"self.rsp"));
        CHECK(AppReadResponseFile(dir.file(L"self.rsp").c_str(), &doc) == KV_E_INVALIDARG);
    }
    SUBCASE("a failed response file is not hidden by a later one") {
        WriteResponse(dir.file(L"ok.rsp"), L"ok.kvpreset");
        std::wstring line = L"x @" + dir.file(L"missing.rsp") + L" @" + dir.file(L"ok.rsp");
        CHECK(AppParseCommandLine(line.c_str(), TRUE, &doc) == KV_E_FILE_OPEN);
    }
    SUBCASE("an invalid switch inside a response file is refused") {
        WriteResponse(dir.file(L"bad.rsp"), L"a.kvpreset /bogus");
        CHECK(AppReadResponseFile(dir.file(L"bad.rsp").c_str(), &doc) == KV_E_INVALIDARG);
    }
}

TEST_CASE("arguments without memory to hold them are a failure, never taken for no arguments") {
    ScratchDir dir(L"rsp-memory");
    const std::wstring text = L"wanted.kvpreset" + std::wstring(1500, L' ');
    WriteResponse(dir.file(L"big.rsp"), text);
    DocumentRecord doc = Untitled();
    ScopedAllocator pagesOnly(PagesOnly);
    CHECK(AppReadResponseFile(dir.file(L"big.rsp").c_str(), &doc) == KV_E_OUTOFMEMORY);
    CHECK(AppParseCommandLine((L"x @" + dir.file(L"big.rsp")).c_str(), TRUE, &doc) == KV_E_OUTOFMEMORY);
    CHECK(AppParseCommandLine((L"x " + text).c_str(), TRUE, &doc) == KV_E_OUTOFMEMORY);
    CHECK(doc.flags == DOC_UNTITLED);
}
