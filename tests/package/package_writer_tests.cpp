// Byte-exact layouts written by WritePackageFile, and reading each of them back.
#include <doctest.h>
#include <memory>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace pkgtest;
using testsupport::ReadWholeFile;
using testsupport::ScratchDir;

namespace {

const std::wstring kEchoId = L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}";
const std::wstring kDelayId = L"{0B9E44A2-1C3D-4E5F-8A7B-6C5D4E3F2A1B}";

struct Collections {
    std::unique_ptr<PlugInList> plugIns = std::make_unique<PlugInList>();
    std::unique_ptr<ChainList> chains = std::make_unique<ChainList>();
};

Bytes WriteAndLoad(const ScratchDir& dir, const PlugInList* plugIns, const ChainList* chains) {
    std::wstring path = dir.file(L"out.kvpreset");
    REQUIRE(WritePackageFile(path.c_str(), plugIns, chains) == S_OK);
    return ReadWholeFile(path);
}

Collections ReadBack(const ScratchDir& dir) {
    Collections read;
    std::wstring path = dir.file(L"out.kvpreset");
    REQUIRE(ReadPackageFile(path.c_str(), read.plugIns.get(), read.chains.get()) == S_OK);
    return read;
}

} // namespace

TEST_CASE("an empty package is the 36-byte header and format record") {
    ScratchDir dir(L"pkgw-empty");
    const Bytes expected = Image().Id("RIFF").U32(28).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(0).U32(0)
                               .U32(0).b;
    SUBCASE("from empty collections") {
        Collections source;
        CHECK(WriteAndLoad(dir, source.plugIns.get(), source.chains.get()) == expected);
    }
    SUBCASE("from absent collections") {
        CHECK(WriteAndLoad(dir, nullptr, nullptr) == expected);
    }
    Collections read = ReadBack(dir);
    CHECK(read.plugIns->Count() == 0);
    CHECK(read.chains->Count() == 0);
}

TEST_CASE("an odd-length preset keeps its pad byte and the next preset follows it") {
    ScratchDir dir(L"pkgw-presets");
    const Bytes a = Pattern(3, 1), b = Pattern(4, 2);
    Collections source;
    source.plugIns->Append(MakePlugIn(L"Echo", kEchoId, {MakePreset(L"Short", a), MakePreset(L"Even", b)}));

    // psth 524 + 3 = 527, declared 528; pset 4 + 8 + 528 = 540; plst 4 + 2 * (8 + 540) = 1100;
    // plug 4 + (8 + 616) + (8 + 1100) = 1736; plgs 4 + 8 + 1736 = 1748; RIFF 4 + 24 + 8 + 1748 = 1784.
    const Bytes expected = Image().Id("RIFF").U32(1784).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(1).U32(0)
                               .U32(0)
                               .Id("LIST").U32(1748).Id("plgs")
                               .Id("LIST").U32(1736).Id("plug")
                               .Id("plgh").U32(616).Raw(PlugInHeader11(0, 0, 0, kEchoId, L"Echo", 2))
                               .Id("LIST").U32(1100).Id("plst")
                               .Id("LIST").U32(540).Id("pset").Id("psth").U32(528).Text(L"Short", 260).U32(3).Raw(a)
                               .Zeros(1)
                               .Id("LIST").U32(540).Id("pset").Id("psth").U32(528).Text(L"Even", 260).U32(4).Raw(b)
                               .b;
    Bytes written = WriteAndLoad(dir, source.plugIns.get(), source.chains.get());
    CHECK(written.size() == 1792);
    CHECK(written == expected);

    Collections read = ReadBack(dir);
    REQUIRE(read.plugIns->Count() == 1);
    const PlugInEntry* plugIn = read.plugIns->At(0);
    CHECK(std::wstring(plugIn->name) == L"Echo");
    CHECK(std::wstring(plugIn->classIdText) == kEchoId);
    REQUIRE(plugIn->PresetCount() == 2);
    CHECK(std::wstring(plugIn->PresetAt(0)->name) == L"Short");
    CHECK(DataOf(*plugIn->PresetAt(0)) == a);
    CHECK(std::wstring(plugIn->PresetAt(1)->name) == L"Even");
    CHECK(DataOf(*plugIn->PresetAt(1)) == b);
}

