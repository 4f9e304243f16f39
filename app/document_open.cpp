// Opening a package as the document, and the untitled document.
#include "document_open.h"
#include <memory>
#include <new>
#include "catalogue.h"
#include "frame_state.h"
#include "kvfile.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "package_format.h"
#include "recent_files.h"
#include "resource.h"

namespace {

constexpr UINT kWarning = KVMB_OK | KVMB_ICONEXCLAMATION;

void CopyPath(wchar_t (&target)[DOC_PATH_CHARS], const wchar_t* source) {
    CatalogueCopyText(target, DOC_PATH_CHARS, source);
}

} // namespace

void MakeUntitledDocument(DocumentRecord& document, tKVLANG* language) {
    document = DocumentRecord{};
    document.flags = DOC_UNTITLED;
    CopyPath(document.path, KvGetString(language, IDS_UNTITLED));
}

HRESULT OpenPackage(FrameState& frame, const DocumentRecord& request) {
    if (!frame.document) return KV_E_INVALIDARG;
    wchar_t path[DOC_PATH_CHARS];
    CopyPath(path, request.path);
    if (!KvDoesFileExist(path)) {
        KvMsgBoxId(frame.language, frame.frame, kWarning, IDS_OPEN_FILE_MISSING, path);
        return KV_E_DATA_FILE_MISSING;
    }
    uint32_t flags = request.flags & DOC_READONLY;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) flags |= DOC_READONLY;

    std::unique_ptr<PlugInList> plugIns(new (std::nothrow) PlugInList());
    std::unique_ptr<ChainList> chains(new (std::nothrow) ChainList());
    HRESULT hr = plugIns && chains ? ReadPackageFile(path, plugIns.get(), chains.get()) : KV_E_OUTOFMEMORY;
    if (hr < 0) {
        KvMsgBoxId(frame.language, frame.frame, kWarning, IDS_OPEN_BAD_FORMAT, path);
        return hr;
    }

    if (frame.recentFiles) {
        DocumentRecord opened{};
        CopyPath(opened.path, path);
        opened.flags = flags;
        AddRecentFile(*frame.recentFiles, opened);
    }
    if (frame.history) frame.history->ClearHistory();
    DocumentRecord& document = *frame.document;
    CopyPath(document.path, path);
    document.flags = flags;
    CatalogueModel& catalogue = frame.catalogue;
    delete catalogue.chains[SIDE_PACKAGE];
    catalogue.chains[SIDE_PACKAGE] = chains.release();
    delete catalogue.plugIns[SIDE_PACKAGE];
    catalogue.plugIns[SIDE_PACKAGE] = plugIns.release();
    PaneState& pane = frame.sides[PANE_PACKAGE];
    ClearPanes(pane);
    FillTree(pane, document.path);
    UpdateTitle(frame.frame, &document);
    return S_OK;
}
