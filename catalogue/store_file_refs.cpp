// Data file paths held by the REG_SZ values of a store key.
#include "store_file_refs.h"
#include <vector>
#include "catalogue.h"
#include "store_files.h"
#include "store_names.h"

namespace {

bool SamePath(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), -1, second.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The paths of every REG_SZ value of key except the one named valueName.
std::vector<std::wstring> OtherValuePaths(HKEY key, const wchar_t* valueName) {
    std::vector<std::wstring> paths;
    DWORD longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return paths;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<wchar_t> data(longestData / sizeof(wchar_t) + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        LONG status = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;
        if (valueName && CatalogueNamesEqual(name.data(), valueName)) continue;
        data[bytes / sizeof(wchar_t)] = 0;
        paths.emplace_back(data.data());
    }
    return paths;
}

} // namespace

std::wstring ChooseDataFilePath(HKEY key, const wchar_t* valueName, const std::wstring& folder,
                                const wchar_t* itemName, const wchar_t* extension) {
    const std::wstring base = folder + L"\\" + MakeDataFileName(itemName);
    std::vector<std::wstring> taken = OtherValuePaths(key, valueName);
    // Among taken.size() + 1 candidates at least one is free.
    for (size_t number = 1; number <= taken.size() + 1; ++number) {
        std::wstring candidate = base + (number == 1 ? L"" : L" (" + std::to_wstring(number) + L")") + extension;
        bool used = false;
        for (const std::wstring& path : taken) used = used || SamePath(path, candidate);
        if (!used) return candidate;
    }
    return base + extension; // not reached
}

bool IsDataFileShared(HKEY key, const wchar_t* valueName, const wchar_t* path) {
    for (const std::wstring& other : OtherValuePaths(key, valueName))
        if (IsSameFile(other, path)) return true;
    return false;
}
