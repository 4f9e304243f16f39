// Reading and restoring stored entries raw, for edits that must put back exactly what they found.
#include "store_entry.h"
#include <objbase.h>
#include "kvresult.h"
#include "store_file_refs.h"
#include "store_files.h"
#include "store_handles.h"
#include "store_names.h"

namespace {

bool IsNotFound(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

std::wstring LathmereToolKeyPath(const PlugInEntry& plugIn) {
    std::wstring base = (plugIn.flags & PLUGIN_LATHMERE_VERSIONED)
                            ? LathmereVersionedKey(plugIn.majorVersion, plugIn.minorVersion)
                            : std::wstring(STORE_LATHMERE_KEY);
    return base + L"\\" + plugIn.name.c_str();
}

// One value's type and bytes; a value that grows between the two queries is read again.
LONG ReadValue(HKEY key, const wchar_t* name, StoredValue* value) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE, bytes = 0;
        LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes);
        if (status != ERROR_SUCCESS) return status;
        value->raw.assign(bytes, 0);
        status = RegQueryValueExW(key, name, nullptr, &type, value->raw.data(), &bytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return status;
        value->raw.resize(bytes);
        value->name = name;
        value->type = type;
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

std::wstring PathText(const StoredValue& value) {
    std::wstring text(reinterpret_cast<const wchar_t*>(value.raw.data()), value.raw.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// The file a REG_SZ data value names, with its bytes when it can be read.
void ReadEntryFile(const StoredValue& value, StoredEntry* entry) {
    if (value.type != REG_SZ) return;
    entry->file = PathText(value);
    uint8_t* data = nullptr;
    uint32_t size = 0;
    HRESULT hr = entry->file.empty() ? KV_E_DATA_FILE_MISSING : ReadDataFile(entry->file.c_str(), &data, &size);
    entry->fileFound = hr == S_OK;
    if (entry->fileFound) entry->fileData.assign(data, data + size);
    CatalogueBlobFree(data);
}

const StoredValue* FindValue(const StoredEntry& entry, const wchar_t* name) {
    for (const StoredValue& value : entry.values)
        if (CatalogueNamesEqual(value.name.c_str(), name)) return &value;
    return nullptr;
}

bool QueryDword(const StoredEntry& entry, const wchar_t* name, uint32_t* number) {
    const StoredValue* value = FindValue(entry, name);
    if (!value || value->type != REG_DWORD || value->raw.size() != sizeof(uint32_t)) return false;
    memcpy(number, value->raw.data(), sizeof(uint32_t));
    return true;
}

// Puts the entry's data file back where it was, unless another value of key names that file now.
LONG RestoreFile(HKEY key, const wchar_t* valueName, const StoredEntry& target) {
    if (target.file.empty() || !target.fileFound) return ERROR_SUCCESS;
    if (IsDataFileShared(key, valueName, target.file.c_str())) return ERROR_SHARING_VIOLATION;
    uint8_t* current = nullptr;
    uint32_t size = 0;
    bool same = ReadDataFile(target.file.c_str(), &current, &size) == S_OK && size == target.fileData.size() &&
                memcmp(current, target.fileData.data(), size) == 0;
    CatalogueBlobFree(current);
    if (same) return ERROR_SUCCESS;
    std::wstring folder = target.file.substr(0, target.file.find_last_of(L'\\'));
    HRESULT hr = CreateFolderLevels(folder);
    if (hr >= 0)
        hr = WriteDataFileReplacing(target.file, target.fileData.data(), static_cast<uint32_t>(target.fileData.size()));
    return hr < 0 ? hr : ERROR_SUCCESS;
}

// The file current named that target does not keep (or that did not exist before): removed once unreferenced.
void DropCurrentFile(HKEY key, const StoredEntry& target, const StoredEntry& current, const std::wstring& folder,
                     const wchar_t* valueName) {
    if (current.file.empty()) return;
    const bool samePath = !target.file.empty() && IsSameFile(target.file, current.file);
    if (samePath && target.fileFound) return;
    // The value points at this path again, but there was no file there before: it goes as it came.
    RemoveUnreferencedFile(key, current.file, folder, samePath ? valueName : L"");
}

} // namespace

bool SameStoredEntry(const StoredEntry& first, const StoredEntry& second) {
    if (first.present != second.present) return false;
    if (!first.present) return true;
    if (first.values.size() != second.values.size()) return false;
    for (const StoredValue& value : first.values) {
        const StoredValue* other = FindValue(second, value.name.c_str());
        if (!other || other->type != value.type || other->raw != value.raw) return false;
    }
    return first.fileFound == second.fileFound && first.fileData == second.fileData;
}

bool StoredPresetData(const StoredEntry& entry, std::vector<uint8_t>* data) {
    if (!entry.present || entry.values.empty()) return false;
    const StoredValue& value = entry.values.front();
    if (value.type == REG_BINARY) *data = value.raw;
    else if (value.type == REG_SZ && entry.fileFound) *data = entry.fileData;
    else return false;
    return !data->empty();
}

bool StoredChain(const StoredEntry& entry, const wchar_t* identifier, ChainEntry* chain) {
    if (!entry.present) return false;
    uint32_t flags = 0, type = 0;
    const StoredValue* name = FindValue(entry, L"Name");
    const StoredValue* stream = FindValue(entry, L"Stream");
    if (!QueryDword(entry, L"Flags", &flags) || !QueryDword(entry, L"Type", &type) || !name ||
        name->type != REG_SZ || !stream)
        return false;
    const std::vector<uint8_t>& data = stream->type == REG_SZ ? entry.fileData : stream->raw;
    if ((stream->type == REG_SZ && !entry.fileFound) || (stream->type != REG_SZ && stream->type != REG_BINARY) ||
        data.empty())
        return false;
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    if (!blob) return false;
    memcpy(blob, data.data(), data.size());
    chain->flags = flags;
    chain->type = type;
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, identifier);
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, PathText(*name).c_str());
    chain->AdoptStream(blob, static_cast<uint32_t>(data.size()));
    return true;
}

std::wstring PresetKeyPath(const PlugInEntry& plugIn) {
    if (plugIn.flags & PLUGIN_LATHMERE_TOOL) return LathmereToolKeyPath(plugIn);
    return std::wstring(STORE_PRESETS_KEY) + L"\\" + plugIn.classIdText;
}

std::wstring ChainKeyPath(const wchar_t* identifier) { return std::wstring(STORE_CHAINS_KEY) + L"\\" + identifier; }

std::wstring OwnDataFolder(const PlugInEntry* plugIn, const wchar_t* chainIdentifier) {
    if (plugIn && (plugIn->flags & PLUGIN_LATHMERE_TOOL)) return std::wstring();
    const wchar_t* area = plugIn ? STORE_PRESETS_KEY : STORE_CHAINS_KEY;
    wchar_t text[MAX_PATH + 1] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, area, STORE_DEF_LOCATION, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, text, &bytes) != ERROR_SUCCESS ||
        !text[0])
        return std::wstring();
    std::wstring folder = text;
    if (folder.back() != L'\\') folder += L'\\';
    return folder + MakeDataFileName(plugIn ? plugIn->classIdText : chainIdentifier);
}

