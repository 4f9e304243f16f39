// Byte-exact layouts written by WritePackageFile, and everything read back from them.
#include <doctest.h>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_builders.h"
#include "test_support.h"

using namespace pkgtest;

namespace {

const std::wstring kEchoId = L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}";

// The RIFF header and the format record of a version 1.1 package: 36 bytes.
Image Start(uint32_t riffSize, uint32_t plugIns, uint32_t chains) {
    return Image().Id("RIFF").U32(riffSize).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(plugIns).U32(chains)
        .U32(0);
}

// Writes the collections, compares the file with expected (unless empty), and reads everything back.
void RoundTrip(const PlugInList* plugIns, const ChainList* chains, const Bytes& expected) {
    testsupport::ScratchDir dir(L"pkgw");
    const std::wstring path = dir.file(L"out.kvpreset");
    REQUIRE(WritePackageFile(path.c_str(), plugIns, chains) == S_OK);
    if (!expected.empty()) CHECK(testsupport::ReadWholeFile(path) == expected);
    PlugInList none, readPlugIns;
    ChainList noChains, readChains;
    REQUIRE(ReadPackageFile(path.c_str(), &readPlugIns, &readChains) == S_OK);
    CHECK(CatalogueDifference(plugIns ? *plugIns : none, chains ? *chains : noChains, readPlugIns, readChains) == "");
}

} // namespace

TEST_CASE("packages without presets or chains") {
    PlugInList plugIns;
    ChainList chains;
    const Bytes empty = Start(28, 0, 0).b;
    REQUIRE(empty.size() == 36);
    RoundTrip(nullptr, nullptr, empty);
    RoundTrip(&plugIns, &chains, empty);
    // A plug-in without presets is counted but not written: an empty plgs list remains.
    plugIns.Append(MakePlugIn(L"Empty", kEchoId, {}));
    RoundTrip(&plugIns, &chains, Start(40, 1, 0).Id("LIST").U32(4).Id("plgs").b);
}

TEST_CASE("plug-ins: pad bytes after odd presets, empty plug-ins left out, tool headers with editor versions") {
    const Bytes a = Pattern(3, 1), b = Pattern(4, 2), c = Pattern(7, 3);
    PlugInList plugIns;
    ChainList chains;
    plugIns.Append(MakePlugIn(L"Empty", L"{0B9E44A2-1C3D-4E5F-8A7B-6C5D4E3F2A1B}", {}));
    plugIns.Append(MakePlugIn(L"Echo", kEchoId, {MakePreset(L"Short", a), MakePreset(L"Even", b)}));
    plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", c)},
                              PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 1));
    // Echo: psth 524 + 3 -> 528; pset 4 + 8 + 528 = 540; plst 4 + 2 * 548 = 1100; plug 4 + 624 + 1108 = 1736.
    // Reverb: psth 524 + 7 -> 532; pset 544; plst 556; plug 4 + 624 + 564 = 1192.
    // plgs 4 + 1744 + 1200 = 2948; RIFF 4 + 24 + 8 + 2948 = 2984.
    RoundTrip(&plugIns, &chains, Start(2984, 3, 0)
        .Id("LIST").U32(2948).Id("plgs")
        .Id("LIST").U32(1736).Id("plug").Id("plgh").U32(616).Raw(PlugInHeader(2, 0, kEchoId, L"Echo"))
        .Id("LIST").U32(1100).Id("plst")
        .Id("LIST").U32(540).Id("pset").Id("psth").U32(528).Text(L"Short", 260).U32(3).Raw(a).Zeros(1)
        .Id("LIST").U32(540).Id("pset").Id("psth").U32(528).Text(L"Even", 260).U32(4).Raw(b)
        .Id("LIST").U32(1192).Id("plug").Id("plgh").U32(616).Raw(PlugInHeader(1, 3, L"", L"Reverb", false, 9, 1))
        .Id("LIST").U32(556).Id("plst")
        .Id("LIST").U32(544).Id("pset").Id("psth").U32(532).Text(L"Hall", 260).U32(7).Raw(c).Zeros(1).b);
}

TEST_CASE("odd-length chains in a row declare a pad byte that is not stored, and long texts are cut") {
    const Bytes s1 = Pattern(3, 3), s2 = Pattern(5, 4), s3 = Pattern(2, 5);
    const std::wstring longName(300, L'n'), longId(50, L'i');
    ChainList chains;
    chains.Append(MakeChain(L"Vocal", L"chain-001", 0x11, 2, s1));
    chains.Append(MakeChain(longName, longId, 0x22, 3, s2));
    chains.Append(MakeChain(L"Bass", L"chain-003", 0x33, 4, s3));
    // chnh 616 + 3 -> 620, 616 + 5 -> 622, 618; chn  632, 634, 630; clst 4 + 640 + 642 + 638 = 1924;
    // RIFF 4 + 24 + 8 + 1924 = 1960, though the file holds two bytes less.
    RoundTrip(nullptr, &chains, Start(1960, 0, 3)
        .Id("LIST").U32(1924).Id("clst")
        .Id("LIST").U32(632).Id("chn ").Id("chnh").U32(620).Raw(ChainRecord(0x11, 2, L"Vocal", L"chain-001", s1))
        .Id("LIST").U32(634).Id("chn ").Id("chnh").U32(622)
        .Raw(ChainRecord(0x22, 3, longName.substr(0, 259), longId.substr(0, 39), s2))
        .Id("LIST").U32(630).Id("chn ").Id("chnh").U32(618).Raw(ChainRecord(0x33, 4, L"Bass", L"chain-003", s3)).b);
}
