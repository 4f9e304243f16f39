// The catalogue classes and the side operations on the package side, where nothing reaches the store.
#include <doctest.h>
#include <memory>
#include "catalogue_model.h"
#include "resource.h"
#include "store_fixture.h"

using namespace storetest;

namespace {

constexpr wchar_t kClassA[] = L"{0A1B2C3D-0000-4000-8000-00000000000A}";
constexpr wchar_t kClassB[] = L"{0A1B2C3D-0000-4000-8000-00000000000B}";
constexpr uint32_t kVersioned = PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED;

std::unique_ptr<PlugInEntry> Probe(const wchar_t* name, const wchar_t* classId) {
    return std::unique_ptr<PlugInEntry>(MakePlugIn(name, classId));
}

std::wstring DisplayName(const PlugInEntry& entry) { // every caller passes a buffer of a whole name
    wchar_t buffer[CATALOGUE_NAME_CHARS];
    entry.GetDisplayName(buffer, CATALOGUE_NAME_CHARS, TestLanguage());
    return buffer;
}

} // namespace

TEST_CASE("copies own their data") {
    std::unique_ptr<PresetEntry> source(MakePreset(L"Warm", Pattern(300, 1)));
    source->expanded = 1;
    PresetEntry target;
    target.AdoptData(CatalogueBlobAlloc(10), 10);
    target.Assign(*source);
    CHECK(target.data != source->data);
    CHECK(target.expanded == 1);
    source.reset(); // the copy outlives its source
    CHECK(DataOf(&target) == Pattern(300, 1));
    target.Assign(PresetEntry());
    CHECK(target.data == nullptr);
    CHECK(target.dataSize == 0);
    const std::wstring longName(CATALOGUE_NAME_CHARS + 40, L'n');
    REQUIRE(target.name.Set(longName.c_str()) == S_OK);
    CHECK(std::wstring(target.name) == longName.substr(0, CATALOGUE_NAME_CHARS - 1));

    std::unique_ptr<PlugInEntry> tool(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0, {MakePreset(L"One", Pattern(4, 2))}));
    tool->expanded = 1;
    std::unique_ptr<PlugInEntry> shell(PlugInEntry::CopyShell(*tool));
    CHECK(std::wstring(shell->name) == L"Echo");
    CHECK(shell->flags == PLUGIN_LATHMERE_TOOL);
    CHECK(shell->majorVersion == 6);
    CHECK(shell->expanded == 1);
    CHECK(shell->PresetCount() == 0);
    CHECK(tool->PresetCount() == 1);

    std::unique_ptr<ChainEntry> chain(MakeChain(L"Bus", L"bus-1", Pattern(20, 3), 7, 9));
    std::unique_ptr<ChainEntry> old(MakeChain(L"Old", L"old", Pattern(50, 4)));
    for (const wchar_t* member : {L"x", L"y"}) KvList_AllocAndInsertItem(old->members, member, 4, -1, nullptr);
    KvList_AllocAndInsertItem(chain->members, L"member", 14, -1, nullptr);
    old->Assign(*chain);
    chain->AdoptStream(nullptr, 0);
    CHECK(std::wstring(old->identifier) == L"bus-1");
    CHECK(old->flags == 7);
    CHECK(old->type == 9);
    CHECK(StreamOf(old.get()) == Pattern(20, 3));
    REQUIRE(old->members->count == 1);
    CHECK(std::wstring(static_cast<const wchar_t*>(old->members->items[0])) == L"member");
}

