// Loading seeded registry keys and data files into whole catalogues.
#include <doctest.h>
#include <memory>
#include "catalogue_model.h"
#include "kvresult.h"
#include "store_fixture.h"
#include "store_handles.h"
#include "store_names.h"
#include "store_read.h"

using namespace storetest;

namespace {

// Names sort in the order they are created, so insertion order and sorted enumeration agree.
constexpr wchar_t kAlpha[] = L"{10000000-0000-4000-8000-000000000001}";   // registered, 64-bit view
constexpr wchar_t kBravo[] = L"{20000000-0000-4000-8000-000000000002}";   // unregistered
constexpr wchar_t kCharlie[] = L"{30000000-0000-4000-8000-000000000003}"; // unregistered, nothing loadable
constexpr wchar_t kDelta[] = L"{40000000-0000-4000-8000-000000000004}";   // unregistered
constexpr wchar_t kEcho[] = L"{50000000-0000-4000-8000-000000000005}";    // registered, 32-bit view only

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

void SeedDirectShow(const StoreSandbox& sandbox) {
    std::wstring alpha = PlugInKey(kAlpha);
    SetBinary(alpha, L"(Default)", Pattern(5, 1));
    SetBinary(alpha, L"(untitled)", Pattern(5, 2));
    testsupport::WriteWholeFile(sandbox.file(L"big.dxp"), Pattern(300, 4).data(), 300);
    SetText(alpha, L"Big", sandbox.file(L"big.dxp"));
    testsupport::WriteWholeFile(sandbox.file(L"empty.dxp"), "", 0);
    SetText(alpha, L"Empty", sandbox.file(L"empty.dxp"));
    SetText(alpha, L"Gone", sandbox.file(L"gone.dxp"));
    SetText(alpha, L"NoPath", L"");
    SetDword(alpha, L"Number", 5);
    SetBinary(alpha, L"Soft", Pattern(10, 3));
    SetBinary(alpha, L"Zero", Bytes());

    SetBinary(PlugInKey(kBravo), L"B1", Pattern(7, 5));
    SetBinary(PlugInKey(kCharlie), L"(Default)", Pattern(3, 6));
    SetBinary(PlugInKey(kCharlie), L"(Untitled)", Pattern(3, 7));
    SetBinary(PlugInKey(kDelta), L"D1", Pattern(9, 8));
    SetText(PlugInKey(kEcho), L"E1", sandbox.file(L"big.dxp"));
    // Not plug-ins or not loadable: the chains key, an over-long key name, a key without values.
    SetBinary(std::wstring(STORE_CHAINS_KEY), L"Looks like a preset", Pattern(4, 9));
    SetBinary(PlugInKey(L"{60000000-0000-4000-8000-000000000006}-and-more-than-forty"), L"L", Pattern(4, 10));
    CreateKey(PlugInKey(L"{70000000-0000-4000-8000-000000000007}"));
    // Under the DirectShow key "(Untitled)" is an ordinary (unregistered) plug-in key.
    SetBinary(PlugInKey(L"(Untitled)"), L"U1", Pattern(6, 11));
}

void SeedLathmere() {
    SetBinary(ToolKey(L"Chainer"), L"C", Pattern(4, 20));
    SetBinary(ToolKey(L"(Untitled)"), L"U", Pattern(4, 21));
    SetBinary(ToolKey(L"Echo"), L"(Default)", Pattern(4, 22));
    SetBinary(ToolKey(L"Echo"), L"(Untitled)", Pattern(4, 23));
    SetBinary(ToolKey(L"Echo"), L"Warm", Pattern(40, 24));
    CreateKey(ToolKey(L"Hollow"));
    // Enumerated as 1, 10.2, 7.5, 8.0, 9.0: "1" has no second token, 8.0 has no presets and ends the scan.
    SetBinary(VersionKey(L"1"), L"x", Pattern(1, 25));
    SetBinary(VersionKey(L"10.2\\Presets\\Limiter"), L"L1", Pattern(12, 26));
    SetBinary(VersionKey(L"7.5\\Presets\\Gate"), L"G1", Pattern(13, 27));
    CreateKey(VersionKey(L"8.0"));
    SetBinary(VersionKey(L"9.0\\Presets\\Comp"), L"C1", Pattern(14, 28));
}

std::unique_ptr<PlugInList> Load() {
    PlugInList* list = nullptr;
    LoadStorePresets(&list);
    return std::unique_ptr<PlugInList>(list);
}

std::vector<std::pair<uint32_t, uint32_t>> Destinations(tKVLIST* list) {
    std::vector<std::pair<uint32_t, uint32_t>> versions;
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
    SeedDirectShow(sandbox);
    SeedLathmere();

    PlugInList expected;
    // "(" sorts before "{", so this key is enumerated first and takes the first number.
    PlugInEntry* untitled = MakePlugIn(L"Not Installed 000", L"(Untitled)");
    untitled->AppendPreset(MakePreset(L"U1", Pattern(6, 11)));
    expected.Append(untitled);
    PlugInEntry* alpha = MakePlugIn(L"Alpha Reverb", kAlpha);
    alpha->AppendPreset(MakePreset(L"Big", Pattern(300, 4)));
    alpha->AppendPreset(MakePreset(L"Soft", Pattern(10, 3)));
    expected.Append(alpha);
    PlugInEntry* bravo = MakePlugIn(L"Not Installed 001", kBravo);
    bravo->AppendPreset(MakePreset(L"B1", Pattern(7, 5)));
    expected.Append(bravo);
    PlugInEntry* delta = MakePlugIn(L"Not Installed 002", kDelta);
    delta->AppendPreset(MakePreset(L"D1", Pattern(9, 8)));
    expected.Append(delta);
    PlugInEntry* echo = MakePlugIn(L"Echo Delay", kEcho);
    echo->AppendPreset(MakePreset(L"E1", Pattern(300, 4)));
    expected.Append(echo);
    PlugInEntry* tool = MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0);
    tool->AppendPreset(MakePreset(L"(Untitled)", Pattern(4, 23)));
    tool->AppendPreset(MakePreset(L"Warm", Pattern(40, 24)));
    expected.Append(tool);
    PlugInEntry* limiter = MakePlugIn(L"Limiter", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 10, 2);
    limiter->AppendPreset(MakePreset(L"L1", Pattern(12, 26)));
    expected.Append(limiter);
    PlugInEntry* gate = MakePlugIn(L"Gate", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 5);
    gate->AppendPreset(MakePreset(L"G1", Pattern(13, 27)));
    expected.Append(gate);

