// Writing and deleting presets and chains in the store, and the side operations that write through to it.
#include <doctest.h>
#include <memory>
#include "catalogue_model.h"
#include "kvresult.h"
#include "store_files.h"
#include "store_fixture.h"
#include "store_names.h"
#include "store_write.h"

using namespace storetest;

namespace {

constexpr wchar_t kClass[] = L"{A0000000-0000-4000-8000-00000000000A}";

std::wstring PlugInKey(const wchar_t* classId = kClass) {
    return std::wstring(STORE_PRESETS_KEY) + L"\\" + classId;
}
std::wstring ChainKey(const wchar_t* id) { return std::wstring(STORE_CHAINS_KEY) + L"\\" + id; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace

TEST_CASE("writing DirectShow presets") {
    StoreSandbox sandbox;
    std::unique_ptr<PlugInEntry> plugIn(MakePlugIn(L"Alpha", kClass));

    SUBCASE("DefLocation is created on the first write, even without a data file") {
        std::unique_ptr<PresetEntry> small(MakePreset(L"Small", Pattern(3, 1)));
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ValueType(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == REG_EXPAND_SZ);
        CHECK(ValueText(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == ProgramFolder() + L"Presets");
        CHECK(ValueBytes(PlugInKey(), L"Small") == Pattern(3, 1));
        CHECK_FALSE(Exists(ProgramFolder() + L"Presets"));
        // An existing value is never changed.
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, L"X:\\kept", REG_EXPAND_SZ);
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ValueText(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == L"X:\\kept");
    }
    SUBCASE("255 bytes stay inline, 256 go to a data file") {
        sandbox.UseScratchDefLocations();
        std::unique_ptr<PresetEntry> inlinePreset(MakePreset(L"Edge", Pattern(255, 2)));
        std::unique_ptr<PresetEntry> filePreset(MakePreset(L"Over", Pattern(256, 3)));
        REQUIRE(WriteStorePreset(*plugIn, *inlinePreset) == S_OK);
        REQUIRE(WriteStorePreset(*plugIn, *filePreset) == S_OK);
        CHECK(ValueType(PlugInKey(), L"Edge") == REG_BINARY);
        CHECK(ValueBytes(PlugInKey(), L"Edge") == Pattern(255, 2));
        std::wstring path = sandbox.folder() + L"\\presets\\" + kClass + L"\\Over.dxp";
        CHECK(ValueType(PlugInKey(), L"Over") == REG_SZ);
        CHECK(ValueText(PlugInKey(), L"Over") == path);
        CHECK(testsupport::ReadWholeFile(path) == Pattern(256, 3));
        CHECK(CountFiles(sandbox.folder()) == 1);

        // What was written loads back with the same bytes.
        PlugInList* loaded = nullptr;
        LoadStorePresets(&loaded);
        std::unique_ptr<PlugInList> owner(loaded);
        REQUIRE(loaded != nullptr);
        CHECK(DataOf(loaded->At(0)->FindPreset(L"Edge")) == Pattern(255, 2));
        CHECK(DataOf(loaded->At(0)->FindPreset(L"Over")) == Pattern(256, 3));
    }
    SUBCASE("file names replace the characters files cannot carry") {
        sandbox.UseScratchDefLocations();
        std::unique_ptr<PresetEntry> first(MakePreset(L"a\"*/:<>?\\|b", Pattern(300, 4)));
        std::unique_ptr<PresetEntry> second(MakePreset(L"a?????????b", Pattern(310, 5)));
        REQUIRE(WriteStorePreset(*plugIn, *first) == S_OK);
        REQUIRE(WriteStorePreset(*plugIn, *second) == S_OK);
        std::wstring path = sandbox.folder() + L"\\presets\\" + kClass + L"\\a_________b.dxp";
        CHECK(ValueText(PlugInKey(), first->name) == path);
        CHECK(ValueText(PlugInKey(), second->name) == path);
        CHECK(testsupport::ReadWholeFile(path) == Pattern(310, 5));
        CHECK(CountFiles(sandbox.folder()) == 1);
    }
    SUBCASE("a failed file write leaves no partial file and the old file as it was") {
        sandbox.UseScratchDefLocations();
        std::unique_ptr<PresetEntry> preset(MakePreset(L"Keep", Pattern(400, 6)));
        REQUIRE(WriteStorePreset(*plugIn, *preset) == S_OK);
        std::wstring path = sandbox.folder() + L"\\presets\\" + kClass + L"\\Keep.dxp";
        std::unique_ptr<PresetEntry> newer(MakePreset(L"Keep", Pattern(500, 7)));
        {
            // Another program holds the file open without letting it be replaced.
            HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            REQUIRE(held != INVALID_HANDLE_VALUE);
            CHECK(WriteStorePreset(*plugIn, *newer) == KV_E_WRITE);
            CloseHandle(held);
        }
        CHECK(testsupport::ReadWholeFile(path) == Pattern(400, 6));
        CHECK(CountFiles(sandbox.folder()) == 1);
        // A folder in the file's place is not replaced either, and nothing is left beside it.
        std::unique_ptr<PresetEntry> clash(MakePreset(L"Clash", Pattern(500, 8)));
        std::wstring clashPath = sandbox.folder() + L"\\presets\\" + kClass + L"\\Clash.dxp";
        REQUIRE(CreateDirectoryW(clashPath.c_str(), nullptr));
        testsupport::WriteWholeFile(clashPath + L"\\inside", "abc", 3);
        CHECK(WriteStorePreset(*plugIn, *clash) == KV_E_WRITE);
        CHECK(testsupport::ReadWholeFile(clashPath + L"\\inside").size() == 3);
        CHECK(CountFiles(sandbox.folder()) == 2);
        // A folder that cannot be made (a file stands in the way) is refused the same way.
        testsupport::WriteWholeFile(sandbox.file(L"blocker"), "x", 1);
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, sandbox.file(L"blocker") + L"\\deeper", REG_EXPAND_SZ);
        CHECK(WriteStorePreset(*plugIn, *newer) == KV_E_WRITE);
    }
    SUBCASE("deleting a preset removes its value and data file, never the key") {
        sandbox.UseScratchDefLocations();
        std::unique_ptr<PresetEntry> small(MakePreset(L"Small", Pattern(8, 8)));
        std::unique_ptr<PresetEntry> large(MakePreset(L"Large", Pattern(800, 9)));
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        REQUIRE(WriteStorePreset(*plugIn, *large) == S_OK);
        REQUIRE(CountFiles(sandbox.folder()) == 1);
        CHECK(DeleteStorePreset(*plugIn, *large) == S_OK);
        CHECK(CountFiles(sandbox.folder()) == 0);
        CHECK(ValueType(PlugInKey(), L"Large") == REG_NONE);
        CHECK(DeleteStorePreset(*plugIn, *small) == S_OK);
        CHECK(KeyExists(PlugInKey()));
        CHECK(DeleteStorePreset(*plugIn, *small) == ERROR_FILE_NOT_FOUND);
    }
}

TEST_CASE("writing Lathmere presets") {
    StoreSandbox sandbox;
    std::unique_ptr<PlugInEntry> nine(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 0));
    std::unique_ptr<PresetEntry> big(MakePreset(L"Big", Pattern(5000, 1)));
    std::wstring unversioned = std::wstring(STORE_LATHMERE_KEY) + L"\\Echo";
    std::wstring versioned = LathmereVersionedKey(9, 0) + L"\\Echo";

