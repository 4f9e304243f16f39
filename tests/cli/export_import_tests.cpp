// tarrow-cli export and import as processes against the throwaway store: backup, restore, answers, destinations.
#include <doctest.h>
#include <string>
#include "catalogue.h"
#include "cli_test_util.h"
#include "json_writer.h"
#include "package_format.h"
#include "package_builders.h"
#include "resource.h"
#include "store_names.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"

using namespace pkgtest;
using namespace clitest;
using storetest::SetBinary;
using storetest::ValueBytes;

namespace {

const wchar_t kRegistered[] = L"{0C1D2E3F-5555-2222-3333-444455556666}";
const wchar_t kUnregistered[] = L"{0C1D2E3F-5555-2222-3333-444455557777}";
const std::wstring kRegisteredKey = std::wstring(STORE_PRESETS_KEY) + L"\\" + kRegistered;
const std::wstring kUnregisteredKey = std::wstring(STORE_PRESETS_KEY) + L"\\" + kUnregistered;
const std::wstring kDelayKey = std::wstring(STORE_LATHMERE_KEY) + L"\\Delay";
const std::wstring kEqKey = LathmereVersionedKey(7, 0) + L"\\Graphic EQ";

// The registered class shows as "Friendly"; the other one as "Not Installed 000".
void RegisterFriendly() { storetest::RegisterClassName(kRegistered, L"Friendly"); }

// The bytes of the data file a REG_SZ value points to.
Bytes DataFileBytes(const std::wstring& key, const wchar_t* name) {
    return storetest::ValueType(key, name) == REG_SZ ? testsupport::ReadWholeFile(storetest::ValueText(key, name)) : Bytes();
}

std::string Item(const char* plugIn, const char* name) {
    return std::string("{\"type\":\"preset\",\"plugin\":\"") + plugIn + "\",\"name\":\"" + name + "\"}";
}
std::string ChainItem(const char* name) { return std::string("{\"type\":\"chain\",\"name\":\"") + name + "\"}"; }

std::string ImportJson(const std::string& result, const std::string& destination, const std::string& added,
                       const std::string& replaced = "", const std::string& skipped = "",
                       const std::string& refused = "", const std::string& conflicts = "") {
    return "{\"result\":\"" + result + "\",\"destination\":" + destination + ",\"added\":[" + added +
           "],\"replaced\":[" + replaced + "],\"skipped\":[" + skipped + "],\"refused\":[" + refused +
           "],\"conflicts\":[" + conflicts + "]}\n";
}

// A store of every kind: a registered and an unregistered plug-in, values inline and in data files, a Lathmere
// tool of the unversioned store and one of version 7.0, and two chains, one with its stream in a data file.
struct SeededStore {
    testsupport::ScratchDir files{L"cli-seed"};
    const Bytes small = Pattern(40, 1), large = Pattern(3000, 2), other = Pattern(255, 3), slap = Pattern(50, 4),
                bright = Pattern(70, 5), stream = Pattern(12, 6), bigStream = Pattern(900, 7);

    SeededStore() {
        ClearStore();
        RegisterFriendly();
        // Seeded in name order, which is also the order of creation: the registry lists values in either.
        REQUIRE(SetFile(kRegisteredKey, L"Large", L"large.dxp", large));
        REQUIRE(SetBinary(kRegisteredKey, L"Small", small));
        REQUIRE(SetBinary(kUnregisteredKey, L"Other", other));
        REQUIRE(SetBinary(kDelayKey, L"Slap", slap));
        REQUIRE(SetBinary(kEqKey, L"Bright", bright));
        storetest::SeedChain(L"c1", L"Live", 1, 2, stream);
        storetest::SeedChain(L"c2", L"Studio", 3, 4, bigStream, files.file(L"studio.kvg"));
    }
    ~SeededStore() {
        ClearStore();
        storetest::UnregisterClass(kRegistered);
    }
    bool SetFile(const std::wstring& key, const wchar_t* name, const wchar_t* file, const Bytes& data) {
        const std::wstring path = files.file(file);
        return testsupport::WriteWholeFile(path, data.data(), data.size()) && storetest::SetText(key, name, path);
    }
};

// A package over a store that holds Friendly's "Small" (and nothing else of the package's), for the answers.
struct ConflictSetup {
    testsupport::ScratchDir dir{L"cli-conflict"};
    const std::wstring package = dir.file(L"in.kvpreset");
    const Bytes stored = Pattern(30, 1), packed = Pattern(31, 2), added = Pattern(300, 3), stream = Pattern(5, 4);
    ConflictSetup() {
        ClearStore();
        RegisterFriendly();
        REQUIRE(SetBinary(kRegisteredKey, L"Small", stored));
        PlugInList plugIns;
        ChainList chains;
        plugIns.Append(MakePlugIn(L"Friendly", kRegistered, {MakePreset(L"SMALL", packed), MakePreset(L"New", added)}));
        chains.Append(MakeChain(L"Live", L"c9", 0, 0, stream));
        REQUIRE(WritePackageFile(package.c_str(), &plugIns, &chains) == S_OK);
        // An installed chain of another name holds the package chain's identifier: it must stay as it is.
        storetest::SeedChain(L"c9", L"Backup", 0, 0, backup);
    }
    const Bytes backup = Pattern(6, 5);
    // The stream of the stored chain named name; empty when there is none.
    Bytes ChainStream(const wchar_t* name) const {
        HKEY root = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, STORE_CHAINS_KEY, 0, KEY_READ, &root) != ERROR_SUCCESS) return {};
        wchar_t id[256];
        Bytes found;
        for (DWORD i = 0, chars = 256; RegEnumKeyExW(root, i, id, &chars, nullptr, nullptr, nullptr, nullptr) == 0;
             ++i, chars = 256) {
            const std::wstring key = std::wstring(STORE_CHAINS_KEY) + L"\\" + id;
            if (storetest::ValueText(key, L"Name") == name) found = ValueBytes(key, L"Stream");
        }
        RegCloseKey(root);
        return found;
    }
    ~ConflictSetup() {
        ClearStore();
        storetest::UnregisterClass(kRegistered);
    }
};

} // namespace

