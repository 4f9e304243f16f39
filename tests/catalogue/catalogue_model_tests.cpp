// The catalogue classes and the side operations on the package side, where nothing reaches the store.
#include <doctest.h>
#include <memory>
#include <string>
#include "catalogue_model.h"
#include "kvlang.h"
#include "resource.h"
#include "store_fixture.h"

using namespace storetest;

namespace {

std::wstring DisplayName(const PlugInEntry& entry, int capacity = CATALOGUE_NAME_CHARS) {
    wchar_t buffer[CATALOGUE_NAME_CHARS + 8];
    for (auto& c : buffer) c = L'#';
    entry.GetDisplayName(buffer, capacity, TestLanguage());
    return buffer;
}

constexpr wchar_t kClassA[] = L"{0A1B2C3D-0000-4000-8000-00000000000A}";
constexpr wchar_t kClassB[] = L"{0A1B2C3D-0000-4000-8000-00000000000B}";

} // namespace

TEST_CASE("copies own their data and truncate their names") {
    SUBCASE("a preset name longer than 259 characters is cut to 259") {
        std::wstring longName(300, L'p');
        PresetEntry preset(longName.c_str());
        CHECK(std::wstring(preset.name) == longName.substr(0, 259));
        PlugInEntry entry(longName.c_str(), L"{0123456789012345678901234567890123456789}");
        CHECK(wcslen(entry.name) == 259);
        CHECK(wcslen(entry.classIdText) == 39);
    }
    SUBCASE("Assign copies the blob, so the source can go away") {
        std::unique_ptr<PresetEntry> source(MakePreset(L"Warm", Pattern(300, 1)));
        source->expanded = 1;
        PresetEntry target;
        target.AdoptData(CatalogueBlobAlloc(10), 10);
        target.Assign(*source);
        CHECK(target.data != source->data);
        CHECK(target.expanded == 1);
        source.reset();
        CHECK(DataOf(&target) == Pattern(300, 1));
        PresetEntry empty;
        target.Assign(empty);
        CHECK(target.data == nullptr);
        CHECK(target.dataSize == 0);
    }
    SUBCASE("CopyShell takes everything but the presets") {
        std::unique_ptr<PlugInEntry> source(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
        source->expanded = 1;
        source->AppendPreset(MakePreset(L"One", Pattern(4, 2)));
        std::unique_ptr<PlugInEntry> shell(PlugInEntry::CopyShell(*source));
        CHECK(std::wstring(shell->name) == L"Echo");
        CHECK(shell->flags == PLUGIN_LATHMERE_TOOL);
        CHECK(shell->majorVersion == 6);
        CHECK(shell->expanded == 1);
        CHECK(shell->PresetCount() == 0);
    }
    SUBCASE("a chain's Assign replaces stream and members") {
        std::unique_ptr<ChainEntry> source(MakeChain(L"Bus", L"bus-1", Pattern(20, 3), 7, 9));
        const wchar_t member[] = L"member one";
        KvList_AllocAndInsertItem(source->members, member, sizeof(member), -1, nullptr);
        std::unique_ptr<ChainEntry> target(MakeChain(L"Old", L"old", Pattern(50, 4)));
        KvList_AllocAndInsertItem(target->members, L"x", 4, -1, nullptr);
        KvList_AllocAndInsertItem(target->members, L"y", 4, -1, nullptr);
        target->Assign(*source);
        source->AdoptStream(nullptr, 0);
        CHECK(std::wstring(target->identifier) == L"bus-1");
        CHECK(target->flags == 7);
        CHECK(target->type == 9);
        CHECK(StreamOf(target.get()) == Pattern(20, 3));
        REQUIRE(target->members->count == 1);
        CHECK(std::wstring(static_cast<const wchar_t*>(target->members->items[0])) == member);
    }
}

TEST_CASE("display names and name matching") {
    PlugInEntry plain(L"Alpha Reverb", kClassA);
    std::unique_ptr<PlugInEntry> six(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    std::unique_ptr<PlugInEntry> nine(
        MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 1));
    wchar_t expected[CATALOGUE_NAME_CHARS];
    KvPrintFN(expected, CATALOGUE_NAME_CHARS, KvGetString(TestLanguage(), IDS_LATHMERE_UNVERSIONED_TOOL), L"Echo");
    std::wstring sixName = expected;
    KvPrintFN(expected, CATALOGUE_NAME_CHARS, KvGetString(TestLanguage(), IDS_LATHMERE_VERSIONED_TOOL), 9, 1, L"Echo");
    std::wstring nineName = expected;

    SUBCASE("the texts come from the string table") {
        CHECK(DisplayName(plain) == L"Alpha Reverb");
        CHECK(sixName == L"Moravel Lathmere Echo");
        CHECK(nineName == L"Varden Lathmere 9.1 Echo");
        CHECK(DisplayName(*six) == sixName);
        CHECK(DisplayName(*nine) == nineName);
    }
    SUBCASE("small capacities") {
        CHECK(DisplayName(*six, 1) == L"");
        CHECK(DisplayName(*six, 5) == L"Mora");
        wchar_t untouched[2] = {L'#', 0};
        six->GetDisplayName(untouched, 0, TestLanguage());
        CHECK(untouched[0] == L'#');
    }
    SUBCASE("a tool matches by name or display name, ignoring case") {
        CHECK(six->MatchesName(L"ECHO", TestLanguage()));
        CHECK(six->MatchesName(L"moravel lathmere echo", TestLanguage()));
        CHECK_FALSE(six->MatchesName(nineName.c_str(), TestLanguage()));
    }
}

TEST_CASE("plug-in identity") {
    PlugInList list;
    list.Append(MakePlugIn(L"Alpha", kClassA));
    list.Append(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    list.Append(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 0));

    std::wstring lowerA = kClassA;
    for (auto& c : lowerA) c = static_cast<wchar_t>(towlower(c));
    CHECK(list.FindByIdentity(PlugInEntry(L"Other name", kClassA), TestLanguage()) == 0);
    CHECK(list.FindByIdentity(PlugInEntry(L"Alpha", lowerA.c_str()), TestLanguage()) == -1);

    std::unique_ptr<PlugInEntry> byDisplay(MakePlugIn(L"Varden Lathmere 9.0 Echo", L"",
                                                      PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 0));
    CHECK(list.FindByIdentity(*byDisplay, TestLanguage()) == 2);
    std::unique_ptr<PlugInEntry> otherVersion(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 1));
    CHECK(list.FindByIdentity(*otherVersion, TestLanguage()) == -1);
    // A DirectShow entry never matches a tool, whatever the names.
    CHECK(list.FindByIdentity(PlugInEntry(L"Echo", L""), TestLanguage()) == -1);
    CHECK(list.FindByName(L"moravel lathmere echo", TestLanguage()) == 1);
}

