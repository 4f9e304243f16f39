// The classes registered on this computer, as hashes of their key names. Listing them costs a registry call per
// class, many times what reading a package of a few thousand plug-ins costs otherwise: a listing is kept for the
// process while no class registration changes, and in a file for the next process while the class roots stay as
// they were.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A hash of the key name in ASCII upper case, as the registry compares names; false for a name outside ASCII,
// whose case the registry may fold in other ways.
bool FoldedNameHash(const wchar_t* name, uint64_t* hash);

// The sorted name hashes of every class key of both registry views. Null when a listing did not finish, or, with
// listAgain false, when the process holds no listing that is still current.
std::shared_ptr<const std::vector<uint64_t>> RegisteredClasses(bool listAgain);

// The last write time and subkey count of each class root (the machine's and the user's, in both views); a root
// that does not exist counts zero. Adding or removing a class changes its root's write time.
struct ClassRootsStamp {
    uint64_t values[8] = {};
    bool operator==(const ClassRootsStamp& other) const;
};
ClassRootsStamp StampClassRoots();

// The file that keeps the last listing; empty when the user has no local application data folder.
std::wstring ClassListingFilePath();
// The hashes the file keeps for stamp; false when it keeps none for it (missing, cut short, or for other roots).
bool ReadClassListingFile(const std::wstring& path, const ClassRootsStamp& stamp, std::vector<uint64_t>* hashes);
// Replaces the file whole, so that a reader meanwhile finds the old one or the new one.
HRESULT WriteClassListingFile(const std::wstring& path, const ClassRootsStamp& stamp,
                              const std::vector<uint64_t>& hashes);
