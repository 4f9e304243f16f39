// The real frame window created in the test process: the application record it needs, a seeded store and package,
// scripted answers to every message box and file dialog, and readers for what a user would see in the panes.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <doctest.h>
#include <deque>
#include <optional>
#include <string>
#include <vector>
#include "../catalogue/store_fixture.h"
#include "app_context.h"
#include "file_dialogs.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "package_format.h"
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
struct ShownDialog { std::wstring title, folder, name, filter, extension; DWORD flags; };
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
            std::wstring filter;
            for (const wchar_t* piece = dialog.lpstrFilter; *piece; piece += wcslen(piece) + 1)
                filter += piece + std::wstring(L"|");
            dialogs.push_back({dialog.lpstrTitle, dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"",
                               dialog.lpstrFile, filter, dialog.lpstrDefExt ? dialog.lpstrDefExt : L"", dialog.Flags});
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

} // namespace frametest