TEST_CASE("Not Installed names take the first free number") {
    PlugInList list;
    wchar_t name[CATALOGUE_NAME_CHARS];
    list.MakeNotInstalledName(name, CATALOGUE_NAME_CHARS, TestLanguage());
    CHECK(std::wstring(name) == L"Not Installed 000");

    list.Append(MakePlugIn(L"Not Installed 000", kClassA));
    list.Append(MakePlugIn(L"not installed 002", kClassB));
    list.Append(MakePlugIn(L"Gamma", L"{0A1B2C3D-0000-4000-8000-00000000000C}"));
    list.MakeNotInstalledName(name, CATALOGUE_NAME_CHARS, TestLanguage());
    CHECK(std::wstring(name) == L"Not Installed 001");

    PlugInList full;
    full.Append(MakePlugIn(L"Not Installed 001", kClassA));
    full.Append(MakePlugIn(L"Not Installed 000", kClassB));
    full.MakeNotInstalledName(name, CATALOGUE_NAME_CHARS, TestLanguage());
    CHECK(std::wstring(name) == L"Not Installed 002");
    full.MakeNotInstalledName(name, 6, TestLanguage());
    CHECK(std::wstring(name) == L"Not I");
}

TEST_CASE("side operations on the package side") {
    CatalogueModel model;
    model.language = TestLanguage();
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kClassA));
    std::unique_ptr<PresetEntry> soft(MakePreset(L"Soft", Pattern(10, 1)));
    std::unique_ptr<PresetEntry> hard(MakePreset(L"Hard", Pattern(12, 2)));

    REQUIRE(AddPreset(model, *alpha, *soft, SIDE_PACKAGE) == S_OK);
    REQUIRE(AddPreset(model, *alpha, *hard, SIDE_PACKAGE) == S_OK);
    PlugInList* side = model.plugIns[SIDE_PACKAGE];
    REQUIRE(side != nullptr);
    CHECK(model.plugIns[SIDE_SYSTEM] == nullptr);

    SUBCASE("a name differing only in case replaces the preset in place") {
        std::unique_ptr<PresetEntry> softer(MakePreset(L"SOFT", Pattern(30, 5)));
        REQUIRE(AddPreset(model, *alpha, *softer, SIDE_PACKAGE) == S_OK);
        REQUIRE(side->Count() == 1);
        PlugInEntry* entry = side->At(0);
        REQUIRE(entry->PresetCount() == 2);
        CHECK(std::wstring(entry->PresetAt(0)->name) == L"SOFT");
        CHECK(DataOf(entry->PresetAt(0)) == Pattern(30, 5));
        CHECK(entry->PresetAt(0)->data != softer->data);
    }
    SUBCASE("a different plug-in of the same name gets a Not Installed name") {
        std::unique_ptr<PlugInEntry> impostor(MakePlugIn(L"alpha", kClassB));
        REQUIRE(AddPreset(model, *impostor, *soft, SIDE_PACKAGE) == S_OK);
        REQUIRE(side->Count() == 2);
        CHECK(std::wstring(side->At(1)->name) == L"Not Installed 000");
        CHECK(std::wstring(side->At(1)->classIdText) == kClassB);
        // The same class again joins that entry instead of making a third.
        REQUIRE(AddPreset(model, *impostor, *hard, SIDE_PACKAGE) == S_OK);
        CHECK(side->Count() == 2);
        CHECK(side->At(1)->PresetCount() == 2);
    }
    SUBCASE("removing the last preset removes the plug-in") {
        CHECK(RemovePreset(model, *alpha, *soft, SIDE_PACKAGE) == S_OK);
        REQUIRE(side->Count() == 1);
        CHECK(side->At(0)->PresetCount() == 1);
        std::unique_ptr<PresetEntry> hardUpper(MakePreset(L"HARD", Bytes()));
        CHECK(RemovePreset(model, *alpha, *hardUpper, SIDE_PACKAGE) == S_OK);
        CHECK(side->Count() == 0);
        CHECK(side->TotalPresetCount() == 0);
        // Removing what the side does not hold changes nothing.
        CHECK(RemovePreset(model, *alpha, *soft, SIDE_PACKAGE) == S_OK);
    }
    SUBCASE("chains are replaced by name and removed") {
        std::unique_ptr<ChainEntry> bus(MakeChain(L"Bus", L"id-1", Pattern(8, 1), 1, 2));
        std::unique_ptr<ChainEntry> other(MakeChain(L"Other", L"id-2", Pattern(8, 2)));
        std::unique_ptr<ChainEntry> busAgain(MakeChain(L"BUS", L"id-3", Pattern(9, 3), 4, 5));
        REQUIRE(AddChain(model, *bus, SIDE_PACKAGE) == S_OK);
        REQUIRE(AddChain(model, *other, SIDE_PACKAGE) == S_OK);
        REQUIRE(AddChain(model, *busAgain, SIDE_PACKAGE) == S_OK);
        ChainList* chains = model.chains[SIDE_PACKAGE];
        REQUIRE(chains->Count() == 2);
        CHECK(std::wstring(chains->At(0)->identifier) == L"id-3");
        CHECK(StreamOf(chains->At(0)) == Pattern(9, 3));
        CHECK(RemoveChain(model, *bus, SIDE_PACKAGE) == S_OK);
        REQUIRE(chains->Count() == 1);
        CHECK(std::wstring(chains->At(0)->name) == L"Other");
    }
}
