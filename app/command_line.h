// Command line of the program: splitting, interpretation into arguments and "@" response files.
#pragma once
#include <windows.h>
#include <cstdint>

struct DocumentRecord;

enum CommandArgumentKind : uint32_t {
    ARG_RESPONSE_FILE = 1,
    ARG_SWITCH = 2,
    ARG_PACKAGE_PATH = 3,
};

struct CommandArgument {
    uint32_t kind;        // CommandArgumentKind
    uint32_t valueCount;  // how many values the argument takes: 0 or 1
    const wchar_t* value; // the value text, or null
};

// Response files that name further response files are followed this deep at most.
constexpr int APP_MAX_RESPONSE_DEPTH = 16;

// Splits text into arguments: 0 with *argv one block (pointer vector, null-terminated, then the cut-up text) that
// the caller frees with LocalFree; 1 with no block and *count 0 when there is nothing but white space; 0x8007000E
// with no block when the block cannot be allocated.
HRESULT AppSplitArguments(const wchar_t* text, wchar_t*** argv, int* count);

// The allocator of response-file buffers and argument blocks: LocalAlloc, unless tests make memory run out.
// Returns the previous one; null restores LocalAlloc.
using AppArgumentAllocator = HLOCAL(WINAPI*)(UINT flags, SIZE_T bytes);
AppArgumentAllocator AppSetArgumentAllocator(AppArgumentAllocator allocator);

// Interprets the arguments of text (skipping the first, the program path, when skipFirst is set) and applies them to
// document. Returns 1 when there is nothing to interpret, else the result of the interpretation.
HRESULT AppParseCommandLine(const wchar_t* text, BOOL skipFirst, DocumentRecord* document);

// Reads a UTF-16LE response file and interprets its arguments. 1 when the file holds no arguments.
HRESULT AppReadResponseFile(const wchar_t* path, DocumentRecord* document);
