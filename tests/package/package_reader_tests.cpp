// ReadPackageFile on packages laid out by hand: both versions, unusual order, unknown chunks, and damage.
#include <doctest.h>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_builders.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"

using namespace pkgtest;

namespace {

const std::wstring kEchoId = L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}";
const Bytes kFmt11 = Chunk("fmt ", FormatRecord(0x00010001, 1, 1));

Bytes OnePreset(const std::wstring& n, const Bytes& d) { return List("pset", {Chunk("psth", PresetRecord(n, d))}); }
Bytes OnePlugIn(const std::wstring& name, std::initializer_list<Bytes> presets) {
    return List("plug", {Chunk("plgh", PlugInHeader(1, 0, kEchoId, name)), List("plst", presets)});
}
Bytes OneChain(const std::wstring& name, const Bytes& stream) {
    return List("chn ", {Chunk("chnh", ChainRecord(1, 2, name, L"id", stream))});
}

// The peak address space of this process (the first field of its VM counters, information class 3).
SIZE_T PeakVirtualSize() {
    SIZE_T counters[11] = {};
    auto query = reinterpret_cast<LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*)>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    return query(GetCurrentProcess(), 3, counters, sizeof counters, nullptr) == 0 ? counters[0] : 0;
}

// Collections that already hold an entry each, as the caller's would.
struct CallerLists {
    PlugInList plugIns;
    ChainList chains;
    CallerLists() {
        plugIns.Append(MakePlugIn(L"Mine", kEchoId, {MakePreset(L"kept", Pattern(2, 2))}));
        chains.Append(MakeChain(L"mine", L"id", 0, 0, Pattern(2, 3)));
    }
    HRESULT Read(const Bytes& image) {
        testsupport::ScratchDir dir(L"pkgr");
        const std::wstring path = dir.file(L"in.kvpreset");
        REQUIRE(testsupport::WriteWholeFile(path, image.data(), image.size()));
        return ReadPackageFile(path.c_str(), &plugIns, &chains);
    }
};

} // namespace

TEST_CASE("both versions: fmt after the lists, headers after presets, unknown chunks passed over, several lists, texts without end") {
    for (uint32_t version : {PACKAGE_VERSION_1_0, PACKAGE_VERSION_1_1}) {
        CAPTURE(version);
        const bool old = version == PACKAGE_VERSION_1_0;
        const Bytes a = Pattern(9, 2), b = Pattern(6, 3), c = Pattern(11, 4), d = Pattern(1, 5);
        const std::wstring full(260, L'x'), fullId(40, L'k');
        Bytes image = Riff({Chunk("junk", Pattern(3, 9)),
            List("plgs", {List("misc", {Chunk("abcd", Pattern(3, 0))}),
                List("plug", {Chunk("note", Pattern(5, 5)),
                    Chunk("plgh", PlugInHeader(2, 1, L"", L"Tool", old, 7, 1)), List("xtra", {}),
                    List("plst", {List("junk", {}), OnePreset(L"A", a),
                        List("pset", {Chunk("meta", Pattern(1, 6)), Chunk("psth", PresetRecord(L"B", b))})}),
                    Chunk("tail", Pattern(2, 7))}),
                List("plug", {Chunk("plgh", PlugInHeader(1, 0, fullId, full, old)),
                              List("plst", {OnePreset(full, d)})}),
                // A header shorter than its version's length: the rest stays zero.
                List("plug", {Chunk("plgh", Image().U32(1).U32(1).b), List("plst", {OnePreset(L"s", d)})})}),
            List("INFO", {Chunk("ISFT", Pattern(4, 1))}),
            Chunk("fmt ", FormatRecord(version, 4, 2)),
            List("clst", {Chunk("odd!", Pattern(1, 8)), OneChain(L"c1", c)}),
            // The header after the presets; only the first header counts.
            List("plgs", {List("plug", {List("plst", {OnePreset(L"p", d)}),
                                        Chunk("plgh", PlugInHeader(1, 0, kEchoId, L"Second", old)),
                                        Chunk("plgh", PlugInHeader(1, 0, kEchoId, L"Not this", old))})}),
            List("clst", {OneChain(L"c2", a)})});
        CallerLists got, want;
        REQUIRE(got.Read(image) == S_OK);
        want.plugIns.Append(MakePlugIn(L"Tool", L"", {MakePreset(L"A", a), MakePreset(L"B", b)}, 1, old ? 0 : 7,
                                       old ? 0 : 1));
        const std::wstring cut = full.substr(0, 259);
        want.plugIns.Append(MakePlugIn(cut, fullId.substr(0, 39), {MakePreset(cut, d)}));
        want.plugIns.Append(MakePlugIn(L"", L"", {MakePreset(L"s", d)}, 1));
        want.plugIns.Append(MakePlugIn(L"Second", kEchoId, {MakePreset(L"p", d)}));
        want.chains.Append(MakeChain(L"c1", L"id", 1, 2, c));
        want.chains.Append(MakeChain(L"c2", L"id", 1, 2, a));
        CHECK(CatalogueDifference(want.plugIns, want.chains, got.plugIns, got.chains) == ""); // behind the caller's
    }
}