    LathmereDestination six{6, 0};
    REQUIRE(WriteLathmerePreset(*nine, *big, 0, &six) == S_OK);
    CHECK(ValueType(unversioned, L"Big") == REG_BINARY);
    CHECK(ValueBytes(unversioned, L"Big") == Pattern(5000, 1));
    CHECK_FALSE(KeyExists(versioned));
    // Deleting looks in the tool's own store, where the preset is not.
    CHECK(DeleteStorePreset(*nine, *big) == ERROR_FILE_NOT_FOUND);
    CHECK(ValueType(unversioned, L"Big") == REG_BINARY);

    REQUIRE(WriteLathmerePreset(*nine, *big, 1, &six) == S_OK);
    CHECK(ValueBytes(versioned, L"Big") == Pattern(5000, 1));
    LathmereDestination sevenOne{7, 1};
    REQUIRE(WriteLathmerePreset(*nine, *big, 0, &sevenOne) == S_OK);
    CHECK(ValueType(LathmereVersionedKey(7, 1) + L"\\Echo", L"Big") == REG_BINARY);
    CHECK(DeleteStorePreset(*nine, *big) == S_OK);
    CHECK(ValueType(versioned, L"Big") == REG_NONE);
    CHECK(CountFiles(sandbox.folder()) == 0);
}

