// Loading seeded registry keys and data files into whole catalogues.
#include <doctest.h>
#include <algorithm>
#include <memory>
#include <vector>
#include "catalogue_model.h"
#include "class_listing.h"
#include "kvresult.h"
#include "store_fixture.h"
#include "store_handles.h"
#include "store_read.h"

using namespace storetest;

namespace {

// Names sort in the order they are created, so insertion order and sorted enumeration agree.
constexpr wchar_t kAlpha[] = L"{10000000-0000-4000-8000-000000000001}";   // registered, 64-bit view
constexpr wchar_t kBravo[] = L"{20000000-0000-4000-8000-000000000002}";   // unregistered
constexpr wchar_t kCharlie[] = L"{30000000-0000-4000-8000-000000000003}"; // unregistered, nothing loadable
constexpr wchar_t kDelta[] = L"{40000000-0000-4000-8000-000000000004}";   // unregistered
constexpr wchar_t kEcho[] = L"{50000000-0000-4000-8000-000000000005}";    // registered, 32-bit view only
constexpr uint32_t kVersioned = PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED;

std::wstring PlugInKey(const wchar_t* classId) { return std::wstring(STORE_PRESETS_KEY) + L"\\" + classId; }
std::wstring ToolKey(const wchar_t* tool) { return std::wstring(STORE_LATHMERE_KEY) + L"\\" + tool; }
std::wstring VersionKey(const wchar_t* version) { return std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\" + version; }

struct Registrations {
    Registrations() {
        RegisterClassName(kAlpha, L"Alpha Reverb");
        RegisterClassName(kEcho, L"Echo Delay", KEY_WOW64_32KEY);
    }
    ~Registrations() {
        UnregisterClass(kAlpha);
        UnregisterClass(kEcho);
    }
};

std::unique_ptr<PlugInList> Load() {
    PlugInList* list = nullptr;
    LoadStorePresets(&list);
    return std::unique_ptr<PlugInList>(list);
}

using Versions = std::vector<std::pair<uint32_t, uint32_t>>;
Versions Destinations(tKVLIST* list) {
    Versions versions;
    for (int i = 0; i < list->count; ++i) {
        auto* record = static_cast<const LathmereDestination*>(list->items[i]);
        versions.emplace_back(record->majorVersion, record->minorVersion);
    }
    return versions;
}

} // namespace

TEST_CASE("loading presets gives the whole catalogue") {
    StoreSandbox sandbox;
    Registrations registrations;
    const std::wstring big = sandbox.WriteFile(L"big.dxp", Pattern(300, 4));
    SetText(PlugInKey(kAlpha), L"Big", big);
    SetText(PlugInKey(kAlpha), L"Empty", sandbox.WriteFile(L"empty.dxp", Bytes()));
    SetText(PlugInKey(kAlpha), L"Gone", sandbox.file(L"gone.dxp"));
    SetText(PlugInKey(kAlpha), L"NoPath", L"");
    SetDword(PlugInKey(kAlpha), L"Number", 5);
    SetText(PlugInKey(kEcho), L"E1", big);
    // "(Default)" and "(Untitled)" values are skipped; under the DirectShow key "(Untitled)" is an ordinary
    // (unregistered) plug-in key, enumerated first. Versions enumerate as 1, 10.2, 7.5, 8.0, 9.0: "1" has no second
    // token, 8.0 has no presets and ends the scan. The chains key and an over-long key name are no plug-ins.
    const struct { std::wstring key; const wchar_t* name; size_t size; } seeds[] = {
        {PlugInKey(kAlpha), L"(Default)", 5}, {PlugInKey(kAlpha), L"(untitled)", 5}, {PlugInKey(kAlpha), L"Soft", 10},
        {PlugInKey(kAlpha), L"Zero", 0}, {PlugInKey(kBravo), L"B1", 7}, {PlugInKey(kCharlie), L"(Default)", 3},
        {PlugInKey(kCharlie), L"(Untitled)", 3}, {PlugInKey(kDelta), L"D1", 9}, {STORE_CHAINS_KEY, L"Looks like a preset", 4},
        {PlugInKey(L"{60000000-0000-4000-8000-000000000006}-and-more-than-forty"), L"L", 4},
        {PlugInKey(L"(Untitled)"), L"U1", 6}, {ToolKey(L"Chainer"), L"C", 4}, {ToolKey(L"(Untitled)"), L"U", 4},
        {ToolKey(L"Echo"), L"(Default)", 4}, {ToolKey(L"Echo"), L"(Untitled)", 4}, {ToolKey(L"Echo"), L"Warm", 40},
        {VersionKey(L"1"), L"x", 1}, {VersionKey(L"10.2\\Presets\\Limiter"), L"L1", 12},
        {VersionKey(L"7.5\\Presets\\Gate"), L"G1", 13}, {VersionKey(L"9.0\\Presets\\Comp"), L"C1", 14}};
    for (const auto& seed : seeds) REQUIRE(SetBinary(seed.key, seed.name, Pattern(seed.size, seed.size)));
    for (const std::wstring& hollow : {PlugInKey(L"{70000000-0000-4000-8000-000000000007}"), ToolKey(L"Hollow"), VersionKey(L"8.0")})
        CreateKey(hollow);

    PlugInList expected;
    expected.Append(MakePlugIn(L"Not Installed 000", L"(Untitled)", 0, 0, 0, {MakePreset(L"U1", Pattern(6, 6))}));
    expected.Append(MakePlugIn(L"Alpha Reverb", kAlpha, 0, 0, 0,
                               {MakePreset(L"Big", Pattern(300, 4)), MakePreset(L"Soft", Pattern(10, 10))}));
    expected.Append(MakePlugIn(L"Not Installed 001", kBravo, 0, 0, 0, {MakePreset(L"B1", Pattern(7, 7))}));
    expected.Append(MakePlugIn(L"Not Installed 002", kDelta, 0, 0, 0, {MakePreset(L"D1", Pattern(9, 9))}));
    expected.Append(MakePlugIn(L"Echo Delay", kEcho, 0, 0, 0, {MakePreset(L"E1", Pattern(300, 4))}));
    expected.Append(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0,
                               {MakePreset(L"(Untitled)", Pattern(4, 4)), MakePreset(L"Warm", Pattern(40, 40))}));
    expected.Append(MakePlugIn(L"Limiter", L"", kVersioned, 10, 2, {MakePreset(L"L1", Pattern(12, 12))}));
    expected.Append(MakePlugIn(L"Gate", L"", kVersioned, 7, 5, {MakePreset(L"G1", Pattern(13, 13))}));
    CHECK(Dump(Load().get()) == Dump(&expected));

