// New, Open, Save and Save As over the document record, the package side and the recent-files list.
#include "document_commands.h"
#include "catalogue_model.h"
#include "document_open.h"
#include "file_dialogs.h"
#include "kverror.h"
#include "kvfile.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "package_format.h"
#include "recent_files.h"
#include "resource.h"
#include <cwchar>

namespace {

constexpr UINT kWarningStyle = KVMB_OK | KVMB_ICONEXCLAMATION;
constexpr UINT kQuestionStyle = KVMB_YESNOCANCEL | KVMB_ICONINFORMATION;

void CopyPath(wchar_t* target, const wchar_t* source) {
    wcsncpy(target, source, DOC_PATH_CHARS - 1);
    target[DOC_PATH_CHARS - 1] = L'\0';
}

bool PathsEqual(const wchar_t* first, const wchar_t* second) {
    return CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
}

void Warn(const DocumentSession& session, UINT id) { KvMsgBoxId(session.language, session.owner, kWarningStyle, id); }

// Adds a saved path to the recent files: a file just written is listed as writable.
void ListSavedPath(const DocumentSession& session, const wchar_t* path) {
    DocumentRecord saved{};
    CopyPath(saved.path, path);
    AddRecentFile(*session.recentFiles, saved);
}

HRESULT WritePackage(const DocumentSession& session, const wchar_t* path, DocumentOutcome* outcome) {
    CatalogueModel& model = *session.model;
    HRESULT hr = WritePackageFile(path, model.plugIns[SIDE_PACKAGE], model.chains[SIDE_PACKAGE]);
    if (hr < 0) {
        ReportSaveFailure(session, path, hr);
        outcome->saveFailed = true;
    }
    return hr;
}

// Whether the Save dialog's choice may be written. A refused choice sends the user back to the dialog.
bool AcceptSaveTarget(const DocumentSession& session, const wchar_t* name) {
    if (!KvDoesFileExist(name)) return true;
    DWORD attributes = GetFileAttributesW(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    bool refused = (attributes & FILE_ATTRIBUTE_READONLY) ||
                   ((session.document->flags & DOC_READONLY) && PathsEqual(name, session.document->path));
    if (refused) Warn(session, IDS_SAVE_AS_READ_ONLY);
    return !refused;
}

} // namespace

void ReportSaveFailure(const DocumentSession& session, const wchar_t* path, HRESULT result) {
    // The error reporter takes a context text of its own by address.
    const wchar_t* context = KvGetString(session.language, IDS_SAVE_FAILED);
    KvErrorHandler_MsgBox(session.owner, kWarningStyle, reinterpret_cast<UINT_PTR>(context), result, path, FALSE);
}

bool PromptSaveChanges(const DocumentSession& session, DocumentOutcome* outcome) {
    DocumentRecord& document = *session.document;
    if (!(document.flags & DOC_MODIFIED)) return true;
    int answer = KvMsgBoxId(session.language, session.owner, kQuestionStyle, IDS_SAVE_CHANGES_QUESTION,
                            DocumentFileName(document.path));
    if (answer == IDNO) return true;
    if (answer != IDYES) return false; // Cancel, or a box that could not be shown: keep the changes
    DocumentOutcome saved;
    HRESULT hr = SaveDocument(session, &saved);
    outcome->titleChanged |= saved.titleChanged;
    outcome->rootRenamed |= saved.rootRenamed;
    outcome->saveFailed |= saved.saveFailed;
    // The user wanted the changes kept: unless they are on disk now (not a failed write, not a cancelled Save
    // dialog), the command must not throw them away.
    return hr >= 0;
}

HRESULT NewDocument(const DocumentSession& session, DocumentOutcome* outcome) {
    if (!PromptSaveChanges(session, outcome)) return KV_E_CANCELLED;
    MakeUntitledDocument(*session.document, session.language);
    CatalogueModel& model = *session.model;
    delete model.chains[SIDE_PACKAGE];
    model.chains[SIDE_PACKAGE] = nullptr;
    delete model.plugIns[SIDE_PACKAGE];
    model.plugIns[SIDE_PACKAGE] = nullptr;
    outcome->packageReplaced = true;
    outcome->titleChanged = true;
    outcome->rootRenamed = true;
    return S_OK;
}

HRESULT OpenDocument(const DocumentSession& session, const OpenPackageFunction& openPackage,
                     DocumentOutcome* outcome) {
    if (!PromptSaveChanges(session, outcome)) return KV_E_CANCELLED;
    DocumentRecord request{};
    bool readOnly = false;
    HRESULT hr = ShowOpenDialog(session.owner, session.language, session.settings, request.path, &readOnly);
    if (hr < 0) return hr;
    if (!request.path[0]) return KV_E_CANCELLED;
    // The question has been answered: should the opening fail, the previous package stays, now clean.
    session.document->flags &= ~DOC_MODIFIED;
    outcome->titleChanged = true;
    request.flags = readOnly ? DOC_READONLY : 0;
    return openPackage(request);
}

HRESULT SaveDocument(const DocumentSession& session, DocumentOutcome* outcome) {
    DocumentRecord& document = *session.document;
    if (!(document.flags & DOC_MODIFIED)) return KV_S_NOTHING_TO_DO;
    if (document.flags & (DOC_READONLY | DOC_UNTITLED)) return SaveDocumentAs(session, outcome);
    HRESULT hr = WritePackage(session, document.path, outcome);
    if (hr < 0) return hr;
    ListSavedPath(session, document.path);
    document.flags &= ~DOC_MODIFIED;
    outcome->titleChanged = true;
    return S_OK;
}

HRESULT SaveDocumentAs(const DocumentSession& session, DocumentOutcome* outcome) {
    DocumentRecord& document = *session.document;
    wchar_t name[DOC_PATH_CHARS];
    CopyPath(name, document.path);
    for (;;) {
        HRESULT hr = ShowSaveDialog(session.owner, session.language, session.settings, name);
        if (hr < 0) return hr;
        if (!name[0]) return KV_E_CANCELLED;
        if (AcceptSaveTarget(session, name)) break;
    }
    HRESULT hr = WritePackage(session, name, outcome);
    if (hr < 0) return hr;
    document.flags &= ~(DOC_MODIFIED | DOC_UNTITLED);
    CopyPath(document.path, name);
    ListSavedPath(session, name);
    outcome->titleChanged = true;
    outcome->rootRenamed = true;
    return S_OK;
}

HRESULT OpenRecentFile(const DocumentSession& session, int index, const OpenPackageFunction& openPackage,
                       DocumentOutcome* outcome) {
    RecentFileList& list = *session.recentFiles;
    if (index < 0 || static_cast<uint32_t>(index) >= list.count) return KV_E_INVALIDARG;
    // Taken before the question: a save under a new name moves the entries.
    DocumentRecord request = RecentFileRequest(list, index);
    if (!PromptSaveChanges(session, outcome)) return KV_E_CANCELLED;
    HRESULT hr = openPackage(request);
    if (hr < 0) RemoveRecentFile(list, request.path);
    return hr;
}
