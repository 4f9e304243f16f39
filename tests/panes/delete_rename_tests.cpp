// Delete and its undo against the real store, overwrite undo, and rename on both sides.
#include "edit_fixture.h"
#include "kvresult.h"
#include "store_write.h"

using namespace edittest;

namespace {

const wchar_t kChainId[] = L"{C0000000-0000-4000-8000-000000000001}", kOtherId[] = L"{C0000000-0000-4000-8000-000000000002}";
const std::wstring kChainKey = std::wstring(STORE_CHAINS_KEY) + L"\\" + kChainId;
const std::wstring kOtherChainKey = std::wstring(STORE_CHAINS_KEY) + L"\\" + kOtherId;

} // namespace

TEST_CASE("undo of an overwrite in the store brings the old bytes back, redo the new ones") {
    EditFixture f;
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kAlpha));
    std::unique_ptr<PresetEntry> old(MakePreset(L"Big", Pattern(300, 1)));
    REQUIRE(WriteStorePreset(*alpha, *old) == S_OK);
    // The same chain name under another identifier: the overwritten key must not come back on reload.
    SeedChain(kChainId, L"Bus", 1, 2, Pattern(400, 7), f.sandbox.file(L"bus.kvg"));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    const std::string stored = f.Stored();
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0, {MakePreset(L"Big", Pattern(500, 2))}));
    f.Chains(SIDE_PACKAGE).Append(MakeChain(L"bus", kOtherId, Pattern(20, 8)));

    CopyOptions overwrite;
    overwrite.answer = ANSWER_YES_TO_ALL;
    REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_ROOT, L"Package"), overwrite, nullptr) == S_OK);
    const std::string copied = f.Stored();
    CHECK(ReadWholeFile(ValueText(kAlphaKey, L"Big")) == Pattern(500, 2));
    CHECK(ValueBytes(kOtherChainKey, L"Stream") == Pattern(20, 8));
    CHECK_FALSE(KeyExists(kChainKey));

    REQUIRE(f.history.UndoEdit(f.model, nullptr) == S_OK);
    CHECK(ReadWholeFile(ValueText(kAlphaKey, L"Big")) == Pattern(300, 1));
    CHECK(f.Stored() == stored);
    CHECK_FALSE(KeyExists(kOtherChainKey));
    REQUIRE(f.history.RedoEdit(f.model, nullptr) == S_OK);
    CHECK(f.Stored() == copied);
}

TEST_CASE("rename in the package: length, conflicts and letter case") {
    EditFixture f;
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"Soft", Pattern(4, 1)), MakePreset(L"Hard", Pattern(4, 2))}));
    f.Chains(SIDE_PACKAGE).Append(MakeChain(L"Bus", L"bus", Pattern(4, 3)));
    const Selection soft = Rows(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha", {L"Soft"});
    EditOutcome outcome;

    const std::wstring longest(63, L'n'), tooLong(64, L'n');
    CHECK(RenameListItem(f.Session(), soft, tooLong.c_str(), &outcome) == KV_S_NOTHING_TO_DO);
    REQUIRE(f.answers.asked.size() == 1);
    CHECK(f.answers.asked[0].caption == L"Invalid Preset Name");

    f.answers.Script({});
    CHECK(RenameListItem(f.Session(), soft, L"HARD", &outcome) == KV_S_NOTHING_TO_DO);
    REQUIRE(f.answers.asked.size() == 1);
    CHECK(f.answers.asked[0].caption == L"Preset Name Conflict");

    f.answers.Script({});
    CHECK(RenameListItem(f.Session(), soft, L"SOFT", &outcome) == KV_S_NOTHING_TO_DO);
    CHECK(RenameListItem(f.Session(), soft, L"", &outcome) == KV_S_NOTHING_TO_DO);
    CHECK(f.answers.asked.empty());
    CHECK(std::wstring(f.Plugins(SIDE_PACKAGE).At(0)->PresetAt(0)->name) == L"Soft");

    REQUIRE(RenameListItem(f.Session(), soft, longest.c_str(), &outcome) == S_OK);
    CHECK(std::wstring(f.Plugins(SIDE_PACKAGE).At(0)->PresetAt(0)->name) == longest);
    CHECK(outcome.packageModified); // or the new name would be lost on close without a question
    REQUIRE(RenameListItem(f.Session(), Rows(SIDE_PACKAGE, NODE_CHAINS, L"FX Chains", {L"Bus"}), L"Main", nullptr) ==
            S_OK);
    CHECK(std::wstring(f.Chains(SIDE_PACKAGE).At(0)->name) == L"Main");
    CHECK(f.history.undoSteps.Count() == 0);
}

