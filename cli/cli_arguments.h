// The words after a command: options from the command's own table, operands, and the mistakes found in them.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

struct CliOptionSpec {
    const wchar_t* name; // with its dashes: L"--plugin"
    bool takesValue;     // given as "--name VALUE" or "--name=VALUE"
};

struct CliOption {
    const CliOptionSpec* spec;
    const wchar_t* value; // null for an option without a value
};

struct CliArguments {
    std::vector<const wchar_t*> operands;
    std::vector<CliOption> options; // in command-line order
};

// A usage mistake: a message of the string table and its arguments.
struct CliUsageProblem {
    UINT messageId = 0;
    std::wstring first, second;
};

// Every word that begins with "-" and is longer than that is an option until a word "--", after which all words
// are operands (for file names that begin with a dash). False with problem set on the first mistake.
bool ParseCliArguments(int count, wchar_t* const* words, const CliOptionSpec* specs, size_t specCount,
                       CliArguments* arguments, CliUsageProblem* problem);

struct DiffOptions {
    std::wstring first, second; // package paths, or the word "store"
    bool exitCode = false;      // differences make the exit code 3
};

struct ExportOptions {
    std::wstring path;
    std::vector<std::wstring> plugIns; // names, display names or class identifiers; empty with chains: everything
    std::vector<std::wstring> chains;
    bool noChains = false;
};

// How the overwrite question is answered for items the store already holds.
enum ImportAnswer { IMPORT_REFUSE_CONFLICTS, IMPORT_OVERWRITE_ALL, IMPORT_SKIP_ALL };

struct ImportOptions {
    std::wstring path;
    ImportAnswer answer = IMPORT_REFUSE_CONFLICTS;
    bool hasDestination = false; // otherwise the last destination, as the window starts with
    uint32_t destinationMajor = 0, destinationMinor = 0;
    std::wstring destinationText; // as given, for the message when this computer lacks it
    bool dryRun = false;
};

// command is the command's name as typed, for the messages. False with problem set on a mistake.
bool ParseDiffArguments(const wchar_t* command, int count, wchar_t* const* words, DiffOptions* options,
                        CliUsageProblem* problem);
bool ParseExportArguments(const wchar_t* command, int count, wchar_t* const* words, ExportOptions* options,
                          CliUsageProblem* problem);
bool ParseImportArguments(const wchar_t* command, int count, wchar_t* const* words, ImportOptions* options,
                          CliUsageProblem* problem);

// "MAJOR.MINOR" with decimal digits only on each side; false for anything else or a number past 32 bits.
bool ParseDestinationText(const wchar_t* text, uint32_t* major, uint32_t* minor);
