// Interpreting the command line, with response files on disk.
#include <doctest.h>
#include "command_line.h"
#include "app_context.h"
#include "kvresult.h"
#include "test_support.h"
#include "../kernel/wide_string_maker.h"
#include <string>

using namespace testsupport;

namespace {

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

TEST_CASE("interpreting the command line: the last package path wins, switches change nothing, cut to 259") {
    const struct {
        std::wstring line;
        HRESULT result;
        const wchar_t* path; // null: untitled
    } rows[] = {
        {L"tarrow.exe", 1, nullptr}, // only the program path
        {L"tarrow.exe first.kvpreset \"second one.kvpreset\"", 0, L"second one.kvpreset"},
        {L"x /help -? /HELP -Help /?", 0, nullptr}, // the table's switches in any case and with either lead
        {L"x a.kvpreset /nope", KV_E_INVALIDARG, nullptr}, // an invalid argument: nothing is applied
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

TEST_CASE("response files: either form of the at sign, nested, failing") {
    ScratchDir dir(L"rsp");
    WriteResponse(dir.file(L"a.rsp"), L"\"with space.kvpreset\" /help");
    WriteResponse(dir.file(L"inner.rsp"), L"inner.kvpreset", true);
    WriteResponse(dir.file(L"outer.rsp"), L"outer.kvpreset @" + dir.file(L"inner.rsp"), true);
    const std::wstring bothForms = L"x @" + dir.file(L"inner.rsp") + L" @ " + dir.file(L"a.rsp");
    DocumentRecord doc = Untitled();
    CHECK(AppParseCommandLine(bothForms.c_str(), TRUE, &doc) == 0);
    CHECK(std::wstring(doc.path) == Absolute(L"with space.kvpreset"));
    doc = Untitled();
    CHECK(AppReadResponseFile(dir.file(L"outer.rsp").c_str(), &doc) == 0); // byte-order marks skipped
    CHECK(std::wstring(doc.path) == Absolute(L"inner.kvpreset"));
    // A failed response file is not hidden by a later one.
    doc = Untitled();
    const std::wstring failing = L"x @" + dir.file(L"missing.rsp") + L" @" + dir.file(L"a.rsp");
    CHECK(AppParseCommandLine(failing.c_str(), TRUE, &doc) == KV_E_FILE_OPEN);
    CHECK(doc.flags == DOC_UNTITLED);
}

TEST_CASE("arguments without memory to hold them are a failure, never taken for no arguments") {
    ScratchDir dir(L"rsp-memory");
    const std::wstring text = L"wanted.kvpreset" + std::wstring(1500, L' ');
    WriteResponse(dir.file(L"big.rsp"), text);
    DocumentRecord doc = Untitled();
    ScopedAllocator pagesOnly(PagesOnly);
    CHECK(AppReadResponseFile(dir.file(L"big.rsp").c_str(), &doc) == KV_E_OUTOFMEMORY);
    CHECK(AppParseCommandLine((L"x " + text).c_str(), TRUE, &doc) == KV_E_OUTOFMEMORY);
    CHECK(doc.flags == DOC_UNTITLED);
}
