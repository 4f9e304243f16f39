// tarrow-cli import: a whole package copied into the system store, with the overwrite question answered by a flag.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "cli_arguments.h"
#include "cli_commands.h"
#include "editing.h"

struct tKVLANG;

enum ImportResult {
    IMPORT_WRITTEN,     // the step was applied to the store
    IMPORT_UNCHANGED,   // nothing to write: the package is empty, or everything was skipped or refused
    IMPORT_CONFLICTS,   // items exist and no answer was given: nothing written
    IMPORT_DRY_RUN,     // recorded and discarded
    IMPORT_FAILED,      // a store write failed while the step was applied; the rest was applied
};

struct ImportReport {
    ImportResult result = IMPORT_UNCHANGED;
    bool unknownDestination = false;        // options name a destination this computer does not have
    bool packageUnreadable = false;         // the failure is the package's, not the store's
    bool hasDestination = false;
    LathmereDestination destination{0, 0};  // the one Lathmere presets went to
    std::vector<CopyRecord> records;        // in the order met; for IMPORT_CONFLICTS only the conflicts
    std::wstring failedItem;                // IMPORT_FAILED: the first item the store refused
};

// The work of the command without its output: the package read to the package side, the store loaded to the
// system side, the copy the window runs from the package's root, and then, as the options say, the step applied,
// discarded, or refused for its conflicts. Negative when the package or the store cannot be read or a store write
// fails (then report->result is IMPORT_FAILED and the records say what was attempted).
HRESULT ImportPackage(const ImportOptions& options, tKVLANG* language, ImportReport* report);

// words are the words after the command's name.
int ImportCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words);
