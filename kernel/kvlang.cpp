// Language instances: the string loader with its "^*" marker rule, the sorted string cache and the scratch ring.
#include "kvlang_internal.h"
#include "kvlang_instance.h"
#include "kvlist.h"
#include "kvresult.h"
#include <cstring>
#include <cwchar>
#include <new>

namespace {

constexpr int kCacheLoadCharacters = 1024;
const wchar_t kEmptyText[] = L"";

// A cached text: the identifier, then the text with its terminator.
struct CachedString {
    UINT id;
    wchar_t text[1];
};

class InstanceLock {
public:
    explicit InstanceLock(tKVLANG* instance) : instance_(instance) {
        if (instance_->lockReady) EnterCriticalSection(&instance_->lock);
    }
    ~InstanceLock() {
        if (instance_->lockReady) LeaveCriticalSection(&instance_->lock);
    }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
private:
    tKVLANG* instance_;
};

int CALLBACK CompareIds(uint32_t, const void* key, const void* item) {
    UINT id = *static_cast<const UINT*>(key);
    UINT other = static_cast<const CachedString*>(item)->id;
    return id < other ? -1 : (id > other ? 1 : 0);
}

int RingCapacityFor(int asked) {
    if (asked == 0) return 8192;
    if (asked < 2049) return 2048;
    return asked;
}

// The language module: "<program base name>.LNG" beside the module, when such a file exists.
HMODULE LoadLanguageModule(HMODULE module) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    wchar_t* dot = wcsrchr(path, L'.');
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!dot || (slash && dot < slash)) dot = path + length;
    if (static_cast<size_t>(dot - path) + 5 > MAX_PATH) return nullptr;
    wcscpy(dot, L".LNG");
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return nullptr;
    return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// Reads entry (id mod 16) of string block (id / 16 + 1) straight from the language module's resources.
bool LoadFromLanguageModule(tKVLANG* instance, UINT id, wchar_t* buffer, int capacity) {
    HRSRC found = FindResourceExW(instance->languageModule, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
                                  instance->language);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(instance->languageModule, found);
    const auto* entry = static_cast<const WORD*>(loaded ? LockResource(loaded) : nullptr);
    if (!entry) return false;
    const WORD* end = entry + SizeofResource(instance->languageModule, found) / sizeof(WORD);
    for (UINT skip = id % 16; skip > 0 && entry < end; --skip) entry += 1 + *entry;
    if (entry >= end) return false;
    size_t count = *entry;
    if (count > static_cast<size_t>(end - entry - 1)) count = static_cast<size_t>(end - entry - 1);
    if (count > static_cast<size_t>(capacity - 1)) count = static_cast<size_t>(capacity - 1);
    memcpy(buffer, entry + 1, count * sizeof(wchar_t));
    buffer[count] = L'\0';
    return true;
}

} // namespace

HRESULT KvLang_Open(tKVLANG** instance, HMODULE module, LANGID language, int ringSize) {
    if (!instance) return KV_E_INVALIDARG;
    *instance = nullptr;
    auto* lang = new (std::nothrow) tKVLANG{};
    if (!lang) return KV_E_OUTOFMEMORY;
    lang->module = module ? module : GetModuleHandleW(nullptr);
    lang->ringCapacity = RingCapacityFor(ringSize);
    lang->ringReserve = 1024;
    lang->ring = new (std::nothrow) wchar_t[static_cast<size_t>(lang->ringCapacity)]();
    if (!lang->ring || FAILED(KvList_CreateExZ(&lang->cache, 0, -1, -1, KVLIST_ANY_THREAD | KVLIST_OWNS_ITEMS))) {
        KvLang_Close(lang);
        return KV_E_OUTOFMEMORY;
    }
    if (language != 0) lang->language = language;
    lang->languageModule = LoadLanguageModule(lang->module);
    InitializeCriticalSection(&lang->lock);
    lang->lockReady = true;
    *instance = lang;
    return S_OK;
}

HRESULT KvLang_Close(tKVLANG* instance) {
    if (!instance) return S_OK;
    if (instance->lockReady) DeleteCriticalSection(&instance->lock);
    if (instance->languageModule && instance->languageModule != instance->module) {
        FreeLibrary(instance->languageModule);
    }
    delete[] instance->ring;
    KvList_Destroy(instance->cache);
    delete instance;
    return S_OK;
}

int KvLoadString(tKVLANG* instance, UINT id, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0; // a capacity of 0 would make the platform loader hand out a pointer
    buffer[0] = L'\0';
    if (!instance) return 0;
    bool loaded = false;
    if (instance->useLanguageModule && instance->languageModule) {
        loaded = LoadFromLanguageModule(instance, id, buffer, capacity);
    }
    if (!loaded && LoadStringW(instance->module, id, buffer, capacity) <= 0) buffer[0] = L'\0';
    int length = static_cast<int>(wcslen(buffer));
    if (length >= 2 && buffer[0] == L'^' && buffer[1] == L'*') { // editorial marker, never shown
        wmemmove(buffer, buffer + 2, static_cast<size_t>(length - 1));
        length -= 2;
    }
    return length;
}

const wchar_t* KvGetString(tKVLANG* instance, UINT id) {
    if (!instance || !instance->cache) return kEmptyText;
    InstanceLock hold(instance);
    tKVLIST* cache = instance->cache;
    int index = KvList_FindSortedItemRange(cache, &id, 0, cache->count, CompareIds);
    if (index >= 0) return KvList_Item<CachedString>(cache, index)->text;

    wchar_t text[kCacheLoadCharacters];
    int length = KvLoadString(instance, id, text, kCacheLoadCharacters);
    if (length <= 0) return kEmptyText; // missing texts are not cached: a later call tries again
    int at = KvList_FindSortedInsertIndexRange(cache, &id, 0, cache->count, CompareIds);
    size_t bytes = offsetof(CachedString, text) + (static_cast<size_t>(length) + 1) * sizeof(wchar_t);
    int inserted = -1;
    if (FAILED(KvList_AllocAndInsertItem(cache, nullptr, static_cast<uint32_t>(bytes), at, &inserted)) ||
        inserted < 0) {
        return kEmptyText;
    }
    auto* record = KvList_Item<CachedString>(cache, inserted);
    record->id = id;
    wmemcpy(record->text, text, static_cast<size_t>(length) + 1);
    return record->text;
}

wchar_t* KvGetTempStringBuffer(tKVLANG* instance, int characters) {
    if (!instance || !instance->ring) return nullptr;
    if (characters <= 0) characters = instance->ringReserve;
    if (characters > instance->ringCapacity) return nullptr; // a slice never spans the wrap
    InstanceLock hold(instance);
    if (instance->ringPosition + characters > instance->ringCapacity) instance->ringPosition = 0;
    wchar_t* slice = instance->ring + instance->ringPosition;
    instance->ringPosition += characters;
    slice[0] = L'\0';
    return slice;
}
