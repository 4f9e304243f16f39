// The document tests' surroundings: message boxes and file dialogs answered from queues, a settings key of the
// tests' own, and the real frame started as the program starts it.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include "document_open.h"
#include "file_dialogs.h"
#include "frame_fixture.h"
#include "recent_files.h"
#include "../kernel/wide_string_maker.h"

namespace apptest {

struct ShownDialog { std::wstring title, folder, name, filter, extension; DWORD flags; };
struct DialogAnswer { std::optional<std::wstring> path; bool readOnly = false; }; // no path: cancelled

// Anything asked beyond the queues is cancelled and counted as unexpected.
struct Answers {
    std::deque<int> boxAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<std::wstring> boxes;
    std::vector<ShownDialog> dialogs;
    int unexpected = 0;

    Answers() {
        frametest::PrepareApplication();
        Hook();
        SetFileDialogRunner([this](OPENFILENAMEW& dialog, bool) {
            std::wstring filter;
            for (const wchar_t* piece = dialog.lpstrFilter; *piece; piece += wcslen(piece) + 1) filter += piece + std::wstring(L"|");
            dialogs.push_back({dialog.lpstrTitle, dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"", dialog.lpstrFile,
                               filter, dialog.lpstrDefExt ? dialog.lpstrDefExt : L"", dialog.Flags});
            if (dialogAnswers.empty()) return ++unexpected, FALSE;
            DialogAnswer answer = dialogAnswers.front();
            dialogAnswers.pop_front();
            if (answer.path) wcsncpy(dialog.lpstrFile, answer.path->c_str(), dialog.nMaxFile - 1);
            if (answer.readOnly) dialog.Flags |= OFN_READONLY;
            return answer.path ? TRUE : FALSE;
        });
    }
    ~Answers() { SetFileDialogRunner(nullptr); KvMsgBoxSetHook(nullptr, nullptr); }
    // Giving the boxes an application window (as making the frame does) drops the hook.
    void Hook() {
        KvMsgBoxSetHook([](void* data, HWND, const wchar_t* text, const wchar_t*, UINT) {
            auto* self = static_cast<Answers*>(data);
            self->boxes.push_back(text);
            if (self->boxAnswers.empty()) return ++self->unexpected, static_cast<int>(IDCANCEL);
            int answer = self->boxAnswers.front();
            self->boxAnswers.pop_front();
            return answer;
        }, this);
    }
};

struct TestSettings {
    KvMetricHandle* handle = nullptr;
    TestSettings() {
        KvMetric_DeleteAll(L"TarrowDocumentTest", APP_VERSION_WORD);
        REQUIRE(KvMetric_Open(&handle, L"TarrowDocumentTest", APP_VERSION_WORD, nullptr) == 0);
    }
    ~TestSettings() { KvMetric_Close(handle); KvMetric_DeleteAll(L"TarrowDocumentTest", APP_VERSION_WORD); }
};

// The frame over a clean store (seeded by the caller first when it wants) and an empty settings key.
struct FrameFixture {
    frametest::AppSession session;
    storetest::StoreSandbox store;
    testsupport::ScratchDir dir{L"frame"};
    Answers answers;
    std::unique_ptr<frametest::TestFrame> window;
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
        window = std::make_unique<frametest::TestFrame>(session);
        answers.Hook();
        frame = window->window();
        state = &window->state();
    }
    DocumentRecord& document() { return g_appContext.document; }
    void Command(UINT id) { window->Command(id); }
    std::wstring Title() { return frametest::WindowText(frame).substr(20); } // after "Varden Tarrow 2.0 - "
    std::wstring RootText() {
        HWND tree = state->sides[PANE_PACKAGE].tree;
        return TreeItemText(tree, TreeView_GetRoot(tree));
    }
    std::wstring Package(const wchar_t* name) { // a package file in the scratch folder
        std::wstring path = dir.file(name);
        REQUIRE(frametest::WriteSamplePackage(path));
        return path;
    }
    void MarkModified() { // as an edit of the package does
        document().flags |= DOC_MODIFIED;
        UpdateTitle(frame, &document());
    }
};

} // namespace apptest
