// The editing commands on the real frame: copy both ways with the overwrite question, delete, undo and redo,
// renaming in place, and a store failure reported and shown as it really is.
#include <doctest.h>
#include "frame_fixture.h"
#include "resource.h"

using namespace frametest;
using storetest::ReadWholeFile;
using storetest::ValueBytes;
using storetest::ValueText;
using storetest::ValueType;

namespace {

const std::wstring kReverbKey = PlugInKey(kReverbClass);

// A folder where a data file must go: every write of that file then fails.
bool BlockWith(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

} // namespace

TEST_CASE("Copy to System: a store write that fails is reported with the item; a plug-in writes all its presets") {
    EditSetup s;
    // A folder where the copy's data file must go makes that write fail.
    const std::wstring blocked = s.store.PresetFolder(kReverbClass) + L"\\Cathedral.dxp";
    REQUIRE(BlockWith(blocked));
    REQUIRE(SelectNode(s.systemSide, kSystemReverb) != nullptr);
    FocusRows(s.packageSide, kPackageReverb, {L"Cathedral"});
    s.frame.Command(ID_EDIT_COPY_TO_SYSTEM);
    REQUIRE(s.answers.boxes.size() == 1);
    CHECK(s.answers.boxes[0].text.find(L"The item 'Cathedral' could not be changed in the system presets.") == 0);
    CHECK(ValueType(kReverbKey, L"Cathedral") == REG_NONE);
    REQUIRE(RemoveDirectoryW(blocked.c_str()));

    REQUIRE(FocusNode(s.packageSide, kPackageReverb) != nullptr);
    s.answers.Script({IDYES});
    s.frame.Command(ID_EDIT_COPY_TO_SYSTEM);
    REQUIRE(s.answers.boxes.size() == 1);
    CHECK(s.answers.boxes[0].text.find(L"'Plate'") != std::wstring::npos);
    CHECK(ValueBytes(kReverbKey, L"Plate") == Pattern(32, 9));
    CHECK(ValueType(kReverbKey, L"Cathedral") == REG_SZ);
    CHECK(ReadWholeFile(ValueText(kReverbKey, L"Cathedral")) == Pattern(300, 8));
    // The system list was refilled from its node without being selected again.
    CHECK(ListRows(s.systemSide.list) == Lines{L"Big", L"Cathedral", L"hall", L"Plate", L"Room"});
    CHECK_FALSE(s.Modified());

    const int steps = s.frame.state().history->undoSteps.Count();
    s.answers.Script({IDCANCEL}); // a cancelled copy is no failure to report
    s.frame.Command(ID_EDIT_COPY_TO_SYSTEM);
    CHECK(s.answers.boxes.size() == 1);
    CHECK(s.frame.state().history->undoSteps.Count() == steps);
}

TEST_CASE("a plug-in copied to the system side shows the name the next reload gives it") {
    for (const wchar_t* registeredAs : {L"", L"Zeta Compressor"}) {
        CAPTURE(storetest::Narrow(registeredAs));
        EditSetup s;
        if (*registeredAs) storetest::RegisterClassName(kZetaClass, registeredAs);
        else storetest::UnregisterClass(kZetaClass);
        // Its key comes first in the store, so the plug-ins already shown as not installed move up a number.
        std::unique_ptr<PlugInEntry> early(storetest::MakePlugIn(L"Early", L"{10000000-0000-4000-8000-0000000000E2}", 0,
                                                                 0, 0, {storetest::MakePreset(L"One", Pattern(4, 1))}));
        REQUIRE(AddPreset(s.frame.state().catalogue, *early, *early->PresetAt(0), SIDE_PACKAGE) == S_OK);
        FillTree(s.packageSide, s.package.path.c_str());
        FocusRows(s.packageSide, {kPackageRoot, L"FX Plug-Ins"}, {L"Early", L"Zeta Comp"});
        s.frame.Command(ID_EDIT_COPY_TO_SYSTEM);
        const std::wstring copied = TreeDump(s.systemSide.tree);
        CHECK(copied.find(*registeredAs ? registeredAs : L"Not Installed 002") != std::wstring::npos);
        s.frame.Command(ID_EDIT_REFRESH);
        CHECK(TreeDump(s.systemSide.tree) == copied);
    }
}

TEST_CASE("Copy to File and Delete in the package mark it modified; Save writes what the package side shows") {
    EditSetup s;
    FocusRows(s.systemSide, kSystemReverb, {L"hall", L"Room"});
    s.frame.Command(ID_EDIT_COPY_TO_FILE);

    CHECK(s.answers.boxes.empty());
    CHECK(s.Modified());
    CHECK(Text(s.frame.window()) == L"Varden Tarrow 2.0 - Edits.kvpreset*");
    REQUIRE(SelectNode(s.packageSide, kPackageReverb) != nullptr);
    CHECK(ListRows(s.packageSide.list) == Lines{L"Cathedral", L"hall", L"Plate", L"Room"});

    s.frame.Command(ID_FILE_SAVE);
    REQUIRE_FALSE(s.Modified());

    PlugInList plugIns;
    ChainList chains;
    REQUIRE(ReadPackageFile(s.package.path.c_str(), &plugIns, &chains) == S_OK);
    const PlugInEntry* reverb = plugIns.FindEntryByName(L"Bright Reverb", storetest::TestLanguage());
    REQUIRE(reverb != nullptr);
    REQUIRE(reverb->PresetCount() == 4);
    CHECK(storetest::DataOf(reverb->FindPreset(L"hall")) == Pattern(32, 1));
    CHECK(storetest::DataOf(reverb->FindPreset(L"Room")) == Pattern(32, 1));
    CHECK(storetest::DataOf(reverb->FindPreset(L"Cathedral")) == Pattern(300, 8));

    // A delete in the package marks it modified; its undo after a save marks it modified again.
    FocusRows(s.packageSide, kPackageReverb, {L"Cathedral"});
    s.frame.Command(ID_EDIT_DELETE);
    CHECK(s.Modified());
    CHECK(ListRows(s.packageSide.list) == Lines{L"hall", L"Plate", L"Room"});
    s.frame.Command(ID_FILE_SAVE);
    REQUIRE_FALSE(s.Modified());
    s.frame.Command(ID_EDIT_UNDO);
    CHECK(s.Modified());
    CHECK(ListRows(s.packageSide.list) == Lines{L"Cathedral", L"hall", L"Plate", L"Room"});
}

TEST_CASE("Delete, Undo and Redo in the store, and the lists after each") {
    EditSetup s;
    const std::wstring bigFile = ValueText(kReverbKey, L"Big");
    FocusRows(s.systemSide, kSystemReverb, {L"Plate", L"Big"});

    s.frame.Command(ID_EDIT_DELETE);
    CHECK(ValueType(kReverbKey, L"Plate") == REG_NONE);
    CHECK(ValueType(kReverbKey, L"Big") == REG_NONE);
    CHECK(GetFileAttributesW(bigFile.c_str()) == INVALID_FILE_ATTRIBUTES);
    CHECK(ListRows(s.systemSide.list) == Lines{L"hall", L"Room"});

    s.frame.Command(ID_EDIT_UNDO);
    CHECK(ValueBytes(kReverbKey, L"Plate") == Pattern(32, 1));
    CHECK(ReadWholeFile(ValueText(kReverbKey, L"Big")) == Pattern(400, 6));
    CHECK(ListRows(s.systemSide.list).size() == 4);

    s.frame.Command(ID_EDIT_REDO);
    CHECK(ValueType(kReverbKey, L"Plate") == REG_NONE);
    CHECK(ListRows(s.systemSide.list) == Lines{L"hall", L"Room"});
    CHECK(s.answers.boxes.empty());
}

TEST_CASE("renaming a row in place: in the package it is modified; a write the store refuses is reported") {
    EditSetup s;
    auto rename = [&](PaneState& pane, const wchar_t* row, const wchar_t* text) {
        SetFocus(pane.list);
        HWND edit = ListView_EditLabel(pane.list, FindRow(pane.list, row));
        REQUIRE(edit != nullptr);
        SetWindowTextW(edit, text);
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        Pump();
    };
    REQUIRE(SelectNode(s.packageSide, kPackageReverb) != nullptr);
    rename(s.packageSide, L"Cathedral", L"Crypt");
    CHECK(ListRows(s.packageSide.list) == Lines{L"Crypt", L"Plate"});
    CHECK(SelectedRows(s.packageSide.list) == std::vector<int>{0}); // the renamed row, found again after the refill
    CHECK(s.Modified());
    CHECK(Text(s.frame.window()) == L"Varden Tarrow 2.0 - Edits.kvpreset*");

    REQUIRE(SelectNode(s.systemSide, kSystemReverb) != nullptr);
    const std::wstring blocked = s.store.PresetFolder(kReverbClass) + L"\\Huge.dxp";
    REQUIRE(BlockWith(blocked));
    rename(s.systemSide, L"Big", L"Huge");
    REQUIRE(s.answers.boxes.size() == 1);
    CHECK(s.answers.boxes[0].text.find(L"The item 'Big' could not be renamed in the system presets.") == 0);
    CHECK(ListRows(s.systemSide.list) == Lines{L"Big", L"hall", L"Plate", L"Room"});
    CHECK(ReadWholeFile(ValueText(kReverbKey, L"Big")) == Pattern(400, 6));
    CHECK(RemoveDirectoryW(blocked.c_str()));
}

TEST_CASE("a reload asked for while the overwrite question is open waits for the copy, and Undo and Redo stay exact") {
    EditSetup s;
    const storetest::Bytes stored = ValueBytes(kReverbKey, L"Plate");
    FocusRows(s.packageSide, kPackageReverb, {L"Plate"});
    struct Hook {
        FrameState* state;
        const PlugInList* before = nullptr;
        const PlugInList* during = nullptr;
    } hook{&s.frame.state()};
    // Another program saves a preset while the question is up; the user comes back to the program and says Yes.
    KvMsgBoxSetHook([](void* data, HWND, const wchar_t*, const wchar_t*, UINT) {
        auto* self = static_cast<Hook*>(data);
        self->before = self->state->catalogue.plugIns[SIDE_SYSTEM];
        CHECK(storetest::SetBinary(kReverbKey, L"Saved", Pattern(24, 4)));
        SendMessageW(self->state->frame, WM_ACTIVATEAPP, TRUE, 0);
        self->during = self->state->catalogue.plugIns[SIDE_SYSTEM];
        return IDYES;
    }, &hook);
    s.frame.Command(ID_EDIT_COPY_TO_SYSTEM);
    KvMsgBoxSetHook(nullptr, nullptr);

    CHECK(hook.during == hook.before); // nothing the copy held was freed under it
    CHECK(ValueBytes(kReverbKey, L"Plate") == Pattern(32, 9));
    const PlugInEntry* reverb = s.frame.state().catalogue.plugIns[SIDE_SYSTEM]->FindEntryByName(
        L"Bright Reverb", s.frame.state().catalogue.language);
    REQUIRE(reverb != nullptr);
    CHECK(reverb->FindPreset(L"Saved") != nullptr); // the reload ran once the copy had ended
    s.frame.Command(ID_EDIT_UNDO);
    DWORD type = REG_NONE;
    CHECK(ValueBytes(kReverbKey, L"Plate", &type) == stored);
    CHECK(type == REG_BINARY);
    s.frame.Command(ID_EDIT_REDO);
    CHECK(ValueBytes(kReverbKey, L"Plate") == Pattern(32, 9));
    CHECK(ValueBytes(kReverbKey, L"Saved") == Pattern(24, 4));
}
