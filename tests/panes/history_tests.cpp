// The edit history: steps move whole between Undo and Redo, the menu texts follow, a failed store write is the
// step's result.
#include "edit_fixture.h"
#include "kvresult.h"
#include "store_write.h"

using namespace edittest;

TEST_CASE("a copy is one step that Undo and Redo move whole, and the menu items name it") {
    EditFixture f;
    f.Add(SIDE_SYSTEM, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                  {MakePreset(L"One", Pattern(8, 1)), MakePreset(L"Two", Pattern(9, 2)),
                                   MakePreset(L"Three", Pattern(10, 3))}));
    f.Plugins(SIDE_PACKAGE);
    const std::string empty = f.State(SIDE_PACKAGE);

    CopyOutcome copied;
    REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha"), {}, &copied) == S_OK);
    const std::string full = f.State(SIDE_PACKAGE);
    CHECK(f.Plugins(SIDE_PACKAGE).TotalPresetCount() == 3);
    CHECK(copied.side == SIDE_PACKAGE);
    CHECK(copied.packageModified);
    CHECK_FALSE(copied.reloadSystem);
    EditMenuItem undo = UndoMenuItem(f.history, f.model.language), redo = RedoMenuItem(f.history, f.model.language);
    CHECK(undo.enabled);
    CHECK(undo.text == L"&Undo Copy\tCtrl+Z");
    CHECK_FALSE(redo.enabled);

    EditOutcome undone;
    CHECK(f.history.UndoEdit(f.model, &undone) == S_OK);
    CHECK(f.State(SIDE_PACKAGE) == empty);
    CHECK(undone.packageModified); // even when the package was saved in between
    undo = UndoMenuItem(f.history, f.model.language);
    redo = RedoMenuItem(f.history, f.model.language);
    CHECK_FALSE(undo.enabled);
    CHECK(redo.enabled);
    CHECK(redo.text == L"&Redo Copy\tCtrl+Shift+Z");

    CHECK(f.history.RedoEdit(f.model, nullptr) == S_OK);
    CHECK(f.State(SIDE_PACKAGE) == full);
    f.history.ClearHistory();
    CHECK_FALSE(UndoMenuItem(f.history, f.model.language).enabled);
    CHECK(f.history.UndoEdit(f.model, nullptr) == S_OK); // nothing to undo: nothing happens
    CHECK(f.State(SIDE_PACKAGE) == full);
}

