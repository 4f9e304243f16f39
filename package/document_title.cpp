// The frame window's title, made from the document's file name and flags.
#include "document_record.h"
#include "kvlang.h"

const wchar_t* DocumentFileName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    return name;
}

void UpdateTitle(HWND frame, const DocumentRecord* document) {
    const wchar_t* name = DocumentFileName(document->path);
    wchar_t title[260];
    KvPrintFN(title, _countof(title), L"$(AppName.Title) - %s%s%s", name,
              (document->flags & DOC_MODIFIED) ? L"*" : L"", (document->flags & DOC_READONLY) ? L" (Read-Only)" : L"");
    SetWindowTextW(frame, title);
}
