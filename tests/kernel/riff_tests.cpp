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

constexpr uint32_t Id(const char (&s)[5]) { return RIFF_ID(s[0], s[1], s[2], s[3]); }

// Builds RIFF bytes by hand, independently of the writer under test.
struct Build {
    Bytes b;
    Build& id(const char* s) { b.insert(b.end(), s, s + 4); return *this; }
    Build& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
    Build& chunk(const char* s, uint32_t n, unsigned char fill = 'x') {
        id(s).u32(n).b.insert(b.end(), n + (n & 1), fill);
        if (n & 1) b.back() = 0;
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
struct TestFile {
    HANDLE h;
    explicit TestFile(const Bytes& content = {}) {
        static ScratchDir dir(L"riff");
        static int serial = 0;
        h = CreateFileW(dir.file(L"f" + std::to_wstring(++serial)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        CREATE_ALWAYS, 0, nullptr);
        REQUIRE(h != INVALID_HANDLE_VALUE);
        DWORD put = 0;
        REQUIRE(WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &put, nullptr));
        Seek(0);
    }
    ~TestFile() { CloseHandle(h); }
    uint64_t Pos() const {
        LARGE_INTEGER now{};
        return SetFilePointerEx(h, LARGE_INTEGER{}, &now, FILE_CURRENT) ? static_cast<uint64_t>(now.QuadPart) : ~0ull;
    }
    void Seek(uint64_t at) const { SetFilePointerEx(h, LARGE_INTEGER{.QuadPart = static_cast<LONGLONG>(at)}, nullptr, FILE_BEGIN); }
    Bytes Content() const { // leaves the position where it was
        const uint64_t keep = Pos();
        Bytes all(GetFileSize(h, nullptr));
        DWORD got = 0;
        Seek(0);
        ReadFile(h, all.data(), static_cast<DWORD>(all.size()), &got, nullptr);
        Seek(keep);
        return all;
    }
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

TEST_CASE("positions, skipping, length checks and the RIFF size") {
    CHECK(Id("fmt ") == 0x20746D66u);
    TestFile f(Build().chunk("abcd", 40).b);
    uint32_t saved = 0;
    f.Seek(21);
    CHECK(riff_SaveLocation(f.h, &saved) == S_OK);
    CHECK(saved == 21);
    CHECK(riff_SeekDataStart(f.h) == S_OK);
    CHECK(f.Pos() == 12);
    CHECK(riff_RestoreLocation(f.h, saved) == S_OK);
    CHECK(f.Pos() == 21);
    CHECK(riff_SkipChunk(f.h, 7) == 8);
    CHECK(f.Pos() == 29);
    CHECK(riff_SkipChunk(f.h, 0) == 0);
    CHECK(f.Pos() == 29);
    CHECK(riff_ValidateChunkHeader(nullptr, -1) == KV_E_RIFF_NEG_LENGTH);
    CHECK(riff_ValidateChunkHeader(nullptr, 0) == KV_E_RIFF_ZERO_LENGTH);
    CHECK(riff_ValidateChunkHeader(nullptr, 1) == S_OK);

    TestFile sized(Build().id("RIFF").u32(100).id("TEST").b);
    sized.Seek(9);
    CHECK(riff_UpdateRIFFSize(sized.h, -40) == S_OK);
    CHECK(U32At(sized.Content(), 4) == 60);
    CHECK(sized.Pos() == 9);
    CHECK(riff_UpdateRIFFSize(sized.h, -70) == S_OK);
    CHECK(U32At(sized.Content(), 4) == 0xFFFFFFF6u); // wraps, as 32 bits do
    uint32_t total = 0;
    REQUIRE(riff_SetRIFFSize(sized.h, 100) == S_OK);
    CHECK(riff_GetFileSize(sized.h, &total) == S_OK);
    CHECK(total == 108);
    TestFile tiny(Bytes{'R', 'I', 'F', 'F', 1, 0});
    tiny.Seek(3);
    CHECK(riff_UpdateRIFFSize(tiny.h, 1) == KV_E_READ);
    CHECK(tiny.Pos() == 3);
    CHECK(riff_GetFileSize(tiny.h, &total) == KV_E_RIFF_NOT_RIFF);
}

TEST_CASE("writers lay out headers, data and pad bytes") {
    TestFile f;
    uint32_t written = 0;
    SUBCASE("a 3-byte chunk takes 12 bytes; ANSI strings carry their zero and an even length") {
        CHECK(riff_WriteChunk(f.h, Id("abcd"), "xyz", 3, &written) == S_OK);
        CHECK(written == 12);
        CHECK(riff_WriteANSIString(f.h, L"abc", &written) == S_OK);
        CHECK(written == 4);
        CHECK(riff_WriteANSIString(f.h, L"abcd", &written) == S_OK);
        CHECK(written == 6);
        CHECK(riff_WriteANSIString(f.h, nullptr, &written) == S_OK);
        CHECK(written == 2);
        CHECK(f.Content() == Bytes{'a', 'b', 'c', 'd', 3, 0, 0, 0, 'x', 'y', 'z', 0, 'a', 'b', 'c', 0,
                                   'a', 'b', 'c', 'd', 0, 0, 0, 0});
    }
    SUBCASE("file, list and chunk headers") {
        CHECK(riff_WriteFileID(f.h, Id("WAVE"), 0x01020304) == S_OK);
        CHECK(riff_WriteListHeader(f.h, Id("INFO"), 9) == S_OK);
        CHECK(riff_WriteChunkHeader(f.h, Id("data"), 0x100) == S_OK);
        CHECK(f.Content() == Build().id("RIFF").u32(0x01020304).id("WAVE").id("LIST").u32(9).id("INFO")
                                 .id("data").u32(0x100).b);
    }
}

TEST_CASE("reading headers and data") {
    uint32_t id = 0, size = 0, form = 0;
    SUBCASE("file headers") {
        const struct { Bytes bytes; HRESULT expected; } rows[] = {
            {Bytes{'R', 'I', 'F', 'F', 8, 0, 0}, KV_E_RIFF_NOT_RIFF},
            {Build().id("RIFF").u32(4).b, KV_E_READ},
            {Build().id("RIFX").u32(4).id("TEST").b, KV_E_RIFF_NOT_RIFF},
            {Build().id("RIFF").u32(30).id("TEST").b, S_OK},
        };
        for (const auto& row : rows) {
            CAPTURE(row.bytes.size());
            TestFile f(row.bytes);
            CHECK(riff_ReadFileID(f.h, &size, &form) == row.expected);
        }
        CHECK(size == 26);
        CHECK(form == Id("TEST"));
    }
    SUBCASE("list and chunk headers") {
        TestFile f(Build().chunk("fmt ", 2).list("INFO", 0).id("half").b);
        CHECK(riff_ReadListHeader(f.h, &id, &size) == KV_E_RIFF_NOT_LIST);
        f.Seek(0);
        CHECK(riff_ReadChunkHeader(f.h, &id, &size) == S_OK);
        CHECK(id == Id("fmt "));
        CHECK(f.Pos() == 8);
        f.Seek(10);
        CHECK(riff_ReadListHeader(f.h, &id, &size) == S_OK);
        CHECK(id == Id("INFO"));
        CHECK(size == 0);
        CHECK(riff_ReadChunkHeader(f.h, &id, &size) == KV_E_READ);
    }
    SUBCASE("whole chunks pass their pad byte") {
        TestFile f(Build().chunk("a   ", 5, 'a').chunk("b   ", 6, 'b').b);
        char buffer[16] = {};
        const struct { uint64_t at; uint32_t capacity, size; uint64_t after; } rows[] = {
            {8, 5, 5, 14}, {8, 16, 5, 14}, {22, 4, 6, 26}, // longer than the buffer: stays inside to read on
        };
        for (const auto& row : rows) {
            CAPTURE(row.capacity);
            f.Seek(row.at);
            CHECK(riff_ReadDataBounded(f.h, buffer, row.capacity, row.size) == S_OK);
            CHECK(f.Pos() == row.after);
        }
        f.Seek(8);
        CHECK(riff_ReadData(f.h, buffer, 5) == S_OK);
        CHECK(f.Pos() == 14);
        CHECK(std::memcmp(buffer, "aaaaa", 5) == 0);
        f.Seek(26);
        CHECK(riff_ReadData(f.h, buffer, 3) == KV_E_READ);
    }
    SUBCASE("allocated blocks, and the refusal of a damaged size") {
        TestFile f(Build().chunk("a   ", 5, 'a').chunk("b   ", 6, 'b').b);
        RIFF_DATABLOCK block{5, nullptr, nullptr};
        f.Seek(8);
        REQUIRE(riff_ReadDataAlloc(f.h, &block) == S_OK);
        CHECK(std::memcmp(block.data, "aaaaa", 5) == 0);
        CHECK(GlobalSize(block.memory) >= 5);
        CHECK(f.Pos() == 14);
        CHECK((GlobalFlags(block.memory) & GMEM_LOCKCOUNT) == 1);
        riff_FreeDataBlock(&block);
        CHECK(block.memory == nullptr);
        block.size = 0;
        CHECK(riff_ReadDataAlloc(f.h, &block) == S_OK);
        CHECK(block.data == nullptr);
        block.size = 15; // 14 bytes remain after offset 14
        CHECK(riff_ReadDataAlloc(f.h, &block) == KV_E_READ);
        CHECK(block.memory == nullptr);
        block.size = 0x7FFFFFF0; // refused before anything is committed
        PROCESS_MEMORY_COUNTERS before{}, after{};
        GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
        CHECK(riff_ReadDataAlloc(f.h, &block) == KV_E_READ);
        GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
        CHECK(after.PeakWorkingSetSize - before.PeakWorkingSetSize < 0x10000000u);
        CHECK(f.Pos() == 14);
    }
    SUBCASE("ANSI strings are cut to the buffer and pass the whole chunk") {
        TestFile text(Build().id("name").u32(5).id("abcd").u32(0).id("next").b);
        wchar_t name[8] = {L'?'};
        for (uint32_t length : {8u, 3u}) {
            uint32_t chunk = 5;
            text.Seek(8);
            CHECK(riff_ReadANSIString(text.h, name, length, &chunk) == S_OK);
            CHECK(text.Pos() == 14);
            CHECK(std::wstring(name) == std::wstring(L"abcd").substr(0, length - 1));
        }
        size = 0;
        CHECK(riff_ReadANSIString(text.h, name, 8, &size) == S_OK);
        CHECK(name[0] == 0);
    }
}

TEST_CASE("finding, counting and seeking lower the remaining count") {
    TestFile f(SampleFile());
    uint32_t size = 0, count = 0, id = 0;
    int32_t remaining = 7;
    f.Seek(12);
    CHECK(riff_FindChunkHeader(f.h, Id("tail"), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(remaining == 7);
    CHECK(f.Pos() == 12);
    remaining = 1000;
    CHECK(riff_FindChunkHeader(f.h, Id("LIST"), &size, &remaining) == S_OK);
    CHECK(remaining == 1000 - (8 + 6 + 8));
    CHECK(size == 20);
    CHECK(f.Pos() == 34);
    f.Seek(12);
    remaining = 100;
    CHECK(riff_FindListChunk(f.h, Id("want"), &size, &remaining) == S_OK);
    CHECK(remaining == 100 - 14 - 28 - 12);
    CHECK(size == 30);
    f.Seek(12);
    remaining = 14 + 28 + 8; // the wanted list's header fits, its type does not
    CHECK(riff_FindListChunk(f.h, Id("want"), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(riff_FindChunkHeaderInRIFF(f.h, Id("tail"), &size, &remaining) == S_OK);
    CHECK(remaining == 4);
    CHECK(riff_FindChunkHeaderInRIFF(f.h, Id("none"), &size, &remaining) == KV_E_NOT_FOUND);
    CHECK(riff_FindListChunkFromStart(f.h, Id("othr"), &size) == S_OK);
    CHECK(size == 16);
    f.Seek(12); // without a bound the walk ends at the end of the file
    CHECK(riff_FindChunkHeader(f.h, Id("none"), &size, nullptr) == KV_E_READ);

    REQUIRE(riff_FindListChunkFromStart(f.h, Id("want"), &size) == S_OK);
    const uint64_t start = f.Pos();
    remaining = static_cast<int32_t>(size);
    CHECK(riff_GetNumListEntries(f.h, &count, &remaining) == S_OK);
    CHECK(count == 3);
    CHECK(remaining == 30);
    CHECK(f.Pos() == start);
    CHECK(riff_SeekListEntry(f.h, 0, &remaining) == S_OK);
    CHECK(f.Pos() == start);
    CHECK(riff_SeekListEntry(f.h, 2, &remaining) == S_OK);
    CHECK(remaining == 30 - 10 - 12);
    CHECK(riff_ReadChunkHeader(f.h, &id, &size) == S_OK);
    CHECK(id == Id("e3  "));
    f.Seek(start);
    remaining = 30;
    CHECK(riff_SeekListEntry(f.h, 4, &remaining) == KV_E_NOT_FOUND);
    TestFile cut(Build().chunk("one ", 2).id("two ").b); // second header cut short
    remaining = 40;
    CHECK(riff_GetNumListEntries(cut.h, &count, &remaining) == KV_E_READ);
    CHECK(cut.Pos() == 0);
}

TEST_CASE("deleting a chunk moves the rest of the file down") {
    uint32_t removed = 0;
    TestFile odd(Wrap("TEST", Build().chunk("keep", 2).chunk("gone", 5).chunk("big ", 10000, 'b').b));
    CHECK(riff_DeleteChunk(odd.h, Id("gone"), &removed, false) == S_OK);
    CHECK(removed == 14);
    CHECK(odd.Content() == Wrap("TEST", Build().chunk("keep", 2).chunk("big ", 10000, 'b').b));

    TestFile f(SampleFile());
    const Bytes before = f.Content();
    CHECK(riff_DeleteChunk(f.h, Id("want"), &removed, true) == S_OK);
    CHECK(removed == 42);
    Bytes expect(before.begin(), before.begin() + 54);
    expect.insert(expect.end(), before.begin() + 96, before.end());
    const uint32_t riffSize = U32At(before, 4) - 42;
    std::memcpy(expect.data() + 4, &riffSize, 4);
    CHECK(f.Content() == expect);
    CHECK(riff_DeleteChunk(f.h, Id("want"), &removed, true) == KV_E_NOT_FOUND);
    CHECK(removed == 0);
    CHECK(f.Content() == expect);
}

TEST_CASE("walks stop at sizes that point backwards or past the end") {
    uint32_t size = 0, count = 0, removed = 0;
    for (uint32_t bad : {200u, 0x7FFFFFF0u, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        CAPTURE(bad);
        TestFile f(Wrap("TEST", Build().id("bad ").u32(bad).chunk("fill", 100).chunk("want", 2).b));
        const Bytes before = f.Content();
        int32_t remaining = INT32_MAX;
        f.Seek(12);
        CHECK(riff_FindChunkHeader(f.h, Id("want"), &size, &remaining) == KV_E_READ);
        CHECK(f.Pos() <= before.size());
        f.Seek(12);
        CHECK(riff_GetNumListEntries(f.h, &count, &remaining) == KV_E_READ);
        CHECK(f.Pos() == 12);
        CHECK(riff_SeekListEntry(f.h, 2, nullptr) == KV_E_READ);
        CHECK(f.Pos() <= before.size());
        CHECK(riff_DeleteChunk(f.h, Id("want"), &removed, false) == KV_E_READ);
        CHECK(f.Content() == before);
    }
    TestFile tiny(Wrap("TEST", Build().id("LIST").u32(2).id("othr").chunk("more", 8).b));
    CHECK(riff_FindListChunkFromStart(tiny.h, Id("want"), &size) == KV_E_READ);
    CHECK(riff_DeleteChunk(tiny.h, Id("othr"), &removed, true) == KV_E_READ);
    // A final pad byte left out is tolerated: the walk ends at the end of the file.
    Bytes unpaddedBytes = Build().chunk("a   ", 2).chunk("last", 3).b;
    unpaddedBytes.pop_back();
    TestFile unpadded(unpaddedBytes);
    CHECK(riff_GetNumListEntries(unpadded.h, &count, nullptr) == S_OK);
    CHECK(count == 2);
    CHECK(riff_FindChunkHeader(unpadded.h, Id("want"), &size, nullptr) == KV_E_READ);
    CHECK(unpadded.Pos() == unpaddedBytes.size());
}

// Walks a mono 8000 Hz WAVE file: fmt, the data chunk (compared when samples are given), one INFO entry's text.
static void CheckWave(HANDLE h, const void* samples, uint32_t dataSize, uint32_t entry, uint32_t entryCount, const wchar_t* text) {
    uint32_t size = 0, total = 0, count = 0, id = 0;
    int32_t remaining = 0;
    CHECK(riff_GetFileSize(h, &total) == S_OK);
    CHECK(total == GetFileSize(h, nullptr));
    REQUIRE(riff_FindChunkHeaderInRIFF(h, Id("fmt "), &size, &remaining) == S_OK);
    unsigned char format[16] = {};
    REQUIRE(riff_ReadDataBounded(h, format, sizeof format, size) == S_OK);
    remaining -= 16;
    CHECK(format[2] == 1);
    CHECK(U32At(Bytes(format, format + 16), 4) == 8000); // mono, 8000 Hz
    RIFF_DATABLOCK data{};
    REQUIRE(riff_FindChunkHeader(h, Id("data"), &data.size, &remaining) == S_OK);
    CHECK(data.size == dataSize);
    CHECK(remaining == static_cast<int32_t>(dataSize)); // data is the last chunk
    REQUIRE(riff_ReadDataAlloc(h, &data) == S_OK);
    CHECK((samples == nullptr || std::memcmp(data.data, samples, dataSize) == 0));
    riff_FreeDataBlock(&data);
    REQUIRE(riff_FindListChunkFromStart(h, Id("INFO"), &size) == S_OK);
    remaining = static_cast<int32_t>(size);
    CHECK(riff_GetNumListEntries(h, &count, &remaining) == S_OK);
    CHECK(count == entryCount);
    CHECK(riff_SeekListEntry(h, entry, &remaining) == S_OK);
    REQUIRE(riff_ReadChunkHeader(h, &id, &size) == S_OK);
    wchar_t read[32];
    CHECK(riff_ReadANSIString(h, read, 32, &size) == S_OK);
    CHECK(std::wstring(read) == text);
}

TEST_CASE("a WAVE file with an INFO list made by another program") {
    HANDLE h = CreateFileW(FixturePath("kernel/fixtures/info.wav").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    REQUIRE(h != INVALID_HANDLE_VALUE);
    CheckWave(h, nullptr, 160, 1, 2, L"info fixture");
    CloseHandle(h);
}

TEST_CASE("a WAVE file from the writer reads back and is left for an outside reader") {
    TestFile f;
    uint32_t written = 0;
    const unsigned char format[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0}; // PCM 8000 Hz mono
    short samples[16];
    for (int i = 0; i < 16; ++i) samples[i] = static_cast<short>(i * 1500 - 12000);
    REQUIRE(riff_WriteFileID(f.h, Id("WAVE"), 0) == S_OK);
    REQUIRE(riff_WriteChunk(f.h, Id("fmt "), format, 16, &written) == S_OK);
    REQUIRE(riff_WriteListHeader(f.h, Id("INFO"), 0) == S_OK);
    REQUIRE(riff_WriteChunkHeader(f.h, Id("ICMT"), 0) == S_OK);
    REQUIRE(riff_WriteANSIString(f.h, L"riff tests", &written) == S_OK);
    Patch(f.h, 52, 11); // the text with its zero, without the pad byte
    Patch(f.h, 40, 4 + 8 + written);
    REQUIRE(riff_WriteChunkHeader(f.h, Id("data"), 0) == S_OK);
    DWORD put = 0;
    REQUIRE(WriteFile(f.h, samples, sizeof samples, &put, nullptr));
    Patch(f.h, 72, sizeof samples);
    REQUIRE(riff_SetRIFFSize(f.h, static_cast<uint32_t>(f.Pos() - 8)) == S_OK);
    const Bytes bytes = f.Content();
    CheckWave(f.h, samples, sizeof samples, 0, 1, L"riff tests");

    wchar_t outside[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"TARROW_RIFF_WAV", outside, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        DeleteFileW(outside);
        CHECK(WriteWholeFile(outside, bytes.data(), bytes.size()));
    }
}