TEST_CASE("writing and deleting chains") {
    StoreSandbox sandbox;
    sandbox.UseScratchDefLocations();
    std::unique_ptr<ChainEntry> small(MakeChain(L"Small Bus", L"small-id", Pattern(255, 1), 0x11, 0x22));
    std::unique_ptr<ChainEntry> large(MakeChain(L"Large: Bus?", L"large-id", Pattern(256, 2), 3, 4));
    REQUIRE(WriteStoreChain(*small) == S_OK);
    REQUIRE(WriteStoreChain(*large) == S_OK);
    CHECK(ValueBytes(ChainKey(L"small-id"), L"Flags") == Bytes{0x11, 0, 0, 0});
    CHECK(ValueBytes(ChainKey(L"small-id"), L"Type") == Bytes{0x22, 0, 0, 0});
    CHECK(ValueText(ChainKey(L"small-id"), L"Name") == L"Small Bus");
    CHECK(ValueBytes(ChainKey(L"small-id"), L"Stream") == Pattern(255, 1));
    std::wstring path = sandbox.folder() + L"\\chains\\large-id\\Large_ Bus_.kvg";
    CHECK(ValueText(ChainKey(L"large-id"), L"Stream") == path);
    CHECK(testsupport::ReadWholeFile(path) == Pattern(256, 2));

    ChainList* loaded = nullptr;
    LoadStoreChains(&loaded);
    std::unique_ptr<ChainList> owner(loaded);
    ChainList expected;
    expected.Append(MakeChain(L"Large: Bus?", L"large-id", Pattern(256, 2), 3, 4));
    expected.Append(MakeChain(L"Small Bus", L"small-id", Pattern(255, 1), 0x11, 0x22));
    CHECK(Dump(loaded) == Dump(&expected));

    SUBCASE("deleting removes the data file and the key") {
        CHECK(DeleteStoreChain(*large) == S_OK);
        CHECK_FALSE(KeyExists(ChainKey(L"large-id")));
        CHECK(CountFiles(sandbox.folder()) == 0);
        CHECK(DeleteStoreChain(*small) == S_OK);
        CHECK_FALSE(KeyExists(ChainKey(L"small-id")));
    }
    SUBCASE("a chain key without Stream is kept") {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, ChainKey(L"small-id").c_str(), L"Stream");
        CHECK(DeleteStoreChain(*small) == ERROR_FILE_NOT_FOUND);
        CHECK(KeyExists(ChainKey(L"small-id")));
    }
    SUBCASE("chain data files get DefLocation's default when it is absent") {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, STORE_CHAINS_KEY, STORE_DEF_LOCATION);
        REQUIRE(WriteStoreChain(*small) == S_OK);
        CHECK(ValueText(STORE_CHAINS_KEY, STORE_DEF_LOCATION) == ProgramFolder() + L"Presets\\FX Packages");
    }
}

