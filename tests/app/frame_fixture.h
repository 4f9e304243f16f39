// The real frame window created in the test process: the application record it needs, a seeded store and package,
// scripted answers to every message box and file dialog, readers for what a user would see in the panes, and the
// set-ups of the document and editing tests.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <doctest.h>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "../catalogue/store_fixture.h"
#include "../kernel/wide_string_maker.h"
#include "app_context.h"
#include "document_open.h"
#include "edit_history.h"
#include "file_dialogs.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "package_format.h"
#include "recent_files.h"
#include "resource.h"

namespace frametest {

using storetest::Pattern;
using Lines = std::vector<std::wstring>;

// Runs what is queued for this thread's windows; the quit message a destroyed frame posts is dropped.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The process-wide things start-up would have made, once per test process.
inline void PrepareApplication() {
    static bool prepared = [] {
        KvKernel_Init(GetModuleHandleW(nullptr));
        g_appContext.language = storetest::TestLanguage();
        KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow 2.0");
        wcscpy(g_appContext.productName, L"Varden Tarrow");
        INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)prepared;
}

struct Box {
    HWND owner;
    std::wstring text, caption;
    UINT style;
};
struct ShownDialog { std::wstring folder, name; };
struct DialogAnswer { std::optional<std::wstring> path; bool readOnly = false; }; // no path: cancelled

// Answers every box and file dialog from queues and records them. Anything asked beyond the queues is cancelled
// and counted as unexpected, so no test can wait on a box.
class Answers {
public:
    std::deque<int> boxAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<Box> boxes;
    std::vector<ShownDialog> dialogs;
    int unexpected = 0;

    Answers() {
        PrepareApplication();
        Hook();
        SetFileDialogRunner([this](OPENFILENAMEW& dialog, bool) {
            dialogs.push_back({dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"", dialog.lpstrFile});
            if (dialogAnswers.empty()) return ++unexpected, FALSE;
            DialogAnswer answer = dialogAnswers.front();
            dialogAnswers.pop_front();
            if (answer.path) wcsncpy(dialog.lpstrFile, answer.path->c_str(), dialog.nMaxFile - 1);
            if (answer.readOnly) dialog.Flags |= OFN_READONLY;
            return answer.path ? TRUE : FALSE;
        });
    }
    ~Answers() {
        SetFileDialogRunner(nullptr);
        KvMsgBoxSetHook(nullptr, nullptr);
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;
    // Giving the boxes an application window (as making the frame does) drops the hook.
    void Hook() { KvMsgBoxSetHook(&Answers::Answer, this); }
    void Script(std::initializer_list<int> answers) {
        boxAnswers = answers;
        boxes.clear();
    }

private:
    static int CALLBACK Answer(void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
        auto* self = static_cast<Answers*>(data);
        self->boxes.push_back({owner, text ? text : L"", caption ? caption : L"", style});
        if (self->boxAnswers.empty()) return ++self->unexpected, static_cast<int>(IDCANCEL);
        int answer = self->boxAnswers.front();
        self->boxAnswers.pop_front();
        return answer;
    }
};

// What start-up would have made, with settings of their own and the given document (untitled when empty).
struct AppSession {
    static constexpr wchar_t kSettings[] = L"TarrowFrameTests";
    Answers answers;
    explicit AppSession(const std::wstring& packagePath = L"") {
        // Other fixtures point the record at a language of their own and close it when they end.
        g_appContext.language = storetest::TestLanguage();
        KvMetric_DeleteAll(kSettings, APP_VERSION_WORD);
        KvMetric_Open(&g_appContext.settings, kSettings, APP_VERSION_WORD, nullptr);
        g_appContext.document = DocumentRecord{};
        g_appContext.document.flags = packagePath.empty() ? DOC_UNTITLED : 0;
        wcsncpy(g_appContext.document.path, packagePath.empty() ? L"Untitled" : packagePath.c_str(), DOC_PATH_CHARS - 1);
    }
    ~AppSession() {
        KvMetric_Close(g_appContext.settings);
        g_appContext.settings = nullptr;
        KvMetric_DeleteAll(kSettings, APP_VERSION_WORD);
    }
};

// A frame made the way start-up makes it, shown at a known size; destroyed with the object.
class TestFrame {
public:
    explicit TestFrame(AppSession& session, int width = 800, int height = 600) {
        REQUIRE(CreateFrameWindow(GetModuleHandleW(nullptr), &window_) == S_OK);
        session.answers.Hook();
        state_ = FrameStateOf(window_);
        REQUIRE(state_ != nullptr);
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_SHOWWINDOW);
        Pump();
    }
    ~TestFrame() { Destroy(); }
    void Destroy() {
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
        Pump();
    }
    HWND window() const { return window_; }
    FrameState& state() const { return *state_; }
    PaneState& pane(uint32_t side) const { return state_->sides[side]; }
    void Command(UINT id) const {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        Pump();
    }
    bool Enabled(UINT command) const { return SendMessageW(state_->toolbar, TB_ISBUTTONENABLED, command, 0) != 0; }

private:
    HWND window_ = nullptr;
    FrameState* state_ = nullptr;
};

inline std::wstring Text(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// The tree as indented lines in their order, e.g. "Demo.kvpreset\n  FX Chains\n".
inline std::wstring TreeDump(HWND tree, HTREEITEM parent = nullptr, int depth = 0) {
    std::wstring text;
    for (HTREEITEM item = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item))
        text += std::wstring(depth * 2u, L' ') + TreeItemText(tree, item) + L"\n" + TreeDump(tree, item, depth + 1);
    return text;
}

inline Lines ListRows(HWND list) {
    Lines rows;
    for (int i = 0; i < ListView_GetItemCount(list); ++i) rows.push_back(ListItemText(list, i));
    return rows;
}

inline std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        rows.push_back(i);
    return rows;
}