TEST_CASE("display names, name matching and plug-in identity") {
    std::unique_ptr<PlugInEntry> six(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    std::unique_ptr<PlugInEntry> nine(MakePlugIn(L"Echo", L"", kVersioned, 9, 1));
    CHECK(DisplayName(*Probe(L"Alpha Reverb", kClassA)) == L"Alpha Reverb");
    CHECK(DisplayName(*six) == L"Moravel Lathmere Echo");
    CHECK(DisplayName(*nine) == L"Varden Lathmere 9.1 Echo");
    CHECK(six->MatchesName(L"ECHO", TestLanguage()));
    CHECK(six->MatchesName(L"moravel lathmere echo", TestLanguage()));
    CHECK_FALSE(six->MatchesName(L"Varden Lathmere 9.1 Echo", TestLanguage()));

    PlugInList list;
    list.Append(MakePlugIn(L"Alpha", kClassA));
    list.Append(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    list.Append(MakePlugIn(L"Echo", L"", kVersioned, 9, 0));
    std::wstring lowerA = kClassA;
    for (auto& c : lowerA) c = static_cast<wchar_t>(towlower(c));
    std::unique_ptr<PlugInEntry> byDisplay(MakePlugIn(L"Varden Lathmere 9.0 Echo", L"", kVersioned, 9, 0));
    std::unique_ptr<PlugInEntry> otherVersion(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 1));
    CHECK(list.FindByIdentity(*Probe(L"Other name", kClassA), TestLanguage()) == 0);
    CHECK(list.FindByIdentity(*Probe(L"Alpha", lowerA.c_str()), TestLanguage()) == -1);
    CHECK(list.FindByIdentity(*byDisplay, TestLanguage()) == 2);
    CHECK(list.FindByIdentity(*otherVersion, TestLanguage()) == -1);
    CHECK(list.FindByIdentity(*Probe(L"Echo", L""), TestLanguage()) == -1); // a DirectShow entry is never a tool
    CHECK(list.FindByName(L"moravel lathmere echo", TestLanguage()) == 1);
}

TEST_CASE("side operations on the package side") {
    CatalogueModel model;
    model.language = TestLanguage();
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kClassA));
    std::unique_ptr<PresetEntry> soft(MakePreset(L"Soft", Pattern(10, 1))), hard(MakePreset(L"Hard", Pattern(12, 2)));
    REQUIRE(AddPreset(model, *alpha, *soft, SIDE_PACKAGE) == S_OK);
    REQUIRE(AddPreset(model, *alpha, *hard, SIDE_PACKAGE) == S_OK);
    PlugInList* side = model.plugIns[SIDE_PACKAGE];
    REQUIRE(side != nullptr);
    CHECK(model.plugIns[SIDE_SYSTEM] == nullptr);

    SUBCASE("a different plug-in of the same name gets a Not Installed name, once") {
        std::unique_ptr<PlugInEntry> impostor(MakePlugIn(L"alpha", kClassB));
        REQUIRE(AddPreset(model, *impostor, *soft, SIDE_PACKAGE) == S_OK);
        REQUIRE(AddPreset(model, *impostor, *hard, SIDE_PACKAGE) == S_OK);
        REQUIRE(side->Count() == 2);
        CHECK(std::wstring(side->At(1)->name) == L"Not Installed 000");
        CHECK(std::wstring(side->At(1)->classIdText) == kClassB);
        CHECK(side->At(1)->PresetCount() == 2);
    }
    SUBCASE("chains are replaced by name and removed") {
        std::unique_ptr<ChainEntry> bus(MakeChain(L"Bus", L"id-1", Pattern(8, 1), 1, 2));
        std::unique_ptr<ChainEntry> other(MakeChain(L"Other", L"id-2", Pattern(8, 2)));
        std::unique_ptr<ChainEntry> busAgain(MakeChain(L"BUS", L"id-3", Pattern(9, 3), 4, 5));
        for (ChainEntry* chain : {bus.get(), other.get(), busAgain.get()}) REQUIRE(AddChain(model, *chain, SIDE_PACKAGE) == S_OK);
        ChainList* chains = model.chains[SIDE_PACKAGE];
        REQUIRE(chains->Count() == 2);
        CHECK(std::wstring(chains->At(0)->identifier) == L"id-3");
        CHECK(StreamOf(chains->At(0)) == Pattern(9, 3));
        CHECK(RemoveChain(model, *bus, SIDE_PACKAGE) == S_OK);
        CHECK(chains->Count() == 1);
        CHECK(std::wstring(chains->At(0)->name) == L"Other");
    }
}

