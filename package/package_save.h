// Saving a file safely: written beside the target, flushed, and renamed over it only once complete.
#pragma once
#include <windows.h>
#include <string>

enum PackageSaveStep { SAVE_STEP_CREATE, SAVE_STEP_WRITE, SAVE_STEP_FLUSH, SAVE_STEP_REPLACE };

// Tests make a step fail through this; a negative result stands for the system call's failure.
using PackageSaveFault = HRESULT (*)(PackageSaveStep step);
PackageSaveFault SetPackageSaveFault(PackageSaveFault fault); // returns the previous one
HRESULT CheckPackageSaveFault(PackageSaveStep step);

class SafeSave {
public:
    SafeSave() = default;
    ~SafeSave(); // an uncommitted save removes its temporary file
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;

    HRESULT Begin(const wchar_t* target); // creates the temporary file; KV_E_FILE_CREATE
    HANDLE File() const { return file_; }
    // Flushes the temporary file (KV_E_WRITE) and moves it over the target (KV_E_FILE_CREATE).
    HRESULT Commit();

private:
    void Abandon();

    std::wstring target_;
    std::wstring temp_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
