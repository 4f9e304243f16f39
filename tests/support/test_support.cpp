// Scratch folders and whole-file helpers for the tests.
#include "test_support.h"

namespace testsupport {

bool InThrowawayStore() {
    DWORD mark = 0, size = sizeof(mark);
    return RegGetValueW(HKEY_CURRENT_USER, kThrowawayKey, kThrowawayValue, RRF_RT_REG_DWORD, nullptr, &mark, &size) ==
               ERROR_SUCCESS &&
           mark == 1;
}

ScratchDir::ScratchDir(const wchar_t* tag) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"tarrow-test-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && (!ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()))
        bytes.clear();
    CloseHandle(h);
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = size == 0 || (WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr) && put == size);
    CloseHandle(h);
    return ok;
}

std::wstring BuildPath(const std::string& path) {
    // Cross-built, paths are Unix paths; Wine maps the root of the Unix file system to drive Z:.
    std::wstring win = path.starts_with('/') ? L"Z:" : L"";
    for (char c : path) win += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return win;
}

std::wstring FixturePath(const char* relative) {
    return BuildPath(std::string(TARROW_SOURCE_DIR) + "/tests/" + relative);
}

} // namespace testsupport