TEST_CASE("names from a package never leave the store") {
    StoreSandbox sandbox;
    sandbox.UseScratchDefLocations();
    CatalogueModel model;
    model.language = TestLanguage();
    std::unique_ptr<PresetEntry> preset(MakePreset(L"P", Pattern(300, 1)));
    std::unique_ptr<PlugInEntry> badClass(MakePlugIn(L"Evil", L"..\\..\\x"));
    std::unique_ptr<PlugInEntry> badTool(MakePlugIn(L"..", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    std::unique_ptr<PlugInEntry> slashTool(MakePlugIn(L"a/b", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    std::unique_ptr<ChainEntry> badChain(MakeChain(L"C", L"a\\b", Pattern(300, 2)));
    std::unique_ptr<ChainEntry> emptyChain(MakeChain(L"C", L"", Pattern(3, 2)));
    std::unique_ptr<PlugInEntry> shortClass(MakePlugIn(L"S", L"{A0000000-0000-4000-8000-00000000000}"));

    CHECK(AddPreset(model, *badClass, *preset, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddPreset(model, *shortClass, *preset, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddPreset(model, *badTool, *preset, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddPreset(model, *slashTool, *preset, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddChain(model, *badChain, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddChain(model, *emptyChain, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(DeleteStorePreset(*badClass, *preset) == KV_E_INVALIDARG);
    CHECK(DeleteStoreChain(*badChain) == KV_E_INVALIDARG);

    // Nothing written: no keys beyond the seeded DefLocations, no files, nothing in memory.
    CHECK_FALSE(KeyExists(std::wstring(STORE_PRESETS_KEY) + L"\\..\\..\\x"));
    CHECK_FALSE(KeyExists(ChainKey(L"a")));
    CHECK_FALSE(KeyExists(L"Software\\Moravel"));
    CHECK(CountFiles(sandbox.folder()) == 0);
    CHECK_FALSE(Exists(ProgramFolder() + L"Presets"));
    CHECK(model.plugIns[SIDE_SYSTEM]->Count() == 0);
    CHECK(model.chains[SIDE_SYSTEM]->Count() == 0);
}

TEST_CASE("side operations on the system side write through") {
    StoreSandbox sandbox;
    sandbox.UseScratchDefLocations();
    CatalogueModel model;
    model.language = TestLanguage();
    std::unique_ptr<PlugInEntry> plugIn(MakePlugIn(L"Alpha", kClass));
    std::unique_ptr<PresetEntry> soft(MakePreset(L"Soft", Pattern(20, 1)));
    REQUIRE(AddPreset(model, *plugIn, *soft, SIDE_SYSTEM) == S_OK);
    CHECK(ValueBytes(PlugInKey(), L"Soft") == Pattern(20, 1));

    SUBCASE("a store that refuses the write leaves memory untouched") {
        std::unique_ptr<PresetEntry> softer(MakePreset(L"SOFT", Pattern(600, 2)));
        testsupport::WriteWholeFile(sandbox.file(L"blocker"), "x", 1);
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, sandbox.file(L"blocker"), REG_EXPAND_SZ);
        CHECK(AddPreset(model, *plugIn, *softer, SIDE_SYSTEM) == KV_E_WRITE);
        PlugInEntry* entry = model.plugIns[SIDE_SYSTEM]->At(0);
        REQUIRE(entry->PresetCount() == 1);
        CHECK(std::wstring(entry->PresetAt(0)->name) == L"Soft");
        CHECK(DataOf(entry->PresetAt(0)) == Pattern(20, 1));
    }
    SUBCASE("a positive registry status is reported as a failure") {
        // A volatile parent cannot take a lasting child: the registry refuses with a positive status.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
        REQUIRE(CreateKey(L"Software\\Moravel", true));
        std::unique_ptr<PlugInEntry> tool(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
        HRESULT hr = AddPreset(model, *tool, *soft, SIDE_SYSTEM);
        CHECK(hr < 0);
        CHECK(hr == HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
        CHECK(model.plugIns[SIDE_SYSTEM]->Count() == 1);
    }
    SUBCASE("removal deletes from the store and drops the emptied plug-in") {
        CHECK(RemovePreset(model, *plugIn, *soft, SIDE_SYSTEM) == S_OK);
        CHECK(ValueType(PlugInKey(), L"Soft") == REG_NONE);
        CHECK(model.plugIns[SIDE_SYSTEM]->Count() == 0);
        // Already gone from the store: reported, as a failure code.
        CHECK(RemovePreset(model, *plugIn, *soft, SIDE_SYSTEM) == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
    SUBCASE("chains") {
        std::unique_ptr<ChainEntry> bus(MakeChain(L"Bus", L"bus-id", Pattern(300, 3)));
        REQUIRE(AddChain(model, *bus, SIDE_SYSTEM) == S_OK);
        CHECK(KeyExists(ChainKey(L"bus-id")));
        CHECK(model.chains[SIDE_SYSTEM]->Count() == 1);
        CHECK(RemoveChain(model, *bus, SIDE_SYSTEM) == S_OK);
        CHECK_FALSE(KeyExists(ChainKey(L"bus-id")));
        CHECK(model.chains[SIDE_SYSTEM]->Count() == 0);
        CHECK(CountFiles(sandbox.folder()) == 0);
    }
}
