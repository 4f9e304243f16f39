// The package file dialogs: filter, titles and options, and the remembered folder.
#include "file_dialogs.h"
#include "document_record.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvresult.h"
#include "resource.h"
#include "settings_ids.h"
#include <shlobj.h>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kDefaultExtension[] = L"kvpreset";

FileDialogRunner& Runner() {
    static FileDialogRunner runner;
    return runner;
}

BOOL RunDialog(OPENFILENAMEW& dialog, bool save) {
    if (Runner()) return Runner()(dialog, save);
    return save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
}

// "X:" alone names the drive's current folder, not its root, so a root keeps its backslash.
void TrimTrailingBackslash(std::wstring& folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
}

// The filter's pieces are separated by tabs in the string table; the dialog wants zero characters.
std::wstring PackageFilter(tKVLANG* language) {
    std::wstring filter = KvGetString(language, IDS_PACKAGE_FILTER);
    for (wchar_t& c : filter)
        if (c == L'\t') c = L'\0';
    filter += L'\0'; // the list ends with an empty piece
    return filter;
}

void RememberFolder(KvMetricHandle* settings, const wchar_t* path) {
    std::wstring folder = path;
    size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash);
    if (folder.size() > DOC_PATH_CHARS - 1) folder.resize(DOC_PATH_CHARS - 1);
    // The chosen file stands even when its folder cannot be remembered: the next dialog merely starts elsewhere.
    KvSetMetricString(settings, SETTING_LAST_FOLDER, folder.c_str());
}

HRESULT ShowDialog(OPENFILENAMEW& dialog, bool save, KvMetricHandle* settings, tKVLANG* language, UINT titleId) {
    wchar_t folder[DOC_PATH_CHARS];
    InitialDialogFolder(settings, folder, DOC_PATH_CHARS);
    std::wstring filter = PackageFilter(language);
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.nMaxFile = DOC_PATH_CHARS;
    dialog.lpstrInitialDir = folder[0] ? folder : nullptr;
    dialog.lpstrTitle = KvGetString(language, titleId);
    if (!RunDialog(dialog, save)) return KV_E_FAIL;
    dialog.lpstrFile[DOC_PATH_CHARS - 1] = L'\0';
    RememberFolder(settings, dialog.lpstrFile);
    return S_OK;
}

} // namespace

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
    FileDialogRunner previous = std::move(Runner());
    Runner() = std::move(runner);
    return previous;
}

void InitialDialogFolder(KvMetricHandle* settings, wchar_t* folder, int capacity) {
    if (!folder || capacity <= 0) return;
    wchar_t stored[DOC_PATH_CHARS] = {};
    std::wstring chosen;
    if (KvGetMetricStringEx(settings, SETTING_LAST_FOLDER, stored, DOC_PATH_CHARS, nullptr, FALSE) > 0) {
        chosen = stored;
    } else {
        wchar_t documents[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
            chosen = documents;
    }
    TrimTrailingBackslash(chosen);
    size_t length = chosen.size() < static_cast<size_t>(capacity) ? chosen.size() : static_cast<size_t>(capacity) - 1;
    wmemcpy(folder, chosen.data(), length);
    folder[length] = L'\0';
}

HRESULT ShowOpenDialog(HWND owner, tKVLANG* language, KvMetricHandle* settings, wchar_t* path, bool* readOnly) {
    if (!path) return KV_E_INVALIDARG;
    path[0] = L'\0';
    if (readOnly) *readOnly = false;
    OPENFILENAMEW dialog{};
    dialog.hwndOwner = owner;
    dialog.lpstrFile = path;
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    HRESULT hr = ShowDialog(dialog, false, settings, language, IDS_OPEN_DIALOG_TITLE);
    if (hr >= 0 && readOnly) *readOnly = (dialog.Flags & OFN_READONLY) != 0;
    return hr;
}

HRESULT ShowSaveDialog(HWND owner, tKVLANG* language, KvMetricHandle* settings, wchar_t* path) {
    if (!path) return KV_E_INVALIDARG;
    path[DOC_PATH_CHARS - 1] = L'\0';
    OPENFILENAMEW dialog{};
    dialog.hwndOwner = owner;
    dialog.lpstrFile = path;
    dialog.lpstrDefExt = kDefaultExtension;
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    return ShowDialog(dialog, true, settings, language, IDS_SAVE_DIALOG_TITLE);
}