TEST_CASE("export, the whole store deleted, import: the store reads back the same and data files hold the bytes") {
    SeededStore seed;
    testsupport::ScratchDir dir(L"cli-restore");
    const std::wstring backup = dir.file(L"backup.kvpreset");
    const std::string before = RunTarrowCli(L"store").out;
    const size_t destinations = before.find(",\"destinations\":[{\"major\":6,\"minor\":0},{\"major\":7,");
    REQUIRE(destinations != std::string::npos);
    CliRun exported = RunTarrowCli(L"export" + Arg(backup));
    REQUIRE(exported.exitCode == 0);
    CHECK(exported.err == "");
    CHECK(exported.out == "{\"file\":" + JsonPath(backup) + ",\"plugins\":4,\"presets\":5,\"chains\":2,\"bytes\":" +
                              std::to_string(testsupport::ReadWholeFile(backup).size()) + "}\n");
    // The package holds what store shows, digests and all.
    CHECK(RunTarrowCli(L"dump" + Arg(backup)).out == before.substr(0, destinations) + "}\n");
    ClearStore();
    testsupport::RemoveTree(seed.files.path()); // the old data files go too
    REQUIRE(RunTarrowCli(L"store").out == "{\"plugins\":[],\"chains\":[],\"destinations\":[]}\n");

    CliRun run = RunTarrowCli(L"import" + Arg(backup));
    CHECK(run.exitCode == 0);
    CHECK(run.err == "");
    CHECK(run.out == ImportJson("imported", "null",
                                Item("Friendly", "Large") + "," + Item("Friendly", "Small") + "," +
                                    Item("Not Installed 000", "Other") + "," + Item("Moravel Lathmere Delay", "Slap") +
                                    "," + Item("Varden Lathmere 7.0 Graphic EQ", "Bright") + "," + ChainItem("Live") +
                                    "," + ChainItem("Studio")));
    CHECK(RunTarrowCli(L"store").out == before);
    // Large data went to data files of their own, written whole.
    CHECK(DataFileBytes(kRegisteredKey, L"Large") == seed.large);
    CHECK(DataFileBytes(std::wstring(STORE_CHAINS_KEY) + L"\\c2", L"Stream") == seed.bigStream);
    CHECK(ValueBytes(kUnregisteredKey, L"Other") == seed.other);
}

TEST_CASE("import answers: none refuses any conflict, --overwrite replaces, --skip keeps, --dry-run writes nothing") {
    const std::string small = Item("Friendly", "SMALL"), rest = Item("Friendly", "New") + "," + ChainItem("Live");
    const std::string conflicts = ImportJson("conflicts", "null", "", "", "", "", small);
    const struct { const wchar_t* options; long exitCode; std::string out; bool written, replaced; } runs[] = {
        {L"", 1, conflicts, false, false},
        {L" --dry-run", 1, conflicts, false, false}, // a dry run predicts the real run's conflicts
        {L" --overwrite --dry-run", 0, ImportJson("dry run", "null", rest, small), false, false},
        {L" --overwrite", 0, ImportJson("imported", "null", rest, small), true, true},
        {L" --skip", 0, ImportJson("imported", "null", rest, "", small), true, false},
    };
    for (const auto& expected : runs) {
        CAPTURE(ToUtf8(expected.options));
        ConflictSetup setup;
        CliRun run = RunTarrowCli(L"import" + Arg(setup.package) + expected.options);
        CHECK(run.exitCode == expected.exitCode);
        CHECK(run.out == expected.out);
        CHECK(run.err == (expected.exitCode ? Utf8Count(IDS_CLI_IMPORT_CONFLICTS, 1) + "\n" : ""));
        CHECK(setup.ChainStream(L"Backup") == setup.backup);
        CHECK(ValueBytes(kRegisteredKey, L"Small") == (expected.replaced ? setup.packed : setup.stored));
        CHECK(DataFileBytes(kRegisteredKey, L"New") == (expected.written ? setup.added : Bytes()));
        CHECK(setup.ChainStream(L"Live") == (expected.written ? setup.stream : Bytes()));
    }
}

