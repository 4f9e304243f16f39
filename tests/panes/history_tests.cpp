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
    CHECK(UndoMenuItem(f.history, f.model.language).text == L"Can't &Undo\tCtrl+Z");

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
    CHECK(redo.text == L"Can't &Redo\tCtrl+Shift+Z");

    EditOutcome undone;
    CHECK(f.history.UndoEdit(f.model, &undone) == S_OK);
    CHECK(f.State(SIDE_PACKAGE) == empty);
    CHECK(undone.packageModified); // even when the package was saved in between
    undo = UndoMenuItem(f.history, f.model.language);
    redo = RedoMenuItem(f.history, f.model.language);
    CHECK_FALSE(undo.enabled);
    CHECK(undo.text == L"Can't &Undo\tCtrl+Z");
    CHECK(redo.enabled);
    CHECK(redo.text == L"&Redo Copy\tCtrl+Shift+Z");

    CHECK(f.history.RedoEdit(f.model, nullptr) == S_OK);
    CHECK(f.State(SIDE_PACKAGE) == full);
    CHECK(f.history.UndoEdit(f.model, nullptr) == S_OK);

    // A new edit after Undo: the undone step can no longer be redone.
    REQUIRE(CopySelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"Two"}), {}, nullptr) == S_OK);
    CHECK(f.history.redoSteps.Count() == 0);
    CHECK(f.history.undoSteps.Count() == 1);
    CHECK(f.history.RedoEdit(f.model, nullptr) == S_OK); // nothing to redo: nothing happens
    CHECK(f.Plugins(SIDE_PACKAGE).TotalPresetCount() == 1);

    f.history.ClearHistory();
    CHECK_FALSE(UndoMenuItem(f.history, f.model.language).enabled);
    CHECK(f.history.UndoEdit(f.model, nullptr) == S_OK);
    CHECK(f.Plugins(SIDE_PACKAGE).TotalPresetCount() == 1);
}

TEST_CASE("a step without actions never enters the history, and a new edit drops one left pending") {
    EditFixture f;
    REQUIRE(f.history.BeginEdit(SIDE_PACKAGE) == S_OK);
    CHECK(f.history.CommitEdit(f.model, nullptr) == KV_E_FAIL);
    CHECK(f.history.undoSteps.Count() == 0);
    CHECK(f.history.AppendAction(std::make_unique<AddChainAction>(SIDE_PACKAGE)) == KV_E_FAIL); // none pending

    REQUIRE(f.history.BeginEdit(SIDE_PACKAGE) == S_OK);
    f.history.answerMode = ANSWER_NO_TO_ALL;
    REQUIRE(f.history.AppendAction(std::make_unique<AddChainAction>(SIDE_PACKAGE)) == S_OK);
    REQUIRE(f.history.BeginEdit(SIDE_SYSTEM) == S_OK);
    CHECK(f.history.PendingActionCount() == 0);
    CHECK(f.history.answerMode == ANSWER_ASK);
    CHECK(f.history.pending->targetSide == SIDE_SYSTEM);
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
