// The document's path and flags, shared by start-up, the frame window and the document commands.
#pragma once
#include <windows.h>
#include <cstdint>

constexpr uint32_t DOC_READONLY = 0x1;
constexpr uint32_t DOC_MODIFIED = 0x2;
constexpr uint32_t DOC_UNTITLED = 0x4;

constexpr int DOC_PATH_CHARS = 260; // at most 259 characters and the terminator

struct DocumentRecord {
    wchar_t path[DOC_PATH_CHARS];
    uint32_t flags;
};

// The file-name part of a path: what follows its last backslash or slash.
const wchar_t* DocumentFileName(const wchar_t* path);

// Sets the frame window's title from the document: "<AppName.Title> - <file name>[*][ (Read-Only)]".
void UpdateTitle(HWND frame, const DocumentRecord* document);
