// Writing and deleting presets and chains in the store, and the side operations that write through to it.
#include <doctest.h>
#include <memory>
#include "catalogue_model.h"
#include "kvresult.h"
#include "store_files.h"
#include "store_fixture.h"
#include "store_session.h"
#include "store_write.h"

using namespace storetest;

namespace {

constexpr wchar_t kClass[] = L"{A0000000-0000-4000-8000-00000000000A}";
const std::wstring kPlugInKey = std::wstring(STORE_PRESETS_KEY) + L"\\" + kClass;
std::wstring ChainKey(const wchar_t* id) { return std::wstring(STORE_CHAINS_KEY) + L"\\" + id; }
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A store whose data files go to the scratch folder, and one plug-in with its data folder there.
struct ScratchPlugIn {
    StoreSandbox sandbox;
    std::unique_ptr<PlugInEntry> plugIn{MakePlugIn(L"Alpha", kClass)};
    const std::wstring folder = sandbox.folder() + L"\\presets\\" + kClass + L"\\";
    ScratchPlugIn() { sandbox.UseScratchDefLocations(); }
};

// A model on the system side, and a preset to write through.
struct SystemSide : ScratchPlugIn {
    CatalogueModel model;
    std::unique_ptr<PresetEntry> soft{MakePreset(L"Soft", Pattern(20, 1))};
    SystemSide() { model.language = TestLanguage(); }
};

} // namespace

