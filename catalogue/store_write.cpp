// Writes and deletes presets and chains: registry values, and data files for data of 256 bytes or more.
#include "store_write.h"
#include <cwchar>
#include <string>
#include <vector>
#include "kvresult.h"
#include "store_file_refs.h"
#include "store_files.h"
#include "store_handles.h"
#include "store_names.h"

namespace {

constexpr uint32_t kInlineLimit = 256;      // data this size or larger go to a data file
constexpr DWORD kDefLocationBytes = 520;

LONG EnsureDefLocation(HKEY key, const wchar_t* defaultTail) {
    if (RegQueryValueExW(key, STORE_DEF_LOCATION, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    std::wstring folder = ProgramFolder() + defaultTail;
    return RegSetValueExW(key, STORE_DEF_LOCATION, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                          static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

LONG ReadDefLocation(HKEY key, std::wstring* folder) {
    wchar_t text[kDefLocationBytes / sizeof(wchar_t) + 1] = {};
    DWORD bytes = kDefLocationBytes;
    LONG status = RegQueryValueExW(key, STORE_DEF_LOCATION, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes);
    if (status != ERROR_SUCCESS) return status;
    folder->assign(text);
    return ERROR_SUCCESS;
}

LONG SetPathValue(HKEY key, const wchar_t* valueName, const std::wstring& path) {
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

// The folder that the data files of one plug-in or chain go to: "<DefLocation>\<folderName>".
LONG DataFolder(HKEY rootKey, const wchar_t* folderName, std::wstring* folder) {
    LONG status = ReadDefLocation(rootKey, folder);
    if (status != ERROR_SUCCESS) return status;
    if (folder->empty() || folder->back() != L'\\') *folder += L'\\';
    *folder += folderName;
    return ERROR_SUCCESS;
}

// Writes data into "<DefLocation>\<folderName>\<itemName><extension>" and points valueName at it.
HRESULT WriteThroughDataFile(HKEY rootKey, HKEY valueKey, const wchar_t* valueName, const wchar_t* folderName,
                             const wchar_t* itemName, const wchar_t* extension, const uint8_t* data, uint32_t size) {
    std::wstring folder;
    LONG status = DataFolder(rootKey, folderName, &folder);
    if (status != ERROR_SUCCESS) return status;
    HRESULT hr = CreateFolderLevels(folder);
    if (hr < 0) return hr;
    std::wstring path = ChooseDataFilePath(valueKey, valueName, folder, itemName, extension);
    hr = WriteDataFileReplacing(path, data, size);
    if (hr < 0) return hr;
    return SetPathValue(valueKey, valueName, path);
}

// Deletes the data file a REG_SZ value points to; other types have none.
void DeleteReferencedFile(HKEY key, const wchar_t* valueName, DWORD type, DWORD bytes) {
    if (type != REG_SZ) return;
    std::vector<wchar_t> path(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD read = bytes;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(path.data()), &read) ==
            ERROR_SUCCESS &&
        path[0] && !IsDataFileShared(key, valueName, path.data())) // another name's data stays
        DeleteFileW(path.data());
}

// The file a REG_SZ value points at; empty for an inline value or none.
std::wstring ReferencedFile(HKEY key, const wchar_t* valueName) {
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    std::vector<wchar_t> path(bytes / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(path.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::wstring();
    return path.data();
}

// Called once valueName holds its new data: deletes the data file it pointed at before, unless the value still
// points there, another value does, or the file lies outside the item's own data folder (a file elsewhere may
// belong to someone else).
void RemoveReplacedFile(HKEY rootKey, HKEY valueKey, const wchar_t* valueName, const wchar_t* folderName,
                        const std::wstring& oldFile) {
    if (oldFile.empty()) return;
    std::wstring folder;
    if (DataFolder(rootKey, folderName, &folder) != ERROR_SUCCESS || !IsInFolder(oldFile, folder)) return;
    std::wstring newFile = ReferencedFile(valueKey, valueName);
    if (!newFile.empty() && IsSameFile(oldFile, newFile)) return;
    if (IsDataFileShared(valueKey, valueName, oldFile.c_str())) return;
    // The new data are stored already: a file that cannot be deleted only stays as it would have without this.
    DeleteFileW(oldFile.c_str());
}

std::wstring LathmereToolKey(bool versioned, uint32_t major, uint32_t minor, const wchar_t* toolName) {
    std::wstring base = versioned ? LathmereVersionedKey(major, minor) : std::wstring(STORE_LATHMERE_KEY);
    return base + L"\\" + toolName;
}

bool IsValidToolName(const wchar_t* name) { return IsValidStoreKeyName(name, CATALOGUE_NAME_CHARS); }
bool IsValidChainIdentifier(const wchar_t* id) { return IsValidStoreKeyName(id, CATALOGUE_ID_CHARS); }
// A delete addresses an entry that is already stored, under whatever name the loader found: the name only has to
// stay one key level below its parent.
bool IsStoredKeyName(const wchar_t* name) { return name && *name && !wcschr(name, L'\\'); }

} // namespace

HRESULT WriteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset) {
    if (!IsValidClassIdText(plugIn.classIdText)) return KV_E_INVALIDARG;
    KvRegKey root;
    LONG status = CreateKey(&root, HKEY_CURRENT_USER, STORE_PRESETS_KEY);
    if (status != ERROR_SUCCESS) return status;
    status = EnsureDefLocation(root.get(), L"Presets");
    if (status != ERROR_SUCCESS) return status;
    KvRegKey plugInKey;
    status = CreateKey(&plugInKey, root.get(), plugIn.classIdText);
    if (status != ERROR_SUCCESS) return status;
    std::wstring oldFile = ReferencedFile(plugInKey.get(), preset.name);
    HRESULT result =
        preset.dataSize < kInlineLimit
            ? RegSetValueExW(plugInKey.get(), preset.name, 0, REG_BINARY, preset.data, preset.dataSize)
            : WriteThroughDataFile(root.get(), plugInKey.get(), preset.name, plugIn.classIdText, preset.name, L".dxp",
                                   preset.data, preset.dataSize);
    if (result == ERROR_SUCCESS)
        RemoveReplacedFile(root.get(), plugInKey.get(), preset.name, plugIn.classIdText, oldFile);
    return result;
}

HRESULT WriteLathmerePreset(const PlugInEntry& plugIn, const PresetEntry& preset, int useOwnVersion,
                            const LathmereDestination* destination) {
    if (!IsValidToolName(plugIn.name)) return KV_E_INVALIDARG;
    std::wstring path;
    if (useOwnVersion == 0 && destination)
        path = LathmereToolKey(destination->majorVersion > 6, destination->majorVersion, destination->minorVersion,
                               plugIn.name);
    else
        path = LathmereToolKey((plugIn.flags & PLUGIN_LATHMERE_VERSIONED) != 0, plugIn.majorVersion,
                               plugIn.minorVersion, plugIn.name);
    KvRegKey key;
    LONG status = CreateKey(&key, HKEY_CURRENT_USER, path.c_str());
    if (status != ERROR_SUCCESS) return status;
    // Lathmere reads its presets inline only, whatever their size.
    return RegSetValueExW(key.get(), preset.name, 0, REG_BINARY, preset.data, preset.dataSize);
}

HRESULT DeleteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset) {
    std::wstring path;
    if (plugIn.flags & PLUGIN_LATHMERE_TOOL) {
        if (!IsStoredKeyName(plugIn.name)) return KV_E_INVALIDARG;
        path = LathmereToolKey((plugIn.flags & PLUGIN_LATHMERE_VERSIONED) != 0, plugIn.majorVersion,
                               plugIn.minorVersion, plugIn.name);
    } else {
        if (!IsStoredKeyName(plugIn.classIdText)) return KV_E_INVALIDARG;
        path = std::wstring(STORE_PRESETS_KEY) + L"\\" + plugIn.classIdText;
    }
    KvRegKey key;
    LONG status = OpenKey(&key, HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS) return status;
    DWORD type = 0, bytes = 0;
    status = RegQueryValueExW(key.get(), preset.name, nullptr, &type, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return status;
    DeleteReferencedFile(key.get(), preset.name, type, bytes);
    return RegDeleteValueW(key.get(), preset.name);
}

HRESULT WriteStoreChain(const ChainEntry& chain) {
    if (!IsValidChainIdentifier(chain.identifier)) return KV_E_INVALIDARG;
    KvRegKey root;
    LONG status = CreateKey(&root, HKEY_CURRENT_USER, STORE_CHAINS_KEY);
    if (status != ERROR_SUCCESS) return status;
    status = EnsureDefLocation(root.get(), L"Presets\\FX Packages");
    if (status != ERROR_SUCCESS) return status;
    KvRegKey chainKey;
    status = CreateKey(&chainKey, root.get(), chain.identifier);
    if (status != ERROR_SUCCESS) return status;
    DWORD flags = chain.flags, type = chain.type;
    // The loader skips a chain without any of these values, so each one must be stored.
    status = RegSetValueExW(chainKey.get(), L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                            sizeof(flags));
    if (status == ERROR_SUCCESS) status = SetPathValue(chainKey.get(), L"Name", chain.name);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(chainKey.get(), L"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type),
                                sizeof(type));
    if (status != ERROR_SUCCESS) return status;
    std::wstring oldFile = ReferencedFile(chainKey.get(), L"Stream");
    HRESULT result =
        chain.streamSize < kInlineLimit
            ? RegSetValueExW(chainKey.get(), L"Stream", 0, REG_BINARY, chain.stream, chain.streamSize)
            : WriteThroughDataFile(root.get(), chainKey.get(), L"Stream", chain.identifier, chain.name, L".kvg",
                                   chain.stream, chain.streamSize);
    if (result == ERROR_SUCCESS) RemoveReplacedFile(root.get(), chainKey.get(), L"Stream", chain.identifier, oldFile);
    return result;
}

HRESULT DeleteStoreChain(const ChainEntry& chain) {
    if (!IsStoredKeyName(chain.identifier)) return KV_E_INVALIDARG;
    std::wstring path = std::wstring(STORE_CHAINS_KEY) + L"\\" + chain.identifier;
    KvRegKey key;
    LONG status = OpenKey(&key, HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS) return status;
    DWORD type = 0, bytes = 0;
    status = RegQueryValueExW(key.get(), L"Stream", nullptr, &type, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return status;
    DeleteReferencedFile(key.get(), L"Stream", type, bytes);
    key.reset();
    return RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}