TEST_CASE("each kind of damage fails with its code and leaves the caller's collections as they were") {
    const Bytes plgs = List("plgs", {OnePlugIn(L"Echo", {OnePreset(L"p", Pattern(4, 1))})});
    const Bytes good = Riff({kFmt11, plgs, List("clst", {OneChain(L"c", Pattern(3, 1))})});
    Bytes wave = good, rifx = good, longData = PresetRecord(L"p", Pattern(4, 1));
    wave[8] = 'W';
    rifx[3] = 'X';
    longData[520] = 200; // says 200 bytes, the chunk holds 4
    // Every declared size makes room for 0xFFFF0000 data bytes; only the file itself is short.
    const uint32_t n = 0xFFFF0000u, psth = 524 + n, pset = 12 + psth, plst = 12 + pset, plug = 636 + plst;
    const Bytes huge = Image().Id("RIFF").U32(36 + 12 + plug).Id("KVPD").Raw(kFmt11).Id("LIST").U32(12 + plug)
        .Id("plgs").Id("LIST").U32(plug).Id("plug").Raw(Chunk("plgh", PlugInHeader(1, 0, kEchoId, L"E")))
        .Id("LIST").U32(plst).Id("plst").Id("LIST").U32(pset).Id("pset").Id("psth").U32(psth).Text(L"big", 260)
        .U32(n).Raw(Pattern(64, 1)).b;
    struct Case { std::string what; Bytes image; HRESULT code; };
    auto withFormat = [](const Bytes& list) { return Riff({kFmt11, list}); };
    std::vector<Case> cases = {
        {"not a RIFF file", {'R', 'I', 'F'}, KV_E_UNSUPPORTED},
        {"form WAVE", wave, KV_E_UNSUPPORTED},
        {"RIFX", rifx, KV_E_UNSUPPORTED},
        {"a newer version", Riff({Chunk("fmt ", FormatRecord(0x00010002))}), KV_E_UNSUPPORTED},
        {"no format chunk", Riff({Chunk("junk", Pattern(10, 1))}), KV_E_NOT_FOUND},
        {"an empty body", Riff({}), KV_E_NOT_FOUND},
        {"a format chunk too short", Riff({Chunk("fmt ", {1, 0})}), KV_E_UNSUPPORTED},
        {"a chunk beyond the body", withFormat(Image().Id("junk").U32(1000).Zeros(8).b), KV_E_UNSUPPORTED},
        {"a list beyond its parent", withFormat(List("plgs", {Image().Id("LIST").U32(5000).Id("plug").b})),
         KV_E_UNSUPPORTED},
        {"a list too short for its type", withFormat(Image().Id("LIST").U32(2).Zeros(2).b), KV_E_UNSUPPORTED},
        {"no plug-in header", withFormat(List("plgs", {List("plug", {List("plst", {OnePreset(L"p", {1})})})})),
         KV_E_NOT_FOUND},
        {"no plug list", withFormat(List("plgs", {Chunk("junk", Pattern(4, 1))})), KV_E_NOT_FOUND},
        {"a preset of length 0 after a good one",
         withFormat(List("plgs", {OnePlugIn(L"Ok", {OnePreset(L"p", {1})}), OnePlugIn(L"Bad", {OnePreset(L"q", {})})})),
         KV_E_READ},
        {"a chain of length 0 after good entries",
         Riff({kFmt11, plgs, List("clst", {OneChain(L"c", {1, 2}), OneChain(L"c", {})})}), KV_E_READ},
        {"a data length beyond its chunk",
         withFormat(List("plgs", {OnePlugIn(L"Echo", {List("pset", {Chunk("psth", longData)})})})), KV_E_UNSUPPORTED},
        {"a record longer than its chunk", withFormat(List("clst", {List("chn ", {Chunk("chnh", Pattern(100, 1))})})),
         KV_E_UNSUPPORTED},
        {"a huge data length in a short file", huge, KV_E_READ},
    };
    const Bytes whole = Riff({kFmt11, plgs});
    for (size_t cut : {whole.size() - 1, whole.size() - 4, whole.size() - 600, size_t(40), size_t(20)})
        cases.push_back({"cut to " + std::to_string(cut), Bytes(whole.begin(), whole.begin() + cut), KV_E_READ});
    const SIZE_T peakBefore = PeakVirtualSize();
    for (const Case& c : cases) {
        CAPTURE(c.what);
        CallerLists lists;
        CHECK(lists.Read(c.image) == c.code);
        CHECK(lists.plugIns.Count() == 1);
        CHECK(lists.chains.Count() == 1);
    }
    CHECK(PeakVirtualSize() - peakBefore < SIZE_T(1) << 30); // no damaged length had its data allocated
    CallerLists lists;
    REQUIRE(lists.Read(good) == S_OK); // the base of the damage above is sound
    CHECK(ReadPackageFile(L"C:\\no such folder\\none.kvpreset", &lists.plugIns, &lists.chains) == KV_E_FILE_OPEN);
    CHECK(ReadPackageFile(nullptr, &lists.plugIns, &lists.chains) == KV_E_INVALIDARG);
}

