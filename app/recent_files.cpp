// The recent-files list over the settings store, and its File-menu items.
#include "recent_files.h"
#include "kvmetric.h"
#include "kvresult.h"
#include "resource.h"
#include "settings_ids.h"
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kStoredHeaderBytes = 8; // marker and readOnly

bool PathsEqual(const wchar_t* first, const wchar_t* second) {
    return CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
}

void CopyPath(wchar_t* target, const wchar_t* source) {
    wcsncpy(target, source, DOC_PATH_CHARS - 1);
    target[DOC_PATH_CHARS - 1] = L'\0';
}

bool IsSeparator(HMENU menu, int position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) && (info.fType & MFT_SEPARATOR);
}

// Separators that no longer separate anything: at the top, at the bottom, or following another.
void RemoveStraySeparators(HMENU menu) {
    for (int i = 0; i < GetMenuItemCount(menu);) {
        bool stray = IsSeparator(menu, i) &&
                     (i == 0 || i == GetMenuItemCount(menu) - 1 || IsSeparator(menu, i - 1));
        if (stray) DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
        else ++i;
    }
}

} // namespace

void LoadRecentFiles(RecentFileList& list, KvMetricHandle* settings) {
    list = RecentFileList{};
    for (int i = 0; i < RECENT_FILE_CAPACITY; ++i) {
        RecentFileEntry& entry = list.entries[i];
        KvGetMetricStringEx(settings, SETTING_RECENT_PATH_FIRST + i, entry.path, DOC_PATH_CHARS, nullptr, TRUE);
        KvGetMetricBinary(settings, SETTING_RECENT_FLAGS_FIRST + i, &entry, kStoredHeaderBytes);
        if (entry.marker != RECENT_FILE_MARKER || entry.path[0] == L'\0') {
            entry = RecentFileEntry{};
            break;
        }
        list.count = static_cast<uint32_t>(i + 1);
    }
}

HRESULT SaveRecentFiles(const RecentFileList& list, KvMetricHandle* settings) {
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (hr < 0 && first >= 0) first = hr;
    };
    // Emptied paths end the list when it is read back, whatever binary values remain.
    for (int i = 0; i < RECENT_FILE_CAPACITY; ++i) keep(KvSetMetricString(settings, SETTING_RECENT_PATH_FIRST + i, L""));
    for (uint32_t i = 0; i < list.count && i < RECENT_FILE_CAPACITY; ++i) {
        const RecentFileEntry& entry = list.entries[i];
        keep(KvSetMetricString(settings, SETTING_RECENT_PATH_FIRST + static_cast<int>(i), entry.path));
        keep(KvSetMetricBinary(settings, SETTING_RECENT_FLAGS_FIRST + static_cast<int>(i), &entry, kStoredHeaderBytes));
    }
    return first;
}

HRESULT FindRecentFile(const RecentFileList& list, const wchar_t* path, int* index) {
    if (index) *index = -1;
    if (!path) return KV_E_FAIL;
    for (uint32_t i = 0; i < list.count && i < RECENT_FILE_CAPACITY; ++i) {
        if (PathsEqual(list.entries[i].path, path)) {
            if (index) *index = static_cast<int>(i);
            return S_OK;
        }
    }
    return KV_E_FAIL;
}

void AddRecentFile(RecentFileList& list, const DocumentRecord& record) {
    int found = -1;
    int moved; // entries 0 .. moved - 1 move one place down
    if (FindRecentFile(list, record.path, &found) < 0) {
        if (list.count < RECENT_FILE_CAPACITY) ++list.count;
        moved = static_cast<int>(list.count) - 1;
    } else {
        moved = found;
    }
    for (int i = moved; i > 0; --i) list.entries[i] = list.entries[i - 1];
    RecentFileEntry& top = list.entries[0];
    top.marker = RECENT_FILE_MARKER;
    top.readOnly = (record.flags & DOC_READONLY) ? -1 : 0;
    CopyPath(top.path, record.path);
}

void RemoveRecentFile(RecentFileList& list, const wchar_t* path) {
    int found = -1;
    if (FindRecentFile(list, path, &found) < 0) return;
    for (uint32_t i = static_cast<uint32_t>(found); i + 1 < list.count; ++i) list.entries[i] = list.entries[i + 1];
    --list.count;
    list.entries[list.count] = RecentFileEntry{};
}

DocumentRecord RecentFileRequest(const RecentFileList& list, int index) {
    DocumentRecord request{};
    if (index < 0 || static_cast<uint32_t>(index) >= list.count) return request;
    const RecentFileEntry& entry = list.entries[index];
    CopyPath(request.path, entry.path);
    request.flags = entry.readOnly ? DOC_READONLY : 0;
    return request;
}

int FormatRecentFileLabel(unsigned number, const wchar_t* path, int32_t readOnly, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    std::wstring label = L"&" + std::to_wstring(number) + L" ";
    for (const wchar_t* c = path ? path : L""; *c; ++c) {
        label += *c;
        if (*c == L'&') label += L'&';
    }
    // The mark goes only where it fits whole: a cut one would read as part of the path.
    constexpr wchar_t kReadOnlyMark[] = L" (RO)";
    if (readOnly && label.size() + wcslen(kReadOnlyMark) < static_cast<size_t>(capacity)) label += kReadOnlyMark;
    size_t length = label.size() < static_cast<size_t>(capacity) ? label.size() : static_cast<size_t>(capacity) - 1;
    // A cut through a doubled "&" would leave a lone mnemonic marker at the end.
    size_t ampersands = 0;
    while (ampersands < length && label[length - 1 - ampersands] == L'&') ++ampersands;
    if (length < label.size() && ampersands % 2 == 1) --length;
    wmemcpy(buffer, label.data(), length);
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

HRESULT AppendRecentFileItems(HMENU menu, const RecentFileList& list) {
    if (!menu) return KV_E_INVALIDARG;
    for (UINT command = ID_FILE_RECENT_FIRST; command <= ID_FILE_RECENT_LAST; ++command)
        DeleteMenu(menu, command, MF_BYCOMMAND);
    RemoveStraySeparators(menu);
    for (uint32_t i = 0; i < list.count && i < RECENT_FILE_CAPACITY && list.entries[i].path[0]; ++i) {
        wchar_t label[RECENT_FILE_LABEL_CHARS];
        FormatRecentFileLabel(i + 1, list.entries[i].path, list.entries[i].readOnly, label, RECENT_FILE_LABEL_CHARS);
        if (i == 0 && !AppendMenuW(menu, MF_SEPARATOR, 0, nullptr)) return KV_E_FAIL;
        if (!AppendMenuW(menu, MF_STRING, ID_FILE_RECENT_FIRST + i, label)) return KV_E_FAIL;
    }
    return S_OK;
}