    auto loaded = Load();
    CHECK(Dump(loaded.get()) == Dump(&expected));

    SUBCASE("destinations are listed in enumeration order, with or without presets") {
        CatalogueModel model;
        REQUIRE(LoadSystemCatalogue(model) == S_OK);
        using V = std::vector<std::pair<uint32_t, uint32_t>>;
        CHECK(Destinations(model.destinations) == V{{6, 0}, {10, 2}, {7, 5}, {8, 0}, {9, 0}});
        CHECK(model.selectedDestination == 4);
        CHECK(Dump(model.plugIns[SIDE_SYSTEM]) == Dump(&expected));

        // A refresh that loses versions clamps the selection to the last one left.
        RegDeleteTreeW(HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY);
        REQUIRE(LoadSystemCatalogue(model) == S_OK);
        CHECK(Destinations(model.destinations) == V{{6, 0}});
        const LathmereDestination* current = CurrentLathmereDestination(model);
        REQUIRE(current != nullptr);
        CHECK(current->majorVersion == 6);
        CHECK(model.selectedDestination == 0);
        CHECK(LoadLathmereDestinations(nullptr) == KV_E_INVALIDARG);
    }
}

TEST_CASE("a version key read with a leading zero ends the versioned scan") {
    StoreSandbox sandbox;
    SetBinary(VersionKey(L"7.00\\Presets\\Gate"), L"G1", Pattern(13, 1));
    SetBinary(VersionKey(L"9.0\\Presets\\Comp"), L"C1", Pattern(14, 2));
    CHECK(Load() == nullptr);

    // Once a 7.0 store exists, the 7.00 key is read as that store.
    SetBinary(VersionKey(L"7.0\\Presets\\Solo"), L"S1", Pattern(3, 3));
    auto loaded = Load();
    REQUIRE(loaded != nullptr);
    REQUIRE(loaded->Count() >= 2);
    CHECK(std::wstring(loaded->At(0)->name) == L"Solo");
    CHECK(loaded->At(0)->majorVersion == 7);
    CHECK(std::wstring(loaded->At(loaded->Count() - 1)->name) == L"Comp");
}

TEST_CASE("an empty store loads as null collections") {
    StoreSandbox sandbox;
    CreateKey(STORE_CHAINS_KEY);
    CreateKey(PlugInKey(kBravo));
    CatalogueModel model;
    CHECK(LoadSystemCatalogue(model) == S_OK);
    CHECK(model.plugIns[SIDE_SYSTEM] == nullptr);
    CHECK(model.chains[SIDE_SYSTEM] == nullptr);
    CHECK(model.destinations->count == 0);
    CHECK(model.selectedDestination == -1);
    CHECK(CurrentLathmereDestination(model) == nullptr);
}