TEST_CASE("registered class names replace the stored ones, from either registry view; tools keep their own") {
    const std::wstring own = L"{A1000000-0000-4000-8000-0000000000A1}", other = L"{A2000000-0000-4000-8000-0000000000A2}",
                       absent = L"{A3000000-0000-4000-8000-0000000000A3}", longer = L"{A4000000-0000-4000-8000-0000000000A4}";
    const std::wstring longName(300, L'n');
    struct Registered {
        std::vector<std::wstring> ids;
        ~Registered() {
            for (const std::wstring& id : ids) storetest::UnregisterClass(id.c_str());
        }
    } registered{{own, other, longer}};
    storetest::RegisterClassName(own.c_str(), L"Own View Name");
    storetest::RegisterClassName(other.c_str(), L"Other View Name", sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    storetest::RegisterClassName(longer.c_str(), longName.c_str());
    auto plug = [](const std::wstring& id, const std::wstring& name, uint32_t flags) {
        return List("plug", {Chunk("plgh", PlugInHeader(1, flags, id, name)), List("plst", {OnePreset(L"p", {1})})});
    };
    const Bytes image = Riff({kFmt11, List("plgs", {plug(own, L"Stored 1", 0), plug(other, L"Stored 2", 0),
                                                    plug(absent, L"Stored 3", 0), plug(own, L"Tool", PLUGIN_LATHMERE_TOOL),
                                                    plug(longer, L"Stored 5", 0)})});
    CallerLists lists;
    REQUIRE(lists.Read(image) == S_OK);
    const std::wstring want[] = {L"Own View Name", L"Other View Name", L"Stored 3", L"Tool", longName.substr(0, 259)};
    REQUIRE(lists.plugIns.Count() == 6); // the caller's own entry first
    for (int i = 0; i < 5; ++i) {
        CAPTURE(i);
        CHECK(std::wstring(lists.plugIns.At(i + 1)->name) == want[i]);
    }
}
