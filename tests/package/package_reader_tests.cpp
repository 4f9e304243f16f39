// ReadPackageFile on packages laid out by hand: old versions, unusual order, unknown chunks, damage.
#include <doctest.h>
#include <memory>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace pkgtest;
using testsupport::ScratchDir;
using testsupport::WriteWholeFile;

namespace {

const std::wstring kEchoId = L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}";
const Bytes kFmt11 = Chunk("fmt ", FormatRecord(0x00010001, 1, 1));

struct ReadResult {
    HRESULT hr = E_FAIL;
    std::unique_ptr<PlugInList> plugIns = std::make_unique<PlugInList>();
    std::unique_ptr<ChainList> chains = std::make_unique<ChainList>();
};

ReadResult ReadImage(const Bytes& image) {
    ScratchDir dir(L"pkgr");
    std::wstring path = dir.file(L"in.kvpreset");
    REQUIRE(WriteWholeFile(path, image.data(), image.size()));
    ReadResult result;
    result.hr = ReadPackageFile(path.c_str(), result.plugIns.get(), result.chains.get());
    return result;
}

Bytes OnePreset(const std::wstring& name, const Bytes& data) {
    return List("pset", {Chunk("psth", PresetRecord(name, data))});
}

Bytes OnePlugIn(const std::wstring& name, std::initializer_list<Bytes> presets) {
    return List("plug", {Chunk("plgh", PlugInHeader11(0, 0, 0, kEchoId, name)), List("plst", presets)});
}

Bytes OneChain(const std::wstring& name, const Bytes& stream) {
    return List("chn ", {Chunk("chnh", ChainRecord(1, 2, name, L"id", stream))});
}

} // namespace

TEST_CASE("version 1.0 packages have 608-byte plug-in headers and no editor version") {
    const Bytes data = Pattern(5, 1);
    Bytes image = Riff("KVPD", {Chunk("fmt ", FormatRecord(0x00010000, 1, 0)),
                                List("plgs", {List("plug", {Chunk("plgh", PlugInHeader10(3, L"", L"Old tool")),
                                                            List("plst", {OnePreset(L"Warm", data)})})})});
    ReadResult read = ReadImage(image);
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 1);
    const PlugInEntry* plugIn = read.plugIns->At(0);
    CHECK(std::wstring(plugIn->name) == L"Old tool");
    CHECK(plugIn->flags == 3);
    CHECK(plugIn->majorVersion == 0);
    CHECK(plugIn->minorVersion == 0);
    REQUIRE(plugIn->PresetCount() == 1);
    CHECK(DataOf(*plugIn->PresetAt(0)) == data);

    SUBCASE("a newer version is refused") {
        Bytes newer = Riff("KVPD", {Chunk("fmt ", FormatRecord(0x00010002))});
        CHECK(ReadImage(newer).hr == KV_E_UNSUPPORTED);
    }
}

TEST_CASE("the format chunk may follow the lists, and unknown chunks anywhere are passed over") {
    const Bytes a = Pattern(9, 2), b = Pattern(6, 3), c = Pattern(11, 4);
    Bytes plugs = List("plgs", {List("misc", {Chunk("abcd", Pattern(3, 0))}),
                                List("plug", {Chunk("note", Pattern(5, 5)), Chunk("plgh", PlugInHeader11(0, 0, 0, kEchoId, L"Echo")),
                                              List("xtra", {}),
                                              List("plst", {List("junk", {}), OnePreset(L"A", a),
                                                            List("pset", {Chunk("meta", Pattern(1, 6)),
                                                                          Chunk("psth", PresetRecord(L"B", b))})}),
                                              Chunk("tail", Pattern(2, 7))})});
    Bytes chains = List("clst", {Chunk("odd!", Pattern(1, 8)), OneChain(L"Chain", c)});
    Bytes image = Riff("KVPD", {Chunk("junk", Pattern(3, 9)), plugs, List("INFO", {Chunk("ISFT", Pattern(4, 1))}),
                                kFmt11, chains});
    ReadResult read = ReadImage(image);
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 1);
    REQUIRE(read.plugIns->At(0)->PresetCount() == 2);
    CHECK(DataOf(*read.plugIns->At(0)->PresetAt(0)) == a);
    CHECK(std::wstring(read.plugIns->At(0)->PresetAt(1)->name) == L"B");
    CHECK(DataOf(*read.plugIns->At(0)->PresetAt(1)) == b);
    REQUIRE(read.chains->Count() == 1);
    CHECK(StreamOf(*read.chains->At(0)) == c);
}

