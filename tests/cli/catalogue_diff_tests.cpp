// Comparing catalogues in process: which plug-ins, presets and chains count as the same, and what differs.
#include <doctest.h>
#include <string>
#include <vector>
#include "catalogue.h"
#include "catalogue_diff.h"
#include "cli_test_util.h"
#include "package_builders.h"

using namespace pkgtest;
using clitest::Language;

namespace {

const wchar_t kClassA[] = L"{0C1D2E3F-1111-2222-3333-444455556666}";
const wchar_t kClassALower[] = L"{0c1d2e3f-1111-2222-3333-444455556666}";

struct Catalogue {
    PlugInList plugIns;
    ChainList chains;
    CatalogueView View() const { return {&plugIns, &chains}; }
};

// "plug-in/preset" per item, so that a failure shows the whole list.
std::vector<std::wstring> Names(const std::vector<PresetDifference>& items) {
    std::vector<std::wstring> names;
    for (const PresetDifference& item : items) names.push_back(std::wstring(item.plugIn->name) + L"/" + item.preset->name.c_str());
    return names;
}
std::vector<std::wstring> Names(const std::vector<ChainDifference>& items) {
    std::vector<std::wstring> names;
    for (const ChainDifference& item : items) names.push_back(item.chain->name);
    return names;
}
using Texts = std::vector<std::wstring>;

} // namespace

TEST_CASE("presets: by name ignoring case under the same class identifier, data compared byte for byte") {
    const Bytes one = Pattern(300, 1), two = Pattern(300, 2);
    Catalogue a, b;
    a.plugIns.Append(MakePlugIn(L"Tone", kClassA, {MakePreset(L"Warm", one), MakePreset(L"Bright", one),
                                                    MakePreset(L"Gone", one), MakePreset(L"Empty", {})}));
    // The same identifier in other letter case is another plug-in; its presets match nothing.
    a.plugIns.Append(MakePlugIn(L"Tone", kClassALower, {MakePreset(L"Warm", one)}));
    b.plugIns.Append(MakePlugIn(L"Other Name", kClassA, {MakePreset(L"New", two), MakePreset(L"empty", {}),
                                                          MakePreset(L"BRIGHT", two), MakePreset(L"warm", one)}));
    CatalogueDifferences d = CompareCatalogues(a.View(), b.View(), Language());
    CHECK(Names(d.presetsOnlyInFirst) == Texts{L"Tone/Gone", L"Tone/Warm"});
    CHECK(Names(d.presetsOnlyInSecond) == Texts{L"Other Name/New"});
    CHECK(Names(d.presetsDifferent) == Texts{L"Tone/Bright"});
    REQUIRE(d.presetsDifferent.size() == 1);
    CHECK(std::wstring(d.presetsDifferent[0].other->name) == L"BRIGHT"); // the second side's own preset
    CHECK(d.presetsOnlyInFirst[1].plugIn == a.plugIns.At(1));
    CHECK_FALSE(d.Empty());
    CHECK(CompareCatalogues(a.View(), a.View(), Language()).Empty());
    // A side without collections holds nothing.
    CHECK(Names(CompareCatalogues(CatalogueView{}, b.View(), Language()).presetsOnlyInSecond).size() == 4);
}

TEST_CASE("Lathmere tools: by name or display name, whichever side holds which, and only of the same version") {
    const Bytes data = Pattern(20, 3);
    for (int swap = 0; swap < 2; ++swap) {
        CAPTURE(swap);
        Catalogue a, b;
        a.plugIns.Append(MakePlugIn(L"Delay", L"", {MakePreset(L"Slap", data)}, PLUGIN_LATHMERE_TOOL, 6, 0));
        a.plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", data)},
                                    PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0));
        b.plugIns.Append(
            MakePlugIn(L"Moravel Lathmere Delay", L"", {MakePreset(L"Slap", data)}, PLUGIN_LATHMERE_TOOL, 6, 0));
        b.plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", data)},
                                    PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 8, 0));
        CatalogueDifferences d = swap ? CompareCatalogues(b.View(), a.View(), Language())
                                      : CompareCatalogues(a.View(), b.View(), Language());
        // Slap matches either way round; the two Reverb versions are two tools.
        CHECK(Names(d.presetsOnlyInFirst) == Texts{L"Reverb/Hall"});
        CHECK(Names(d.presetsOnlyInSecond) == Texts{L"Reverb/Hall"});
        CHECK(d.presetsDifferent.empty());
    }
}

TEST_CASE("chains: by name ignoring case; identifier, flags, type and stream all count as data") {
    const Bytes stream = Pattern(9, 4);
    Catalogue a, b;
    a.chains.Append(MakeChain(L"Same", L"id1", 1, 2, stream));
    a.chains.Append(MakeChain(L"Identifier", L"id2", 1, 2, stream));
    a.chains.Append(MakeChain(L"Flags", L"id3", 1, 2, stream));
    a.chains.Append(MakeChain(L"Type", L"id4", 1, 2, stream));
    a.chains.Append(MakeChain(L"Stream", L"id5", 1, 2, stream));
    a.chains.Append(MakeChain(L"Only A", L"id6", 1, 2, stream));
    b.chains.Append(MakeChain(L"Only B", L"id7", 1, 2, stream));
    b.chains.Append(MakeChain(L"STREAM", L"id5", 1, 2, Pattern(9, 5)));
    b.chains.Append(MakeChain(L"type", L"id4", 1, 3, stream));
    b.chains.Append(MakeChain(L"flags", L"id3", 0, 2, stream));
    b.chains.Append(MakeChain(L"identifier", L"ID2", 1, 2, stream));
    b.chains.Append(MakeChain(L"same", L"id1", 1, 2, stream));
    b.chains.Append(MakeChain(L"Same", L"other", 0, 0, {})); // shadowed by the first of its name
    CatalogueDifferences d = CompareCatalogues(a.View(), b.View(), Language());
    CHECK(Names(d.chainsOnlyInFirst) == Texts{L"Only A"});
    CHECK(Names(d.chainsOnlyInSecond) == Texts{L"Only B"});
    CHECK(Names(d.chainsDifferent) == Texts{L"Identifier", L"Flags", L"Type", L"Stream"});
}
