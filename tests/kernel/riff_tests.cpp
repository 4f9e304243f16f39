// RIFF chunk I/O: damaged sizes never lead a walk out of the file; WAVE files read and written.
#include <doctest.h>
#include "riff.h"
#include "kvresult.h"
#include "test_support.h"
#include <cstring>
#include <string>

using namespace testsupport;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr uint32_t Id(const char (&s)[5]) { return RIFF_ID(s[0], s[1], s[2], s[3]); }

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
        id(s).u32(n).b.insert(b.end(), n + (n & 1), fill);
        if (n & 1) b.back() = 0;
        return *this;
    }
};

Bytes Wrap(const char* form, const Bytes& body) {
    Build all;
    all.id("RIFF").u32(static_cast<uint32_t>(body.size() + 4)).id(form).b.insert(all.b.end(), body.begin(), body.end());
    return all.b;
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

TEST_CASE("walks stop at sizes that point backwards or past the end") {
    uint32_t size = 0, count = 0, removed = 0;
    for (uint32_t bad : {119u, 200u, 0x7FFFFFF0u, 0xFFFFFFF8u, 0xFFFFFFFFu}) { // 119: two bytes past the end
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
    uint16_t format[8] = {};
    REQUIRE(riff_ReadDataBounded(h, format, sizeof format, size) == S_OK);
    remaining -= 16;
    CHECK(format[1] == 1);    // mono
    CHECK(format[2] == 8000); // Hz
    RIFF_DATABLOCK data{};
    REQUIRE(riff_FindChunkHeader(h, Id("data"), &data.size, &remaining) == S_OK);
    CHECK(data.size == dataSize);
    CHECK(remaining == static_cast<int32_t>(dataSize)); // data is the last chunk
    REQUIRE(riff_ReadDataAlloc(h, &data) == S_OK);
    if (samples) CHECK(std::memcmp(data.data, samples, dataSize) == 0);
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
