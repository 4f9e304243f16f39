// Reads the system store: chains, plug-in and Lathmere presets, and the installed Lathmere versions.
#include "store_read.h"
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>
#include <new>
#include <vector>
#include "class_listing.h"
#include "kvresult.h"
#include "store_files.h"
#include "store_handles.h"
#include "store_names.h"

namespace {

// Most presets are small: one query into this buffer yields type, size and data together.
constexpr DWORD kInlineProbeBytes = 4096;
constexpr DWORD kKeyNameChars = 40;       // plug-in, tool and chain key names
constexpr DWORD kAnyKeyNameChars = 256;   // any registry key name
constexpr DWORD kChainNameBytes = 520;

bool EnumContinues(LONG status) { return status == ERROR_SUCCESS || status == ERROR_MORE_DATA; }

HRESULT AllocCopy(const uint8_t* source, DWORD size, uint8_t** data, uint32_t* dataSize) {
    uint8_t* blob = CatalogueBlobAllocToFill(size);
    if (!blob) return KV_E_OUTOFMEMORY;
    memcpy(blob, source, size);
    *data = blob;
    *dataSize = size;
    return S_OK;
}

bool QueryDword(HKEY key, const wchar_t* name, uint32_t* value) {
    DWORD type = 0, size = sizeof(DWORD), data = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD) return false;
    *value = data;
    return true;
}

// Asks for a value too large for the probe again by name. Another program may rewrite it between the two queries:
// a value that grew is asked for again at its new size, and one that shrank or changed type is taken as it was
// actually read, never with a tail that was not read.
LONG QueryLargeValue(HKEY key, const wchar_t* valueName, DWORD bytes, DWORD* type, std::unique_ptr<BYTE[]>* data,
                     DWORD* read) {
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        data->reset(new (std::nothrow) BYTE[bytes]);
        if (!*data) return ERROR_OUTOFMEMORY;
        *read = bytes;
        LONG status = RegQueryValueExW(key, valueName, nullptr, type, data->get(), read);
        if (status != ERROR_MORE_DATA) return status;
        bytes = *read;
    }
    return ERROR_MORE_DATA;
}

// One value's data as a blob, given its type and what a first query returned: the data themselves, or the content
// of the data file whose path they are. probe holds all bytes when complete; otherwise bytes is their size and they
// are asked for again by name.
HRESULT ValueToBlob(HKEY key, const wchar_t* valueName, DWORD type, const BYTE* probe, DWORD bytes, bool complete,
                    uint8_t** data, uint32_t* size, StoreFileStamps* stamps) {
    if (!complete) {
        std::unique_ptr<BYTE[]> whole;
        DWORD read = 0;
        LONG status = QueryLargeValue(key, valueName, bytes, &type, &whole, &read);
        if (status != ERROR_SUCCESS) return status;
        return ValueToBlob(key, valueName, type, whole.get(), read, true, data, size, stamps);
    }
    if (type == REG_BINARY) {
        if (bytes == 0) return KV_E_OUTOFMEMORY; // empty data are never loaded
        return AllocCopy(probe, bytes, data, size);
    }
    if (type == REG_SZ) {
        std::vector<wchar_t> path(bytes / sizeof(wchar_t) + 2, L'\0');
        memcpy(path.data(), probe, bytes);
        return ReadDataFile(path.data(), data, size, stamps);
    }
    return ERROR_INVALID_DATA;
}

// Appends every loadable preset of an open plug-in or tool key; skipUntitled for DirectShow plug-ins. Each value
// comes with its data in one enumeration call, which halves the registry round trips of a load; only data too
// large for the probe buffer are asked for again by name.
void LoadPresetValues(HKEY key, DWORD longestName, bool skipUntitled, PlugInEntry* entry, StoreFileStamps* stamps) {
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> probe(kInlineProbeBytes);
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = static_cast<DWORD>(name.size()), type = 0, bytes = static_cast<DWORD>(probe.size());
        LONG status = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, probe.data(), &bytes);
        if (!EnumContinues(status)) break;
        bool complete = status == ERROR_SUCCESS;
        if (!complete) {
            // The name or the data did not fit: a name that fits when asked for alone means the data were too large.
            nameChars = static_cast<DWORD>(name.size());
            if (RegEnumValueW(key, index, name.data(), &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                continue;
        }
        if (CatalogueNamesEqual(name.data(), L"(Default)")) continue;
        if (skipUntitled && CatalogueNamesEqual(name.data(), L"(Untitled)")) continue;
        PresetEntry* preset = PresetEntry::Create(name.data());
        if (!preset) continue;
        HRESULT hr = complete ? ValueToBlob(key, name.data(), type, probe.data(), bytes, true, &preset->data,
                                            &preset->dataSize, stamps)
                              : ReadValueData(key, name.data(), &preset->data, &preset->dataSize, stamps);
        if (hr != S_OK) {
            delete preset;
            continue;
        }
        entry->AppendPreset(preset);
    }
}

