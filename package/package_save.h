// Saving a file safely: written beside the target, flushed, and renamed over it only once complete.
#pragma once
#include <windows.h>
#include "kvreplacefile.h"

enum PackageSaveStep { SAVE_STEP_CREATE, SAVE_STEP_WRITE, SAVE_STEP_FLUSH, SAVE_STEP_REPLACE };

// Tests make a step fail through this; a negative result stands for the system call's failure.
using PackageSaveFault = HRESULT (*)(PackageSaveStep step);
PackageSaveFault SetPackageSaveFault(PackageSaveFault fault); // returns the previous one
HRESULT CheckPackageSaveFault(PackageSaveStep step);

// An uncommitted save removes its temporary file, also when its process dies.
class SafeSave {
public:
    HRESULT Begin(const wchar_t* target); // creates the temporary file; KV_E_FILE_CREATE
    HANDLE File() const { return file_.File(); }
    // Flushes the temporary file (KV_E_WRITE) and moves it over the target (KV_E_FILE_CREATE).
    HRESULT Commit();

private:
    KvReplacingFile file_;
};
