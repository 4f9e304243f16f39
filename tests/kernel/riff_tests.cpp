// RIFF chunk I/O: written bytes, size patching, remaining-count walks, damaged sizes, deletion, a real WAVE file.
#include <doctest.h>
#include "riff.h"
#include "kvresult.h"
#include "test_support.h"
#include <psapi.h>
#include <cstring>
#include <string>

using namespace testsupport;
using Bytes = std::vector<unsigned char>;

namespace {

// Builds RIFF bytes by hand, independently of the writer under test.
struct Build {
    Bytes b;
    Build& id(const char* s) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(s[i]));
        return *this;
    }
    Build& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Build& chunk(const char* s, uint32_t n, unsigned char fill = 'x') {
        id(s).u32(n);
        b.insert(b.end(), n, fill);
        if (n & 1) b.push_back(0);
        return *this;
    }
    Build& list(const char* type, uint32_t contentSize) { return id("LIST").u32(contentSize + 4).id(type); }
};

Bytes Wrap(const char* form, const Bytes& body) {
    Build all;
    all.id("RIFF").u32(static_cast<uint32_t>(body.size() + 4)).id(form).b.insert(all.b.end(), body.begin(), body.end());
    return all.b;
}

uint32_t U32At(const Bytes& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// A read-write file in a scratch folder, filled with the given bytes and positioned at offset 0.
class TestFile {
public:
    explicit TestFile(const Bytes& content = {}) {
        static ScratchDir dir(L"riff");
        static int serial = 0;
        handle_ = CreateFileW(dir.file(L"f" + std::to_wstring(++serial)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
        REQUIRE(handle_ != INVALID_HANDLE_VALUE);
        DWORD put = 0;
        if (!content.empty())
            REQUIRE(WriteFile(handle_, content.data(), static_cast<DWORD>(content.size()), &put, nullptr));
        Seek(0);
    }
    ~TestFile() { CloseHandle(handle_); }
    HANDLE h() const { return handle_; }
    uint64_t Pos() const {
        LARGE_INTEGER zero{}, now{};
        return SetFilePointerEx(handle_, zero, &now, FILE_CURRENT) ? static_cast<uint64_t>(now.QuadPart) : ~0ull;
    }
    void Seek(uint64_t at) const {
        SetFilePointerEx(handle_, LARGE_INTEGER{.QuadPart = static_cast<LONGLONG>(at)}, nullptr, FILE_BEGIN);
    }
    Bytes Content() const {
        const uint64_t keep = Pos();
        Seek(0);
        Bytes all(GetFileSize(handle_, nullptr));
        DWORD got = 0;
        ReadFile(handle_, all.data(), static_cast<DWORD>(all.size()), &got, nullptr);
        Seek(keep);
        return all;
    }
private:
    HANDLE handle_;
};

// RIFF "TEST" holding a 5-byte chunk, a LIST "othr" of size 20, a LIST "want" with three entries, a "tail" chunk.
Bytes SampleFile() {
    return Wrap("TEST", Build().chunk("odd ", 5).list("othr", 16).chunk("abcd", 8).list("want", 10 + 12 + 8)
                            .chunk("e1  ", 2).chunk("e2  ", 3).chunk("e3  ", 0).chunk("tail", 4, 't').b);
}

// Back-patches a placeholder size the way writers do, returning to the end afterwards.
void Patch(HANDLE file, uint32_t at, uint32_t value) {
    uint32_t end = 0;
    DWORD put = 0;
    REQUIRE(riff_SaveLocation(file, &end) == S_OK);
    REQUIRE(riff_RestoreLocation(file, at) == S_OK);
    REQUIRE(WriteFile(file, &value, 4, &put, nullptr));
    REQUIRE(riff_RestoreLocation(file, end) == S_OK);
}

} // namespace

TEST_CASE("identifiers, positions, skipping and length checks") {
    CHECK(RIFF_ID('f', 'm', 't', ' ') == 0x20746D66u);
    TestFile f(Build().chunk("abcd", 40).b);
    uint32_t saved = 0;
    f.Seek(21);
    CHECK(riff_SaveLocation(f.h(), &saved) == S_OK);
    CHECK(saved == 21);
    CHECK(riff_SeekDataStart(f.h()) == S_OK);
    CHECK(f.Pos() == 12);
    CHECK(riff_RestoreLocation(f.h(), saved) == S_OK);
    CHECK(f.Pos() == 21);
    CHECK(riff_SkipChunk(f.h(), 7) == 8);
    CHECK(f.Pos() == 29);
    CHECK(riff_SkipChunk(f.h(), 0) == 0);
    CHECK(f.Pos() == 29);
    CHECK(riff_ValidateChunkHeader(nullptr, -1) == KV_E_RIFF_NEG_LENGTH);
    CHECK(riff_ValidateChunkHeader(nullptr, 0) == KV_E_RIFF_ZERO_LENGTH);
    CHECK(riff_ValidateChunkHeader(nullptr, 1) == S_OK);
}

TEST_CASE("writers lay out headers, data and pad bytes") {
    TestFile f;
    uint32_t written = 0;
    SUBCASE("a 3-byte chunk takes 12 bytes") {
        CHECK(riff_WriteChunk(f.h(), RIFF_ID('a', 'b', 'c', 'd'), "xyz", 3, &written) == S_OK);
        CHECK(written == 12);
        CHECK(f.Content() == Bytes{'a', 'b', 'c', 'd', 3, 0, 0, 0, 'x', 'y', 'z', 0});
    }
    SUBCASE("file, list and chunk headers") {
        CHECK(riff_WriteFileID(f.h(), RIFF_ID('W', 'A', 'V', 'E'), 0x01020304) == S_OK);
        CHECK(riff_WriteListHeader(f.h(), RIFF_ID('I', 'N', 'F', 'O'), 9) == S_OK);
        CHECK(riff_WriteChunkHeader(f.h(), RIFF_ID('d', 'a', 't', 'a'), 0x100) == S_OK);
        CHECK(f.Content() == Build().id("RIFF").u32(0x01020304).id("WAVE").id("LIST").u32(9).id("INFO")
                                 .id("data").u32(0x100).b);
    }
    SUBCASE("ANSI strings carry their zero and an even length") {
        CHECK(riff_WriteANSIString(f.h(), L"abc", &written) == S_OK);
        CHECK(written == 4);
        CHECK(riff_WriteANSIString(f.h(), L"abcd", &written) == S_OK);
        CHECK(written == 6);
        CHECK(riff_WriteANSIString(f.h(), nullptr, &written) == S_OK);
        CHECK(written == 2);
        CHECK(f.Content() == Bytes{'a', 'b', 'c', 0, 'a', 'b', 'c', 'd', 0, 0, 0, 0});
    }
    SUBCASE("placeholder sizes are patched afterwards") {
        REQUIRE(riff_WriteFileID(f.h(), RIFF_ID('T', 'E', 'S', 'T'), 0) == S_OK);
        REQUIRE(riff_WriteListHeader(f.h(), RIFF_ID('l', 'i', 's', 't'), 0) == S_OK);
        REQUIRE(riff_WriteChunk(f.h(), RIFF_ID('o', 'n', 'e', ' '), "12345", 5, &written) == S_OK);
        Patch(f.h(), 16, 4 + written);
        const uint32_t end = static_cast<uint32_t>(f.Pos());
        CHECK(riff_SetRIFFSize(f.h(), end - 8) == S_OK);
        CHECK(f.Pos() == end);
        Bytes expect = Build().id("RIFF").u32(30).id("TEST").list("list", 14).chunk("one ", 5).b;
        std::memcpy(expect.data() + 32, "12345", 5);
        CHECK(f.Content() == expect);
    }
}

TEST_CASE("RIFF size updates and the declared file size") {
    TestFile f(Build().id("RIFF").u32(100).id("TEST").b);
    f.Seek(9);
    CHECK(riff_UpdateRIFFSize(f.h(), -40) == S_OK);
    CHECK(U32At(f.Content(), 4) == 60);
    CHECK(f.Pos() == 9);
    CHECK(riff_UpdateRIFFSize(f.h(), -70) == S_OK); // wraps like the 32-bit field it is
    CHECK(U32At(f.Content(), 4) == 0xFFFFFFF6u);
    uint32_t total = 0;
    REQUIRE(riff_SetRIFFSize(f.h(), 100) == S_OK);
    CHECK(riff_GetFileSize(f.h(), &total) == S_OK);
    CHECK(total == 108);

    TestFile tiny(Bytes{'R', 'I', 'F', 'F', 1, 0});
    tiny.Seek(3);
    CHECK(riff_UpdateRIFFSize(tiny.h(), 1) == KV_E_READ);
    CHECK(tiny.Pos() == 3);
    CHECK(riff_GetFileSize(tiny.h(), &total) == KV_E_RIFF_NOT_RIFF);
}

TEST_CASE("reading file, list and chunk headers") {
    uint32_t id = 0, size = 0, form = 0;
    SUBCASE("file headers") {
        TestFile shortFile(Bytes{'R', 'I', 'F', 'F', 8, 0, 0});
        CHECK(riff_ReadFileID(shortFile.h(), &size, &form) == KV_E_RIFF_NOT_RIFF);
        TestFile noForm(Build().id("RIFF").u32(4).b);
        CHECK(riff_ReadFileID(noForm.h(), &size, &form) == KV_E_READ);
        TestFile other(Build().id("RIFX").u32(4).id("TEST").b);
        CHECK(riff_ReadFileID(other.h(), &size, &form) == KV_E_RIFF_NOT_RIFF);
        TestFile good(Build().id("RIFF").u32(30).id("TEST").b);
        CHECK(riff_ReadFileID(good.h(), &size, &form) == S_OK);
        CHECK(size == 26);
        CHECK(form == RIFF_ID('T', 'E', 'S', 'T'));
        CHECK(good.Pos() == 12);
    }
    SUBCASE("list and chunk headers") {
        TestFile f(Build().chunk("fmt ", 2).list("INFO", 0).id("half").b);
        CHECK(riff_ReadListHeader(f.h(), &id, &size) == KV_E_RIFF_NOT_LIST);
        f.Seek(0);
        CHECK(riff_ReadChunkHeader(f.h(), &id, &size) == S_OK);
        CHECK(id == RIFF_ID('f', 'm', 't', ' '));
        CHECK(f.Pos() == 8);
        f.Seek(10);
        CHECK(riff_ReadListHeader(f.h(), &id, &size) == S_OK);
        CHECK(id == RIFF_ID('I', 'N', 'F', 'O'));
        CHECK(size == 0);
        CHECK(riff_ReadChunkHeader(f.h(), &id, &size) == KV_E_READ);
    }
}

TEST_CASE("reading chunk data") {
    TestFile f(Build().chunk("a   ", 5, 'a').chunk("b   ", 6, 'b').b);
    char buffer[16] = {};
    SUBCASE("whole chunks pass their pad byte") {
        f.Seek(8);
        CHECK(riff_ReadData(f.h(), buffer, 5) == S_OK);
        CHECK(f.Pos() == 14);
        f.Seek(8);
        CHECK(riff_ReadDataBounded(f.h(), buffer, 5, 5) == S_OK);
        CHECK(f.Pos() == 14);
        f.Seek(8);
        CHECK(riff_ReadDataBounded(f.h(), buffer, 16, 5) == S_OK);
        CHECK(f.Pos() == 14);
        f.Seek(22);
        CHECK(riff_ReadDataBounded(f.h(), buffer, 4, 6) == S_OK); // longer: stays inside to read on
        CHECK(f.Pos() == 26);
        CHECK(riff_ReadData(f.h(), buffer, 3) == KV_E_READ);
    }
    SUBCASE("allocated blocks") {
        RIFF_DATABLOCK block{5, nullptr, nullptr};
        f.Seek(8);
        REQUIRE(riff_ReadDataAlloc(f.h(), &block) == S_OK);
        CHECK(std::memcmp(block.data, "aaaaa", 5) == 0);
        CHECK(GlobalSize(block.memory) >= 5);
        CHECK((GlobalFlags(block.memory) & GMEM_LOCKCOUNT) == 1);
        CHECK(f.Pos() == 14);
        riff_FreeDataBlock(&block);
        CHECK(block.memory == nullptr);
        block.size = 0;
        CHECK(riff_ReadDataAlloc(f.h(), &block) == S_OK);
        CHECK(block.data == nullptr);
        block.size = 15; // 14 bytes remain after offset 14
        CHECK(riff_ReadDataAlloc(f.h(), &block) == KV_E_READ);
        CHECK(block.memory == nullptr);
        block.size = 0x7FFFFFF0; // a damaged size: refused before anything is committed
        PROCESS_MEMORY_COUNTERS before{}, after{};
        GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
        CHECK(riff_ReadDataAlloc(f.h(), &block) == KV_E_READ);
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
        CHECK(after.PeakWorkingSetSize - before.PeakWorkingSetSize < 0x10000000u);
        CHECK(f.Pos() == 14);
    }
    SUBCASE("ANSI strings") {
        TestFile text(Build().id("name").u32(5).id("abcd").u32(0).id("next").b);
        wchar_t name[8] = {L'?'};
        uint32_t size = 5;
        text.Seek(8);
        CHECK(riff_ReadANSIString(text.h(), name, 8, &size) == S_OK);
        CHECK(std::wstring(name) == L"abcd");
        CHECK(text.Pos() == 14);
        size = 5;
        text.Seek(8);
        CHECK(riff_ReadANSIString(text.h(), name, 3, &size) == S_OK);
        CHECK(std::wstring(name) == L"ab");
        CHECK(text.Pos() == 14);
        size = 0;
        CHECK(riff_ReadANSIString(text.h(), name, 8, &size) == S_OK);
        CHECK(name[0] == 0);
    }
}

TEST_CASE("finding chunks and lists lowers the remaining count") {
    TestFile f(SampleFile());
    uint32_t size = 0;
    int32_t remaining = 7;
    f.Seek(12);
    CHECK(riff_FindChunkHeader(f.h(), RIFF_ID('t', 'a', 'i', 'l'), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(remaining == 7);
    CHECK(f.Pos() == 12);
    remaining = 1000;
    CHECK(riff_FindChunkHeader(f.h(), RIFF_ID('L', 'I', 'S', 'T'), &size, &remaining) == S_OK);
    CHECK(remaining == 1000 - (8 + 6 + 8));
    CHECK(size == 20);
    CHECK(f.Pos() == 34);
    f.Seek(12);
    remaining = 100;
    CHECK(riff_FindListChunk(f.h(), RIFF_ID('w', 'a', 'n', 't'), &size, &remaining) == S_OK);
    CHECK(remaining == 100 - 14 - 28 - 12);
    CHECK(size == 30);
    f.Seek(12);
    remaining = 14 + 28 + 8; // the wanted list's header fits, its type does not
    CHECK(riff_FindListChunk(f.h(), RIFF_ID('w', 'a', 'n', 't'), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(riff_FindChunkHeaderInRIFF(f.h(), RIFF_ID('t', 'a', 'i', 'l'), &size, &remaining) == S_OK);
    CHECK(remaining == 4);
    CHECK(riff_FindChunkHeaderInRIFF(f.h(), RIFF_ID('n', 'o', 'n', 'e'), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(riff_FindListChunkFromStart(f.h(), RIFF_ID('o', 't', 'h', 'r'), &size) == S_OK);
    CHECK(size == 16);
    f.Seek(12); // without a bound the walk ends at the end of the file
    CHECK(riff_FindChunkHeader(f.h(), RIFF_ID('n', 'o', 'n', 'e'), &size, nullptr) == KV_E_READ);
}

TEST_CASE("counting and seeking list entries") {
    TestFile f(SampleFile());
    uint32_t size = 0, count = 0, id = 0;
    REQUIRE(riff_FindListChunkFromStart(f.h(), RIFF_ID('w', 'a', 'n', 't'), &size) == S_OK);
    const uint64_t start = f.Pos();
    int32_t remaining = static_cast<int32_t>(size);
    CHECK(riff_GetNumListEntries(f.h(), &count, &remaining) == S_OK);
    CHECK(count == 3);
    CHECK(remaining == 30);
    CHECK(f.Pos() == start);
    CHECK(riff_SeekListEntry(f.h(), 0, &remaining) == S_OK);
    CHECK(f.Pos() == start);
    CHECK(riff_SeekListEntry(f.h(), 2, &remaining) == S_OK);
    CHECK(remaining == 30 - 10 - 12);
    REQUIRE(riff_ReadChunkHeader(f.h(), &id, &size) == S_OK);
    CHECK(id == RIFF_ID('e', '3', ' ', ' '));
    f.Seek(start);
    remaining = 30;
    CHECK(riff_SeekListEntry(f.h(), 4, &remaining) == KV_E_NOT_FOUND);

    TestFile cut(Build().chunk("one ", 2).id("two ").b); // second header cut short

    remaining = 40;
    CHECK(riff_GetNumListEntries(cut.h(), &count, &remaining) == KV_E_READ);
    CHECK(cut.Pos() == 0);
}

TEST_CASE("deleting a chunk moves the rest of the file down") {
    SUBCASE("an odd chunk with a tail longer than one copy block") {
        TestFile f(Wrap("TEST", Build().chunk("keep", 2).chunk("gone", 5).chunk("big ", 10000, 'b').b));
        uint32_t removed = 0;
        CHECK(riff_DeleteChunk(f.h(), RIFF_ID('g', 'o', 'n', 'e'), &removed, false) == S_OK);
        CHECK(removed == 14);
        CHECK(f.Content() == Wrap("TEST", Build().chunk("keep", 2).chunk("big ", 10000, 'b').b));
    }
    SUBCASE("a list") {
        TestFile f(SampleFile());
        const Bytes before = f.Content();
        uint32_t removed = 0;
        CHECK(riff_DeleteChunk(f.h(), RIFF_ID('w', 'a', 'n', 't'), &removed, true) == S_OK);
        CHECK(removed == 42);
        Bytes expect(before.begin(), before.begin() + 54);
        expect.insert(expect.end(), before.begin() + 96, before.end());
        const uint32_t riffSize = U32At(before, 4) - 42;
        std::memcpy(expect.data() + 4, &riffSize, 4);
        CHECK(f.Content() == expect);
        CHECK(riff_DeleteChunk(f.h(), RIFF_ID('w', 'a', 'n', 't'), &removed, true) == KV_E_NOT_FOUND);
        CHECK(removed == 0);
        CHECK(f.Content() == expect);
    }
}

TEST_CASE("walks stop at sizes that point backwards or past the end") {
    const uint32_t want = RIFF_ID('w', 'a', 'n', 't');
    uint32_t size = 0, count = 0, removed = 0;
    for (uint32_t bad : {200u, 0x7FFFFFF0u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        CAPTURE(bad);
        TestFile f(Wrap("TEST", Build().id("bad ").u32(bad).chunk("fill", 100).chunk("want", 2).b));
        const Bytes before = f.Content();
        int32_t remaining = INT32_MAX;
        f.Seek(12);
        CHECK(riff_FindChunkHeader(f.h(), want, &size, &remaining) == KV_E_READ);
        CHECK(f.Pos() <= before.size());
        f.Seek(12);
        CHECK(riff_GetNumListEntries(f.h(), &count, &remaining) == KV_E_READ);
        CHECK(f.Pos() == 12);
        CHECK(riff_SeekListEntry(f.h(), 2, nullptr) == KV_E_READ);
        CHECK(f.Pos() <= before.size());
        CHECK(riff_DeleteChunk(f.h(), want, &removed, false) == KV_E_READ);
        CHECK(f.Content() == before);
    }
    TestFile tiny(Wrap("TEST", Build().id("LIST").u32(2).id("othr").chunk("more", 8).b));
    CHECK(riff_FindListChunkFromStart(tiny.h(), want, &size) == KV_E_READ);
    CHECK(riff_DeleteChunk(tiny.h(), RIFF_ID('o', 't', 'h', 'r'), &removed, true) == KV_E_READ);

    // A final pad byte left out is tolerated: the walk ends at the end of the file.
    Bytes unpaddedBytes = Build().chunk("a   ", 2).chunk("last", 3).b;
    unpaddedBytes.pop_back();
    TestFile unpadded(unpaddedBytes);
    CHECK(riff_GetNumListEntries(unpadded.h(), &count, nullptr) == S_OK);
    CHECK(count == 2);
    CHECK(riff_FindChunkHeader(unpadded.h(), want, &size, nullptr) == KV_E_READ);
    CHECK(unpadded.Pos() == unpaddedBytes.size());
}

TEST_CASE("a WAVE file with an INFO list made by another program") {
    HANDLE h = CreateFileW(FixturePath("kernel/fixtures/info.wav").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    REQUIRE(h != INVALID_HANDLE_VALUE);
    uint32_t size = 0, total = 0, count = 0, id = 0;
    int32_t remaining = 0;
    LARGE_INTEGER length{};
    GetFileSizeEx(h, &length);
    CHECK(riff_GetFileSize(h, &total) == S_OK);
    CHECK(total == length.QuadPart);
    REQUIRE(riff_FindChunkHeaderInRIFF(h, RIFF_ID('f', 'm', 't', ' '), &size, &remaining) == S_OK);
    unsigned char format[16] = {};
    REQUIRE(riff_ReadDataBounded(h, format, sizeof format, size) == S_OK);
    remaining -= 16;
    CHECK(format[2] == 1);                  // channels
    CHECK(U32At(Bytes(format, format + 16), 4) == 8000); // sample rate
    CHECK(riff_FindChunkHeader(h, RIFF_ID('d', 'a', 't', 'a'), &size, &remaining) == S_OK);
    CHECK(size == 160);
    CHECK(remaining == 160); // data is the last chunk
    REQUIRE(riff_FindListChunkFromStart(h, RIFF_ID('I', 'N', 'F', 'O'), &size) == S_OK);
    remaining = static_cast<int32_t>(size);
    CHECK(riff_GetNumListEntries(h, &count, &remaining) == S_OK);
    CHECK(count == 2);
    CHECK(riff_SeekListEntry(h, 1, &remaining) == S_OK);
    REQUIRE(riff_ReadChunkHeader(h, &id, &size) == S_OK);
    CHECK(id == RIFF_ID('I', 'N', 'A', 'M'));
    wchar_t text[32];
    CHECK(riff_ReadANSIString(h, text, 32, &size) == S_OK);
    CHECK(std::wstring(text) == L"info fixture");
    CloseHandle(h);
}

TEST_CASE("a WAVE file from the writer reads back and is left for an outside reader") {
    TestFile f;
    uint32_t written = 0, size = 0;
    const unsigned char format[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0}; // PCM 8000 Hz mono
    short samples[16];
    for (int i = 0; i < 16; ++i) samples[i] = static_cast<short>(i * 1500 - 12000);
    REQUIRE(riff_WriteFileID(f.h(), RIFF_ID('W', 'A', 'V', 'E'), 0) == S_OK);
    REQUIRE(riff_WriteChunk(f.h(), RIFF_ID('f', 'm', 't', ' '), format, 16, &written) == S_OK);
    REQUIRE(riff_WriteListHeader(f.h(), RIFF_ID('I', 'N', 'F', 'O'), 0) == S_OK);
    REQUIRE(riff_WriteChunkHeader(f.h(), RIFF_ID('I', 'C', 'M', 'T'), 0) == S_OK);
    REQUIRE(riff_WriteANSIString(f.h(), L"riff tests", &written) == S_OK);
    Patch(f.h(), 52, 11); // the text with its zero, without the pad byte
    Patch(f.h(), 40, 4 + 8 + written);
    REQUIRE(riff_WriteChunkHeader(f.h(), RIFF_ID('d', 'a', 't', 'a'), 0) == S_OK);
    DWORD put = 0;
    REQUIRE(WriteFile(f.h(), samples, sizeof samples, &put, nullptr));
    Patch(f.h(), 72, sizeof samples);
    REQUIRE(riff_SetRIFFSize(f.h(), static_cast<uint32_t>(f.Pos() - 8)) == S_OK);

    const Bytes bytes = f.Content();
    uint32_t total = 0;
    CHECK(riff_GetFileSize(f.h(), &total) == S_OK);
    CHECK(total == bytes.size());
    REQUIRE(riff_FindListChunkFromStart(f.h(), RIFF_ID('I', 'N', 'F', 'O'), &size) == S_OK);
    int32_t remaining = static_cast<int32_t>(size);
    REQUIRE(riff_FindChunkHeader(f.h(), RIFF_ID('I', 'C', 'M', 'T'), &size, &remaining) == S_OK);
    wchar_t text[32];
    CHECK(riff_ReadANSIString(f.h(), text, 32, &size) == S_OK);
    CHECK(std::wstring(text) == L"riff tests");
    RIFF_DATABLOCK data{};
    REQUIRE(riff_FindChunkHeaderInRIFF(f.h(), RIFF_ID('d', 'a', 't', 'a'), &data.size, &remaining) == S_OK);
    REQUIRE(riff_ReadDataAlloc(f.h(), &data) == S_OK);
    CHECK(data.size == sizeof samples);
    CHECK(std::memcmp(data.data, samples, sizeof samples) == 0);
    riff_FreeDataBlock(&data);

    wchar_t outside[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"TARROW_RIFF_WAV", outside, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        DeleteFileW(outside);
        CHECK(WriteWholeFile(outside, bytes.data(), bytes.size()));
    }
}
