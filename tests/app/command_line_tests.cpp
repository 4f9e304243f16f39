// Splitting and interpreting the command line, with response files on disk.
#include <doctest.h>
#include "command_line.h"
#include "app_context.h"
#include "kvresult.h"
#include "test_support.h"
#include "../kernel/wide_string_maker.h"
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
    using Args = std::vector<std::wstring>;
    const std::pair<const wchar_t*, Args> rows[] = {
        {L"", {}},
        {L"  \t ", {}},
        {L"a  b\tc", {L"a", L"b", L"c"}},
        {L"\"C:\\My Files\\x.kvpreset\" next", {L"C:\\My Files\\x.kvpreset", L"next"}},
        {L"ab\"c d\"e f", {L"abc de", L"f"}},              // quotes open and close in the middle of an argument
        {L"\"say \"\"hi\"\" now\"", {L"say \"hi\" now"}}, // a doubled quote inside a quoted stretch keeps one
        {L"\"a b  c", {L"a b  c"}},                        // an unclosed quote runs to the end
    };
    for (const auto& [text, args] : rows) {
        CAPTURE(std::wstring(text));
        CHECK(Split(text) == args);
    }
}

TEST_CASE("interpreting the command line: the last package path wins, switches change nothing, cut to 259") {
    const struct {
        std::wstring line;
        HRESULT result;
        const wchar_t* path; // null: untitled
    } rows[] = {
        {L"tarrow.exe", 1, nullptr}, // only the program path
        {L"tarrow.exe first.kvpreset \"second one.kvpreset\"", 0, L"second one.kvpreset"},
        {L"x \"\"", 0, nullptr}, // an empty argument names no package
        {L"x sub\\a.kvpreset \"\"", 0, L"sub\\a.kvpreset"},
        {L"x /help -? /HELP -Help /?", 0, nullptr}, // the table's switches in any case and with either lead
        {L"x @Z:\\no\\such\\file.rsp", KV_E_FILE_OPEN, nullptr},
        // Invalid arguments are refused and nothing is applied.
        {L"x a.kvpreset /nope", KV_E_INVALIDARG, nullptr},
        {L"x a.kvpreset HELP:x /HELP:x", KV_E_INVALIDARG, nullptr},
        {L"x -", KV_E_INVALIDARG, nullptr},
        {L"x /", KV_E_INVALIDARG, nullptr},
        {L"x a.kvpreset @", KV_E_INVALIDARG, nullptr},
        {L"x @ -x", KV_E_INVALIDARG, nullptr},
        {L"x @ /help", KV_E_INVALIDARG, nullptr},
    };
    for (const auto& row : rows) {
        CAPTURE(row.line);
        DocumentRecord doc = Untitled();
        CHECK(AppParseCommandLine(row.line.c_str(), TRUE, &doc) == row.result);
        CHECK(std::wstring(doc.path) == (row.path ? Absolute(row.path) : L"Untitled"));
        CHECK(doc.flags == (row.path ? 0u : uint32_t(DOC_UNTITLED)));
    }
    DocumentRecord doc = Untitled();
    CHECK(AppParseCommandLine((L"x " + std::wstring(300, L'p')).c_str(), TRUE, &doc) == 0);
    CHECK(wcslen(doc.path) == 259);
}

TEST_CASE("response files: either form of the at sign, nested, empty, naming themselves, failing, invalid") {
    ScratchDir dir(L"rsp");
    WriteResponse(dir.file(L"a.rsp"), L"\"with space.kvpreset\" /help");
    WriteResponse(dir.file(L"inner.rsp"), L"inner.kvpreset", true);
    WriteResponse(dir.file(L"outer.rsp"), L"outer.kvpreset @" + dir.file(L"inner.rsp"), true);
    WriteResponse(dir.file(L"empty.rsp"), L"  ");
    WriteResponse(dir.file(L"self.rsp"), L"@" + dir.file(L"self.rsp"));
    WriteResponse(dir.file(L"bad.rsp"), L"a.kvpreset /bogus");
    const struct {
        bool commandLine; // else a response file read on its own
        std::wstring text;
        HRESULT result;
        const wchar_t* path; // null: untitled
    } rows[] = {
        {true, L"x @" + dir.file(L"a.rsp"), 0, L"with space.kvpreset"},
        {true, L"x @ " + dir.file(L"a.rsp"), 0, L"with space.kvpreset"},
        {false, dir.file(L"outer.rsp"), 0, L"inner.kvpreset"}, // byte-order marks skipped
        {false, dir.file(L"empty.rsp"), 1, nullptr},
        {false, dir.file(L"self.rsp"), KV_E_INVALIDARG, nullptr},
        {false, dir.file(L"bad.rsp"), KV_E_INVALIDARG, nullptr},
        // A failed response file is not hidden by a later one.
        {true, L"x @" + dir.file(L"missing.rsp") + L" @" + dir.file(L"a.rsp"), KV_E_FILE_OPEN, nullptr},
    };
    for (const auto& row : rows) {
        CAPTURE(row.text);
        DocumentRecord doc = Untitled();
        HRESULT result = row.commandLine ? AppParseCommandLine(row.text.c_str(), TRUE, &doc)
                                         : AppReadResponseFile(row.text.c_str(), &doc);
        CHECK(result == row.result);
        if (row.path) CHECK(std::wstring(doc.path) == Absolute(row.path));
        else CHECK(doc.flags == DOC_UNTITLED);
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