TEST_CASE("import --destination 6.0: a 7.0 table tool's preset is refused, the rest goes to 6.0; unknown is usage") {
    ClearStore();
    testsupport::ScratchDir dir(L"cli-destination");
    const std::wstring package = dir.file(L"lathmere.kvpreset");
    const Bytes bright = Pattern(20, 1), slap = Pattern(21, 2);
    PlugInList plugIns;
    plugIns.Append(MakePlugIn(L"Graphic EQ", L"", {MakePreset(L"Bright", bright)},
                              PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0));
    plugIns.Append(MakePlugIn(L"Delay", L"", {MakePreset(L"Slap", slap)},
                              PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0));
    REQUIRE(WritePackageFile(package.c_str(), &plugIns, nullptr) == S_OK);
    // Lathmere 6.0 and 7.0 are installed: the unversioned store and a version key.
    REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, STORE_LATHMERE_KEY, nullptr, REG_SZ, L"", 2) == ERROR_SUCCESS);
    REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, LathmereVersionedKey(7, 0).c_str(), nullptr, REG_SZ, L"", 2) ==
            ERROR_SUCCESS);

    CliRun run = RunTarrowCli(L"import" + Arg(package) + L" --destination 9.0");
    CHECK(run.exitCode == 2);
    CHECK(run.out == "");
    CHECK(run.err == Utf8String(IDS_CLI_UNKNOWN_DESTINATION, L"9.0") + "\n\n" + UsageText());

    run = RunTarrowCli(L"import" + Arg(package) + L" --destination 6.0");
    CHECK(run.exitCode == 0);
    CHECK(run.err == "");
    CHECK(run.out == ImportJson("imported", "{\"major\":6,\"minor\":0}", Item("Moravel Lathmere Delay", "Slap"), "",
                                "", Item("Varden Lathmere 7.0 Graphic EQ", "Bright")));
    CHECK(ValueBytes(kDelayKey, L"Slap") == slap);
    CHECK(ValueBytes(std::wstring(STORE_LATHMERE_KEY) + L"\\Graphic EQ", L"Bright").empty());
    CHECK(ValueBytes(kEqKey, L"Bright").empty());

    // Without the option the last destination (7.0) takes both, each under its own name.
    run = RunTarrowCli(L"import" + Arg(package));
    CHECK(run.exitCode == 0);
    CHECK(run.out == ImportJson("imported", "{\"major\":7,\"minor\":0}",
                                Item("Varden Lathmere 7.0 Graphic EQ", "Bright") + "," +
                                    Item("Varden Lathmere 7.0 Delay", "Slap")));
    CHECK(ValueBytes(kEqKey, L"Bright") == bright);
    ClearStore();
}

TEST_CASE("export of named plug-ins and chains: by name, display name or class identifier; unknown names fail") {
    SeededStore seed;
    testsupport::ScratchDir dir(L"cli-export-some");
    const std::wstring out = dir.file(L"some.kvpreset");
    const struct { std::wstring options; std::string plugIns, chains; } runs[] = {
        {L" --plugin friendly --plugin " + std::wstring(kUnregistered) + L" --chain studio", "2,\"presets\":3",
         "1"},
        {L" --plugin \"Varden Lathmere 7.0 Graphic EQ\" --plugin Delay", "2,\"presets\":2", "0"},
        {L" --chain Live", "0,\"presets\":0", "1"},
        {L" --no-chains", "4,\"presets\":5", "0"},
    };
    for (const auto& expected : runs) {
        CAPTURE(ToUtf8(expected.options));
        CliRun run = RunTarrowCli(L"export" + Arg(out) + expected.options);
        CHECK(run.exitCode == 0);
        CHECK(run.out == "{\"file\":" + JsonPath(out) + ",\"plugins\":" + expected.plugIns + ",\"chains\":" +
                             expected.chains + ",\"bytes\":" + std::to_string(testsupport::ReadWholeFile(out).size()) +
                             "}\n");
    }
    const std::wstring none = dir.file(L"none.kvpreset");
    const struct { const wchar_t* options; std::string err; } failures[] = {
        {L" --plugin Missing", Utf8String(IDS_CLI_NO_SUCH_PLUGIN, L"Missing")},
        {L" --plugin Friendly --chain Gone", Utf8String(IDS_CLI_NO_SUCH_CHAIN, L"Gone")},
    };
    for (const auto& failure : failures) {
        CliRun run = RunTarrowCli(L"export" + Arg(none) + failure.options);
        CHECK(run.exitCode == 1);
        CHECK(run.out == "");
        CHECK(run.err == failure.err + "\n");
        CHECK(GetFileAttributesW(none.c_str()) == INVALID_FILE_ATTRIBUTES);
    }
    // A package that cannot be written is a failure, never a summary of what was not written.
    CliRun unwritable = RunTarrowCli(L"export" + Arg(dir.file(L"missing\\some.kvpreset")));
    CHECK(unwritable.exitCode == 1);
    CHECK(unwritable.out == "");
    CHECK(unwritable.err != "");
}
