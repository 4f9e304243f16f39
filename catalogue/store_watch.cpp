// Change notifications on the store's keys and stamps of its data files.
#include "store_watch.h"
#include <iterator>
#include <string>
#include "store_handles.h"
#include "store_names.h"

namespace {

constexpr DWORD kWatchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

const WatchedKey kStoreKeys[] = {
    {HKEY_CURRENT_USER, STORE_PRESETS_KEY, 0}, // holds the chains too
    {HKEY_CURRENT_USER, STORE_LATHMERE_KEY, 0},
    {HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY, 0},
};

std::wstring ParentPath(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Opens key for notifications. A key that does not exist yet is watched through its nearest existing ancestor,
// for new subkeys only: whatever creates the key creates a subkey there.
bool OpenWatched(const WatchedKey& watched, KvRegKey* key, bool* subtree) {
    std::wstring path = watched.path;
    *subtree = true;
    for (;;) {
        if (OpenKey(key, watched.root, path.empty() ? nullptr : path.c_str(), KEY_NOTIFY | watched.view) ==
            ERROR_SUCCESS)
            return true;
        if (path.empty()) return false;
        path = ParentPath(path);
        *subtree = false;
    }
}

bool SameTime(const FILETIME& first, const FILETIME& second) {
    return first.dwLowDateTime == second.dwLowDateTime && first.dwHighDateTime == second.dwHighDateTime;
}

} // namespace

const WatchedKey kClassRegistrationKeys[3] = {
    {HKEY_CLASSES_ROOT, L"CLSID", 0},
    {HKEY_CLASSES_ROOT, L"CLSID", kOtherView},
    {HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0},
};

StoreFileStamp StampFile(const wchar_t* path) {
    StoreFileStamp stamp;
    stamp.path = path;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stamp.exists = true;
        stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.written = data.ftLastWriteTime;
    }
    return stamp;
}

StoreFileStamp StampOpenFile(const wchar_t* path, HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return StampFile(path);
    StoreFileStamp stamp;
    stamp.path = path;
    stamp.exists = true;
    stamp.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.written = info.ftLastWriteTime;
    return stamp;
}

bool SameStamp(const StoreFileStamp& first, const StoreFileStamp& second) {
    if (first.exists != second.exists) return false;
    if (!first.exists) return true;
    return first.size == second.size && SameTime(first.written, second.written);
}

bool KeyWatch::Arm(const WatchedKey* keys, size_t count) {
    Reset();
    for (size_t i = 0; i < count; ++i) {
        KvRegKey key;
        bool subtree = true;
        if (!OpenWatched(keys[i], &key, &subtree)) return false; // not even the root
        KvEvent event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event) return false;
        DWORD filter = subtree ? kWatchedChanges : REG_NOTIFY_CHANGE_NAME;
        if (RegNotifyChangeKeyValue(key.get(), subtree, filter, event.get(), TRUE) != ERROR_SUCCESS) return false;
        waits_.push_back(event.get());
        keys_.push_back(std::move(key));
        events_.push_back(std::move(event));
    }
    armed_ = waits_.size() <= MAXIMUM_WAIT_OBJECTS;
    return armed_;
}

bool KeyWatch::Unchanged() const {
    if (!armed_) return false;
    if (waits_.empty()) return true;
    return WaitForMultipleObjects(static_cast<DWORD>(waits_.size()), waits_.data(), FALSE, 0) == WAIT_TIMEOUT;
}

void KeyWatch::Reset() {
    armed_ = false;
    waits_.clear();
    keys_.clear();
    events_.clear();
}

void StoreWatch::Arm() {
    Reset();
    if (store_.Arm(kStoreKeys, std::size(kStoreKeys))) classes_.Arm(kClassRegistrationKeys, std::size(kClassRegistrationKeys));
}

bool StoreWatch::Unchanged() const {
    if (!store_.Unchanged() || !classes_.Unchanged()) return false;
    for (const StoreFileStamp& stamp : files_)
        if (!SameStamp(stamp, StampFile(stamp.path.c_str()))) return false;
    return true;
}

void StoreWatch::Reset() {
    store_.Reset();
    classes_.Reset();
    files_.clear();
}