    // Destinations are listed in enumeration order, with or without presets.
    CatalogueModel model;
    REQUIRE(LoadSystemCatalogue(model) == S_OK);
    CHECK(Destinations(model.destinations) == Versions{{6, 0}, {10, 2}, {7, 5}, {8, 0}, {9, 0}});
    CHECK(model.selectedDestination == 4);
    CHECK(Dump(model.plugIns[SIDE_SYSTEM]) == Dump(&expected));
    // A refresh that loses versions clamps the selection to the last one left.
    RegDeleteTreeW(HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY);
    REQUIRE(LoadSystemCatalogue(model) == S_OK);
    CHECK(Destinations(model.destinations) == Versions{{6, 0}});
    REQUIRE(CurrentLathmereDestination(model) != nullptr);
    CHECK(CurrentLathmereDestination(model)->majorVersion == 6);
    CHECK(model.selectedDestination == 0);
    CHECK(LoadLathmereDestinations(nullptr) == KV_E_INVALIDARG);
}

TEST_CASE("loading chains") {
    StoreSandbox sandbox;
    SeedChain(L"a-inline", L"Inline", 1, 2, Pattern(20, 1));
    SeedChain(L"b-file", L"From File", 3, 4, Pattern(400, 2), sandbox.file(L"b.kvg"));
    SetText(SeedChain(L"c-text-flags", L"Bad Flags", 0, 0, Pattern(5, 3)), L"Flags", L"1");
    SetText(SeedChain(L"d-missing", L"Missing", 0, 0, {}), L"Stream", sandbox.file(L"none.kvg"));
    SeedChain(L"e-no-stream", L"No Stream", 0, 0, {});
    SetText(SeedChain(L"f-long-name", L"", 0, 0, Pattern(5, 4)), L"Name", std::wstring(260, L'n'));
    SeedChain(L"g-last", L"Last", 5, 6, Pattern(255, 5));

    ChainList expected;
    expected.Append(MakeChain(L"Inline", L"a-inline", Pattern(20, 1), 1, 2));
    expected.Append(MakeChain(L"From File", L"b-file", Pattern(400, 2), 3, 4));
    expected.Append(MakeChain(L"Last", L"g-last", Pattern(255, 5), 5, 6));
    ChainList* loaded = nullptr;
    CHECK(LoadStoreChains(&loaded) == S_OK);
    CHECK(Dump(std::unique_ptr<ChainList>(loaded).get()) == Dump(&expected));
}