inline void SelectOnly(HWND list, int row) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Selects the node at a path of texts from the top; null when one is missing.
inline HTREEITEM SelectNode(const PaneState& pane, const std::vector<const wchar_t*>& path) {
    HTREEITEM item = nullptr;
    for (const wchar_t* text : path)
        if (!(item = FindChildByText(pane, item, text))) return nullptr;
    TreeView_SelectItem(pane.tree, item);
    Pump();
    return item;
}

// A double click on a row, as the mouse sends it.
inline void DoubleClickRow(HWND list, int row) {
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
    Pump();
}

// ---- a seeded store and a package

constexpr wchar_t kReverbClass[] = L"{7A000000-0000-4000-8000-000000000001}"; // "Bright Reverb"
constexpr wchar_t kDelayClass[] = L"{7B000000-0000-4000-8000-000000000002}";  // "alpha Delay"
constexpr wchar_t kLostClass[] = L"{7C000000-0000-4000-8000-000000000003}";   // not registered

inline std::wstring PlugInKey(const wchar_t* classId) { return std::wstring(STORE_PRESETS_KEY) + L"\\" + classId; }

// Three plug-ins (one unregistered), a Lathmere tool and two chains.
struct SeededStore {
    storetest::StoreSandbox sandbox;
    SeededStore() {
        using namespace storetest;
        RegisterClassName(kReverbClass, L"Bright Reverb");
        RegisterClassName(kDelayClass, L"alpha Delay");
        for (const wchar_t* name : {L"Plate", L"hall", L"Room"}) REQUIRE(SetBinary(PlugInKey(kReverbClass), name, Pattern(32, 1)));
        REQUIRE(SetBinary(PlugInKey(kDelayClass), L"Slap", Pattern(16, 2)));
        REQUIRE(SetBinary(PlugInKey(kLostClass), L"Orphan", Pattern(8, 3)));
        REQUIRE(SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Tape", L"Warm", Pattern(8, 4)));
        for (auto [id, name] : {std::pair{L"{C1}", L"Vocal Chain"}, std::pair{L"{C2}", L"Drum Bus"}}) {
            std::wstring key = std::wstring(STORE_CHAINS_KEY) + L"\\" + id;
            REQUIRE(SetDword(key, L"Flags", 1));
            REQUIRE(SetDword(key, L"Type", 2));
            REQUIRE(SetText(key, L"Name", name));
            REQUIRE(SetBinary(key, L"Stream", Pattern(24, 7)));
        }
    }
    ~SeededStore() {
        storetest::UnregisterClass(kReverbClass);
        storetest::UnregisterClass(kDelayClass);
    }
};

// Plug-ins "Zeta Comp" (presets "B", "a") and "Eq One" ("Air"), and the chain "Guitar Rig".
inline bool WriteSamplePackage(const std::wstring& path) {
    using namespace storetest;
    PlugInList plugIns;
    plugIns.Append(MakePlugIn(L"Zeta Comp", L"{7D000000-0000-4000-8000-000000000004}", 0, 0, 0,
                              {MakePreset(L"B", Pattern(10, 1)), MakePreset(L"a", Pattern(10, 2))}));
    plugIns.Append(MakePlugIn(L"Eq One", L"{7E000000-0000-4000-8000-000000000005}", 0, 0, 0,
                              {MakePreset(L"Air", Pattern(10, 3))}));
    ChainList chains;
    chains.Append(MakeChain(L"Guitar Rig", L"{C3}", Pattern(12, 4)));
    return WritePackageFile(path.c_str(), &plugIns, &chains) >= 0;
}

struct PackageFile {
    testsupport::ScratchDir folder{L"frame"};
    std::wstring path = folder.file(L"Sample Set.kvpreset");
    PackageFile() { REQUIRE(WriteSamplePackage(path)); }
};

// ---- the document tests: the frame started as the program starts it

// The frame over a clean store (seeded by the caller first when it wants) and an empty settings key.
struct FrameFixture {
    AppSession session;
    storetest::StoreSandbox store;
    testsupport::ScratchDir dir{L"frame"};
    Answers& answers = session.answers;
    std::unique_ptr<TestFrame> window;
    HWND frame = nullptr;
    FrameState* state = nullptr;