TEST_CASE("inside a look-up scope, long preset lists and plug-ins of one class are found as the lists find them") {
    CatalogueModel model;
    model.language = TestLanguage();
    PlugInList* side = GetPlugInList(model, SIDE_PACKAGE);
    REQUIRE(side != nullptr);
    // A package may hold a class twice, and a name twice in other case: the first in list order counts.
    PlugInEntry* first = MakePlugIn(L"Alpha", kClassA, 0, 0, 0, {MakePreset(L"Only", Pattern(4, 1))});
    PlugInEntry* second = MakePlugIn(L"Alpha Too", kClassA, 0, 0, 0, {MakePreset(L"Other", Pattern(4, 2))});
    std::vector<PresetEntry*> longList;
    for (int i = 0; i < 20; ++i) longList.push_back(MakePreset((L"Long " + std::to_wstring(i)).c_str(), Pattern(3, i)));
    longList.insert(longList.begin() + 5, MakePreset(L"Twice", Pattern(5, 1)));
    longList.push_back(MakePreset(L"TWICE", Pattern(5, 2)));
    PlugInEntry* beta = MakePlugIn(L"Beta", kClassB, 0, 0, 0, longList);
    for (PlugInEntry* entry : {first, second, beta}) REQUIRE(side->Append(entry) >= 0);
    std::unique_ptr<PlugInEntry> alpha(Probe(L"Alpha", kClassA));
    std::unique_ptr<PlugInEntry> growing(Probe(L"Gamma", L"{0A1B2C3D-0000-4000-8000-00000000000C}"));
    {
        CatalogueLookupScope scope(model);
        CHECK(FindSidePlugIn(model, SIDE_PACKAGE, *alpha) == first);
        DropPresetFromMemory(model, *alpha, L"only", SIDE_PACKAGE); // its last preset: the plug-in goes with it
        CHECK(FindSidePlugIn(model, SIDE_PACKAGE, *alpha) == second);

        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *beta, L"twice")) == Pattern(5, 1));
        DropPresetFromMemory(model, *beta, L"Twice", SIDE_PACKAGE);
        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *beta, L"twice")) == Pattern(5, 2));
        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *beta, L"LONG 19")) == Pattern(3, 19));
        // Taken from the front of an indexed list, and brought back to its end.
        DropPresetFromMemory(model, *beta, L"Long 0", SIDE_PACKAGE);
        CHECK(FindSidePreset(model, SIDE_PACKAGE, *beta, L"long 0") == nullptr);
        std::unique_ptr<PresetEntry> back(MakePreset(L"Long 0", Pattern(7, 7)));
        REQUIRE(AddPreset(model, *beta, *back, SIDE_PACKAGE) == S_OK);
        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *beta, L"long 0")) == Pattern(7, 7));

        // A plug-in that starts short and grows long, one preset at a time.
        for (int i = 0; i < 40; ++i) {
            std::unique_ptr<PresetEntry> preset(MakePreset((L"Grown " + std::to_wstring(i)).c_str(), Pattern(2, i)));
            REQUIRE(AddPreset(model, *growing, *preset, SIDE_PACKAGE) == S_OK);
        }
        std::unique_ptr<PresetEntry> again(MakePreset(L"GROWN 3", Pattern(6, 6)));
        REQUIRE(AddPreset(model, *growing, *again, SIDE_PACKAGE) == S_OK); // replaces, as the name is there
        PlugInEntry* gamma = FindSidePlugIn(model, SIDE_PACKAGE, *growing);
        REQUIRE(gamma != nullptr);
        CHECK(gamma->PresetCount() == 40);
        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *gamma, L"grown 3")) == Pattern(6, 6));
        CHECK(DataOf(FindSidePreset(model, SIDE_PACKAGE, *gamma, L"grown 39")) == Pattern(2, 39));
        for (int i = 0; i < 40; ++i)
            DropPresetFromMemory(model, *growing, (L"Grown " + std::to_wstring(i)).c_str(), SIDE_PACKAGE);
        CHECK(FindSidePlugIn(model, SIDE_PACKAGE, *growing) == nullptr);
    }
    // The scope's end closes up the slots the removals left.
    REQUIRE(side->Count() == 2);
    CHECK(side->At(0) == second);
    CHECK(side->At(1) == beta);
    CHECK(beta->PresetCount() == 21);
    CHECK(std::wstring(beta->PresetAt(19)->name) == L"TWICE");
    CHECK(std::wstring(beta->PresetAt(20)->name) == L"Long 0");
}

TEST_CASE("inside a look-up scope, a name is taken by the plug-ins the side holds at the time") {
    CatalogueModel model;
    model.language = TestLanguage();
    PlugInList* side = GetPlugInList(model, SIDE_PACKAGE);
    REQUIRE(side != nullptr);
    REQUIRE(side->Append(MakePlugIn(L"Alpha", kClassA, 0, 0, 0, {MakePreset(L"One", Pattern(4, 1))})) >= 0);
    REQUIRE(side->Append(MakePlugIn(L"Beta", kClassB, 0, 0, 0, {MakePreset(L"Two", Pattern(4, 2))})) >= 0);
    std::unique_ptr<PresetEntry> preset(MakePreset(L"Three", Pattern(4, 3)));
    auto classOf = [](int n) { return L"{0A1B2C3D-0000-4000-8000-0000000000" + std::to_wstring(10 + n) + L"}"; };
    // Brings a plug-in of class n and name to the side; the name it is shown under.
    auto bring = [&](int n, const wchar_t* name) {
        REQUIRE(AddPreset(model, *Probe(name, classOf(n).c_str()), *preset, SIDE_PACKAGE) == S_OK);
        PlugInEntry* entry = FindSidePlugIn(model, SIDE_PACKAGE, *Probe(L"", classOf(n).c_str()));
        REQUIRE(entry != nullptr);
        return std::wstring(entry->name);
    };
    CatalogueLookupScope scope(model);
    DropPresetFromMemory(model, *Probe(L"Alpha", kClassA), L"One", SIDE_PACKAGE); // before any name is asked for
    CHECK(bring(1, L"beta") == L"Not Installed 000");
    CHECK(bring(2, L"BETA") == L"Not Installed 001"); // the first one's name counts as soon as it is there
    DropPresetFromMemory(model, *Probe(L"Beta", kClassB), L"Two", SIDE_PACKAGE);
    CHECK(bring(3, L"Beta") == L"Beta");
    CHECK(bring(4, L"alpha") == L"alpha");
}