TEST_CASE("odd-length chains in a row declare a pad byte that is not stored") {
    ScratchDir dir(L"pkgw-chains");
    const Bytes s1 = Pattern(3, 3), s2 = Pattern(5, 4), s3 = Pattern(2, 5);
    Collections source;
    source.chains->Append(MakeChain(L"Vocal", L"chain-001", 0x11, 2, s1));
    source.chains->Append(MakeChain(L"Drums", L"chain-002", 0x22, 3, s2));
    source.chains->Append(MakeChain(L"Bass", L"chain-003", 0x33, 4, s3));

    // chnh 616 + 3 -> 620, 616 + 5 -> 622, 616 + 2 = 618; chn  4 + 8 + chnh: 632, 634, 630;
    // clst 4 + 640 + 642 + 638 = 1924; RIFF 4 + 24 + 8 + 1924 = 1960. No byte follows an odd stream.
    const Bytes expected = Image().Id("RIFF").U32(1960).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(0).U32(3)
                               .U32(0)
                               .Id("LIST").U32(1924).Id("clst")
                               .Id("LIST").U32(632).Id("chn ").Id("chnh").U32(620)
                               .Raw(ChainRecord(0x11, 2, L"Vocal", L"chain-001", s1))
                               .Id("LIST").U32(634).Id("chn ").Id("chnh").U32(622)
                               .Raw(ChainRecord(0x22, 3, L"Drums", L"chain-002", s2))
                               .Id("LIST").U32(630).Id("chn ").Id("chnh").U32(618)
                               .Raw(ChainRecord(0x33, 4, L"Bass", L"chain-003", s3))
                               .b;
    Bytes written = WriteAndLoad(dir, source.plugIns.get(), source.chains.get());
    CHECK(written == expected);
    CHECK(written.size() + 2 == 1960 + 8); // two odd chains, two declared bytes missing

    Collections read = ReadBack(dir);
    REQUIRE(read.chains->Count() == 3);
    const wchar_t* names[] = {L"Vocal", L"Drums", L"Bass"};
    const wchar_t* ids[] = {L"chain-001", L"chain-002", L"chain-003"};
    const Bytes* streams[] = {&s1, &s2, &s3};
    for (int i = 0; i < 3; ++i) {
        const ChainEntry* chain = read.chains->At(i);
        CAPTURE(i);
        CHECK(std::wstring(chain->name) == names[i]);
        CHECK(std::wstring(chain->identifier) == ids[i]);
        CHECK(chain->flags == 0x11u * (i + 1));
        CHECK(chain->type == static_cast<uint32_t>(i + 2));
        CHECK(StreamOf(*chain) == *streams[i]);
    }
}

TEST_CASE("plug-ins without presets are counted but not written") {
    ScratchDir dir(L"pkgw-nopresets");
    Collections source;
    SUBCASE("next to a plug-in with presets") {
        const Bytes data = Pattern(2, 6);
        source.plugIns->Append(MakePlugIn(L"Empty", kDelayId, {}));
        source.plugIns->Append(MakePlugIn(L"Echo", kEchoId, {MakePreset(L"One", data)}));
        // psth 526; pset 538; plst 4 + 546 = 550; plug 4 + 624 + 558 = 1186; plgs 1198; RIFF 4 + 24 + 1206 = 1234.
        const Bytes expected = Image().Id("RIFF").U32(1234).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(2)
                                   .U32(0).U32(0)
                                   .Id("LIST").U32(1198).Id("plgs")
                                   .Id("LIST").U32(1186).Id("plug")
                                   .Id("plgh").U32(616).Raw(PlugInHeader11(0, 0, 0, kEchoId, L"Echo", 1))
                                   .Id("LIST").U32(550).Id("plst")
                                   .Id("LIST").U32(538).Id("pset").Id("psth").U32(526).Text(L"One", 260).U32(2)
                                   .Raw(data)
                                   .b;
        CHECK(WriteAndLoad(dir, source.plugIns.get(), source.chains.get()) == expected);
        Collections read = ReadBack(dir);
        REQUIRE(read.plugIns->Count() == 1);
        CHECK(std::wstring(read.plugIns->At(0)->name) == L"Echo");
    }
    SUBCASE("all of them: an empty plgs list") {
        source.plugIns->Append(MakePlugIn(L"Empty", kDelayId, {}));
        source.plugIns->Append(MakePlugIn(L"Also empty", kEchoId, {}));
        const Bytes expected = Image().Id("RIFF").U32(40).Id("KVPD").Id("fmt ").U32(16).U32(0x00010001).U32(2)
                                   .U32(0).U32(0).Id("LIST").U32(4).Id("plgs").b;
        CHECK(WriteAndLoad(dir, source.plugIns.get(), source.chains.get()) == expected);
        CHECK(ReadBack(dir).plugIns->Count() == 0);
    }
}

