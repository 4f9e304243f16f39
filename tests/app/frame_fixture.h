// The real frame window created in the test process: the application record it needs, a seeded store, a recording
// message-box hook, and readers for what a user would see in the panes.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <doctest.h>
#include <string>
#include <vector>
#include "../catalogue/store_fixture.h"
#include "app_context.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "package_format.h"
#include "resource.h"

namespace frametest {

using storetest::Bytes;
using storetest::Pattern;

// Settings of their own, so the program's (and the start-up tests') stay untouched.
constexpr wchar_t kSettingsProduct[] = L"TarrowFrameTests";

// Every box the program shows while a test runs is answered with OK and remembered here.
struct ShownBoxes {
    std::vector<std::wstring> texts;
};

inline int CALLBACK RecordBox(void* data, HWND, const wchar_t* text, const wchar_t*, UINT) {
    static_cast<ShownBoxes*>(data)->texts.push_back(text ? text : L"");
    return IDOK;
}

// The process-wide things start-up would have made, once per test process.
inline void PrepareApplication() {
    static bool prepared = [] {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        KvKernel_Init(instance);
        g_appContext.instance = instance;
        g_appContext.language = storetest::TestLanguage();
        KvPrintF_AddToken(L"AppName", L"Tarrow");
        KvPrintF_AddToken(L"AppName.Full", L"Varden Tarrow");
        KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow 2.0");
        wcscpy(g_appContext.productName, L"Varden Tarrow");
        INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        return true;
    }();
    (void)prepared;
}

// Runs what is queued for this thread's windows. The frame posts a quit message when it is destroyed; it is dropped.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Fresh settings and an untitled document (or the given package path) for the next frame.
struct AppSession {
    ShownBoxes boxes;
    explicit AppSession(const std::wstring& packagePath = L"") {
        PrepareApplication();
        // Other fixtures point the record at a language of their own and close it when they end.
        g_appContext.language = storetest::TestLanguage();
        KvMetric_DeleteAll(kSettingsProduct, APP_VERSION_WORD);
        KvMetric_Open(&g_appContext.settings, kSettingsProduct, APP_VERSION_WORD, nullptr);
        g_appContext.document = DocumentRecord{};
        if (packagePath.empty()) {
            g_appContext.document.flags = DOC_UNTITLED;
            wcscpy(g_appContext.document.path, L"Untitled");
        } else {
            wcsncpy(g_appContext.document.path, packagePath.c_str(), DOC_PATH_CHARS - 1);
        }
        KvMsgBoxSetHook(RecordBox, &boxes);
    }
    ~AppSession() {
        KvMsgBoxSetHook(nullptr, nullptr);
        KvMetric_Close(g_appContext.settings);
        g_appContext.settings = nullptr;
        KvMetric_DeleteAll(kSettingsProduct, APP_VERSION_WORD);
    }
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;
};

// A frame made the way start-up makes it, shown at a known size; destroyed with the object.
class TestFrame {
public:
    explicit TestFrame(AppSession& session, int width = 800, int height = 600) {
        HRESULT hr = CreateFrameWindow(GetModuleHandleW(nullptr), &window_);
        REQUIRE(hr == S_OK);
        REQUIRE(window_ != nullptr);
        KvMsgBoxSetHook(RecordBox, &session.boxes); // making the frame the boxes' owner resets the family's data
        state_ = FrameStateOf(window_);
        REQUIRE(state_ != nullptr);
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_SHOWWINDOW);
        Pump();
    }
    ~TestFrame() { Destroy(); }
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;

    void Destroy() {
        if (window_ && IsWindow(window_)) DestroyWindow(window_);
        window_ = nullptr;
        state_ = nullptr;
        Pump();
    }
    HWND window() const { return window_; }
    FrameState& state() const { return *state_; }
    PaneState& pane(uint32_t side) const { return state_->sides[side]; }
    void Command(UINT id) const {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        Pump();
    }

private:
    HWND window_ = nullptr;
    FrameState* state_ = nullptr;
};

inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// The tree as indented lines, children in their order, e.g. "Demo.kvpreset\n  FX Chains\n".
inline std::wstring TreeDump(HWND tree, HTREEITEM parent = nullptr, int depth = 0) {
    std::wstring text;
    for (HTREEITEM item = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree); item;
         item = TreeView_GetNextSibling(tree, item)) {
        text += std::wstring(static_cast<size_t>(depth) * 2, L' ') + TreeItemText(tree, item) + L"\n";
        text += TreeDump(tree, item, depth + 1);
    }
    return text;
}

