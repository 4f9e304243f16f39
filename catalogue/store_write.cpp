// Writes and deletes presets and chains: registry values, and data files for data of 256 bytes or more.
#include "store_write.h"
#include <cwchar>
#include <string>
#include <vector>
#include "kvresult.h"
#include "store_file_refs.h"
#include "store_files.h"
#include "store_entry.h"
#include "store_names.h"
#include "store_session.h"

namespace {

constexpr uint32_t kInlineLimit = 256; // data this size or larger go to a data file

LONG SetPathValue(HKEY key, const wchar_t* valueName, const std::wstring& path) {
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

// The folder that the data files of one plug-in or chain go to: "<DefLocation>\<folderName>".
LONG DataFolder(StoreWriteSession& session, StoreArea area, const wchar_t* folderName, std::wstring* folder) {
    LONG status = session.DefLocation(area, folder);
    if (status != ERROR_SUCCESS) return status;
    if (folder->empty() || folder->back() != L'\\') *folder += L'\\';
    *folder += MakeDataFileName(folderName); // a key name may hold what no folder name can
    return ERROR_SUCCESS;
}

// Writes data into "<DefLocation>\<folderName>\<itemName><extension>" (or a numbered name no other value of the
// open item key points at) and points valueName at it; path receives the file written.
HRESULT WriteThroughDataFile(StoreWriteSession& session, StoreArea area, HKEY valueKey, const wchar_t* valueName,
                             const wchar_t* folderName, const wchar_t* itemName, const wchar_t* extension,
                             const uint8_t* data, uint32_t size, std::wstring* path) {
    std::wstring folder;
    LONG status = DataFolder(session, area, folderName, &folder);
    if (status != ERROR_SUCCESS) return status;
    DataFileRefs* refs = nullptr;
    status = session.ItemRefs(&refs);
    if (status != ERROR_SUCCESS) return status;
    *path = refs->ChoosePath(valueName, folder, itemName, extension);
    // Data that replace a value's data are on disk before the value changes. A new value's new file can wait for
    // the system's own write-back: no data of the store depend on it (see StoreWriteSession::NoteUnflushedFile).
    const bool newValue = RegQueryValueExW(valueKey, valueName, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_FILE_NOT_FOUND;
    bool flushed = true;
    HRESULT hr = WriteDataFileInFolder(folder, *path, data, size,
                                       newValue ? KV_COMMIT_FLUSH_REPLACING : KV_COMMIT_FLUSH, &flushed);
    if (hr < 0) return hr;
    if (!flushed) session.NoteUnflushedFile(*path);
    status = SetPathValue(valueKey, valueName, *path);
    if (status == ERROR_SUCCESS) session.NoteItemFile(valueName, *path);
    return status;
}

// Sets valueName of the open item key to data: inline below the size limit, else through a data file (path
// receives it; empty for inline data).
HRESULT WriteItemData(StoreWriteSession& session, StoreArea area, HKEY key, const wchar_t* valueName,
                      const wchar_t* folderName, const wchar_t* itemName, const wchar_t* extension,
                      const uint8_t* data, uint32_t size, std::wstring* path) {
    path->clear();
    if (size >= kInlineLimit)
        return WriteThroughDataFile(session, area, key, valueName, folderName, itemName, extension, data, size, path);
    LONG status = RegSetValueExW(key, valueName, 0, REG_BINARY, data, size);
    if (status == ERROR_SUCCESS) session.NoteItemInline(valueName);
    return status;
}

// The data file a REG_SZ value names; empty for other types, which have none.
std::wstring ValueFile(HKEY key, const wchar_t* valueName, DWORD type, DWORD bytes) {
    if (type != REG_SZ) return std::wstring();
    std::vector<wchar_t> path(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD read = bytes;
    if (RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(path.data()), &read) !=
        ERROR_SUCCESS)
        return std::wstring();
    return path.data();
}

// The file valueName of the open item key points at now; empty for inline data or no value.
LONG ReferencedFile(StoreWriteSession& session, const wchar_t* valueName, std::wstring* path) {
    DataFileRefs* refs = nullptr;
    LONG status = session.ItemRefs(&refs);
    if (status == ERROR_SUCCESS) *path = refs->FileOf(valueName);
    return status;
}

// Called once valueName holds its new data (in newFile, or inline when that is empty): deletes the data file it
// pointed at before, unless the value still points there, another value does, or the file lies outside the item's
// own data folder (a file elsewhere may belong to someone else).
void RemoveReplacedFile(StoreWriteSession& session, StoreArea area, HKEY valueKey, const wchar_t* valueName,
                        const wchar_t* folderName, const std::wstring& oldFile, const std::wstring& newFile) {
    if (oldFile.empty()) return;
    std::wstring folder;
    if (DataFolder(session, area, folderName, &folder) != ERROR_SUCCESS || !IsInFolder(oldFile, folder)) return;
    if (!newFile.empty() && IsSameFile(oldFile, newFile)) return;
    if (IsDataFileShared(valueKey, valueName, oldFile.c_str())) return;
    // The new data are stored already: a file that cannot be deleted only stays as it would have without this.
    DeleteFileW(oldFile.c_str());
}

// Runs one store operation in the caller's session, or in one of its own. A key held open by the session that
// someone else deleted meanwhile is opened afresh once; after any failure the session holds nothing, since what it
// knew may no longer be so.
template <class Operation> HRESULT InSession(StoreWriteSession* shared, Operation operation) {
    if (!shared) {
        StoreWriteSession own;
        return operation(own);
    }
    HRESULT result = operation(*shared);
    if (result == ERROR_KEY_DELETED) {
        shared->Forget();
        result = operation(*shared);
    }
    if (result != S_OK) shared->Forget();
    return result;
}

std::wstring LathmereToolKey(bool versioned, uint32_t major, uint32_t minor, const wchar_t* toolName) {
    std::wstring base = versioned ? LathmereVersionedKey(major, minor) : std::wstring(STORE_LATHMERE_KEY);
    return base + L"\\" + toolName;
}

// Any name the loader can show comes back: it only has to stay one key level below its parent.
bool IsValidClassKey(const wchar_t* text) { return IsWritableKeyName(text, CATALOGUE_ID_CHARS); }
bool IsValidToolName(const wchar_t* name) { return IsWritableKeyName(name, CATALOGUE_NAME_CHARS); }
bool IsValidChainIdentifier(const wchar_t* id) { return IsWritableKeyName(id, CATALOGUE_ID_CHARS); }

HRESULT WritePreset(StoreWriteSession& session, const PlugInEntry& plugIn, const PresetEntry& preset) {
    HKEY root = nullptr, key = nullptr;
    LONG status = session.OpenArea(STORE_AREA_PRESETS, &root);
    if (status != ERROR_SUCCESS) return status;
    status = session.OpenItem(std::wstring(STORE_PRESETS_KEY) + L"\\" + plugIn.classIdText, true, &key);
    if (status != ERROR_SUCCESS) return status;
    std::wstring oldFile, newFile;
    status = ReferencedFile(session, preset.name, &oldFile);
    if (status != ERROR_SUCCESS) return status;
    HRESULT result = WriteItemData(session, STORE_AREA_PRESETS, key, preset.name, plugIn.classIdText, preset.name,
                                   L".dxp", preset.data, preset.dataSize, &newFile);
    if (result == ERROR_SUCCESS)
        RemoveReplacedFile(session, STORE_AREA_PRESETS, key, preset.name, plugIn.classIdText, oldFile, newFile);
    return result;
}

HRESULT WriteChain(StoreWriteSession& session, const ChainEntry& chain) {
    HKEY root = nullptr, key = nullptr;
    LONG status = session.OpenArea(STORE_AREA_CHAINS, &root);
    if (status != ERROR_SUCCESS) return status;
    status = session.OpenItem(std::wstring(STORE_CHAINS_KEY) + L"\\" + chain.identifier, true, &key);
    if (status != ERROR_SUCCESS) return status;
    DWORD flags = chain.flags, type = chain.type;
    // The loader skips a chain without any of these values, so each one must be stored.
    status = RegSetValueExW(key, L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
    if (status == ERROR_SUCCESS) {
        status = SetPathValue(key, L"Name", chain.name);
        if (status == ERROR_SUCCESS) session.NoteItemFile(L"Name", chain.name); // a text like any path
    }
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key, L"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof(type));
    if (status != ERROR_SUCCESS) return status;
    std::wstring oldFile, newFile;
    status = ReferencedFile(session, L"Stream", &oldFile);
    if (status != ERROR_SUCCESS) return status;
    HRESULT result = WriteItemData(session, STORE_AREA_CHAINS, key, L"Stream", chain.identifier, chain.name, L".kvg",
                                   chain.stream, chain.streamSize, &newFile);
    if (result == ERROR_SUCCESS)
        RemoveReplacedFile(session, STORE_AREA_CHAINS, key, L"Stream", chain.identifier, oldFile, newFile);
    return result;
}

} // namespace

HRESULT WriteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset, StoreWriteSession* session) {
    if (!IsValidClassKey(plugIn.classIdText)) return KV_E_INVALIDARG;
    return InSession(session, [&](StoreWriteSession& s) { return WritePreset(s, plugIn, preset); });
}

HRESULT WriteLathmerePreset(const PlugInEntry& plugIn, const PresetEntry& preset, int useOwnVersion,
                            const LathmereDestination* destination, StoreWriteSession* session) {
    if (!IsValidToolName(plugIn.name)) return KV_E_INVALIDARG;
    std::wstring path;
    if (useOwnVersion == 0 && destination)
        path = LathmereToolKey(destination->majorVersion > 6, destination->majorVersion, destination->minorVersion,
                               plugIn.name);
    else
        path = LathmereToolKey((plugIn.flags & PLUGIN_LATHMERE_VERSIONED) != 0, plugIn.majorVersion,
                               plugIn.minorVersion, plugIn.name);
    return InSession(session, [&](StoreWriteSession& s) -> HRESULT {
        HKEY key = nullptr;
        LONG status = s.OpenItem(path, true, &key);
        if (status != ERROR_SUCCESS) return status;
        // Lathmere reads its presets inline only, whatever their size.
        status = RegSetValueExW(key, preset.name, 0, REG_BINARY, preset.data, preset.dataSize);
        if (status == ERROR_SUCCESS) s.NoteItemInline(preset.name);
        return status;
    });
}

HRESULT DeleteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset, StoreWriteSession* session) {
    const bool tool = (plugIn.flags & PLUGIN_LATHMERE_TOOL) != 0;
    if (tool ? !IsValidToolName(plugIn.name) : !IsValidClassKey(plugIn.classIdText)) return KV_E_INVALIDARG;
    const std::wstring path = PresetKeyPath(plugIn);
    return InSession(session, [&](StoreWriteSession& s) -> HRESULT {
        HKEY key = nullptr;
        LONG status = s.OpenItem(path, false, &key);
        if (status != ERROR_SUCCESS) return status;
        DWORD type = 0, bytes = 0;
        status = RegQueryValueExW(key, preset.name, nullptr, &type, nullptr, &bytes);
        if (status != ERROR_SUCCESS) return status;
        HRESULT hr = s.FlushWrittenFiles();
        if (hr < 0) return hr;
        // The entry goes first: a refused delete must not leave it pointing at a file that is gone.
        const std::wstring file = ValueFile(key, preset.name, type, bytes);
        status = RegDeleteValueW(key, preset.name);
        if (status != ERROR_SUCCESS) return status;
        s.NoteItemInline(preset.name);
        RemoveUnreferencedFile(key, file, OwnDataFolder(&plugIn, nullptr));
        return status;
    });
}

HRESULT WriteStoreChain(const ChainEntry& chain, StoreWriteSession* session) {
    if (!IsValidChainIdentifier(chain.identifier)) return KV_E_INVALIDARG;
    return InSession(session, [&](StoreWriteSession& s) { return WriteChain(s, chain); });
}

HRESULT DeleteStoreChain(const ChainEntry& chain, StoreWriteSession* session) {
    if (!IsValidChainIdentifier(chain.identifier)) return KV_E_INVALIDARG;
    const std::wstring path = ChainKeyPath(chain.identifier);
    return InSession(session, [&](StoreWriteSession& s) -> HRESULT {
        HKEY key = nullptr;
        LONG status = s.OpenItem(path, false, &key);
        if (status != ERROR_SUCCESS) return status;
        DWORD type = 0, bytes = 0;
        status = RegQueryValueExW(key, L"Stream", nullptr, &type, nullptr, &bytes);
        if (status != ERROR_SUCCESS) return status;
        HRESULT hr = s.FlushWrittenFiles();
        if (hr < 0) return hr;
        const std::wstring file = ValueFile(key, L"Stream", type, bytes);
        s.CloseItem(path);
        status = RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        if (status == ERROR_SUCCESS) RemoveUnreferencedFile(nullptr, file, OwnDataFolder(nullptr, chain.identifier));
        return status;
    });
}