TEST_CASE("several plgs and clst lists are all read, in order") {
    Bytes image = Riff("KVPD", {kFmt11, List("plgs", {OnePlugIn(L"First", {OnePreset(L"p1", Pattern(2, 1))})}),
                                List("clst", {OneChain(L"c1", Pattern(4, 1))}),
                                List("plgs", {OnePlugIn(L"Second", {OnePreset(L"p2", Pattern(3, 2))}),
                                              OnePlugIn(L"Third", {OnePreset(L"p3", Pattern(1, 3))})}),
                                List("clst", {OneChain(L"c2", Pattern(4, 2))})});
    ReadResult read = ReadImage(image);
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 3);
    CHECK(std::wstring(read.plugIns->At(0)->name) == L"First");
    CHECK(std::wstring(read.plugIns->At(2)->name) == L"Third");
    CHECK(DataOf(*read.plugIns->At(2)->PresetAt(0)) == Pattern(1, 3));
    REQUIRE(read.chains->Count() == 2);
    CHECK(std::wstring(read.chains->At(1)->name) == L"c2");
}

TEST_CASE("a text field without a terminator is cut to one character less than its width") {
    std::wstring full(260, L'x'), fullId(40, L'k');
    Bytes header = Image().U32(1).U32(0).U32(0).U32(0).Text(fullId, 40).Text(full, 260).b;
    Bytes image = Riff("KVPD", {kFmt11, List("plgs", {List("plug", {Chunk("plgh", header),
                                                                    List("plst", {OnePreset(full, Pattern(2, 1))})})})});
    ReadResult read = ReadImage(image);
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 1);
    CHECK(std::wstring(read.plugIns->At(0)->name) == full.substr(0, 259));
    CHECK(std::wstring(read.plugIns->At(0)->classIdText) == fullId.substr(0, 39));
    CHECK(std::wstring(read.plugIns->At(0)->PresetAt(0)->name) == full.substr(0, 259));
}

TEST_CASE("a plug-in header shorter than its version's length leaves the rest zero") {
    Bytes shortHeader = Image().U32(1).U32(PLUGIN_LATHMERE_TOOL).U32(7).b; // flags and major only
    Bytes image = Riff("KVPD", {kFmt11, List("plgs", {List("plug", {Chunk("plgh", shortHeader),
                                                                    List("plst", {OnePreset(L"p", Pattern(2, 1))})})})});
    ReadResult read = ReadImage(image);
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 1);
    CHECK(read.plugIns->At(0)->majorVersion == 7);
    CHECK(read.plugIns->At(0)->minorVersion == 0);
    CHECK(read.plugIns->At(0)->name[0] == 0);
}