inline std::vector<std::wstring> ListRows(HWND list) {
    std::vector<std::wstring> rows;
    for (int i = 0; i < ListView_GetItemCount(list); ++i) rows.push_back(ListItemText(list, i));
    return rows;
}

inline std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list, i, LVNI_SELECTED))
        rows.push_back(i);
    return rows;
}

// Selects a node found by its path of texts from the top ("FX Plug-Ins", "Bright Reverb"); null when missing.
inline HTREEITEM SelectNode(const PaneState& pane, const std::vector<const wchar_t*>& path) {
    HTREEITEM item = nullptr;
    for (const wchar_t* text : path) {
        item = FindChildByText(pane, item, text);
        if (!item) return nullptr;
    }
    TreeView_SelectItem(pane.tree, item);
    Pump();
    return item;
}

// The row's centre in list client coordinates.
inline LPARAM RowPoint(HWND list, int row) {
    RECT rect{};
    ListView_GetItemRect(list, row, &rect, LVIR_LABEL);
    return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

// ---- a seeded store

constexpr wchar_t kReverbClass[] = L"{7A000000-0000-4000-8000-000000000001}"; // "Bright Reverb"
constexpr wchar_t kDelayClass[] = L"{7B000000-0000-4000-8000-000000000002}";  // "alpha Delay"
constexpr wchar_t kLostClass[] = L"{7C000000-0000-4000-8000-000000000003}";   // not registered

inline std::wstring PlugInKey(const wchar_t* classId) { return std::wstring(STORE_PRESETS_KEY) + L"\\" + classId; }

inline void SeedChain(const wchar_t* id, const wchar_t* name) {
    std::wstring key = std::wstring(STORE_CHAINS_KEY) + L"\\" + id;
    REQUIRE(storetest::SetDword(key, L"Flags", 1));
    REQUIRE(storetest::SetDword(key, L"Type", 2));
    REQUIRE(storetest::SetText(key, L"Name", name));
    REQUIRE(storetest::SetBinary(key, L"Stream", Pattern(24, 7)));
}

// Three plug-ins (one unregistered), a Lathmere tool, two chains; class names registered for the test's length.
struct SeededStore {
    storetest::StoreSandbox sandbox;
    SeededStore() {
        storetest::RegisterClassName(kReverbClass, L"Bright Reverb");
        storetest::RegisterClassName(kDelayClass, L"alpha Delay");
        for (const wchar_t* name : {L"Plate", L"hall", L"Room"})
            REQUIRE(storetest::SetBinary(PlugInKey(kReverbClass), name, Pattern(32, 1)));
        REQUIRE(storetest::SetBinary(PlugInKey(kDelayClass), L"Slap", Pattern(16, 2)));
        REQUIRE(storetest::SetBinary(PlugInKey(kLostClass), L"Orphan", Pattern(8, 3)));
        REQUIRE(storetest::SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Tape", L"Warm", Pattern(8, 4)));
        SeedChain(L"{C1}", L"Vocal Chain");
        SeedChain(L"{C2}", L"Drum Bus");
    }
    ~SeededStore() {
        storetest::UnregisterClass(kReverbClass);
        storetest::UnregisterClass(kDelayClass);
    }
};

// A package file with plug-ins "Zeta Comp" (presets "B", "a") and "Eq One" ("Air"), and one chain "Guitar Rig".
inline bool WriteSamplePackage(const std::wstring& path) {
    PlugInList plugIns;
    plugIns.Append(storetest::MakePlugIn(L"Zeta Comp", L"{7D000000-0000-4000-8000-000000000004}", 0, 0, 0,
                                         {storetest::MakePreset(L"B", Pattern(10, 1)),
                                          storetest::MakePreset(L"a", Pattern(10, 2))}));
    plugIns.Append(storetest::MakePlugIn(L"Eq One", L"{7E000000-0000-4000-8000-000000000005}", 0, 0, 0,
                                         {storetest::MakePreset(L"Air", Pattern(10, 3))}));
    ChainList chains;
    chains.Append(storetest::MakeChain(L"Guitar Rig", L"{C3}", Pattern(12, 4)));
    return WritePackageFile(path.c_str(), &plugIns, &chains) >= 0;
}

} // namespace frametest
