// Small helpers shared by the test executables: scratch folders and files inside the throwaway prefix.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace testsupport {

// The mark test.sh sets in the throwaway prefix's registry; test executables refuse to run without it.
inline const wchar_t* const kThrowawayKey = L"Software\\Tarrow Tests";
inline const wchar_t* const kThrowawayValue = L"ThrowawayStore";
bool InThrowawayStore();

// A fresh, empty folder under the temporary folder; removed with its contents on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const wchar_t* tag);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
private:
    std::wstring path_;
};

std::vector<unsigned char> ReadWholeFile(const std::wstring& path);
bool WriteWholeFile(const std::wstring& path, const void* data, size_t size);
void RemoveTree(const std::wstring& path);

// A path known at build time (source or build tree) as the program under test sees it.
std::wstring BuildPath(const std::string& path);

// Path of a file in the source tree's tests folder (fixtures), as a Windows path.
std::wstring FixturePath(const char* relative);

} // namespace testsupport
