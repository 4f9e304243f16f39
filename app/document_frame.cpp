// The document commands on the frame window.
#include "document_frame.h"
#include "document_commands.h"
#include "document_open.h"
#include "frame_busy.h"
#include "frame_state.h"
#include "kvgdi_handles.h"
#include "kvresult.h"
#include "recent_files.h"
#include "resource.h"
#include "toolbar.h"

namespace {

DocumentSession SessionOf(FrameState& frame) {
    DocumentSession session;
    session.owner = frame.frame;
    session.language = frame.language;
    session.settings = frame.settings;
    session.document = frame.document;
    session.recentFiles = frame.recentFiles;
    session.model = &frame.catalogue;
    return session;
}

OpenPackageFunction OpenerOf(FrameState& frame) {
    return [&frame](const DocumentRecord& request) { return OpenPackage(frame, request); };
}

// Puts on screen what a document command changed.
void ShowOutcome(FrameState& frame, const DocumentOutcome& outcome) {
    if (frame.sideCount > static_cast<int32_t>(PANE_PACKAGE)) {
        PaneState& package = frame.sides[PANE_PACKAGE];
        if (outcome.packageReplaced) {
            if (frame.history) frame.history->ClearHistory();
            ClearPanes(package);
        }
        if (outcome.packageReplaced || outcome.rootRenamed) FillTree(package, frame.document->path);
    }
    if (outcome.titleChanged || outcome.rootRenamed || outcome.packageReplaced) UpdateTitle(frame.frame, frame.document);
}

} // namespace

bool OnDocumentCommand(FrameState& frame, UINT command) {
    if (!frame.document || !frame.recentFiles) return false;
    FrameBusyScope busy(frame); // its questions and dialogs run the message loop
    DocumentSession session = SessionOf(frame);
    DocumentOutcome outcome;
    switch (command) {
    case ID_FILE_NEW: NewDocument(session, &outcome); break;
    case ID_FILE_OPEN: OpenDocument(session, OpenerOf(frame), &outcome); break;
    case ID_FILE_SAVE: SaveDocument(session, &outcome); break;
    case ID_FILE_SAVE_AS: SaveDocumentAs(session, &outcome); break;
    default:
        if (command < ID_FILE_RECENT_FIRST || command > ID_FILE_RECENT_LAST) return false;
        OpenRecentFile(session, static_cast<int>(command - ID_FILE_RECENT_FIRST), OpenerOf(frame), &outcome);
        break;
    }
    // Each command has shown its own failure, if any; what is left is to show what changed.
    ShowOutcome(frame, outcome);
    UpdateToolbarStates(frame);
    return true;
}

bool OnFrameClose(FrameState& frame) {
    if (!frame.document || !frame.recentFiles) return true;
    DocumentOutcome outcome;
    bool proceed = PromptSaveChanges(SessionOf(frame), &outcome);
    ShowOutcome(frame, outcome); // a save that ran is shown even when the window stays
    if (!proceed) UpdateToolbarStates(frame);
    return proceed;
}

bool OnFrameQueryEndSession(FrameState& frame) {
    if (!frame.document || !(frame.document->flags & DOC_MODIFIED)) return true;
    // A box or dialog of the program is open: the user is in the middle of something, so the changes stay and
    // the session waits, rather than a second question cutting into the first.
    if (FrameIsBusy(frame)) return false;
    return OnFrameClose(frame);
}

HRESULT OpenPackageAfterQuestion(FrameState& frame, const DocumentRecord& request) {
    HRESULT hr = KV_E_CANCELLED;
    if (frame.document && frame.recentFiles) {
        DocumentOutcome outcome;
        bool proceed = PromptSaveChanges(SessionOf(frame), &outcome);
        ShowOutcome(frame, outcome); // a save that ran is shown even when the opening stops
        if (proceed) {
            KvCursorSwap wait; // a large package takes seconds to read
            hr = OpenPackage(frame, request); // a failure has shown its message and changed nothing
        }
    }
    UpdateToolbarStates(frame);
    return hr;
}

void OnFilesDropped(FrameState& frame, HDROP drop) {
    DocumentRecord request{};
    UINT copied = DragQueryFileW(drop, 0, request.path, DOC_PATH_CHARS);
    DragFinish(drop);
    FrameBusyScope busy(frame);
    if (copied != 0) OpenPackageAfterQuestion(frame, request);
}

void SaveFrameRecentFiles(FrameState& frame) {
    // The window is going away: there is no one left to tell when the settings refuse the list.
    if (frame.recentFiles) SaveRecentFiles(*frame.recentFiles, frame.settings);
}