TEST_CASE_FIXTURE(ScratchPlugIn, "writing and deleting DirectShow presets") {
    SUBCASE("DefLocation is created on the first write, even without a data file, and never changed") {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, STORE_PRESETS_KEY, STORE_DEF_LOCATION);
        std::unique_ptr<PresetEntry> small(MakePreset(L"Small", Pattern(3, 1)));
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ValueType(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == REG_EXPAND_SZ);
        CHECK(ValueText(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == ProgramFolder() + L"Presets");
        CHECK(ValueBytes(kPlugInKey, L"Small") == Pattern(3, 1));
        CHECK(!Exists(ProgramFolder() + L"Presets"));
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, L"X:\\kept", REG_EXPAND_SZ);
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ValueText(STORE_PRESETS_KEY, STORE_DEF_LOCATION) == L"X:\\kept");
    }
    SUBCASE("255 bytes stay inline, 256 go to a data file; deleting removes value and file") {
        std::unique_ptr<PresetEntry> edge(MakePreset(L"Edge", Pattern(255, 2))), over(MakePreset(L"Over", Pattern(256, 3)));
        REQUIRE(WriteStorePreset(*plugIn, *edge) == S_OK);
        REQUIRE(WriteStorePreset(*plugIn, *over) == S_OK);
        CHECK(ValueType(kPlugInKey, L"Edge") == REG_BINARY);
        CHECK(ValueBytes(kPlugInKey, L"Edge") == Pattern(255, 2));
        CHECK(ValueType(kPlugInKey, L"Over") == REG_SZ);
        CHECK(ValueText(kPlugInKey, L"Over") == folder + L"Over.dxp");
        CHECK(ReadWholeFile(folder + L"Over.dxp") == Pattern(256, 3));
        CHECK(CountFiles(sandbox.folder()) == 1);
        CHECK(DeleteStorePreset(*plugIn, *over) == S_OK);
        CHECK(CountFiles(sandbox.folder()) == 0);
        CHECK(ValueType(kPlugInKey, L"Over") == REG_NONE);
        CHECK(DeleteStorePreset(*plugIn, *edge) == S_OK);
        CHECK(KeyExists(kPlugInKey)); // never the key
        CHECK(DeleteStorePreset(*plugIn, *edge) == ERROR_FILE_NOT_FOUND);
    }
    SUBCASE("file names replace the characters files cannot carry, and a taken one is not shared") {
        std::unique_ptr<PresetEntry> first(MakePreset(L"a\"*/:<>?\\|b", Pattern(300, 4)));
        std::unique_ptr<PresetEntry> second(MakePreset(L"a?????????b", Pattern(310, 5)));
        REQUIRE(WriteStorePreset(*plugIn, *first) == S_OK);
        REQUIRE(WriteStorePreset(*plugIn, *second) == S_OK);
        CHECK(ValueText(kPlugInKey, first->name) == folder + L"a_________b.dxp");
        CHECK(ValueText(kPlugInKey, second->name) == folder + L"a_________b (2).dxp");
        CHECK(ReadWholeFile(folder + L"a_________b.dxp") == Pattern(300, 4));
        CHECK(ReadWholeFile(folder + L"a_________b (2).dxp") == Pattern(310, 5));
    }
    SUBCASE("a failed file write leaves no partial file and the old file as it was") {
        std::unique_ptr<PresetEntry> keep(MakePreset(L"Keep", Pattern(400, 6))), newer(MakePreset(L"Keep", Pattern(500, 7)));
        REQUIRE(WriteStorePreset(*plugIn, *keep) == S_OK);
        // Another program holds the file open without letting it be replaced.
        HANDLE held = CreateFileW((folder + L"Keep.dxp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(held != INVALID_HANDLE_VALUE);
        CHECK(WriteStorePreset(*plugIn, *newer) == KV_E_WRITE);
        CloseHandle(held);
        CHECK(ReadWholeFile(folder + L"Keep.dxp") == Pattern(400, 6));
        CHECK(CountFiles(sandbox.folder()) == 1);
        // A folder in the file's place is not replaced either, and nothing is left beside it.
        std::unique_ptr<PresetEntry> clash(MakePreset(L"Clash", Pattern(500, 8)));
        REQUIRE(CreateDirectoryW((folder + L"Clash.dxp").c_str(), nullptr));
        CHECK(WriteStorePreset(*plugIn, *clash) == KV_E_WRITE);
        CHECK(CountFiles(sandbox.folder()) == 1);
    }
}

TEST_CASE_FIXTURE(ScratchPlugIn, "a rewritten preset or chain leaves no data file of its own behind") {
    std::unique_ptr<PresetEntry> large(MakePreset(L"Grown", Pattern(300, 1)));
    std::unique_ptr<PresetEntry> small(MakePreset(L"Grown", Pattern(10, 2)));
    REQUIRE(WriteStorePreset(*plugIn, *large) == S_OK);
    REQUIRE(ReadWholeFile(folder + L"Grown.dxp") == Pattern(300, 1));

    SUBCASE("data that now fit inline, of a preset and of a chain") {
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ValueBytes(kPlugInKey, L"Grown") == Pattern(10, 2));
        std::unique_ptr<ChainEntry> bus(MakeChain(L"Bus", L"bus-id", Pattern(300, 7)));
        REQUIRE(WriteStoreChain(*bus) == S_OK);
        REQUIRE(CountFiles(sandbox.folder()) == 1);
        bus.reset(MakeChain(L"Bus", L"bus-id", Pattern(9, 8)));
        REQUIRE(WriteStoreChain(*bus) == S_OK);
        CHECK(CountFiles(sandbox.folder()) == 0);
    }
    SUBCASE("a value that pointed at another file of the data folder") {
        const std::wstring older = folder + L"Grown from an older name.dxp";
        REQUIRE(testsupport::WriteWholeFile(older, "x", 1));
        REQUIRE(SetText(kPlugInKey, L"Grown", older));
        std::unique_ptr<PresetEntry> larger(MakePreset(L"Grown", Pattern(400, 3)));
        REQUIRE(WriteStorePreset(*plugIn, *larger) == S_OK);
        CHECK(ValueText(kPlugInKey, L"Grown") == folder + L"Grown.dxp");
        CHECK(ReadWholeFile(folder + L"Grown.dxp") == Pattern(400, 3));
        CHECK_FALSE(Exists(older));
        CHECK(CountFiles(sandbox.folder()) == 1);
    }
    SUBCASE("rewritten into the same file, which keeps the new data") {
        std::unique_ptr<PresetEntry> larger(MakePreset(L"GROWN", Pattern(500, 4)));
        REQUIRE(WriteStorePreset(*plugIn, *larger) == S_OK);
        CHECK(ReadWholeFile(folder + L"Grown.dxp") == Pattern(500, 4));
        CHECK(CountFiles(sandbox.folder()) == 1);
    }
    SUBCASE("a file that another value points at, under any spelling, stays") {
        REQUIRE(SetText(kPlugInKey, L"Twin", folder + L".\\GROWN.dxp"));
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ReadWholeFile(folder + L"Grown.dxp") == Pattern(300, 1));
    }
    SUBCASE("a file outside the data folder stays") {
        const std::wstring outside = sandbox.WriteFile(L"Grown.dxp", Pattern(300, 5));
        REQUIRE(SetText(kPlugInKey, L"Grown", outside));
        REQUIRE(WriteStorePreset(*plugIn, *small) == S_OK);
        CHECK(ReadWholeFile(outside) == Pattern(300, 5));
    }
}