void RemoveUnreferencedFile(HKEY key, const std::wstring& file, const std::wstring& folder, const wchar_t* except) {
    if (file.empty() || folder.empty() || !IsInFolder(file, folder)) return; // a file elsewhere is not ours
    if (key && IsDataFileShared(key, except, file.c_str())) return;
    DeleteFileW(file.c_str());
}

HRESULT ReadStoredPreset(const PlugInEntry& plugIn, const wchar_t* name, StoredEntry* entry) {
    *entry = StoredEntry();
    KvRegKey key;
    LONG status = OpenKey(&key, HKEY_CURRENT_USER, PresetKeyPath(plugIn).c_str(), KEY_READ);
    if (IsNotFound(status)) return S_OK;
    if (status != ERROR_SUCCESS) return status;
    StoredValue value;
    status = ReadValue(key.get(), name, &value);
    if (IsNotFound(status)) return S_OK;
    if (status != ERROR_SUCCESS) return status;
    entry->present = true;
    ReadEntryFile(value, entry);
    entry->values.push_back(std::move(value));
    return S_OK;
}

HRESULT ReadStoredChain(const wchar_t* identifier, StoredEntry* entry) {
    *entry = StoredEntry();
    KvRegKey key;
    LONG status = OpenKey(&key, HKEY_CURRENT_USER, ChainKeyPath(identifier).c_str(), KEY_READ);
    if (IsNotFound(status)) return S_OK;
    if (status != ERROR_SUCCESS) return status;
    entry->present = true;
    wchar_t name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD chars = _countof(name);
        status = RegEnumValueW(key.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        StoredValue value;
        status = ReadValue(key.get(), name, &value);
        if (status != ERROR_SUCCESS) return status;
        if (CatalogueNamesEqual(name, L"Stream")) ReadEntryFile(value, entry);
        entry->values.push_back(std::move(value));
    }
    return S_OK;
}