TEST_CASE("Lathmere tool headers carry flags and editor version and keep their names") {
    ScratchDir dir(L"pkgw-tools");
    Collections source;
    source.plugIns->Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", Pattern(7, 7))},
                                      PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 1));
    source.plugIns->Append(MakePlugIn(L"Gate", L"", {MakePreset(L"Tight", Pattern(8, 8))}, PLUGIN_LATHMERE_TOOL, 6, 0));
    Bytes written = WriteAndLoad(dir, source.plugIns.get(), source.chains.get());

    // First "plgh" data at 12 + 24 + 12 + 12 + 8 = 68; the second plug-in starts after the first one's
    // 8 + 4 + 624 + (8 + 4 + 8 + 4 + 8 + 532) bytes, and its size is 4 + 624 + 8 + 556 = 1192.
    REQUIRE(written.size() > 68 + 616);
    CHECK(Bytes(written.begin() + 60, written.begin() + 68) == Image().Id("plgh").U32(616).b);
    CHECK(Bytes(written.begin() + 68, written.begin() + 68 + 616) == PlugInHeader11(3, 9, 1, L"", L"Reverb", 1));
    size_t second = 48 + 8 + 4 + 624 + 8 + 4 + 8 + 4 + 8 + 532;
    REQUIRE(written.size() > second + 20 + 616);
    CHECK(Bytes(written.begin() + second, written.begin() + second + 12) == Image().Id("LIST").U32(1192).Id("plug").b);
    CHECK(Bytes(written.begin() + second + 20, written.begin() + second + 20 + 616) ==
          PlugInHeader11(1, 6, 0, L"", L"Gate", 1));

    Collections read = ReadBack(dir);
    REQUIRE(read.plugIns->Count() == 2);
    const PlugInEntry* reverb = read.plugIns->At(0);
    CHECK(std::wstring(reverb->name) == L"Reverb");
    CHECK(reverb->flags == 3);
    CHECK(reverb->majorVersion == 9);
    CHECK(reverb->minorVersion == 1);
    CHECK(read.plugIns->At(1)->flags == 1);
    CHECK(read.plugIns->At(1)->majorVersion == 6);
    CHECK(DataOf(*read.plugIns->At(1)->PresetAt(0)) == Pattern(8, 8));
}

TEST_CASE("text fields are cut to fit and zero-filled behind the text") {
    ScratchDir dir(L"pkgw-text");
    std::wstring longName(300, L'n');
    std::wstring longId(50, L'i');
    Collections source;
    source.chains->Append(MakeChain(longName, longId, 0, 0, Pattern(4, 9)));
    Bytes written = WriteAndLoad(dir, source.plugIns.get(), source.chains.get());
    // The chain record starts after RIFF, fmt , the clst and chn  list headers and the chnh header.
    const size_t record = 12 + 24 + 12 + 12 + 8;
    REQUIRE(written.size() == record + 616 + 4);
    Bytes expected = ChainRecord(0, 0, longName.substr(0, 259), longId.substr(0, 39), Pattern(4, 9));
    CHECK(Bytes(written.begin() + record, written.end()) == expected);

    Collections read = ReadBack(dir);
    REQUIRE(read.chains->Count() == 1);
    CHECK(std::wstring(read.chains->At(0)->name) == longName.substr(0, 259));
    CHECK(std::wstring(read.chains->At(0)->identifier) == longId.substr(0, 39));
}

TEST_CASE("a large mixed package reads back as written") {
    ScratchDir dir(L"pkgw-large");
    Collections source;
    // Presets larger than the writer's block, and many small ones, so sizes get patched in the file as well
    // as in the buffer.
    for (int p = 0; p < 4; ++p) {
        auto* plugIn = MakePlugIn(L"Plug " + std::to_wstring(p), kEchoId.substr(0, 37) + std::to_wstring(p), {});
        for (int i = 0; i < 40; ++i) {
            size_t size = (i % 7 == 3) ? 300000 + static_cast<size_t>(i) : 1 + static_cast<size_t>(i * 37 + p);
            plugIn->AppendPreset(MakePreset(L"Preset " + std::to_wstring(i), Pattern(size, static_cast<uint8_t>(i + p))));
        }
        source.plugIns->Append(plugIn);
    }
    for (int c = 0; c < 9; ++c)
        source.chains->Append(MakeChain(L"Chain " + std::to_wstring(c), L"id" + std::to_wstring(c), c, c,
                                        Pattern(c % 2 ? 280001 : 17 + c, static_cast<uint8_t>(c))));
    WriteAndLoad(dir, source.plugIns.get(), source.chains.get());
    Collections read = ReadBack(dir);
    REQUIRE(read.plugIns->Count() == 4);
    REQUIRE(read.chains->Count() == 9);
    for (int p = 0; p < 4; ++p) {
        REQUIRE(read.plugIns->At(p)->PresetCount() == 40);
        for (int i = 0; i < 40; ++i) {
            const PresetEntry* got = read.plugIns->At(p)->PresetAt(i);
            const PresetEntry* want = source.plugIns->At(p)->PresetAt(i);
            CHECK(std::wstring(got->name) == want->name);
            CHECK(DataOf(*got) == DataOf(*want));
        }
    }
    for (int c = 0; c < 9; ++c) CHECK(StreamOf(*read.chains->At(c)) == StreamOf(*source.chains->At(c)));
}

TEST_CASE("a preset with no data is written but makes the package unreadable") {
    ScratchDir dir(L"pkgw-nodata");
    Collections source;
    source.plugIns->Append(MakePlugIn(L"Echo", kEchoId, {MakePreset(L"Blank", {})}));
    Bytes written = WriteAndLoad(dir, source.plugIns.get(), source.chains.get());
    const size_t psth = 12 + 24 + 12 + 12 + 8 + 616 + 12 + 12;
    REQUIRE(written.size() == psth + 8 + 524);
    CHECK(Bytes(written.begin() + psth, written.begin() + psth + 8) == Image().Id("psth").U32(524).b);
    Collections read;
    CHECK(ReadPackageFile(dir.file(L"out.kvpreset").c_str(), read.plugIns.get(), read.chains.get()) == KV_E_READ);
}
