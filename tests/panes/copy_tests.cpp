// Copy: the overwrite question and its remembered answer, cancel, and Lathmere tools and their destinations.
#include "edit_fixture.h"
#include "kvresult.h"
#include "store_write.h"

using namespace edittest;

namespace {

constexpr UINT kThreeButtons = 0x33, kFiveButtons = 0x3D;

// The package holds Alpha's a (old, lower case), B and C; the system side (in memory) A, B, C and D, all newer.
struct OverwriteFixture : EditFixture {
    OverwriteFixture() {
        Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                     {MakePreset(L"a", Pattern(5, 1)), MakePreset(L"B", Pattern(5, 2)),
                                      MakePreset(L"C", Pattern(5, 3))}));
        Add(SIDE_SYSTEM, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                    {MakePreset(L"A", Pattern(6, 11)), MakePreset(L"B", Pattern(6, 12)),
                                     MakePreset(L"C", Pattern(6, 13)), MakePreset(L"D", Pattern(6, 14))}));
    }
    PlugInEntry& Target() { return *Plugins(SIDE_PACKAGE).At(0); }
    HRESULT CopyAlpha(std::vector<int> script, CopyOutcome* outcome = nullptr) {
        answers.Script(std::move(script));
        return CopySelection(Session(), TreeNode(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha"), {}, outcome);
    }
};

std::vector<CopyResult> Results(const CopyOutcome& outcome) {
    std::vector<CopyResult> results;
    for (const CopyRecord& record : outcome.records) results.push_back(record.result);
    return results;
}

} // namespace

TEST_CASE("one existing preset is asked about with three buttons, several with five, until an answer to all") {
    OverwriteFixture f;
    SUBCASE("one preset: Yes overwrites it and keeps the copied name") {
        f.answers.Script({IDYES});
        REQUIRE(CopySelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"A"}), {}, nullptr) == S_OK);
        REQUIRE(f.answers.asked.size() == 1);
        CHECK(f.answers.asked[0].style == kThreeButtons);
        CHECK(f.answers.asked[0].owner == kOwner);
        CHECK(f.answers.asked[0].text ==
              L"The item Alpha 'a' already exists in this package.  Do you want to overwrite it?");
        CHECK(std::wstring(f.Target().PresetAt(0)->name) == L"A"); // same place, the copied name
        CHECK(DataOf(f.Target().PresetAt(0)) == Pattern(6, 11));
    }
    SUBCASE("a plug-in: Yes, then Yes to All overwrites the rest unasked") {
        CopyOutcome outcome;
        REQUIRE(f.CopyAlpha({IDYES, KVMB_ID_YESTOALL}, &outcome) == S_OK);
        REQUIRE(f.answers.asked.size() == 2);
        CHECK(f.answers.asked[0].style == kFiveButtons);
        CHECK(f.answers.asked[1].style == kFiveButtons);
        CHECK(outcome.affected == 4);
        CHECK(Results(outcome) == std::vector{COPY_REPLACED, COPY_REPLACED, COPY_REPLACED, COPY_ADDED});
        CHECK(DataOf(f.Target().FindPreset(L"C")) == Pattern(6, 13));
        CHECK(f.Target().PresetCount() == 4);
    }
    SUBCASE("No to All skips the rest unasked and copies only what is new") {
        CopyOutcome outcome;
        REQUIRE(f.CopyAlpha({KVMB_ID_NOTOALL}, &outcome) == S_OK);
        CHECK(f.answers.asked.size() == 1);
        CHECK(Results(outcome) == std::vector{COPY_SKIPPED, COPY_SKIPPED, COPY_SKIPPED, COPY_ADDED});
    }
    SUBCASE("answered No throughout, with nothing new: no step, and Undo still names the previous one") {
        REQUIRE(DeleteSelection(f.Session(), Rows(SIDE_PACKAGE, NODE_PLUGIN, L"Alpha", {L"C"}), nullptr) == S_OK);
        const std::string before = f.State(SIDE_PACKAGE);
        f.answers.Script({IDNO, IDNO});
        CHECK(CopySelection(f.Session(), Rows(SIDE_SYSTEM, NODE_PLUGIN, L"Alpha", {L"A", L"B"}), {}, nullptr) ==
              KV_S_NOTHING_TO_DO);
        CHECK(f.answers.asked.size() == 2);
        CHECK(f.State(SIDE_PACKAGE) == before);
        CHECK(f.history.undoSteps.Count() == 1);
        CHECK(UndoMenuItem(f.history, f.model.language).text == L"&Undo Delete\tCtrl+Z");
    }
}

