// Writing through a temporary file in the target's folder, so a failed or interrupted write never damages the
// previous file and leaves nothing of its own behind.
#include "kvreplacefile.h"
#include <algorithm>
#include <atomic>
#include <cwchar>
#include "kvresult.h"

namespace {

constexpr size_t kPathLimit = MAX_PATH - 1; // characters of a path that every file function accepts

std::atomic<unsigned> g_tempCounter{0};

unsigned NextTag() {
    return static_cast<unsigned>(GetCurrentProcessId() * 2654435761u) ^ static_cast<unsigned>(GetTickCount64()) ^
           (++g_tempCounter * 40503u);
}

bool SetDeleteMark(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(remove ? TRUE : FALSE)};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

} // namespace

std::wstring KvTemporaryPathBeside(const std::wstring& target, unsigned tag) {
    size_t slash = target.find_last_of(L"\\/:");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    // The target's own name is at least one character, so there is always room for at least one.
    size_t limit = std::max(target.size(), kPathLimit);
    size_t room = limit > folder.size() ? limit - folder.size() : 0;
    wchar_t name[24];
    if (room >= 16 || room == 0) {
        swprintf(name, 24, L"~kvp%08X.tmp", tag);
    } else if (room == 1) {
        swprintf(name, 24, L"%X", tag & 0xFu);
    } else {
        int digits = static_cast<int>(std::min<size_t>(room - 1, 8));
        unsigned mask = digits == 8 ? 0xFFFFFFFFu : (1u << (4 * digits)) - 1;
        swprintf(name, 24, L"~%0*X", digits, tag & mask);
    }
    return folder + name;
}

KvReplacingFile::~KvReplacingFile() { Abandon(); }

void KvReplacingFile::Abandon() {
    if (file_ != INVALID_HANDLE_VALUE) {
        // A marked file goes with its handle.
        if (!marked_) marked_ = SetDeleteMark(file_, true);
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
    if (!marked_ && !temp_.empty()) DeleteFileW(temp_.c_str());
    marked_ = false;
    temp_.clear();
}

HRESULT KvReplacingFile::Create(const wchar_t* target) {
    Abandon();
    if (!target || !*target) return KV_E_FILE_CREATE;
    DWORD attributes = GetFileAttributesW(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return KV_E_FILE_CREATE;
    target_ = target;
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::wstring temp = KvTemporaryPathBeside(target_, NextTag());
        file_ = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            temp_ = temp;
            // Marked before anything is written. Where the file system cannot mark it the file is still used:
            // Abandon then deletes it by name, and only a killed process would leave it behind.
            marked_ = SetDeleteMark(file_, true);
            return S_OK;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return KV_E_FILE_CREATE;
}

HRESULT KvReplacingFile::Commit() {
    if (file_ == INVALID_HANDLE_VALUE) return KV_E_FILE_CREATE;
    if (!FlushFileBuffers(file_)) {
        Abandon();
        return KV_E_WRITE;
    }
    // The mark goes only now, just before the move: a file still marked would vanish once in place.
    if (marked_ && !SetDeleteMark(file_, false)) {
        Abandon();
        return KV_E_WRITE;
    }
    marked_ = false;
    BOOL closed = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    if (!closed) {
        Abandon();
        return KV_E_WRITE;
    }
    // A target that cannot be replaced (read-only, in use) is a file that could not be created.
    if (!MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Abandon();
        return KV_E_FILE_CREATE;
    }
    temp_.clear();
    return S_OK;
}
