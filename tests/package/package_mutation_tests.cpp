// Deterministic mutations of valid packages: every one must read to success or a package failure code,
// without crashing, hanging or touching the caller's collections on failure.
#include <doctest.h>
#include <algorithm>
#include <random>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_builders.h"
#include "test_support.h"

using namespace pkgtest;

namespace {

// Valid packages to start from: two written by the program, and one laid out by hand in the old version.
std::vector<Bytes> SeedPackages(const std::wstring& path) {
    PlugInList plugIns;
    ChainList chains, moreChains;
    plugIns.Append(MakePlugIn(L"Echo", L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}",
                              {MakePreset(L"One", Pattern(3, 1)), MakePreset(L"Two", Pattern(8, 2))}));
    plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", Pattern(1, 3))}, PLUGIN_LATHMERE_TOOL, 6, 0));
    chains.Append(MakeChain(L"Vocal", L"c1", 1, 2, Pattern(5, 4)));
    chains.Append(MakeChain(L"Drums", L"c2", 3, 4, Pattern(2, 5)));
    for (int i = 0; i < 3; ++i) moreChains.Append(MakeChain(L"Chain", L"c", 0, 0, Pattern(7 + i, 6)));
    std::vector<Bytes> seeds;
    REQUIRE(WritePackageFile(path.c_str(), &plugIns, &chains) == S_OK);
    seeds.push_back(testsupport::ReadWholeFile(path));
    REQUIRE(WritePackageFile(path.c_str(), nullptr, &moreChains) == S_OK);
    seeds.push_back(testsupport::ReadWholeFile(path));
    seeds.push_back(Riff({Chunk("junk", Pattern(3, 1)),
        List("plgs", {List("plug", {Chunk("plgh", PlugInHeader(2, 0, L"{id}", L"Old", true)),
            List("plst", {List("pset", {Chunk("psth", PresetRecord(L"p", Pattern(5, 7)))}),
                          List("pset", {Chunk("psth", PresetRecord(L"q", Pattern(2, 8)))})})})}),
        Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_0, 1, 0))}));
    return seeds;
}

// Offsets of size fields (after each known identifier) and of the data lengths inside records.
std::vector<size_t> SizeFields(const Bytes& image) {
    std::vector<size_t> fields;
    for (size_t at = 0; at + 8 <= image.size(); ++at) {
        for (const char* id : {"RIFF", "LIST", "fmt ", "plgh", "psth", "chnh", "junk"}) {
            if (memcmp(&image[at], id, 4) != 0) continue;
            fields.push_back(at + 4);
            size_t record = !strcmp(id, "psth") ? 520 : !strcmp(id, "chnh") ? 612 : 0;
            if (record && at + 12 + record <= image.size()) fields.push_back(at + 8 + record);
        }
    }
    return fields;
}

Bytes Mutate(const Bytes& seed, const std::vector<size_t>& fields, std::mt19937& random) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n ? size_t(random() % n) : 0; };
    switch (random() % 5) {
    case 0: // bit flips
        for (size_t i = 1 + pick(4); i > 0; --i) b[pick(b.size())] ^= uint8_t(1u << pick(8));
        break;
    case 1: // truncation
        b.resize(pick(b.size()));
        break;
    case 2: { // a size or length field set to a boundary or a value near its own
        size_t at = fields[pick(fields.size())];
        uint32_t old = b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
        const uint32_t values[] = {0, 1, 3, 4, 7, 8, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u,
                                   old + 1, old - 1, old + 2, old - 2, old + 8, old - 12, old * 2, old / 2};
        uint32_t v = values[random() % 2 ? pick(10) : 10 + pick(8)];
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
        break;
    }
    case 3: { // a piece starting at a chunk copied over or into another place
        size_t from = fields[pick(fields.size())] - 4, length = std::min(1 + pick(700), b.size() - from);
        Bytes piece(b.begin() + from, b.begin() + from + length);
        size_t to = pick(b.size());
        if (random() % 2) b.insert(b.begin() + to, piece.begin(), piece.end());
        else std::copy(piece.begin(), piece.begin() + std::min(piece.size(), b.size() - to), b.begin() + to);
        break;
    }
    default: { // a stretch of bytes removed
        size_t from = pick(b.size());
        b.erase(b.begin() + from, b.begin() + std::min(b.size(), from + 1 + pick(64)));
    }
    }
    return b;
}

} // namespace

TEST_CASE("mutated packages read to success or a package failure and never change the caller's lists") {
    testsupport::ScratchDir dir(L"pkg-mutations");
    const std::wstring path = dir.file(L"mutant.kvpreset");
    std::mt19937 random(20240611u);
    int successes = 0, failures = 0;
    for (const Bytes& seed : SeedPackages(path)) {
        const std::vector<size_t> fields = SizeFields(seed);
        for (int i = 0; i < 7000; ++i) {
            Bytes mutant = Mutate(seed, fields, random);
            REQUIRE(testsupport::WriteWholeFile(path, mutant.data(), mutant.size()));
            PlugInList plugIns;
            ChainList chains;
            plugIns.Append(MakePlugIn(L"Mine", L"{x}", {MakePreset(L"kept", Pattern(2, 2))}));
            HRESULT hr = ReadPackageFile(path.c_str(), &plugIns, &chains);
            if (hr == S_OK) {
                ++successes;
                if (std::wstring(plugIns.At(0)->name) != L"Mine") FAIL("a read replaced the caller's entries");
                continue;
            }
            ++failures;
            if (hr != KV_E_READ && hr != KV_E_NOT_FOUND && hr != KV_E_UNSUPPORTED && hr != KV_E_OUTOFMEMORY)
                FAIL("mutation " << i << " read to " << hr);
            if (plugIns.Count() != 1 || chains.Count() != 0) FAIL("a failed read changed the caller's lists");
        }
    }
    MESSAGE("mutations read: successes " << successes << ", failures " << failures);
    // Both outcomes must occur, or the mutations are not reaching the reader's logic.
    CHECK(successes > 100);
    CHECK(failures > 1000);
}
