// The recent-files list: the five packages most recently opened or saved, kept in the settings between runs,
// and its entries at the bottom of the File menu.
#pragma once
#include <windows.h>
#include <cstdint>
#include "document_record.h"

struct KvMetricHandle;

constexpr int RECENT_FILE_CAPACITY = 5;
constexpr uint32_t RECENT_FILE_MARKER = 100;
constexpr int RECENT_FILE_LABEL_CHARS = 270;

// The first two fields are stored together as one 8-byte binary setting, the path as a text setting.
struct RecentFileEntry {
    uint32_t marker;   // RECENT_FILE_MARKER in a valid entry
    int32_t readOnly;  // -1 when the package was open read-only, else 0
    wchar_t path[DOC_PATH_CHARS];
};

struct RecentFileList {
    uint32_t count = 0; // 0 to RECENT_FILE_CAPACITY
    RecentFileEntry entries[RECENT_FILE_CAPACITY] = {}; // most recent first
};

// Replaces the list with the stored entries; the first missing, unmarked or empty entry ends it.
void LoadRecentFiles(RecentFileList& list, KvMetricHandle* settings);
// Clears all five stored paths, then stores the list's entries; the first failure is returned.
HRESULT SaveRecentFiles(const RecentFileList& list, KvMetricHandle* settings);

// The index of the entry with this path (ignoring case), or KV_E_FAIL when there is none.
HRESULT FindRecentFile(const RecentFileList& list, const wchar_t* path, int* index);
// Puts the record's path at the top with its read-only flag; an entry for the same path moves up, and a sixth
// path pushes the oldest out.
void AddRecentFile(RecentFileList& list, const DocumentRecord& record);
// Removes the entry for the path; a path that is not listed changes nothing.
void RemoveRecentFile(RecentFileList& list, const wchar_t* path);
// The opening request an entry stands for: its path, and DOC_READONLY when it was stored read-only.
DocumentRecord RecentFileRequest(const RecentFileList& list, int index);

// "&<number> <path>" with every "&" of the path doubled, and " (RO)" for a read-only entry when the whole label
// fits with it.
// Always terminated within capacity; returns the label's length.
int FormatRecentFileLabel(unsigned number, const wchar_t* path, int32_t readOnly, wchar_t* buffer, int capacity);
// Replaces the recent-files items of the File menu (and their separator) with the list's entries.
HRESULT AppendRecentFileItems(HMENU menu, const RecentFileList& list);
