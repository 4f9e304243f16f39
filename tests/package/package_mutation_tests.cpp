// Deterministic mutations of valid packages: every one must read to success or a package failure code,
// without crashing, hanging or touching the caller's collections on failure.
#include <doctest.h>
#include <cstring>
#include <memory>
#include <random>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace pkgtest;
using testsupport::ReadWholeFile;
using testsupport::ScratchDir;

namespace {

constexpr int kMutationsPerSeed = 7000;

// Valid packages to start from: written by the program, and one laid out by hand in the old version.
std::vector<Bytes> SeedPackages(const ScratchDir& dir) {
    std::vector<Bytes> seeds;
    std::wstring path = dir.file(L"seed.kvpreset");
    {
        PlugInList plugIns;
        ChainList chains;
        plugIns.Append(MakePlugIn(L"Echo", L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}",
                                  {MakePreset(L"One", Pattern(3, 1)), MakePreset(L"Two", Pattern(8, 2))}));
        plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", Pattern(1, 3))}, PLUGIN_LATHMERE_TOOL, 6, 0));
        chains.Append(MakeChain(L"Vocal", L"c1", 1, 2, Pattern(5, 4)));
        chains.Append(MakeChain(L"Drums", L"c2", 3, 4, Pattern(2, 5)));
        REQUIRE(WritePackageFile(path.c_str(), &plugIns, &chains) == S_OK);
        seeds.push_back(ReadWholeFile(path));
    }
    {
        ChainList chains;
        for (int i = 0; i < 3; ++i) chains.Append(MakeChain(L"Chain", L"c", 0, 0, Pattern(7 + i, 6)));
        REQUIRE(WritePackageFile(path.c_str(), nullptr, &chains) == S_OK);
        seeds.push_back(ReadWholeFile(path));
    }
    seeds.push_back(Riff("KVPD", {Chunk("junk", Pattern(3, 1)),
                                  List("plgs", {List("plug", {Chunk("plgh", PlugInHeader10(0, L"{id}", L"Old")),
                                                              List("plst", {List("pset", {Chunk("psth", PresetRecord(L"p", Pattern(5, 7)))}),
                                                                            List("pset", {Chunk("psth", PresetRecord(L"q", Pattern(2, 8)))})})})}),
                                  Chunk("fmt ", FormatRecord(0x00010000, 1, 0))}));
    return seeds;
}

// Offsets of the size and length fields in an image: after each known identifier, and the data lengths.
std::vector<size_t> SizeFields(const Bytes& image) {
    static const char* ids[] = {"RIFF", "LIST", "fmt ", "plgh", "psth", "chnh", "junk"};
    std::vector<size_t> fields;
    for (size_t at = 0; at + 8 <= image.size(); ++at) {
        for (const char* id : ids) {
            if (memcmp(&image[at], id, 4) != 0) continue;
            fields.push_back(at + 4);
            if (!strcmp(id, "psth") && at + 8 + 524 <= image.size()) fields.push_back(at + 8 + 520);
            if (!strcmp(id, "chnh") && at + 8 + 616 <= image.size()) fields.push_back(at + 8 + 612);
        }
    }
    return fields;
}

uint32_t LoadU32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

void StoreU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes Mutate(const Bytes& seed, const std::vector<size_t>& fields, std::mt19937& random) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(random() % n) : 0; };
    switch (random() % 5) {
    case 0: // bit flips
        for (size_t i = 1 + pick(4); i > 0; --i) b[pick(b.size())] ^= static_cast<uint8_t>(1u << pick(8));
        break;
    case 1: // truncation
        b.resize(pick(b.size()));
        break;
    case 2: { // a size or length field set to a boundary or nearby value
        size_t at = fields[pick(fields.size())];
        static const uint32_t values[] = {0, 1, 3, 4, 7, 8, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u};
        uint32_t old = LoadU32(b, at);
        uint32_t deltas[] = {old + 1, old - 1, old + 2, old - 2, old + 8, old - 12, old * 2, old / 2};
        StoreU32(b, at, random() % 2 ? values[pick(std::size(values))] : deltas[pick(std::size(deltas))]);
        break;
    }
    case 3: { // a chunk-sized piece of the file copied over or into another place
        size_t from = fields[pick(fields.size())] - 4, length = 1 + pick(700);
        length = std::min(length, b.size() - from);
        Bytes piece(b.begin() + from, b.begin() + from + length);
        size_t to = pick(b.size());
        if (random() % 2) b.insert(b.begin() + to, piece.begin(), piece.end());
        else std::copy(piece.begin(), piece.begin() + std::min(piece.size(), b.size() - to), b.begin() + to);
        break;
    }
    default: // a stretch of bytes removed
        {
            size_t from = pick(b.size()), length = 1 + pick(64);
            b.erase(b.begin() + from, b.begin() + std::min(b.size(), from + length));
        }
        break;
    }
    return b;
}

bool IsPackageResult(HRESULT hr) {
    return hr == S_OK || hr == KV_E_READ || hr == KV_E_NOT_FOUND || hr == KV_E_UNSUPPORTED || hr == KV_E_OUTOFMEMORY;
}

} // namespace

TEST_CASE("mutated packages read to success or a package failure and never change the caller's lists") {
    ScratchDir dir(L"pkg-mutations");
    std::vector<Bytes> seeds = SeedPackages(dir);
    std::wstring path = dir.file(L"mutant.kvpreset");
    std::mt19937 random(20240611u);
    int successes = 0, failures = 0, total = 0;
    for (const Bytes& seed : seeds) {
        REQUIRE(!seed.empty());
        std::vector<size_t> fields = SizeFields(seed);
        REQUIRE(fields.size() >= 8);
        for (int i = 0; i < kMutationsPerSeed; ++i) {
            Bytes mutant = Mutate(seed, fields, random);
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            REQUIRE(file != INVALID_HANDLE_VALUE);
            DWORD put = 0;
            if (!mutant.empty()) WriteFile(file, mutant.data(), static_cast<DWORD>(mutant.size()), &put, nullptr);
            CloseHandle(file);

            PlugInList plugIns;
            ChainList chains;
            plugIns.Append(MakePlugIn(L"Mine", L"{x}", {MakePreset(L"kept", Pattern(2, 2))}));
            HRESULT hr = ReadPackageFile(path.c_str(), &plugIns, &chains);
            ++total;
            if (!IsPackageResult(hr)) {
                CAPTURE(i);
                CAPTURE(hr);
                FAIL("unexpected result");
            }
            if (hr == S_OK) {
                ++successes;
                CHECK(std::wstring(plugIns.At(0)->name) == L"Mine");
            } else {
                ++failures;
                if (plugIns.Count() != 1 || chains.Count() != 0) FAIL("a failed read changed the caller's lists");
            }
        }
    }
    CHECK(total >= 20000);
    MESSAGE("mutations read: " << total << ", successes " << successes << ", failures " << failures);
    // Both outcomes must occur, or the mutations are not reaching the reader's logic.
    CHECK(successes > 100);
    CHECK(failures > 1000);
}
