// The document tests' surroundings: a settings key of the tests' own, and the real frame started as the program
// starts it, with message boxes and file dialogs answered from queues.
#pragma once
#include <functional>
#include <memory>
#include "document_open.h"
#include "frame_fixture.h"
#include "recent_files.h"
#include "../kernel/wide_string_maker.h"

namespace apptest {

using frametest::Answers;
using frametest::AppSession;
using frametest::ShownDialog;

// The frame over a clean store (seeded by the caller first when it wants) and an empty settings key.
struct FrameFixture {
    frametest::AppSession session;
    storetest::StoreSandbox store;
    testsupport::ScratchDir dir{L"frame"};
    Answers& answers = session.answers;
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
        frame = window->window();
        state = &window->state();
    }
    DocumentRecord& document() { return g_appContext.document; }
    void Command(UINT id) { window->Command(id); }
    std::wstring Title() { return frametest::Text(frame).substr(20); } // after "Varden Tarrow 2.0 - "
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