    explicit FrameFixture(const std::function<void()>& seedStore = {}) {
        if (seedStore) seedStore();
        Create();
    }
    // As the program starts: an untitled document, the recent files from the settings, the frame.
    void Create() {
        MakeUntitledDocument(g_appContext.document, g_appContext.language);
        LoadRecentFiles(g_appContext.recentFiles, g_appContext.settings);
        window = std::make_unique<TestFrame>(session);
        frame = window->window();
        state = &window->state();
    }
    DocumentRecord& document() { return g_appContext.document; }
    void Command(UINT id) { window->Command(id); }
    std::wstring Title() { return Text(frame).substr(20); } // after "Varden Tarrow 2.0 - "
    std::wstring Package(const wchar_t* name) { // a package file in the scratch folder
        std::wstring path = dir.file(name);
        REQUIRE(WriteSamplePackage(path));
        return path;
    }
    void MarkModified() { // as an edit of the package does
        document().flags |= DOC_MODIFIED;
        UpdateTitle(frame, &document());
    }
};

// ---- the editing tests: the seeded store with data files, and an opened package

constexpr wchar_t kZetaClass[] = L"{7D000000-0000-4000-8000-0000000000E1}";
constexpr wchar_t kPackageRoot[] = L"Edits.kvpreset";
inline const std::vector<const wchar_t*> kPackageReverb = {kPackageRoot, L"FX Plug-Ins", L"Bright Reverb"};
inline const std::vector<const wchar_t*> kSystemReverb = {L"FX Plug-Ins", L"Bright Reverb"};

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
    Answers& answers = session.answers;
    PaneState& packageSide = frame.pane(PANE_PACKAGE);
    PaneState& systemSide = frame.pane(PANE_SYSTEM);

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

} // namespace frametest
