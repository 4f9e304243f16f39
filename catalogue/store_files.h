// Data files of the system store: folder creation, complete-or-nothing writes, whole-file reads.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include "store_watch.h"

// The folder of the program's own file, with its trailing backslash.
std::wstring ProgramFolder();

// Creates folder and every missing level above it; 0x8004E009 when a level cannot be made.
HRESULT CreateFolderLevels(const std::wstring& folder);

// Writes data to a temporary file beside path and renames it over path only when complete, so a failure, even the
// death of the process, leaves no partial file and any old file untouched. 0x8004E009 on failure, also for a
// read-only file at path.
HRESULT WriteDataFileReplacing(const std::wstring& path, const void* data, uint32_t size);

// True when both paths name the same file: equal ignoring case, or two spellings of one existing file.
bool IsSameFile(const std::wstring& first, const std::wstring& second);

// True when path names an entry directly inside folder (both taken as full paths, compared ignoring case).
bool IsInFolder(const std::wstring& path, const std::wstring& folder);

// Reads a whole data file into a new blob (CatalogueBlobAlloc). 0x8004E032 when path names no file,
// 0x8004E008 when it cannot be read, 0x8007000E for an empty file or no memory. On failure after the
// allocation the blob is still handed out through data and size, for its owner to release.
// With stamps, the file's stamp (or its absence) is appended, so a later look can tell whether it changed.
HRESULT ReadDataFile(const wchar_t* path, uint8_t** data, uint32_t* size, StoreFileStamps* stamps = nullptr);