TEST_CASE_FIXTURE(ScratchPlugIn, "a file another value points at under another spelling is not taken") {
    REQUIRE(CreateFolderLevels(folder) == S_OK);
    REQUIRE(testsupport::WriteWholeFile(folder + L"Grown.dxp", "twin", 4));
    REQUIRE(SetText(kPlugInKey, L"Twin", folder + L"..\\" + kClass + L"\\.\\Grown.dxp"));
    std::unique_ptr<PresetEntry> grown(MakePreset(L"Grown", Pattern(300, 1)));
    REQUIRE(WriteStorePreset(*plugIn, *grown) == S_OK);
    CHECK(ValueText(kPlugInKey, L"Grown") == folder + L"Grown (2).dxp");
    CHECK(ReadWholeFile(folder + L"Grown.dxp") == Bytes{'t', 'w', 'i', 'n'});
}

TEST_CASE_FIXTURE(ScratchPlugIn, "writes that share a session") {
    std::unique_ptr<PresetEntry> kept(MakePreset(L"Kept", Pattern(300, 1)));
    REQUIRE(WriteStorePreset(*plugIn, *kept) == S_OK);
    StoreWriteSession session;
    SUBCASE("a key someone else deletes meanwhile is made again") {
        std::unique_ptr<PresetEntry> first(MakePreset(L"First", Pattern(10, 2)));
        std::unique_ptr<PresetEntry> second(MakePreset(L"Second", Pattern(400, 3)));
        REQUIRE(WriteStorePreset(*plugIn, *first, &session) == S_OK);
        REQUIRE(RegDeleteTreeW(HKEY_CURRENT_USER, kPlugInKey.c_str()) == ERROR_SUCCESS);
        CHECK(WriteStorePreset(*plugIn, *second, &session) == S_OK);
        CHECK(ValueText(kPlugInKey, L"Second") == folder + L"Second.dxp");
        CHECK(ReadWholeFile(folder + L"Second.dxp") == Pattern(400, 3));
    }
    SUBCASE("nothing is deleted while a file written in the session cannot be flushed") {
        std::unique_ptr<PresetEntry> added(MakePreset(L"Added", Pattern(500, 4)));
        REQUIRE(WriteStorePreset(*plugIn, *added, &session) == S_OK);
        HANDLE held = CreateFileW((folder + L"Added.dxp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(held != INVALID_HANDLE_VALUE);
        CHECK(DeleteStorePreset(*plugIn, *kept, &session) == KV_E_WRITE);
        CHECK(ValueType(kPlugInKey, L"Kept") == REG_SZ);
        CHECK(ReadWholeFile(folder + L"Kept.dxp") == Pattern(300, 1));
        CloseHandle(held);
        CHECK(DeleteStorePreset(*plugIn, *kept, &session) == S_OK);
        CHECK(ValueType(kPlugInKey, L"Kept") == REG_NONE);
        CHECK(ReadWholeFile(folder + L"Added.dxp") == Pattern(500, 4));
    }
}

TEST_CASE("writing Lathmere presets") {
    StoreSandbox sandbox;
    std::unique_ptr<PlugInEntry> nine(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 9, 0));
    std::unique_ptr<PresetEntry> big(MakePreset(L"Big", Pattern(5000, 1)));
    const std::wstring unversioned = std::wstring(STORE_LATHMERE_KEY) + L"\\Echo";
    const std::wstring versioned = LathmereVersionedKey(9, 0) + L"\\Echo";
    LathmereDestination six{6, 0}, sevenOne{7, 1};
    REQUIRE(WriteLathmerePreset(*nine, *big, 0, &six) == S_OK);
    CHECK(ValueBytes(unversioned, L"Big") == Pattern(5000, 1));
    CHECK(!KeyExists(versioned));
    // Deleting looks in the tool's own store, where the preset is not.
    CHECK(DeleteStorePreset(*nine, *big) == ERROR_FILE_NOT_FOUND);
    CHECK(ValueType(unversioned, L"Big") == REG_BINARY);
    CHECK(WriteLathmerePreset(*nine, *big, 1, &six) == S_OK);
    CHECK(ValueBytes(versioned, L"Big") == Pattern(5000, 1));
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
    CHECK(ValueText(ChainKey(L"small-id"), L"Name") == L"Small Bus");
    CHECK(ValueType(ChainKey(L"small-id"), L"Type") == REG_DWORD);
    CHECK(ValueBytes(ChainKey(L"small-id"), L"Stream") == Pattern(255, 1));
    const std::wstring path = sandbox.folder() + L"\\chains\\large-id\\Large_ Bus_.kvg";
    CHECK(ValueText(ChainKey(L"large-id"), L"Stream") == path);
    CHECK(ReadWholeFile(path) == Pattern(256, 2));

    SUBCASE("deleting removes the data file and the key") {
        CHECK(DeleteStoreChain(*large) == S_OK);
        CHECK(!KeyExists(ChainKey(L"large-id")));
        CHECK(CountFiles(sandbox.folder()) == 0);
        CHECK(DeleteStoreChain(*small) == S_OK);
        CHECK(!KeyExists(ChainKey(L"small-id")));
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

TEST_CASE_FIXTURE(SystemSide, "names from a package never leave the store") {
    PlugInList hostile; // owns the entries
    for (PlugInEntry* entry : {MakePlugIn(L"Evil", L"..\\..\\x"), MakePlugIn(L"..", L"", PLUGIN_LATHMERE_TOOL, 6, 0)})
        REQUIRE(hostile.Append(entry) == S_OK);
    for (int i = 0; i < hostile.Count(); ++i) {
        CAPTURE(Narrow(hostile.At(i)->name.c_str()));
        CHECK(AddPreset(model, *hostile.At(i), *soft, SIDE_SYSTEM) == static_cast<HRESULT>(0x80070057));
    }
    std::unique_ptr<ChainEntry> badChain(MakeChain(L"C", L"a\\b", Pattern(300, 2)));
    std::unique_ptr<ChainEntry> emptyChain(MakeChain(L"C", L"", Pattern(3, 2)));
    CHECK(AddChain(model, *badChain, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(AddChain(model, *emptyChain, SIDE_SYSTEM) == KV_E_INVALIDARG);
    CHECK(DeleteStorePreset(*hostile.At(0), *soft) == KV_E_INVALIDARG);
    CHECK(DeleteStoreChain(*badChain) == KV_E_INVALIDARG);
    // Nothing written: no keys beyond the seeded DefLocations, no files, nothing in memory.
    CHECK_FALSE(KeyExists(std::wstring(STORE_PRESETS_KEY) + L"\\..\\..\\x"));
    CHECK_FALSE((KeyExists(ChainKey(L"a")) || KeyExists(L"Software\\Moravel")));
    CHECK(CountFiles(sandbox.folder()) == 0);
    CHECK(!Exists(ProgramFolder() + L"Presets"));
    CHECK(GetPlugInList(model, SIDE_SYSTEM)->Count() == 0);
    CHECK(GetChainList(model, SIDE_SYSTEM)->Count() == 0);
}

TEST_CASE_FIXTURE(SystemSide, "side operations on the system side write through") {
    REQUIRE(AddPreset(model, *plugIn, *soft, SIDE_SYSTEM) == S_OK);
    CHECK(ValueBytes(kPlugInKey, L"Soft") == Pattern(20, 1));
    SUBCASE("a store that refuses the write leaves memory untouched") {
        std::unique_ptr<PresetEntry> softer(MakePreset(L"SOFT", Pattern(600, 2)));
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, sandbox.WriteFile(L"blocker", Bytes{1}), REG_EXPAND_SZ);
        CHECK(AddPreset(model, *plugIn, *softer, SIDE_SYSTEM) == KV_E_WRITE);
        const PlugInEntry* entry = model.plugIns[SIDE_SYSTEM]->At(0);
        REQUIRE(entry->PresetCount() == 1);
        CHECK(std::wstring(entry->PresetAt(0)->name) == L"Soft");
        CHECK(DataOf(entry->PresetAt(0)) == Pattern(20, 1));
    }
    SUBCASE("a positive registry status is reported as a failure") {
        // A volatile parent cannot take a lasting child: the registry refuses with a positive status.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
        REQUIRE(CreateKey(L"Software\\Moravel", true));
        std::unique_ptr<PlugInEntry> tool(MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
        CHECK(AddPreset(model, *tool, *soft, SIDE_SYSTEM) == HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
        CHECK(model.plugIns[SIDE_SYSTEM]->Count() == 1);
    }
}
