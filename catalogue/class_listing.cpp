// The registered classes' name hashes: listed from the registry, kept for the process and in a file.
#include "class_listing.h"
#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include "kvresult.h"
#include "store_handles.h"
#include "store_watch.h"

namespace {

constexpr DWORD kKeyNameChars = 256; // any registry key name and its terminator
constexpr uint32_t kFileMagic = 0x4C434B54; // "TKCL"
constexpr uint32_t kFileVersion = 1;
constexpr uint32_t kMostClasses = 1u << 24; // far more than any computer registers; more is damage

// The file: magic, version, count, a reserved word, the stamp, then count sorted hashes.
struct FileHeader {
    uint32_t magic = kFileMagic;
    uint32_t version = kFileVersion;
    uint32_t count = 0;
    uint32_t reserved = 0;
    ClassRootsStamp stamp;
};

// Adds the name hash of every subkey of key; false when the listing did not finish.
bool ListSubkeys(HKEY key, std::vector<uint64_t>* hashes) {
    wchar_t keyName[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        LONG status = RegEnumKeyExW(key, index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        uint64_t hash = 0;
        if (FoldedNameHash(keyName, &hash)) hashes->push_back(hash);
    }
}

bool ListClasses(std::vector<uint64_t>* hashes) {
    KvRegKey views[2];
    OpenKey(&views[0], HKEY_CLASSES_ROOT, L"CLSID", KEY_READ);
    OpenKey(&views[1], HKEY_CLASSES_ROOT, L"CLSID", KEY_READ | kOtherView);
    if (!views[0].get() || !views[1].get() || !ListSubkeys(views[0].get(), hashes) ||
        !ListSubkeys(views[1].get(), hashes))
        return false;
    std::sort(hashes->begin(), hashes->end());
    return true;
}

// The last listing of the process, kept until a class registration changes.
struct ClassListing {
    std::mutex lock;
    KeyWatch changes;
    std::shared_ptr<const std::vector<uint64_t>> classes;
};

ClassListing& LastClassListing() {
    static ClassListing listing;
    return listing;
}

bool ReadWhole(HANDLE file, void* target, DWORD size) {
    DWORD done = 0;
    return ReadFile(file, target, size, &done, nullptr) && done == size;
}

bool WriteWhole(HANDLE file, const void* source, DWORD size) {
    DWORD done = 0;
    return WriteFile(file, source, size, &done, nullptr) && done == size;
}

} // namespace

// FNV-1a over pairs of characters: half the multiplications, which follow one another, of one per character.
// The hashes are kept in the listing file: a change here needs a new kFileVersion.
bool FoldedNameHash(const wchar_t* name, uint64_t* hash) {
    uint64_t h = 14695981039346656037ull;
    for (const wchar_t* c = name; *c;) {
        uint64_t pair = 0;
        for (int half = 0; half < 2 && *c; ++half, ++c) {
            if (*c >= 0x80) return false;
            pair |= static_cast<uint64_t>(*c >= L'a' && *c <= L'z' ? *c - L'a' + L'A' : *c) << (16 * half);
        }
        h = (h ^ pair) * 1099511628211ull;
    }
    *hash = h;
    return true;
}

bool ClassRootsStamp::operator==(const ClassRootsStamp& other) const {
    return std::equal(std::begin(values), std::end(values), std::begin(other.values));
}

ClassRootsStamp StampClassRoots() {
    static const struct { HKEY root; const wchar_t* path; REGSAM view; } kRoots[4] = {
        {HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID", 0},
        {HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID", kOtherView},
        {HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0},
        {HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", kOtherView},
    };
    ClassRootsStamp stamp;
    for (size_t i = 0; i < std::size(kRoots); ++i) {
        KvRegKey key;
        if (OpenKey(&key, kRoots[i].root, kRoots[i].path, KEY_READ | kRoots[i].view) != ERROR_SUCCESS) continue;
        DWORD subkeys = 0;
        FILETIME written{};
        if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, &written) != ERROR_SUCCESS)
            continue;
        stamp.values[2 * i] = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        stamp.values[2 * i + 1] = subkeys + 1; // an empty root is told apart from a missing one
    }
    return stamp;
}

std::wstring ClassListingFilePath() {
    wchar_t folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(folder) + L"\\Varden Media Software\\Tarrow\\ClassListing.cache";
}

bool ReadClassListingFile(const std::wstring& path, const ClassRootsStamp& stamp, std::vector<uint64_t>* hashes) {
    KvFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    FileHeader header;
    if (!GetFileSizeEx(file.get(), &size) || !ReadWhole(file.get(), &header, sizeof header)) return false;
    if (header.magic != kFileMagic || header.version != kFileVersion || !(header.stamp == stamp)) return false;
    if (header.count > kMostClasses) return false;
    if (static_cast<uint64_t>(size.QuadPart) != sizeof header + uint64_t{header.count} * sizeof(uint64_t))
        return false;
    hashes->resize(header.count);
    if (header.count > 0 && !ReadWhole(file.get(), hashes->data(), header.count * sizeof(uint64_t))) return false;
    return std::is_sorted(hashes->begin(), hashes->end());
}

HRESULT WriteClassListingFile(const std::wstring& path, const ClassRootsStamp& stamp,
                              const std::vector<uint64_t>& hashes) {
    if (hashes.size() > (MAXDWORD - sizeof(FileHeader)) / sizeof(uint64_t)) return KV_E_INVALIDARG;
    // The folders on the way: the first write of a user has none of them.
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    FileHeader header;
    header.count = static_cast<uint32_t>(hashes.size());
    header.stamp = stamp;
    {
        KvFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) return HRESULT_FROM_WIN32(GetLastError());
        if (!WriteWhole(file.get(), &header, sizeof header) ||
            (!hashes.empty() &&
             !WriteWhole(file.get(), hashes.data(), static_cast<DWORD>(hashes.size() * sizeof(uint64_t))))) {
            HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            file.reset();
            DeleteFileW(temporary.c_str());
            return hr < 0 ? hr : KV_E_FAIL;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        DeleteFileW(temporary.c_str());
        return hr;
    }
    return S_OK;
}

std::shared_ptr<const std::vector<uint64_t>> RegisteredClasses(bool listAgain) {
    ClassListing& last = LastClassListing();
    std::lock_guard<std::mutex> hold(last.lock);
    if (last.classes && last.changes.Unchanged()) return last.classes;
    if (!listAgain) return nullptr;
    last.classes = nullptr;
    // Armed before listing, so that a class registered meanwhile makes the next look-ups list again.
    bool watched = last.changes.Arm(kClassRegistrationKeys, std::size(kClassRegistrationKeys));
    // Stamped before listing too: a file written for this stamp can only hold less than a later listing if the
    // roots changed meanwhile, and then the stamp no longer matches.
    const ClassRootsStamp stamp = StampClassRoots();
    const std::wstring path = ClassListingFilePath();
    auto classes = std::make_shared<std::vector<uint64_t>>();
    if (path.empty() || !ReadClassListingFile(path, stamp, classes.get())) {
        classes->clear();
        if (!ListClasses(classes.get())) return nullptr;
        // Kept only while the roots are still as stamped. A file that cannot be written costs the next process a
        // listing and nothing else, so its failure is not the caller's.
        if (!path.empty() && StampClassRoots() == stamp) (void)WriteClassListingFile(path, stamp, *classes);
    }
    if (watched) last.classes = classes;
    return classes;
}
