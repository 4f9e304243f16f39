// The document commands: New, Open, Save, Save As, the unsaved-changes question and opening a recent file.
// They change the document record, the package side of the catalogue and the recent-files list, show their
// messages, and say in an outcome what the frame has to refresh; they touch no pane themselves.
#pragma once
#include <windows.h>
#include <functional>
#include "document_record.h"

struct tKVLANG;
struct KvMetricHandle;
struct CatalogueModel;
struct RecentFileList;

// What the document commands work on. None of it is owned here.
struct DocumentSession {
    HWND owner = nullptr;                // owner of the boxes and dialogs: the frame window
    tKVLANG* language = nullptr;
    KvMetricHandle* settings = nullptr;  // the remembered folder
    DocumentRecord* document = nullptr;
    RecentFileList* recentFiles = nullptr;
    CatalogueModel* model = nullptr;     // its package side is the document's content
};

// What a command changed, for the frame to refresh.
struct DocumentOutcome {
    bool titleChanged = false;     // the document's path or flags changed: the title
    bool packageReplaced = false;  // the package side's collections were replaced: history, package tree and list
    bool rootRenamed = false;      // the document took a new path: the package tree's root label
    bool saveFailed = false;       // a write was tried and failed; its message has been shown
};

// Reads a package and makes it the document (the frame's OpenPackage).
using OpenPackageFunction = std::function<HRESULT(const DocumentRecord& request)>;

// Asks whether to save a modified document. False stops the calling command: the user cancelled, or chose to
// save and the package was not saved (the write failed or the Save dialog was cancelled), so it must not be
// thrown away.
bool PromptSaveChanges(const DocumentSession& session, DocumentOutcome* outcome);

// The commands return S_OK, KV_S_NOTHING_TO_DO (Save of a clean document), KV_E_CANCELLED when the question was
// cancelled, a dialog's KV_E_FAIL when it was cancelled, or the failure that was reported.
HRESULT NewDocument(const DocumentSession& session, DocumentOutcome* outcome);
HRESULT OpenDocument(const DocumentSession& session, const OpenPackageFunction& openPackage, DocumentOutcome* outcome);
HRESULT SaveDocument(const DocumentSession& session, DocumentOutcome* outcome);
HRESULT SaveDocumentAs(const DocumentSession& session, DocumentOutcome* outcome);

// Opens recent-files entry index after the unsaved-changes question; an entry that fails to open leaves the list.
HRESULT OpenRecentFile(const DocumentSession& session, int index, const OpenPackageFunction& openPackage,
                       DocumentOutcome* outcome);

// The failed write's message: the file's path, then the code's own text.
void ReportSaveFailure(const DocumentSession& session, const wchar_t* path, HRESULT result);
