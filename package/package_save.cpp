// Saving through a temporary file in the target's folder, so a failed save never damages the previous file.
#include "package_save.h"
#include <cwchar>
#include "kvresult.h"

namespace {

PackageSaveFault g_saveFault = nullptr;
LONG g_tempCounter = 0;

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

} // namespace

PackageSaveFault SetPackageSaveFault(PackageSaveFault fault) {
    PackageSaveFault previous = g_saveFault;
    g_saveFault = fault;
    return previous;
}

HRESULT CheckPackageSaveFault(PackageSaveStep step) { return g_saveFault ? g_saveFault(step) : S_OK; }

SafeSave::~SafeSave() { Abandon(); }

void SafeSave::Abandon() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (!temp_.empty()) DeleteFileW(temp_.c_str());
    temp_.clear();
}

HRESULT SafeSave::Begin(const wchar_t* target) {
    Abandon();
    if (!target || !*target) return KV_E_FILE_CREATE;
    target_ = target;
    if (CheckPackageSaveFault(SAVE_STEP_CREATE) < 0) return KV_E_FILE_CREATE;
    // Renaming would replace a read-only file on some systems; it could not be created over either.
    DWORD attributes = GetFileAttributesW(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return KV_E_FILE_CREATE;
    // A short name of our own in the same folder keeps the final rename on one volume.
    std::wstring folder = FolderOf(target_);
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[40];
        unsigned tag = static_cast<unsigned>(GetCurrentProcessId() * 2654435761u) ^
                       static_cast<unsigned>(GetTickCount64()) ^
                       static_cast<unsigned>(InterlockedIncrement(&g_tempCounter) * 40503u);
        swprintf(name, 40, L"~kvp%08X.tmp", tag);
        std::wstring temp = folder + name;
        file_ = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            temp_ = temp;
            return S_OK;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return KV_E_FILE_CREATE;
}

HRESULT SafeSave::Commit() {
    if (file_ == INVALID_HANDLE_VALUE) return KV_E_FILE_CREATE;
    if (CheckPackageSaveFault(SAVE_STEP_FLUSH) < 0 || !FlushFileBuffers(file_)) {
        Abandon();
        return KV_E_WRITE;
    }
    BOOL closed = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (!closed) {
        Abandon();
        return KV_E_WRITE;
    }
    // A target that cannot be replaced (read-only, in use) is a file that could not be created.
    if (CheckPackageSaveFault(SAVE_STEP_REPLACE) < 0 ||
        !MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Abandon();
        return KV_E_FILE_CREATE;
    }
    temp_.clear();
    return S_OK;
}
