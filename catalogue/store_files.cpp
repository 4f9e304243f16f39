// Folder creation, replacing writes and whole reads of preset and chain data files.
#include "store_files.h"
#include "catalogue.h"
#include "kvreplacefile.h"
#include "kvresult.h"
#include "store_handles.h"

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return std::wstring();
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

namespace {

// Length of the part that names a drive or share root and is never created: "C:\" or "\\server\share\".
size_t RootLength(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.size() >= 3 && path[2] == L'\\' ? 3 : 2;
    if (path.rfind(L"\\\\", 0) == 0) {
        size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return path.size();
        size_t share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path.size() : share + 1;
    }
    return 0;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
    KvFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.valid() && GetFileInformationByHandle(file.get(), info);
}

std::wstring FullPath(const std::wstring& path) {
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    DWORD got = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) return std::wstring();
    full.resize(got);
    return full;
}

} // namespace

bool IsSameFile(const std::wstring& first, const std::wstring& second) {
    if (CompareStringOrdinal(first.c_str(), -1, second.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    BY_HANDLE_FILE_INFORMATION one{}, other{};
    return FileIdentity(first, &one) && FileIdentity(second, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
}

bool IsInFolder(const std::wstring& path, const std::wstring& folder) {
    std::wstring file = FullPath(path), parent = FullPath(folder);
    while (!parent.empty() && parent.back() == L'\\') parent.pop_back();
    size_t slash = file.find_last_of(L'\\');
    if (parent.empty() || slash != parent.size()) return false;
    return CompareStringOrdinal(file.c_str(), static_cast<int>(slash), parent.c_str(), static_cast<int>(slash), TRUE) ==
           CSTR_EQUAL;
}

HRESULT CreateFolderLevels(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 1 && path.back() == L'\\') path.pop_back();
    if (path.empty()) return KV_E_WRITE;
    for (size_t at = RootLength(path); at <= path.size(); ++at) {
        if (at < path.size() && path[at] != L'\\') continue;
        std::wstring level = path.substr(0, at);
        if (level.empty() || IsFolder(level)) continue;
        if (!CreateDirectoryW(level.c_str(), nullptr) && !IsFolder(level)) return KV_E_WRITE;
    }
    return IsFolder(path) ? S_OK : KV_E_WRITE;
}

HRESULT WriteDataFileReplacing(const std::wstring& path, const void* data, uint32_t size) {
    KvReplacingFile file;
    if (file.Create(path.c_str()) < 0) return KV_E_WRITE;
    DWORD written = 0;
    if (size != 0 && (!WriteFile(file.File(), data, size, &written, nullptr) || written != size)) return KV_E_WRITE;
    return file.Commit() < 0 ? KV_E_WRITE : S_OK;
}

HRESULT ReadDataFile(const wchar_t* path, uint8_t** data, uint32_t* size, StoreFileStamps* stamps) {
    *data = nullptr;
    *size = 0;
    KvFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (stamps) stamps->push_back(file.valid() ? StampOpenFile(path, file.get()) : StampFile(path));
    if (!file.valid()) {
        // Only now tell a missing file (or a folder in its place) from one that cannot be opened.
        DWORD attributes = GetFileAttributesW(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return KV_E_DATA_FILE_MISSING;
        return KV_E_READ;
    }
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file.get(), &length)) return KV_E_READ;
    if (length.QuadPart <= 0 || length.QuadPart > 0x7FFFFFFF) return KV_E_OUTOFMEMORY;
    uint32_t bytes = static_cast<uint32_t>(length.QuadPart);
    uint8_t* blob = CatalogueBlobAlloc(bytes);
    if (!blob) return KV_E_OUTOFMEMORY;
    *data = blob;
    *size = bytes;
    DWORD got = 0;
    if (!ReadFile(file.get(), blob, bytes, &got, nullptr) || got != bytes) return KV_E_READ;
    return S_OK;
}