HRESULT RestoreStoredPreset(const PlugInEntry& plugIn, const wchar_t* name, const StoredEntry& target,
                            const StoredEntry& current) {
    const std::wstring path = PresetKeyPath(plugIn);
    KvRegKey key;
    LONG status = target.present ? CreateKey(&key, HKEY_CURRENT_USER, path.c_str())
                                 : OpenKey(&key, HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS);
    if (!target.present && IsNotFound(status)) return S_OK; // nothing stored, nothing to remove
    if (status != ERROR_SUCCESS) return status;
    if (target.present) {
        const StoredValue& value = target.values.front();
        status = RestoreFile(key.get(), value.name.c_str(), target);
        if (status == ERROR_SUCCESS)
            status = RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.raw.data(),
                                    static_cast<DWORD>(value.raw.size()));
    } else {
        status = RegDeleteValueW(key.get(), name);
        if (IsNotFound(status)) status = ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS) return status;
    DropCurrentFile(key.get(), target, current, OwnDataFolder(&plugIn, nullptr), name);
    return S_OK;
}

HRESULT RestoreStoredChain(const wchar_t* identifier, const StoredEntry& target, const StoredEntry& current) {
    const std::wstring path = ChainKeyPath(identifier);
    const std::wstring folder = OwnDataFolder(nullptr, identifier);
    if (!target.present) {
        LONG status = RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        if (status != ERROR_SUCCESS && !IsNotFound(status)) return status;
        DropCurrentFile(nullptr, target, current, folder, L"Stream");
        return S_OK;
    }
    KvRegKey key;
    LONG status = CreateKey(&key, HKEY_CURRENT_USER, path.c_str());
    if (status != ERROR_SUCCESS) return status;
    status = RestoreFile(key.get(), L"Stream", target);
    if (status != ERROR_SUCCESS) return status;
    for (const StoredValue& value : current.values)
        if (!FindValue(target, value.name.c_str())) RegDeleteValueW(key.get(), value.name.c_str());
    for (const StoredValue& value : target.values) {
        status = RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.raw.data(),
                                static_cast<DWORD>(value.raw.size()));
        if (status != ERROR_SUCCESS) return status;
    }
    DropCurrentFile(key.get(), target, current, folder, L"Stream");
    return S_OK;
}

bool StoredChainName(const wchar_t* identifier, std::wstring* name) {
    StoredEntry entry;
    if (ReadStoredChain(identifier, &entry) != S_OK || !entry.present) return false;
    const StoredValue* value = FindValue(entry, L"Name");
    if (!value || value->type != REG_SZ) return false;
    *name = PathText(*value);
    return true;
}

std::vector<std::wstring> StoredChainKeysNamed(const wchar_t* name) {
    std::vector<std::wstring> found;
    KvRegKey root;
    if (OpenKey(&root, HKEY_CURRENT_USER, STORE_CHAINS_KEY, KEY_READ) != ERROR_SUCCESS) return found;
    wchar_t keyName[256];
    for (DWORD index = 0;; ++index) {
        DWORD chars = _countof(keyName);
        LONG status = RegEnumKeyExW(root.get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;
        wchar_t stored[CATALOGUE_NAME_CHARS + 1] = {};
        DWORD bytes = sizeof(stored) - sizeof(wchar_t);
        if (RegGetValueW(root.get(), keyName, L"Name", RRF_RT_REG_SZ, nullptr, stored, &bytes) == ERROR_SUCCESS &&
            CatalogueNamesEqual(stored, name))
            found.push_back(keyName);
    }
    return found;
}

std::wstring NewChainIdentifier() {
    GUID guid{};
    wchar_t text[CATALOGUE_ID_CHARS] = {};
    if (CoCreateGuid(&guid) != S_OK || StringFromGUID2(guid, text, CATALOGUE_ID_CHARS) == 0) return std::wstring();
    return text;
}