TEST_CASE("rename in the store writes the new entry first and keeps the old one when that fails") {
    EditFixture f;
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kAlpha));
    std::unique_ptr<PresetEntry> soft(MakePreset(L"Soft", Pattern(300, 1)));
    REQUIRE(WriteStorePreset(*alpha, *soft) == S_OK);
    SeedChain(kChainId, L"Bus", 1, 2, Pattern(400, 2), f.sandbox.file(L"bus.kvg"));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    const std::wstring softFile = ValueText(kAlphaKey, L"Soft");
    EditOutcome outcome;

    // A folder where the new data file would go makes the write fail.
    const std::wstring blocked = f.PresetFolder(kAlpha) + L"\\Velvet.dxp";
    REQUIRE(CreateDirectoryW(blocked.c_str(), nullptr));
    const Selection row = Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Soft"});
    CHECK(RenameListItem(f.Session(), row, L"Velvet", &outcome) == KV_E_WRITE);
    CHECK(outcome.failedItem == L"Soft");
    CHECK(std::wstring(f.Plugins(SIDE_SYSTEM).At(0)->PresetAt(0)->name) == L"Soft");
    CHECK(ReadWholeFile(ValueText(kAlphaKey, L"Soft")) == Pattern(300, 1));
    CHECK(ValueType(kAlphaKey, L"Velvet") == REG_NONE);

    REQUIRE(RemoveDirectoryW(blocked.c_str()));
    REQUIRE(RenameListItem(f.Session(), row, L"Velvet", &outcome) == S_OK);
    CHECK_FALSE(outcome.packageModified);
    CHECK(ValueType(kAlphaKey, L"Soft") == REG_NONE);
    CHECK(GetFileAttributesW(softFile.c_str()) == INVALID_FILE_ATTRIBUTES);
    CHECK(ReadWholeFile(ValueText(kAlphaKey, L"Velvet")) == Pattern(300, 1));
    CHECK(std::wstring(f.Plugins(SIDE_SYSTEM).At(0)->PresetAt(0)->name) == L"Velvet");

    REQUIRE(RenameListItem(f.Session(), Rows(SIDE_SYSTEM, NODE_CHAINS, L"FX Chains", {L"Bus"}), L"Main", nullptr) ==
            S_OK);
    CHECK(ValueText(kChainKey, L"Name") == L"Main");
    CHECK(ReadWholeFile(ValueText(kChainKey, L"Stream")) == Pattern(400, 2));
    CHECK(GetFileAttributesW(f.sandbox.file(L"bus.kvg").c_str()) == INVALID_FILE_ATTRIBUTES);

    // Names only the store holds (a value the loader skips, a chain written since the load) are taken too: a rename
    // cannot be undone, so it must not write over them.
    REQUIRE(SetDword(kAlphaKey, L"warm", 7));
    SeedChain(kOtherId, L"Later", 1, 2, Pattern(300, 3), f.sandbox.file(L"later.kvg"));
    const std::pair<Selection, const wchar_t*> refused[] = {
        {Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Velvet"}), L"Warm"},
        {Rows(SIDE_SYSTEM, NODE_CHAINS, L"FX Chains", {L"Main"}), L"later"}};
    for (const auto& [selection, name] : refused) {
        f.answers.Script({});
        CHECK(RenameListItem(f.Session(), selection, name, &outcome) == KV_S_NOTHING_TO_DO);
        CHECK(f.answers.asked.size() == 1);
    }
    CHECK(ValueType(kAlphaKey, L"warm") == REG_DWORD);
    CHECK(ValueType(kAlphaKey, L"Velvet") == REG_SZ);
    CHECK(ValueText(kChainKey, L"Name") == L"Main");

    // What another program changed since the load is not renamed over: its bytes stay, nothing new appears.
    REQUIRE(SetBinary(kAlphaKey, L"Velvet", Pattern(9, 4)));
    SeedChain(kChainId, L"Other", 3, 4, Pattern(5, 5));
    for (const auto& [selection, name] : refused) {
        CHECK(RenameListItem(f.Session(), selection, L"Fresh", &outcome) == KV_E_NOT_FOUND);
        CHECK(outcome.reloadSystem);
    }
    CHECK(ValueBytes(kAlphaKey, L"Velvet") == Pattern(9, 4));
    CHECK(ValueType(kAlphaKey, L"Fresh") == REG_NONE);
    CHECK(ValueText(kChainKey, L"Name") == L"Other");
}

TEST_CASE("two stored chains of one name: a delete drops the one of its key, a write replaces both") {
    EditFixture f;
    SeedChain(kChainId, L"Bus", 1, 2, Pattern(10, 1));
    SeedChain(kOtherId, L"bus", 1, 2, Pattern(10, 2));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    REQUIRE(f.Chains(SIDE_SYSTEM).Count() == 2);
    ChainEntry second;
    second.Assign(*f.Chains(SIDE_SYSTEM).At(1));
    REQUIRE(RemoveChain(f.model, second, SIDE_SYSTEM) == S_OK);
    CHECK(f.State(SIDE_SYSTEM) == f.Stored());

    SeedChain(kOtherId, L"bus", 1, 2, Pattern(10, 2));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    std::unique_ptr<ChainEntry> written(MakeChain(L"BUS", L"{C0000000-0000-4000-8000-000000000003}", Pattern(10, 3)));
    REQUIRE(AddChain(f.model, *written, SIDE_SYSTEM) == S_OK);
    CHECK(f.State(SIDE_SYSTEM) == f.Stored());
    CHECK(f.Chains(SIDE_SYSTEM).Count() == 1);
}
