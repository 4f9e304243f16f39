// The real frame with a seeded store and an opened package, for the editing commands and drag and drop: scripted
// answers to every question, and helpers that select what a user would select before a command.
#pragma once
#include <doctest.h>
#include <string>
#include <vector>
#include "frame_fixture.h"
#include "edit_history.h"
#include "kvlang.h"
#include "kvmsgbox.h"

namespace edittest {

using namespace frametest;
using Lines = std::vector<std::wstring>;

constexpr wchar_t kZetaClass[] = L"{7D000000-0000-4000-8000-0000000000E1}";
constexpr wchar_t kPackageRoot[] = L"Edits.kvpreset";
inline const std::vector<const wchar_t*> kPackageReverb = {kPackageRoot, L"FX Plug-Ins", L"Bright Reverb"};
inline const std::vector<const wchar_t*> kSystemReverb = {L"FX Plug-Ins", L"Bright Reverb"};

// Answers every box from a script (Cancel once it runs out, so no test can wait on a box) and records it.
class Answers {
public:
    struct Box {
        HWND owner;
        std::wstring text, caption;
        UINT style;
    };
    Answers() { KvMsgBoxSetHook(&Answers::Answer, this); }
    ~Answers() { KvMsgBoxSetHook(nullptr, nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    void Script(std::vector<int> answers) {
        script_ = std::move(answers);
        next_ = 0;
        boxes.clear();
    }
    std::vector<Box> boxes;

private:
    static int CALLBACK Answer(void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
        auto* self = static_cast<Answers*>(data);
        self->boxes.push_back({owner, text ? text : L"", caption ? caption : L"", style});
        return self->next_ < self->script_.size() ? self->script_[self->next_++] : IDCANCEL;
    }
    std::vector<int> script_;
    size_t next_ = 0;
};

// The frame fixture's store (Bright Reverb: hall, Plate, Room; alpha Delay: Slap; ...) with data files in a
// scratch folder, a large stored preset "Big" of Bright Reverb, and the package's second plug-in registered.
struct EditStore {
    SeededStore seeded;
    EditStore() {
        seeded.sandbox.UseScratchDefLocations();
        // In the plug-in's own data folder, where a delete may remove it.
        CreateDirectoryW(seeded.sandbox.file(L"presets").c_str(), nullptr);
        CreateDirectoryW(PresetFolder(kReverbClass).c_str(), nullptr);
        std::wstring big =
            seeded.sandbox.WriteFile(std::wstring(L"presets\\") + kReverbClass + L"\\Big.dxp", Pattern(400, 6));
        REQUIRE(storetest::SetText(PlugInKey(kReverbClass), L"Big", big));
        storetest::RegisterClassName(kZetaClass, L"Zeta Comp");
    }
    ~EditStore() { storetest::UnregisterClass(kZetaClass); }
    std::wstring PresetFolder(const wchar_t* classId) const {
        return seeded.sandbox.folder() + L"\\presets\\" + classId;
    }
};

// "Edits.kvpreset": Bright Reverb with "Plate" (other bytes than the stored one) and "Cathedral" (a data file's
// size), Zeta Comp with "Knee".
struct EditPackage {
    testsupport::ScratchDir folder{L"edits"};
    std::wstring path = folder.file(kPackageRoot);
    EditPackage() {
        PlugInList plugIns;
        plugIns.Append(storetest::MakePlugIn(L"Bright Reverb", kReverbClass, 0, 0, 0,
                                             {storetest::MakePreset(L"Plate", Pattern(32, 9)),
                                              storetest::MakePreset(L"Cathedral", Pattern(300, 8))}));
        plugIns.Append(storetest::MakePlugIn(L"Zeta Comp", kZetaClass, 0, 0, 0,
                                             {storetest::MakePreset(L"Knee", Pattern(20, 5))}));
        ChainList chains;
        REQUIRE(WritePackageFile(path.c_str(), &plugIns, &chains) >= 0);
    }
};

// Everything a test of an edit needs, in the order it must be made and destroyed.
struct EditSetup {
    EditStore store;
    EditPackage package;
    AppSession session{package.path};
    TestFrame frame{session};
    Answers answers; // after the frame, which installs a hook of its own
    PaneState& packageSide = frame.pane(PANE_PACKAGE);
    PaneState& systemSide = frame.pane(PANE_SYSTEM);

    std::wstring UndoText() const { return UndoMenuItem(*frame.state().history, storetest::TestLanguage()).text; }
    std::wstring RedoText() const { return RedoMenuItem(*frame.state().history, storetest::TestLanguage()).text; }
    bool Modified() const { return (g_appContext.document.flags & DOC_MODIFIED) != 0; }
};

inline std::wstring SelectedNodeText(const PaneState& pane) {
    return TreeItemText(pane.tree, TreeView_GetSelection(pane.tree));
}

// Selects a tree node and gives the tree the focus, which makes its side the active one.
inline HTREEITEM FocusNode(const PaneState& pane, const std::vector<const wchar_t*>& path) {
    HTREEITEM item = SelectNode(pane, path);
    SetFocus(pane.tree);
    Pump();
    return item;
}

// The index of the list row with this text, or -1.
inline int FindRow(HWND list, const wchar_t* text) {
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = text;
    return ListView_FindItem(list, -1, &find);
}

// Selects a node, gives the list the focus and selects the rows of the given texts.
inline void FocusRows(const PaneState& pane, const std::vector<const wchar_t*>& path, const Lines& rows) {
    REQUIRE(SelectNode(pane, path) != nullptr);
    SetFocus(pane.list);
    ListView_SetItemState(pane.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const std::wstring& text : rows) {
        int row = FindRow(pane.list, text.c_str());
        REQUIRE(row >= 0);
        ListView_SetItemState(pane.list, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    Pump();
}

} // namespace edittest