// Opens a plug-in or tool key and tells its value count and longest value name.
bool OpenWithValues(HKEY parent, const wchar_t* name, KvRegKey* key, DWORD* longestName) {
    if (OpenKey(key, parent, name, KEY_READ) != ERROR_SUCCESS) return false;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key->get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, longestName,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return values > 0;
}

LONG QueryFriendlyName(HKEY key, wchar_t* buffer, DWORD capacityBytes) {
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_SZ) return ERROR_INVALID_DATA;
    if (size > capacityBytes) return ERROR_MORE_DATA;
    memset(buffer, 0, capacityBytes);
    size = capacityBytes;
    status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    buffer[capacityBytes / sizeof(wchar_t) - 1] = 0;
    return status;
}

bool IsNotFound(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

void ScanDirectShowPlugIns(PlugInList* list, StoreFileStamps* stamps) {
    KvRegKey root;
    if (OpenKey(&root, HKEY_CURRENT_USER, STORE_PRESETS_KEY, KEY_READ) != ERROR_SUCCESS) return;
    unsigned notInstalled = 0;
    DWORD plugInKeys = 0;
    RegQueryInfoKeyW(root.get(), nullptr, nullptr, nullptr, &plugInKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr); // only a guide: none on failure
    PlugInClassNames registrations(plugInKeys);
    wchar_t keyName[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        LONG status = RegEnumKeyExW(root.get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (!EnumContinues(status)) break;
        if (status != ERROR_SUCCESS || CatalogueNamesEqual(keyName, STORE_CHAINS_SUBKEY)) continue;
        KvRegKey plugInKey;
        DWORD longestName = 0;
        if (!OpenWithValues(root.get(), keyName, &plugInKey, &longestName)) continue;
        wchar_t friendly[CATALOGUE_NAME_CHARS] = {};
        bool registered = registrations.FriendlyName(keyName, friendly, sizeof(friendly)) == ERROR_SUCCESS;
        if (!registered) swprintf(friendly, CATALOGUE_NAME_CHARS, STORE_NOT_INSTALLED_FORMAT, notInstalled);
        PlugInEntry* entry = PlugInEntry::Create(friendly, keyName);
        if (!entry) continue;
        LoadPresetValues(plugInKey.get(), longestName, true, entry, stamps);
        if (entry->PresetCount() == 0) {
            delete entry;
            continue;
        }
        if (!registered) ++notInstalled;
        list->Append(entry);
    }
}

void ScanLathmereTools(HKEY presetsKey, uint32_t flags, uint32_t major, uint32_t minor, PlugInList* list,
                       StoreFileStamps* stamps) {
    wchar_t keyName[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        LONG status = RegEnumKeyExW(presetsKey, index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (!EnumContinues(status)) break;
        if (status != ERROR_SUCCESS) continue;
        if (CatalogueNamesEqual(keyName, L"(Untitled)") || CatalogueNamesEqual(keyName, L"Chainer")) continue;
        KvRegKey toolKey;
        DWORD longestName = 0;
        if (!OpenWithValues(presetsKey, keyName, &toolKey, &longestName)) continue;
        PlugInEntry* entry = PlugInEntry::Create(keyName, nullptr);
        if (!entry) continue;
        entry->flags = flags;
        entry->majorVersion = major;
        entry->minorVersion = minor;
        LoadPresetValues(toolKey.get(), longestName, false, entry, stamps);
        if (entry->PresetCount() == 0) delete entry;
        else list->Append(entry);
    }
}

// Calls visit(versionsKey, major, minor) for each version key of the versioned stores, in enumeration order, while
// it returns S_OK; any other result ends the walk and is returned.
template <class Visit> HRESULT ForEachLathmereVersion(Visit visit) {
    KvRegKey versions;
    if (OpenKey(&versions, HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY, KEY_READ) != ERROR_SUCCESS) return S_OK;
    wchar_t keyName[kAnyKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kAnyKeyNameChars;
        LONG status = RegEnumKeyExW(versions.get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (!EnumContinues(status)) break;
        if (status != ERROR_SUCCESS) continue;
        unsigned major = 0, minor = 0;
        if (!ParseVersionKeyName(keyName, &major, &minor)) continue;
        HRESULT hr = visit(versions.get(), major, minor);
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

void ScanVersionedLathmere(PlugInList* list, StoreFileStamps* stamps) {
    ForEachLathmereVersion([list, stamps](HKEY versions, unsigned major, unsigned minor) -> HRESULT {
        // The key is found again through the parsed numbers; a version without presets ends the scan.
        std::wstring presetsPath = std::to_wstring(major) + L"." + std::to_wstring(minor) + L"\\Presets";
        KvRegKey presets;
        if (OpenKey(&presets, versions, presetsPath.c_str(), KEY_READ) != ERROR_SUCCESS) return S_FALSE;
        ScanLathmereTools(presets.get(), PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, major, minor, list,
                          stamps);
        return S_OK;
    });
}

} // namespace

HRESULT ReadValueData(HKEY key, const wchar_t* valueName, uint8_t** data, uint32_t* size, StoreFileStamps* stamps) {
    BYTE probe[kInlineProbeBytes];
    DWORD type = 0, bytes = sizeof(probe);
    LONG status = RegQueryValueExW(key, valueName, nullptr, &type, probe, &bytes);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return status;
    return ValueToBlob(key, valueName, type, probe, bytes, status == ERROR_SUCCESS, data, size, stamps);
}

LONG GetPlugInFriendlyName(const wchar_t* classIdText, wchar_t* buffer, DWORD capacityBytes) {
    if (capacityBytes < 40 || !buffer || !classIdText) return ERROR_MORE_DATA;
    std::wstring keyPath = std::wstring(L"CLSID\\") + classIdText;
    LONG status = ERROR_FILE_NOT_FOUND;
    for (REGSAM view : {REGSAM(0), kOtherView}) {
        KvRegKey key;
        status = OpenKey(&key, HKEY_CLASSES_ROOT, keyPath.c_str(), KEY_READ | view);
        if (status == ERROR_SUCCESS) return QueryFriendlyName(key.get(), buffer, capacityBytes);
        if (!IsNotFound(status)) return status;
    }
    return status;
}

namespace {

constexpr size_t kListClassesFrom = 256; // look-ups; fewer cost less than listing a computer's classes

} // namespace

PlugInClassNames::PlugInClassNames(size_t lookups) {
    // A listing still up to date serves any number of look-ups: asking whether it is costs one call.
    registered_ = RegisteredClasses(lookups >= kListClassesFrom);
}

bool PlugInClassNames::MayBeRegistered(const wchar_t* classIdText) const {
    // Names that share a hash with a registered one are looked up in the registry, which tells them apart.
    uint64_t hash = 0;
    return !registered_ || !classIdText || !FoldedNameHash(classIdText, &hash) ||
           std::binary_search(registered_->begin(), registered_->end(), hash);
}

LONG PlugInClassNames::FriendlyName(const wchar_t* classIdText, wchar_t* buffer, DWORD capacityBytes) const {
    if (capacityBytes < 40 || !buffer || !classIdText) return ERROR_MORE_DATA;
    if (!MayBeRegistered(classIdText)) return ERROR_FILE_NOT_FOUND;
    // Opened at the first class that may be registered: with a listing, most look-ups need no key at all.
    if (!opened_) {
        OpenKey(&views_[0], HKEY_CLASSES_ROOT, L"CLSID", KEY_READ);
        OpenKey(&views_[1], HKEY_CLASSES_ROOT, L"CLSID", KEY_READ | kOtherView);
        opened_ = true;
    }
    if (!views_[0].get() || !views_[1].get()) return GetPlugInFriendlyName(classIdText, buffer, capacityBytes);
    LONG status = ERROR_FILE_NOT_FOUND;
    for (const KvRegKey& view : views_) {
        KvRegKey key;
        status = OpenKey(&key, view.get(), classIdText, KEY_READ);
        if (status == ERROR_SUCCESS) return QueryFriendlyName(key.get(), buffer, capacityBytes);
        if (!IsNotFound(status)) return status;
    }
    return status;
}

HRESULT LoadStoreChains(ChainList** chainList, StoreFileStamps* stamps) {
    *chainList = nullptr;
    KvRegKey root;
    LONG status = OpenKey(&root, HKEY_CURRENT_USER, STORE_CHAINS_KEY, KEY_READ);
    if (status != ERROR_SUCCESS) return status;
    ChainList* list = new (std::nothrow) ChainList();
    if (!list) return KV_E_OUTOFMEMORY;
    wchar_t keyName[kKeyNameChars];
    for (DWORD index = 0;; ++index) {
        DWORD chars = kKeyNameChars;
        status = RegEnumKeyExW(root.get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (!EnumContinues(status)) break;
        if (status != ERROR_SUCCESS) continue;
        KvRegKey chainKey;
        if (OpenKey(&chainKey, root.get(), keyName, KEY_READ) != ERROR_SUCCESS) continue;
        uint32_t flags = 0, type = 0;
        if (!QueryDword(chainKey.get(), L"Flags", &flags) || !QueryDword(chainKey.get(), L"Type", &type)) continue;
        wchar_t name[kChainNameBytes / sizeof(wchar_t) + 1] = {};
        DWORD valueType = 0, bytes = kChainNameBytes;
        if (RegQueryValueExW(chainKey.get(), L"Name", nullptr, &valueType, reinterpret_cast<BYTE*>(name), &bytes) !=
                ERROR_SUCCESS ||
            valueType != REG_SZ)
            continue;
        if (RegQueryValueExW(chainKey.get(), L"Stream", nullptr, &valueType, nullptr, &bytes) != ERROR_SUCCESS)
            continue;
        ChainEntry* chain = new (std::nothrow) ChainEntry();
        if (!chain) continue;
        chain->flags = flags;
        chain->type = type;
        CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, keyName);
        CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name);
        if (ReadValueData(chainKey.get(), L"Stream", &chain->stream, &chain->streamSize, stamps) != S_OK) {
            delete chain;
            continue;
        }
        list->Append(chain);
    }
    if (list->Count() == 0) {
        delete list;
        return S_OK;
    }
    *chainList = list;
    return S_OK;
}

HRESULT LoadStorePresets(PlugInList** plugInList, StoreFileStamps* stamps) {
    *plugInList = nullptr;
    PlugInList* list = new (std::nothrow) PlugInList();
    if (!list) return KV_E_OUTOFMEMORY;
    ScanDirectShowPlugIns(list, stamps);
    KvRegKey lathmere;
    if (OpenKey(&lathmere, HKEY_CURRENT_USER, STORE_LATHMERE_KEY, KEY_READ) == ERROR_SUCCESS)
        ScanLathmereTools(lathmere.get(), PLUGIN_LATHMERE_TOOL, 6, 0, list, stamps);
    ScanVersionedLathmere(list, stamps);
    if (list->Count() == 0) {
        delete list;
        return S_OK;
    }
    *plugInList = list;
    return S_OK;
}

HRESULT LoadLathmereDestinations(tKVLIST* destinations) {
    if (!destinations) return KV_E_INVALIDARG;
    KvList_DeleteList(destinations, 0, -1, FALSE);
    KvRegKey unversioned;
    if (OpenKey(&unversioned, HKEY_CURRENT_USER, STORE_LATHMERE_KEY, KEY_READ) == ERROR_SUCCESS) {
        LathmereDestination six{6, 0};
        HRESULT hr = KvList_AllocAndInsertItem(destinations, &six, sizeof(six), -1, nullptr);
        if (hr < 0) return hr;
    }
    return ForEachLathmereVersion([destinations](HKEY, unsigned major, unsigned minor) -> HRESULT {
        LathmereDestination version{};
        version.majorVersion = major;
        version.minorVersion = minor;
        return KvList_AllocAndInsertItem(destinations, &version, sizeof(version), -1, nullptr);
    });
}
