// What keeps a user's presets safe: one data file per name, deletes of whatever the loader shows, a delete that
// fails stays visible, and tests that never run outside a throwaway store.
#include "edit_fixture.h"
#include "kvresult.h"
#include "store_write.h"

using namespace edittest;

TEST_CASE("a delete removes the entry, then only a data file of its own folder that nothing else names") {
    EditFixture f;
    const std::wstring shared = f.sandbox.WriteFile(L"shared.dxp", Pattern(300, 1));
    REQUIRE(SetText(kAlphaKey, L"First", shared));
    REQUIRE(SetText(kAlphaKey, L"Second", shared));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    REQUIRE(DeleteSelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"First"}), nullptr) == S_OK);
    CHECK(ValueType(kAlphaKey, L"First") == REG_NONE);
    CHECK(ReadWholeFile(ValueText(kAlphaKey, L"Second")) == Pattern(300, 1));
    // A file outside the plug-in's data folder may be anyone's: it stays.
    REQUIRE(DeleteSelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Second"}), nullptr) == S_OK);
    CHECK(ValueType(kAlphaKey, L"Second") == REG_NONE);
    CHECK(ReadWholeFile(shared) == Pattern(300, 1));

    // The store refuses to delete a chain key another program gave a subkey: the key keeps its file.
    const std::wstring key = std::wstring(STORE_CHAINS_KEY) + L"\\c1";
    f.Chains(SIDE_PACKAGE).Append(MakeChain(L"Held", L"c1", Pattern(300, 3)));
    REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_CHAINS, L"FX Chains"), {}, nullptr) == S_OK);
    REQUIRE(CreateKey(key + L"\\Extra"));
    CHECK(DeleteSelection(f.Session(), TreeNode(SIDE_SYSTEM, NODE_CHAINS, L"FX Chains"), nullptr) < 0);
    CHECK(ReadWholeFile(ValueText(key, L"Stream")) == Pattern(300, 3));
}

TEST_CASE("what the loader shows, delete can delete") {
    EditFixture f;
    const std::wstring untitledKey = std::wstring(STORE_PRESETS_KEY) + L"\\(Untitled)";
    REQUIRE(SetBinary(untitledKey, L"Kept", Pattern(10, 1)));
    REQUIRE(SetBinary(LathmereToolKey(L"EQ/Filter", 6, 0), L"Narrow", Pattern(10, 2)));
    REQUIRE(SetBinary(kAlphaKey, L"Soft", Pattern(10, 3)));
    REQUIRE(SetBinary(LathmereToolKey(L"Chorus", 8, 1), L"Wide", Pattern(50, 6))); // the chosen destination
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    REQUIRE(f.Plugins(SIDE_SYSTEM).TotalPresetCount() == 4);

    SUBCASE("entries under names no package would bring: deleted, and Undo brings them back, not to 8.1") {
        const std::string stored = f.Stored();
        EditOutcome outcome;
        CHECK(DeleteSelection(f.Session(), TreeNode(SIDE_SYSTEM, NODE_PLUGINS, L"FX Plug-Ins"), &outcome) == S_OK);
        CHECK_FALSE(outcome.reloadSystem);
        CHECK(ValueType(untitledKey, L"Kept") == REG_NONE);
        CHECK(ValueType(LathmereToolKey(L"EQ/Filter", 6, 0), L"Narrow") == REG_NONE);
        CHECK(f.Plugins(SIDE_SYSTEM).Count() == 0);
        CHECK(f.history.UndoEdit(f.model, &outcome) == S_OK);
        CHECK(f.Stored() == stored);
        CHECK(f.history.RedoEdit(f.model, nullptr) == S_OK);
        CHECK(f.Stored() == "(none)\n(none)\n");
    }
    SUBCASE("copied out and back after the store was wiped, with data files under names a folder cannot take") {
        const std::wstring deviceKey = std::wstring(STORE_PRESETS_KEY) + L"\\CON";
        REQUIRE(SetText(deviceKey, L"Big", f.sandbox.WriteFile(L"big.dxp", Pattern(300, 4))));
        REQUIRE(LoadSystemCatalogue(f.model) >= 0);
        const std::string stored = f.Stored();
        REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_SYSTEM, NODE_ROOT, L""), {}, nullptr) == S_OK);
        DeleteStoreKeys();
        f.sandbox.UseScratchDefLocations();
        REQUIRE(LoadSystemCatalogue(f.model) >= 0);
        CHECK(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_ROOT, L""), {}, nullptr) == S_OK);
        CHECK(f.Stored() == stored);
        CHECK(ValueText(deviceKey, L"Big") == f.PresetFolder(L"_CON") + L"\\Big.dxp");
    }
    SUBCASE("an entry already gone from the store is deleted without complaint") {
        REQUIRE(RegDeleteKeyValueW(HKEY_CURRENT_USER, kAlphaKey.c_str(), L"Soft") == ERROR_SUCCESS);
        CHECK(DeleteSelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Soft"}), nullptr) == S_OK);
        CHECK(f.Plugins(SIDE_SYSTEM).FindByName(L"Alpha", f.model.language) < 0);
    }
    SUBCASE("a delete the store refuses leaves the item shown and says so") {
        // No stored entry can have this class text: the delete is refused before the registry is touched.
        f.Add(SIDE_SYSTEM, MakePlugIn(L"Odd", L"{E0}\\Presets", 0, 0, 0, {MakePreset(L"Lost", Pattern(4, 4))}));
        EditOutcome outcome;
        CHECK(DeleteSelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Odd", {L"Lost"}), &outcome) ==
              KV_E_INVALIDARG);
        CHECK(outcome.reloadSystem);
        CHECK(outcome.failedItem == L"Lost");
        CHECK(f.Plugins(SIDE_SYSTEM).FindEntryByName(L"Odd", f.model.language) != nullptr);
    }
}

TEST_CASE("test executables refuse to run in a store without the throwaway mark") {
    struct MarkRemoved {
        MarkRemoved() { RegDeleteKeyValueW(HKEY_CURRENT_USER, testsupport::kThrowawayKey, testsupport::kThrowawayValue); }
        ~MarkRemoved() {
            DWORD one = 1;
            RegSetKeyValueW(HKEY_CURRENT_USER, testsupport::kThrowawayKey, testsupport::kThrowawayValue, REG_DWORD,
                            &one, sizeof(one));
        }
    };
    wchar_t self[MAX_PATH];
    REQUIRE(GetModuleFileNameW(nullptr, self, MAX_PATH) > 0);
    // The filter matches no test, so a run that is not refused ends at once with 0.
    std::wstring command = L"\"" + std::wstring(self) + L"\" --test-case=\"no such test\"";
    DWORD exitCode = 0;
    {
        MarkRemoved removed;
        CHECK_FALSE(testsupport::InThrowawayStore());
        // The refusal goes to a null device: in the test log it would read as a failure of this run.
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        KvFile nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = nul.get();
        PROCESS_INFORMATION process{};
        REQUIRE(CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
        KvFile processHandle(process.hProcess), threadHandle(process.hThread);
        REQUIRE(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0);
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    CHECK(exitCode == 3);
    CHECK(testsupport::InThrowawayStore());
}