TEST_CASE("a failed store write is the step's result even when later actions succeed") {
    EditFixture f;
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kAlpha));
    std::unique_ptr<PresetEntry> stored(MakePreset(L"Big", Pattern(300, 1)));
    REQUIRE(WriteStorePreset(*alpha, *stored) == S_OK);
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"Big", Pattern(400, 2)), MakePreset(L"Small", Pattern(10, 3))}));
    const std::wstring bigFile = f.PresetFolder(kAlpha) + L"\\Big.dxp";
    // Another program holds Big's data file open, so it cannot be replaced.
    KvFile held(CreateFileW(bigFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    REQUIRE(held.valid());

    CopyOptions overwrite;
    overwrite.answer = ANSWER_YES_TO_ALL;
    CopyOutcome outcome;
    CHECK(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha"), overwrite, &outcome) ==
          KV_E_WRITE);
    CHECK(outcome.reloadSystem);
    CHECK(outcome.failedItem == L"Big");
    CHECK(f.history.undoSteps.Count() == 1); // applied as far as it went, and undoable
    CHECK(ValueBytes(kAlphaKey, L"Small") == Pattern(10, 3));
    held.reset();
    CHECK(ReadWholeFile(bigFile) == Pattern(300, 1));
    CHECK(DataOf(f.Plugins(SIDE_SYSTEM).At(0)->FindPreset(L"Big")) == Pattern(300, 1)); // memory shows the store
}

TEST_CASE("Undo and Redo put back only what the step changed") {
    EditFixture f;
    REQUIRE(SetBinary(kAlphaKey, L"Hard", Pattern(8, 7)));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"Soft", Pattern(8, 1)), MakePreset(L"soft", Pattern(9, 2))}));
    const Selection soft = Rows(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha", {L"Soft"});

    SUBCASE("two actions on one value come undone last to first and are redone first to last") {
        REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha"), {}, nullptr) == S_OK);
        CHECK(ValueBytes(kAlphaKey, L"Soft") == Pattern(9, 2));
        CHECK(f.history.UndoEdit(f.model, nullptr) == S_OK);
        CHECK(ValueType(kAlphaKey, L"Soft") == REG_NONE);
        CHECK(f.history.RedoEdit(f.model, nullptr) == S_OK);
        CHECK(ValueBytes(kAlphaKey, L"Soft") == Pattern(9, 2));
    }
    SUBCASE("an added preset renamed away, its name taken by another: Undo and Redo leave that one alone") {
        REQUIRE(CopySelection(f.Session(), soft, {}, nullptr) == S_OK);
        const Selection system = Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Soft"});
        REQUIRE(RenameListItem(f.Session(), system, L"Firm", nullptr) == S_OK);
        REQUIRE(RenameListItem(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Hard"}), L"Soft", nullptr) ==
                S_OK);
        EditOutcome outcome;
        CHECK(f.history.UndoEdit(f.model, &outcome) == S_OK);
        CHECK(outcome.leftAlone == std::vector<std::wstring>{L"Soft"});
        CHECK(ValueBytes(kAlphaKey, L"Soft") == Pattern(8, 7));
        CHECK(f.history.RedoEdit(f.model, &outcome) == S_OK);
        CHECK(outcome.leftAlone == std::vector<std::wstring>{L"Soft"});
        CHECK(ValueBytes(kAlphaKey, L"Soft") == Pattern(8, 7));
        CHECK(ValueBytes(kAlphaKey, L"Firm") == Pattern(8, 1));
    }
    SUBCASE("in the package too: a copied preset renamed away, its name given to another, is left alone") {
        REQUIRE(CopySelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Hard"}), {}, nullptr) == S_OK);
        REQUIRE(RenameListItem(f.Session(), Rows(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha", {L"Hard"}), L"Firm", nullptr) ==
                S_OK);
        REQUIRE(RenameListItem(f.Session(), soft, L"Hard", nullptr) == S_OK);
        EditOutcome outcome;
        CHECK(f.history.UndoEdit(f.model, &outcome) == S_OK);
        CHECK(outcome.leftAlone == std::vector<std::wstring>{L"Hard"});
        const PresetEntry* hard = f.Plugins(SIDE_PACKAGE).FindEntryByName(L"Alpha", f.model.language)->FindPreset(L"Hard");
        REQUIRE(hard);
        CHECK(DataOf(hard) == Pattern(8, 1));
    }
    SUBCASE("a deleted preset whose name another program took meanwhile: Undo leaves the new one") {
        REQUIRE(DeleteSelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Hard"}), nullptr) == S_OK);
        REQUIRE(SetBinary(kAlphaKey, L"Hard", Pattern(5, 5)));
        EditOutcome outcome;
        CHECK(f.history.UndoEdit(f.model, &outcome) == S_OK);
        CHECK(outcome.leftAlone == std::vector<std::wstring>{L"Hard"});
        CHECK(ValueBytes(kAlphaKey, L"Hard") == Pattern(5, 5));
    }
}

TEST_CASE("a copy over a stored value the catalogue does not show asks first, and Undo puts it back exactly") {
    EditFixture f;
    const DWORD number = 7;
    REQUIRE(SetValue(kAlphaKey, L"Number", REG_DWORD, &number, sizeof(number)));
    REQUIRE(SetValue(kAlphaKey, L"Empty", REG_BINARY, nullptr, 0));
    REQUIRE(SetText(kAlphaKey, L"Gone", f.PresetFolder(kAlpha) + L"\\Gone.dxp"));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    REQUIRE(SetBinary(kAlphaKey, L"Late", Pattern(6, 5))); // written after the load
    const wchar_t* names[] = {L"Number", L"Empty", L"Gone", L"Late"};
    std::vector<Bytes> before;
    std::vector<DWORD> types;
    for (const wchar_t* name : names) {
        types.push_back(REG_NONE);
        before.push_back(ValueBytes(kAlphaKey, name, &types.back()));
    }
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"Number", Pattern(8, 1)), MakePreset(L"Empty", Pattern(8, 2)),
                                    MakePreset(L"Gone", Pattern(300, 3)), MakePreset(L"Late", Pattern(8, 4))}));
    f.answers.Script({IDYES, IDYES, IDYES, IDYES});
    const PlugInList* shown = f.model.plugIns[SIDE_SYSTEM];
    f.answers.whileAsked = [&] {
        CHECK(LoadSystemCatalogue(f.model) >= 0);
        CHECK(f.model.plugIns[SIDE_SYSTEM] == shown); // the copy's pointers stay valid; the load waits for it
    };
    REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha"), {}, nullptr) == S_OK);
    CHECK(f.answers.asked.size() == 4);
    CHECK(ValueBytes(kAlphaKey, L"Late") == Pattern(8, 4));
    REQUIRE(f.history.UndoEdit(f.model, nullptr) == S_OK);
    for (size_t i = 0; i < before.size(); ++i) {
        CAPTURE(i);
        DWORD type = REG_NONE;
        CHECK(ValueBytes(kAlphaKey, names[i], &type) == before[i]);
        CHECK(type == types[i]);
    }
    CHECK(CountFiles(f.PresetFolder(kAlpha)) == 0); // "Gone" had no file before either
}

TEST_CASE("a chain whose identifier an installed chain of another name holds gets a key of its own") {
    EditFixture f;
    const wchar_t id[] = L"{C0000000-0000-4000-8000-0000000000C1}";
    const std::wstring key = SeedChain(id, L"Backup", 1, 2, Pattern(12, 1));
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    const std::string stored = f.Stored();
    f.Chains(SIDE_PACKAGE).Append(MakeChain(L"Main", id, Pattern(14, 2)));
    REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_CHAINS, L"FX Chains"), {}, nullptr) == S_OK);
    CHECK(ValueText(key, L"Name") == L"Backup");
    CHECK(ValueBytes(key, L"Stream") == Pattern(12, 1));
    const ChainEntry* main = f.Chains(SIDE_SYSTEM).FindEntryByName(L"Main");
    REQUIRE(main != nullptr);
    CHECK(std::wstring(main->identifier) != id);
    CHECK(ValueBytes(std::wstring(STORE_CHAINS_KEY) + L"\\" + main->identifier, L"Stream") == Pattern(14, 2));
    REQUIRE(f.history.UndoEdit(f.model, nullptr) == S_OK);
    CHECK(f.Stored() == stored);
}