TEST_CASE("loading chains") {
    StoreSandbox sandbox;
    std::wstring root = STORE_CHAINS_KEY;
    auto seedChain = [&](const wchar_t* id, const wchar_t* name, DWORD flags, DWORD type) {
        std::wstring key = root + L"\\" + id;
        SetDword(key, L"Flags", flags);
        SetDword(key, L"Type", type);
        SetText(key, L"Name", name);
        return key;
    };
    SetBinary(seedChain(L"a-inline", L"Inline", 1, 2), L"Stream", Pattern(20, 1));
    testsupport::WriteWholeFile(sandbox.file(L"b.kvg"), Pattern(400, 2).data(), 400);
    SetText(seedChain(L"b-file", L"From File", 3, 4), L"Stream", sandbox.file(L"b.kvg"));
    std::wstring textFlags = seedChain(L"c-text-flags", L"Bad Flags", 0, 0);
    SetText(textFlags, L"Flags", L"1");
    SetBinary(textFlags, L"Stream", Pattern(5, 3));
    SetText(seedChain(L"d-missing", L"Missing", 0, 0), L"Stream", sandbox.file(L"none.kvg"));
    seedChain(L"e-no-stream", L"No Stream", 0, 0);
    std::wstring longName = seedChain(L"f-long-name", L"", 0, 0);
    SetText(longName, L"Name", std::wstring(260, L'n'));
    SetBinary(longName, L"Stream", Pattern(5, 4));
    SetBinary(seedChain(L"g-last", L"Last", 5, 6), L"Stream", Pattern(255, 5));

    ChainList expected;
    expected.Append(MakeChain(L"Inline", L"a-inline", Pattern(20, 1), 1, 2));
    expected.Append(MakeChain(L"From File", L"b-file", Pattern(400, 2), 3, 4));
    expected.Append(MakeChain(L"Last", L"g-last", Pattern(255, 5), 5, 6));

    ChainList* loaded = nullptr;
    CHECK(LoadStoreChains(&loaded) == S_OK);
    std::unique_ptr<ChainList> owner(loaded);
    CHECK(Dump(loaded) == Dump(&expected));
}

TEST_CASE("reading one value") {
    StoreSandbox sandbox;
    std::wstring key = PlugInKey(kBravo);
    testsupport::WriteWholeFile(sandbox.file(L"p.dxp"), Pattern(5000, 1).data(), 5000);
    SetText(key, L"File", sandbox.file(L"p.dxp"));
    SetText(key, L"Missing", sandbox.file(L"q.dxp"));
    SetText(key, L"Folder", sandbox.folder());
    SetBinary(key, L"Large", Pattern(9000, 2));
    SetDword(key, L"Number", 1);
    KvRegKey open;
    REQUIRE(OpenKey(&open, HKEY_CURRENT_USER, key.c_str(), KEY_READ) == ERROR_SUCCESS);
    auto read = [&](const wchar_t* name, Bytes* bytes) {
        PresetEntry holder;
        HRESULT hr = ReadValueData(open.get(), name, &holder.data, &holder.dataSize);
        *bytes = DataOf(&holder);
        return hr;
    };
    Bytes bytes;
    CHECK(read(L"File", &bytes) == S_OK);
    CHECK(bytes == Pattern(5000, 1));
    CHECK(read(L"Large", &bytes) == S_OK);
    CHECK(bytes == Pattern(9000, 2));
    CHECK(read(L"Missing", &bytes) == KV_E_DATA_FILE_MISSING);
    CHECK(read(L"Folder", &bytes) == KV_E_DATA_FILE_MISSING);
    CHECK(read(L"Number", &bytes) == ERROR_INVALID_DATA);
    CHECK(read(L"Absent", &bytes) == ERROR_FILE_NOT_FOUND);
}

TEST_CASE("friendly names from either registry view") {
    StoreSandbox sandbox;
    Registrations registrations;
    wchar_t name[CATALOGUE_NAME_CHARS];
    CHECK(GetPlugInFriendlyName(kAlpha, name, sizeof(name)) == ERROR_SUCCESS);
    CHECK(std::wstring(name) == L"Alpha Reverb");
    CHECK(GetPlugInFriendlyName(kEcho, name, sizeof(name)) == ERROR_SUCCESS);
    CHECK(std::wstring(name) == L"Echo Delay");
    CHECK(GetPlugInFriendlyName(kBravo, name, sizeof(name)) == ERROR_FILE_NOT_FOUND);
    CHECK(GetPlugInFriendlyName(kAlpha, name, 39) == ERROR_MORE_DATA);
    CHECK(GetPlugInFriendlyName(kAlpha, name, 40) == ERROR_SUCCESS); // 13 characters and terminator fit
    RegisterClassName(kCharlie, L"A name far longer than twenty characters");
    CHECK(GetPlugInFriendlyName(kCharlie, name, 40) == ERROR_MORE_DATA);
    UnregisterClass(kCharlie);
}