TEST_CASE("registered plug-ins show their registered name, tools their stored one") {
    const std::wstring id = L"{5E1F2A3B-4C5D-4E6F-8091-A2B3C4D5E6F7}";
    const std::wstring key = L"CLSID\\" + id;
    HKEY created = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            nullptr) == ERROR_SUCCESS);
    const wchar_t registered[] = L"Registered Echo";
    RegSetValueExW(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(registered), sizeof registered);
    RegCloseKey(created);

    Bytes image = Riff("KVPD", {kFmt11,
                                List("plgs", {List("plug", {Chunk("plgh", PlugInHeader11(0, 0, 0, id, L"Stored")),
                                                            List("plst", {OnePreset(L"p", Pattern(2, 1))})}),
                                              List("plug", {Chunk("plgh", PlugInHeader11(1, 6, 0, id, L"Tool")),
                                                            List("plst", {OnePreset(L"q", Pattern(2, 2))})})})});
    ReadResult read = ReadImage(image);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    REQUIRE(read.hr == S_OK);
    REQUIRE(read.plugIns->Count() == 2);
    CHECK(std::wstring(read.plugIns->At(0)->name) == registered);
    CHECK(std::wstring(read.plugIns->At(1)->name) == L"Tool");
}

TEST_CASE("each kind of damage fails with its code") {
    const Bytes good = Riff("KVPD", {kFmt11, List("plgs", {OnePlugIn(L"Echo", {OnePreset(L"p", Pattern(4, 1))})})});
    REQUIRE(ReadImage(good).hr == S_OK);

    SUBCASE("a missing file cannot be opened") {
        ScratchDir dir(L"pkgr-missing");
        PlugInList plugIns;
        ChainList chains;
        CHECK(ReadPackageFile(dir.file(L"none.kvpreset").c_str(), &plugIns, &chains) == KV_E_FILE_OPEN);
    }
    SUBCASE("not a RIFF file of form KVPD") {
        CHECK(ReadImage(Bytes{'R', 'I', 'F'}).hr == KV_E_UNSUPPORTED);
        Bytes wave = good;
        wave[8] = 'W';
        CHECK(ReadImage(wave).hr == KV_E_UNSUPPORTED);
        Bytes rifx = good;
        rifx[3] = 'X';
        CHECK(ReadImage(rifx).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("no format chunk within the body") {
        CHECK(ReadImage(Riff("KVPD", {Chunk("junk", Pattern(10, 1))})).hr == KV_E_NOT_FOUND);
        CHECK(ReadImage(Riff("KVPD", {})).hr == KV_E_NOT_FOUND);
    }
    SUBCASE("a format chunk too short for its version") {
        CHECK(ReadImage(Riff("KVPD", {Chunk("fmt ", Bytes{1, 0})})).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("a chunk larger than the body around it") {
        Bytes image = Riff("KVPD", {kFmt11, Image().Id("junk").U32(1000).Zeros(8).b});
        CHECK(ReadImage(image).hr == KV_E_UNSUPPORTED);
        Bytes inner = Riff("KVPD", {kFmt11, List("plgs", {Image().Id("LIST").U32(5000).Id("plug").b})});
        CHECK(ReadImage(inner).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("a list too short to hold its type") {
        CHECK(ReadImage(Riff("KVPD", {kFmt11, Image().Id("LIST").U32(2).Zeros(2).b})).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("a plug-in without its header") {
        Bytes image = Riff("KVPD", {kFmt11, List("plgs", {List("plug", {List("plst", {OnePreset(L"p", {1})})})})});
        CHECK(ReadImage(image).hr == KV_E_NOT_FOUND);
    }
    SUBCASE("a plgs list holding no plug list") {
        Bytes image = Riff("KVPD", {kFmt11, List("plgs", {Chunk("junk", Pattern(4, 1))})});
        CHECK(ReadImage(image).hr == KV_E_NOT_FOUND);
    }
    SUBCASE("a preset or chain with a data length of 0") {
        Bytes preset = Riff("KVPD", {kFmt11, List("plgs", {OnePlugIn(L"Echo", {OnePreset(L"p", {})})})});
        CHECK(ReadImage(preset).hr == KV_E_READ);
        Bytes chain = Riff("KVPD", {kFmt11, List("clst", {OneChain(L"c", {})})});
        CHECK(ReadImage(chain).hr == KV_E_READ);
    }
    SUBCASE("a file cut short") {
        for (size_t cut : {good.size() - 1, good.size() - 4, good.size() - 600, size_t(40), size_t(20)}) {
            CAPTURE(cut);
            CHECK(ReadImage(Bytes(good.begin(), good.begin() + cut)).hr == KV_E_READ);
        }
    }
    SUBCASE("a data length beyond its chunk") {
        Bytes record = PresetRecord(L"p", Pattern(4, 1));
        record[520] = 200; // says 200 bytes, the chunk holds 4
        Bytes image = Riff("KVPD", {kFmt11, List("plgs", {OnePlugIn(L"Echo", {List("pset", {Chunk("psth", record)})})})});
        CHECK(ReadImage(image).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("a record chunk shorter than its record") {
        Bytes image = Riff("KVPD", {kFmt11, List("clst", {List("chn ", {Chunk("chnh", Pattern(100, 1))})})});
        CHECK(ReadImage(image).hr == KV_E_UNSUPPORTED);
    }
    SUBCASE("a huge data length whose sizes agree but whose file is short is refused before allocating") {
        // Every declared size makes room for 0xFFFF0000 data bytes; only the file itself is short.
        const uint32_t n = 0xFFFF0000u;
        const uint32_t psth = 524 + n, pset = 4 + 8 + psth, plst = 4 + 8 + pset, plug = 4 + 8 + 616 + 8 + plst;
        const uint32_t plgs = 4 + 8 + plug, riff = 4 + 24 + 8 + plgs;
        Bytes image = Image().Id("RIFF").U32(riff).Id("KVPD").Raw(kFmt11).Id("LIST").U32(plgs).Id("plgs")
                          .Id("LIST").U32(plug).Id("plug").Raw(Chunk("plgh", PlugInHeader11(0, 0, 0, kEchoId, L"E")))
                          .Id("LIST").U32(plst).Id("plst").Id("LIST").U32(pset).Id("pset").Id("psth").U32(psth)
                          .Text(L"big", 260).U32(n).Raw(Pattern(64, 1)).b;
        CHECK(ReadImage(image).hr == KV_E_READ);
    }
}

TEST_CASE("a damaged package leaves the caller's collections as they were") {
    Bytes image = Riff("KVPD", {kFmt11,
                                List("plgs", {OnePlugIn(L"Good", {OnePreset(L"p", Pattern(4, 1))}),
                                              OnePlugIn(L"Bad", {OnePreset(L"q", {})})}),
                                List("clst", {OneChain(L"c", Pattern(3, 1))})});
    ScratchDir dir(L"pkgr-keep");
    std::wstring path = dir.file(L"bad.kvpreset");
    REQUIRE(WriteWholeFile(path, image.data(), image.size()));
    PlugInList plugIns;
    ChainList chains;
    plugIns.Append(MakePlugIn(L"Mine", kEchoId, {MakePreset(L"kept", Pattern(2, 2))}));
    chains.Append(MakeChain(L"mine", L"id", 0, 0, Pattern(2, 3)));
    CHECK(ReadPackageFile(path.c_str(), &plugIns, &chains) == KV_E_READ);
    REQUIRE(plugIns.Count() == 1);
    CHECK(std::wstring(plugIns.At(0)->name) == L"Mine");
    CHECK(plugIns.At(0)->PresetCount() == 1);
    REQUIRE(chains.Count() == 1);
    CHECK(std::wstring(chains.At(0)->name) == L"mine");

    SUBCASE("and a good one is appended behind their entries") {
        Bytes fine = Riff("KVPD", {kFmt11, List("plgs", {OnePlugIn(L"Good", {OnePreset(L"p", Pattern(4, 1))})})});
        REQUIRE(WriteWholeFile(path, fine.data(), fine.size()));
        CHECK(ReadPackageFile(path.c_str(), &plugIns, &chains) == S_OK);
        REQUIRE(plugIns.Count() == 2);
        CHECK(std::wstring(plugIns.At(1)->name) == L"Good");
        CHECK(chains.Count() == 1);
    }
}
