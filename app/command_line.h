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

// Splits text into arguments. Returns one block (pointer vector, null-terminated, then the cut-up text) that the
// caller frees with LocalFree, or null with *count 0 when there is nothing but white space.
wchar_t** AppSplitArguments(const wchar_t* text, int* count);

// Interprets the arguments of text (skipping the first, the program path, when skipFirst is set) and applies them to
// document. Returns 1 when there is nothing to interpret, else the result of the interpretation.
HRESULT AppParseCommandLine(const wchar_t* text, BOOL skipFirst, DocumentRecord* document);

// Reads a UTF-16LE response file and interprets its arguments. 1 when the file holds no arguments.
HRESULT AppReadResponseFile(const wchar_t* path, DocumentRecord* document);
