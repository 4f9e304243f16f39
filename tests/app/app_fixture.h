// In-process surroundings for the shell's tests: the string table, a settings key of the tests' own, message
// boxes and file dialogs answered in turn, and the real frame window over a clean store.
#pragma once
#include <windows.h>
#include <doctest.h>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include "app_context.h"
#include "document_open.h"
#include "file_dialogs.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "package_format.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"
#include "../kernel/wide_string_maker.h"

namespace apptest {

struct ShownBox { std::wstring text; UINT style; };
struct ShownDialog { bool save; std::wstring title, folder, name, filter, extension; DWORD flags; };
// What the next file dialog does: choose a path (with the read-only box ticked or not), or be cancelled.
struct DialogAnswer { std::optional<std::wstring> path; bool readOnly = false; };

// Answers boxes and dialogs from queues; anything asked beyond them is cancelled and counted as unexpected.
class Answers {
public:
    Answers() {
        if (!KvKernel_GetLanguage()) KvKernel_Init(GetModuleHandleW(nullptr));
        Hook();
        SetFileDialogRunner([this](OPENFILENAMEW& dialog, bool save) { return Dialog(dialog, save); });
    }
    ~Answers() { SetFileDialogRunner(nullptr); KvMsgBoxSetHook(nullptr, nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;
    // Setting the message boxes' application data (as creating the frame does) drops the hook.
    void Hook() {
        KvMsgBoxSetHook([](void* data, HWND, const wchar_t* text, const wchar_t*, UINT style) {
            auto* self = static_cast<Answers*>(data);
            self->boxes.push_back({text ? text : L"", style});
            if (self->boxAnswers.empty()) return ++self->unexpected, static_cast<int>(IDCANCEL);
            int answer = self->boxAnswers.front();
            self->boxAnswers.pop_front();
            return answer;
        }, this);
    }
    std::deque<int> boxAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<ShownBox> boxes;
    std::vector<ShownDialog> dialogs;
    int unexpected = 0;

private:
    BOOL Dialog(OPENFILENAMEW& dialog, bool save) {
        ShownDialog shown{save, dialog.lpstrTitle, dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"",
                          dialog.lpstrFile, L"", dialog.lpstrDefExt ? dialog.lpstrDefExt : L"", dialog.Flags};
        for (const wchar_t* piece = dialog.lpstrFilter; *piece; piece += wcslen(piece) + 1) shown.filter += piece + std::wstring(L"|");
        dialogs.push_back(shown);
        if (dialogAnswers.empty()) return ++unexpected, FALSE;
        DialogAnswer answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        if (!answer.path) return FALSE;
        wcsncpy(dialog.lpstrFile, answer.path->c_str(), dialog.nMaxFile - 1);
        if (answer.readOnly) dialog.Flags |= OFN_READONLY;
        return TRUE;
    }
};

// A settings handle on the tests' own key, removed before and after.
struct TestSettings {
    static constexpr const wchar_t* kRoot = L"Software\\Varden Media Software\\TarrowDocumentTest";
    KvMetricHandle* handle = nullptr;
    TestSettings() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kRoot);
        REQUIRE(KvMetric_Open(&handle, L"TarrowDocumentTest", APP_VERSION_WORD, nullptr) == 0);
    }
    ~TestSettings() {
        KvMetric_Close(handle);
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) RegDeleteTreeW(root, kRoot);
    }
};

// The program's own string table, read from the test executable.
struct TestLanguage {
    tKVLANG* instance = nullptr;
    TestLanguage() { REQUIRE(KvLang_Open(&instance, GetModuleHandleW(nullptr), 3, 0) == 0); }
    ~TestLanguage() { KvLang_Close(instance); }
};

// A package file of one plug-in with the given presets.
inline void WritePackage(const std::wstring& path, std::initializer_list<const wchar_t*> presets) {
    PlugInList plugIns;
    auto* plugIn = new PlugInEntry(L"Echo", L"{11111111-2222-3333-4444-555555555555}");
    for (const wchar_t* name : presets) REQUIRE(plugIn->AppendPreset(storetest::MakePreset(name, {1, 2, 3})) == 0);
    REQUIRE(plugIns.Append(plugIn) == 0);
    REQUIRE(WritePackageFile(path.c_str(), &plugIns, nullptr) == S_OK);
}

// The real frame over the process's application record, a clean store (seeded by the caller beforehand when it
// wants) and an untitled document.
struct FrameFixture {
    TestLanguage language;
    TestSettings settings;
    storetest::StoreSandbox store;
    testsupport::ScratchDir dir{L"frame"};
    Answers answers;
    HWND frame = nullptr;
    FrameState* state = nullptr;

    // seedStore runs on the emptied store before the frame loads it.
    explicit FrameFixture(const std::function<void()>& seedStore = {}) {
        if (seedStore) seedStore();
        Create();
    }
    ~FrameFixture() { Destroy(); }
    void Create() {
        for (auto [name, value] : {std::pair{L"AppName", L"Tarrow"}, {L"AppName.Title", L"Varden Tarrow 2.0"}})
            KvPrintF_AddToken(name, value);
        g_appContext.language = language.instance;
        g_appContext.settings = settings.handle;
        wcscpy(g_appContext.productName, L"Varden Tarrow");
        MakeUntitledDocument(g_appContext.document, language.instance);
        LoadRecentFiles(g_appContext.recentFiles, settings.handle); // as start-up does
        REQUIRE(CreateFrameWindow(GetModuleHandleW(nullptr), &frame) == S_OK);
        state = FrameStateOf(frame);
        answers.Hook();
        ShowWindow(frame, SW_SHOW);
    }
    // Destroys the frame and takes back the quit message its destruction posts.
    void Destroy() {
        if (IsWindow(frame)) DestroyWindow(frame);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) if (msg.message != WM_QUIT) DispatchMessageW(&msg);
        frame = nullptr;
        state = nullptr;
    }
    DocumentRecord& document() { return g_appContext.document; }
    void Command(UINT id) { SendMessageW(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::wstring Title() {
        wchar_t text[300] = L"";
        GetWindowTextW(frame, text, 300);
        std::wstring title = text;
        return title.substr(title.find(L" - ") + 3); // after "Varden Tarrow 2.0 - "
    }
    std::wstring RootText() {
        HWND tree = state->sides[PANE_PACKAGE].tree;
        return TreeItemText(tree, TreeView_GetRoot(tree));
    }
    // As an edit of the package marks it.
    void MarkModified() {
        document().flags |= DOC_MODIFIED;
        UpdateTitle(frame, &document());
    }
};

} // namespace apptest
