// Which data files the values of one store key point at, so that two names never share one file.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The files the REG_SZ values of one key point at: listed once, then kept up to date by the writes that go through
// it, so that a run of writes to one key lists its values only once. Only as fresh as its last listing: it lives
// for one run of writes (see StoreWriteSession) and no longer.
class DataFileRefs {
public:
    // Lists key's values, replacing what was held. A failed listing leaves nothing held and returns the
    // registry's status: a name chosen without knowing every reference could be a shared one.
    LONG Load(HKEY key);
    // "folder\<file name of itemName><extension>", or with " (2)", " (3)", ... before the extension: the first such
    // path that no value other than valueName points at. The value keeps its own file when it already has it.
    std::wstring ChoosePath(const wchar_t* valueName, const std::wstring& folder, const wchar_t* itemName,
                            const wchar_t* extension) const;
    // The file valueName points at, as stored; empty when it points at none.
    std::wstring FileOf(const wchar_t* valueName) const;
    // Records that valueName now points at path, or (Remove) at no file. The path it pointed at before stays taken
    // for other values as long as this listing lives.
    void Set(const wchar_t* valueName, const std::wstring& path);
    void Remove(const wchar_t* valueName);

private:
    struct Ref {
        std::wstring name;
        std::wstring path;
        std::wstring comparable; // path made full, so that ".\" and ".." spellings compare equal
    };
    void Add(std::wstring name, std::wstring path, std::wstring comparable);
    const Ref* Find(const wchar_t* valueName) const;

    // A key may hold thousands of values, each written in turn: hashed indexes into refs_ by value name and by
    // comparable path keep each write's look-ups from searching them all. A removed or moved value leaves the name
    // index but keeps its place in refs_ and in the path index.
    std::vector<Ref> refs_;
    std::unordered_map<uint64_t, std::vector<size_t>> byName_;
    std::unordered_map<uint64_t, std::vector<size_t>> byPath_;
};

// True when a value of key other than valueName points at path (under any spelling of the same file).
bool IsDataFileShared(HKEY key, const wchar_t* valueName, const wchar_t* path);