TEST_CASE("reading one value: inline, from a data file, or why not") {
    StoreSandbox sandbox;
    const std::wstring key = PlugInKey(kBravo);
    for (auto [name, text] : {std::pair{L"File", sandbox.WriteFile(L"p.dxp", Pattern(5000, 1))},
                              {L"Missing", sandbox.file(L"q.dxp")}, {L"Folder", sandbox.folder()}})
        SetText(key, name, text);
    SetBinary(key, L"Large", Pattern(9000, 2));
    SetDword(key, L"Number", 1);
    KvRegKey open;
    REQUIRE(OpenKey(&open, HKEY_CURRENT_USER, key.c_str(), KEY_READ) == ERROR_SUCCESS);
    const struct { const wchar_t* name; HRESULT expected; Bytes data; } rows[] = {
        {L"File", S_OK, Pattern(5000, 1)}, {L"Large", S_OK, Pattern(9000, 2)},
        {L"Missing", KV_E_DATA_FILE_MISSING, {}}, {L"Folder", KV_E_DATA_FILE_MISSING, {}},
        {L"Number", ERROR_INVALID_DATA, {}}, {L"Absent", ERROR_FILE_NOT_FOUND, {}}};
    for (const auto& row : rows) {
        CAPTURE(Narrow(row.name));
        PresetEntry holder;
        CHECK(ReadValueData(open.get(), row.name, &holder.data, &holder.dataSize) == row.expected);
        CHECK(DataOf(&holder) == row.data);
    }

    // With many look-ups to come, the registered classes are listed once first: the names found must not change.
    Registrations registrations;
    PlugInClassNames listed(100000);
    wchar_t name[CATALOGUE_NAME_CHARS];
    CHECK(listed.FriendlyName(kAlpha, name, sizeof(name)) == ERROR_SUCCESS);
    CHECK(std::wstring(name) == L"Alpha Reverb");
    CHECK(listed.FriendlyName(kEcho, name, sizeof(name)) == ERROR_SUCCESS);
    CHECK(std::wstring(name) == L"Echo Delay");
    CHECK(listed.FriendlyName(kBravo, name, sizeof(name)) == ERROR_FILE_NOT_FOUND);
    // The listing is kept for later look-ups, but a class registered since is found by them.
    RegisterClassName(kBravo, L"Bravo Chorus", KEY_WOW64_32KEY);
    PlugInClassNames relisted(100000);
    CHECK(relisted.FriendlyName(kBravo, name, sizeof(name)) == ERROR_SUCCESS);
    // The listing is kept in a file for the next process, which takes it while the class roots are unchanged.
    std::vector<uint64_t> kept;
    uint64_t bravo = 0;
    REQUIRE(FoldedNameHash(kBravo, &bravo));
    CHECK(ReadClassListingFile(ClassListingFilePath(), StampClassRoots(), &kept));
    CHECK(std::binary_search(kept.begin(), kept.end(), bravo));
    UnregisterClass(kBravo);
    CHECK_FALSE(ReadClassListingFile(ClassListingFilePath(), StampClassRoots(), &kept));
}

TEST_CASE("a kept class listing is refused for other class roots and when cut short") {
    StoreSandbox sandbox;
    const std::wstring path = sandbox.file(L"classes.cache");
    const ClassRootsStamp stamp = StampClassRoots();
    REQUIRE(WriteClassListingFile(path, stamp, {3, 5, 9}) == S_OK);
    std::vector<uint64_t> read;
    CHECK(ReadClassListingFile(path, stamp, &read));
    CHECK(read == std::vector<uint64_t>{3, 5, 9});
    ClassRootsStamp other = stamp;
    other.values[1] += 1;
    CHECK_FALSE(ReadClassListingFile(path, other, &read));
    {
        KvFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = -4;
        REQUIRE(SetFilePointerEx(file.get(), end, nullptr, FILE_END));
        REQUIRE(SetEndOfFile(file.get()));
    }
    CHECK_FALSE(ReadClassListingFile(path, stamp, &read));
}

TEST_CASE("preset values larger than one enumeration call holds are loaded whole, their neighbours too") {
    StoreSandbox sandbox;
    // Values come with their data in one call while the data fit 4096 bytes; larger ones are asked for again.
    const struct { const wchar_t* name; size_t size; } values[] = {
        {L"A", 1}, {L"B", 4095}, {L"C", 4096}, {L"D", 4097}, {L"E", 70000}, {L"F", 2}};
    std::vector<PresetEntry*> presets;
    for (const auto& value : values) {
        REQUIRE(SetBinary(PlugInKey(kBravo), value.name, Pattern(value.size, unsigned(value.size))));
        presets.push_back(MakePreset(value.name, Pattern(value.size, unsigned(value.size))));
    }
    REQUIRE(SetText(PlugInKey(kBravo), L"G", sandbox.WriteFile(L"g.dxp", Pattern(9000, 3))));
    presets.push_back(MakePreset(L"G", Pattern(9000, 3)));
    // A path too long for one call names no file: left out, and the next value still loads.
    REQUIRE(SetText(PlugInKey(kBravo), L"H", sandbox.folder() + L"\\" + std::wstring(3000, L'h') + L".dxp"));
    REQUIRE(SetBinary(PlugInKey(kBravo), L"I", Pattern(3, 3)));
    presets.push_back(MakePreset(L"I", Pattern(3, 3)));
    PlugInList expected;
    expected.Append(MakePlugIn(L"Not Installed 000", kBravo, 0, 0, 0, presets));
    CHECK(Dump(Load().get()) == Dump(&expected));
}
