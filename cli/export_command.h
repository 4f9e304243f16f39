// tarrow-cli export: the system store, or the named part of it, copied into a new package and saved.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include "cli_arguments.h"
#include "cli_commands.h"

struct tKVLANG;

struct ExportReport {
    UINT missingMessage = 0;  // IDS_CLI_NO_SUCH_PLUGIN or IDS_CLI_NO_SUCH_CHAIN when a named item is not stored
    std::wstring missingName; // the name as given
    int plugIns = 0, presets = 0, chains = 0; // what the package holds
    uint64_t bytes = 0;                       // the package file's size
};

// The work of the command without its output: the copy to the package side through the same copy the window
// runs, then the safe save to options.path. A name the store does not hold is not a failure of this function but
// a report with missingMessage set, and nothing is written.
HRESULT ExportStore(const ExportOptions& options, tKVLANG* language, ExportReport* report);

// words are the words after the command's name.
int ExportCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words);
