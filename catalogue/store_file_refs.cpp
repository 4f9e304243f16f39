// Data file paths held by the REG_SZ values of a store key.
#include "store_file_refs.h"
#include <algorithm>
#include "catalogue.h"
#include "catalogue_lookup.h"
#include "store_files.h"
#include "store_names.h"

namespace {

bool SamePath(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// Every REG_SZ value of key as name and path. A value that grows between two calls is read again with room for it.
LONG ListPathValues(HKEY key, std::vector<std::pair<std::wstring, std::wstring>>* values) {
    values->clear();
    DWORD longestName = 0, longestData = 0;
    LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                                   &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<wchar_t> data(longestData / sizeof(wchar_t) + 2);
    int regrown = 0;
    for (DWORD index = 0;;) {
        DWORD nameChars = static_cast<DWORD>(name.size());
        DWORD bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        status = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type,
                               reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (status == ERROR_MORE_DATA && ++regrown <= 8) {
            name.resize(name.size() * 2);
            data.resize(std::max<size_t>(data.size() * 2, bytes / sizeof(wchar_t) + 2));
            continue;
        }
        if (status != ERROR_SUCCESS) return status;
        ++index;
        regrown = 0;
        if (type != REG_SZ) continue;
        data[bytes / sizeof(wchar_t)] = 0;
        values->emplace_back(std::wstring(name.data(), nameChars), std::wstring(data.data()));
    }
}

std::wstring ComparablePath(const std::wstring& path) {
    std::wstring full = FullPathOf(path);
    return full.empty() ? path : full;
}

} // namespace

namespace {

void Unindex(std::unordered_map<uint64_t, std::vector<size_t>>& index, uint64_t key, size_t at) {
    auto bucket = index.find(key);
    if (bucket == index.end()) return;
    std::vector<size_t>& held = bucket->second;
    held.erase(std::remove(held.begin(), held.end(), at), held.end());
}

} // namespace

LONG DataFileRefs::Load(HKEY key) {
    refs_.clear();
    byName_.clear();
    byPath_.clear();
    std::vector<std::pair<std::wstring, std::wstring>> values;
    LONG status = ListPathValues(key, &values);
    if (status != ERROR_SUCCESS) return status;
    refs_.reserve(values.size());
    for (auto& [name, path] : values) {
        std::wstring comparable = ComparablePath(path);
        Add(std::move(name), std::move(path), std::move(comparable));
    }
    return ERROR_SUCCESS;
}

void DataFileRefs::Add(std::wstring name, std::wstring path, std::wstring comparable) {
    byName_[CatalogueNameKey(name.c_str())].push_back(refs_.size());
    byPath_[CatalogueNameKey(comparable.c_str())].push_back(refs_.size());
    refs_.push_back({std::move(name), std::move(path), std::move(comparable)});
}

const DataFileRefs::Ref* DataFileRefs::Find(const wchar_t* valueName) const {
    auto bucket = byName_.find(CatalogueNameKey(valueName));
    if (bucket == byName_.end()) return nullptr;
    for (size_t at : bucket->second)
        if (CatalogueNamesEqual(refs_[at].name.c_str(), valueName)) return &refs_[at];
    return nullptr;
}

std::wstring DataFileRefs::ChoosePath(const wchar_t* valueName, const std::wstring& folder, const wchar_t* itemName,
                                      const wchar_t* extension) const {
    const std::wstring base = folder + L"\\" + MakeDataFileName(itemName);
    // Among refs_.size() + 1 candidates at least one is free.
    for (size_t number = 1; number <= refs_.size() + 1; ++number) {
        std::wstring candidate = base + (number == 1 ? L"" : L" (" + std::to_wstring(number) + L")") + extension;
        const std::wstring comparable = ComparablePath(candidate);
        bool used = false;
        auto bucket = byPath_.find(CatalogueNameKey(comparable.c_str()));
        if (bucket != byPath_.end())
            for (size_t at : bucket->second) {
                const Ref& ref = refs_[at];
                used = used || (SamePath(ref.comparable, comparable) && !CatalogueNamesEqual(ref.name.c_str(), valueName));
            }
        if (!used) return candidate;
    }
    return base + extension; // not reached
}

std::wstring DataFileRefs::FileOf(const wchar_t* valueName) const {
    const Ref* ref = Find(valueName);
    return ref ? ref->path : std::wstring();
}

void DataFileRefs::Set(const wchar_t* valueName, const std::wstring& path) {
    std::wstring comparable = ComparablePath(path);
    if (Ref* ref = const_cast<Ref*>(Find(valueName))) {
        if (SamePath(ref->comparable, comparable)) return;
        const size_t at = static_cast<size_t>(ref - refs_.data());
        Unindex(byName_, CatalogueNameKey(ref->name.c_str()), at); // its old path stays claimed, see Remove
    }
    Add(valueName, path, std::move(comparable));
}

// The value's entry leaves the name index but keeps claiming its old path for the rest of the run: a file freed by
// one write of a step is never taken by another item of the same step, so that Undo can put each back where it was,
// in whatever order it reverts them.
void DataFileRefs::Remove(const wchar_t* valueName) {
    const Ref* ref = Find(valueName);
    if (!ref) return;
    Unindex(byName_, CatalogueNameKey(ref->name.c_str()), static_cast<size_t>(ref - refs_.data()));
}

bool IsDataFileShared(HKEY key, const wchar_t* valueName, const wchar_t* path) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    // A key that cannot be listed might hold a reference: the file counts as shared and stays.
    if (ListPathValues(key, &values) != ERROR_SUCCESS) return true;
    for (const auto& [name, other] : values)
        if (!CatalogueNamesEqual(name.c_str(), valueName) && IsSameFile(other, path)) return true;
    return false;
}