TEST_CASE("Cancel after some Yes answers leaves both sides, the store and the history as they were") {
    EditFixture f;
    std::unique_ptr<PlugInEntry> alpha(MakePlugIn(L"Alpha", kAlpha));
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        std::unique_ptr<PresetEntry> preset(MakePreset(name, Pattern(300, name[0])));
        REQUIRE(WriteStorePreset(*alpha, *preset) == S_OK);
    }
    REQUIRE(LoadSystemCatalogue(f.model) >= 0);
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"A", Pattern(20, 1)), MakePreset(L"B", Pattern(20, 2)),
                                    MakePreset(L"New", Pattern(20, 3)), MakePreset(L"C", Pattern(20, 4))}));
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Beta", kBeta, 0, 0, 0, {MakePreset(L"Solo", Pattern(20, 5))}));
    REQUIRE(DeleteSelection(f.Session(), Rows(SIDE_PACKAGE, NODE_PLUGINS, L"FX Plug-Ins", {L"Beta"}), nullptr) == S_OK);
    const std::string system = f.State(SIDE_SYSTEM), package = f.State(SIDE_PACKAGE), stored = f.Stored();

    f.answers.Script({IDYES, IDYES, IDCANCEL});
    CopyOutcome outcome;
    CHECK(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGINS, L"FX Plug-Ins"), {}, &outcome) ==
          KV_E_CANCELLED);
    CHECK(f.answers.asked.size() == 3);
    CHECK_FALSE(outcome.changed);
    CHECK(f.State(SIDE_SYSTEM) == system);
    CHECK(f.State(SIDE_PACKAGE) == package);
    CHECK(f.Stored() == stored);
    CHECK(f.history.undoSteps.Count() == 1);
    CHECK(f.history.pending == nullptr);
    CHECK(UndoMenuItem(f.history, f.model.language).text == L"&Undo Delete\tCtrl+Z");
}

TEST_CASE("Lathmere tool presets the destination cannot read are refused") {
    EditFixture f;
    const LathmereDestination six{6, 0};
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL, 6, 0, {MakePreset(L"Dry", Pattern(9, 1))}));
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Graphic EQ", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0,
                                   {MakePreset(L"Bright", Pattern(9, 2)), MakePreset(L"Dark", Pattern(9, 3))}));
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Echo", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0,
                                   {MakePreset(L"Wet", Pattern(9, 4))}));
    SUBCASE("a table tool of 7.0 to destination 6.0: refused once per preset, the rest is copied") {
        f.Plugins(SIDE_SYSTEM);
        f.destination = &six;
        CopyOutcome outcome;
        REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGINS, L"FX Plug-Ins"), {}, &outcome) ==
                S_OK);
        REQUIRE(f.answers.asked.size() == 2);
        CHECK(f.answers.asked[1].style == 0x30);
        CHECK(Results(outcome) == std::vector{COPY_ADDED, COPY_REFUSED, COPY_REFUSED, COPY_ADDED});
        CHECK(ValueBytes(LathmereToolKey(L"Echo", 6, 0), L"Wet") == Pattern(9, 4)); // not in the table
        CHECK(ValueType(LathmereToolKey(L"Graphic EQ", 6, 0), L"Bright") == REG_NONE);
    }
    SUBCASE("without a plug-in list on the target, a refusal ends the whole copy") {
        f.destination = &six;
        CHECK(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_PLUGINS, L"FX Plug-Ins"), {}, nullptr) ==
              KV_E_CANCELLED);
        CHECK(f.answers.asked.size() == 1);
        CHECK(ValueType(LathmereToolKey(L"Echo", 6, 0), L"Dry") == REG_NONE);
        CHECK(f.history.undoSteps.Count() == 0);
    }
}

TEST_CASE("only the table's tools from 7.0 on need a destination of 7.0 or later") {
    tKVLANG* language = TestLanguage();
    const uint32_t versioned = PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED;
    std::unique_ptr<PlugInEntry> repair(MakePlugIn(L"spectral repair", L"", versioned, 8, 1));
    std::unique_ptr<PlugInEntry> oldEq(MakePlugIn(L"Graphic EQ", L"", PLUGIN_LATHMERE_TOOL, 6, 0));
    CHECK_FALSE(IsCompatibleWithDestination(*repair, LathmereDestination{6, 9}, language)); // names ignore case
    CHECK(IsCompatibleWithDestination(*repair, LathmereDestination{7, 0}, language));
    CHECK(IsCompatibleWithDestination(*oldEq, LathmereDestination{6, 0}, language));
}

TEST_CASE("a copy recorded without applying changes nothing until its caller commits it or throws it away") {
    EditFixture f;
    f.Add(SIDE_PACKAGE, MakePlugIn(L"Alpha", kAlpha, 0, 0, 0,
                                   {MakePreset(L"A", Pattern(300, 1)), MakePreset(L"B", Pattern(5, 2))}));
    f.Plugins(SIDE_SYSTEM);
    const std::string system = f.State(SIDE_SYSTEM), stored = f.Stored();
    CopyOptions recordOnly;
    recordOnly.apply = false;
    for (bool commit : {false, true}) {
        CAPTURE(commit);
        CopyOutcome outcome;
        REQUIRE(CopySelection(f.Session(), TreeNode(SIDE_PACKAGE, NODE_ROOT, L"Package"), recordOnly, &outcome) ==
                S_OK);
        CHECK(Results(outcome) == std::vector{COPY_ADDED, COPY_ADDED});
        CHECK_FALSE(outcome.changed);
        CHECK(f.history.PendingActionCount() == 2);
        CHECK(f.State(SIDE_SYSTEM) == system);
        CHECK(f.Stored() == stored);
        if (!commit) {
            f.history.DiscardEdit();
            CHECK(f.history.undoSteps.Count() == 0);
            continue;
        }
        REQUIRE(f.history.CommitEdit(f.model, &outcome) == S_OK);
        CHECK(ValueBytes(kAlphaKey, L"B") == Pattern(5, 2));
        CHECK(ValueType(kAlphaKey, L"A") == REG_SZ); // 300 bytes go to a data file
        CHECK(f.history.undoSteps.Count() == 1);
    }
}