TEST_CASE("a data file one item of a copy frees is not taken by the next, so Undo can put it back") {
    EditFixture f;
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0, {MakePreset(L"A?", Pattern(300, 1))}));
    const Selection alpha = TreeNode(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha");
    REQUIRE(CopySelection(f.Session(), alpha, {}, nullptr) == S_OK);
    const std::wstring file = ValueText(kAlphaKey, L"A?"); // "A_", as "A:" would be named
    PlugInEntry* package = f.Plugins(SIDE_PACKAGE).At(0);
    package->FindPreset(L"A?")->AdoptData(CopyBlob(Pattern(7, 2)), 7); // inline now: the file goes
    REQUIRE(package->AppendPreset(MakePreset(L"A:", Pattern(300, 3))) == S_OK);
    f.answers.Script({IDYES});
    REQUIRE(CopySelection(f.Session(), alpha, {}, nullptr) == S_OK);
    CHECK(ValueText(kAlphaKey, L"A:") != file);

    CHECK(f.history.UndoEdit(f.model, nullptr) == S_OK);
    CHECK(ValueText(kAlphaKey, L"A?") == file);
    CHECK(ReadWholeFile(file) == Pattern(300, 1));
    CHECK(ValueType(kAlphaKey, L"A:") == REG_NONE);
}

TEST_CASE("preset actions share a plug-in copy only while the plug-in is the same in every field") {
    std::unique_ptr<PlugInEntry> tool(PlugInEntry::Create(L"Tool", L""));
    REQUIRE(tool);
    tool->flags = PLUGIN_LATHMERE_TOOL;
    PlugInShells shells;
    std::shared_ptr<const PlugInEntry> first = shells.CopyOf(*tool), again = shells.CopyOf(*tool);
    REQUIRE(first);
    CHECK(again == first);
    CHECK(first.get() != tool.get());
    // Another version of the same tool is another plug-in: its presets must not be put back into this one.
    tool->majorVersion = 7;
    std::shared_ptr<const PlugInEntry> other = shells.CopyOf(*tool);
    REQUIRE(other);
    CHECK(other != first);
    CHECK(other->majorVersion == 7);
    CHECK(first->majorVersion == 0);
}
