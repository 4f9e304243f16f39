// Renames in the system store: write under the new name first, remove the old entry only after that succeeded.
#include "store_rename.h"
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>
#include "kvresult.h"
#include "store_entry.h"
#include "store_handles.h"
#include "store_names.h"
#include "store_session.h"
#include "store_write.h"

namespace {

HRESULT WritePresetToOwnStore(const PlugInEntry& plugIn, const PresetEntry& preset, StoreWriteSession* session) {
    if (plugIn.flags & PLUGIN_LATHMERE_TOOL) return WriteLathmerePreset(plugIn, preset, 1, nullptr, session);
    return WriteStorePreset(plugIn, preset, session);
}

std::wstring ChainKeyPath(const ChainEntry& chain) { return std::wstring(STORE_CHAINS_KEY) + L"\\" + chain.identifier; }

// The data file the chain's "Stream" points at; empty when the stream is inline or absent.
std::wstring StreamFile(const ChainEntry& chain) {
    KvRegKey key;
    if (OpenKey(&key, HKEY_CURRENT_USER, ChainKeyPath(chain).c_str(), KEY_READ) != ERROR_SUCCESS) return {};
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key.get(), L"Stream", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::vector<wchar_t> path(bytes / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.get(), L"Stream", nullptr, nullptr, reinterpret_cast<BYTE*>(path.data()), &bytes) !=
        ERROR_SUCCESS)
        return {};
    return path.data();
}

// The store still holds the preset as the side shows it. A rename writes what the side shows under the new name and
// removes the old entry: over an entry another program has changed since, that would lose its bytes.
bool StoreHoldsAsShown(const PlugInEntry& plugIn, const PresetEntry& preset) {
    StoredEntry stored;
    std::vector<uint8_t> data;
    return ReadStoredPreset(plugIn, preset.name, &stored) == S_OK && StoredPresetData(stored, &data) &&
           data.size() == preset.dataSize && std::equal(data.begin(), data.end(), preset.data);
}

bool StoreHoldsAsShown(const ChainEntry& chain) {
    StoredEntry stored;
    ChainEntry held;
    return ReadStoredChain(chain.identifier, &stored) == S_OK && StoredChain(stored, chain.identifier, &held) &&
           CatalogueNamesEqual(held.name, chain.name) && held.flags == chain.flags && held.type == chain.type &&
           held.streamSize == chain.streamSize && std::equal(held.stream, held.stream + held.streamSize, chain.stream);
}

} // namespace

HRESULT RenameStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset, const wchar_t* newName,
                          StoreWriteSession* session) {
    if (!StoreHoldsAsShown(plugIn, preset)) return KV_E_NOT_FOUND;
    // One session for both steps: the old entry goes only once the new one's data are on disk.
    StoreWriteSession own;
    if (!session) session = &own;
    PresetEntry renamed;
    HRESULT status = renamed.Assign(preset);
    if (status >= 0) status = renamed.name.Set(newName);
    if (status < 0) return status;
    status = WritePresetToOwnStore(plugIn, renamed, session);
    if (status != S_OK) return status;
    status = DeleteStorePreset(plugIn, preset, session);
    if (status == S_OK || status == ERROR_FILE_NOT_FOUND) return S_OK;
    DeleteStorePreset(plugIn, renamed, session); // one entry under the old name, not two
    return status;
}

HRESULT RenameStoreChain(const ChainEntry& chain, const wchar_t* newName, StoreWriteSession* session) {
    if (!StoreHoldsAsShown(chain)) return KV_E_NOT_FOUND;
    StoreWriteSession own;
    if (!session) session = &own;
    std::wstring oldFile = StreamFile(chain);
    ChainEntry renamed;
    renamed.Assign(chain);
    CatalogueCopyText(renamed.name, CATALOGUE_NAME_CHARS, newName);
    HRESULT status = WriteStoreChain(renamed, session);
    if (status != S_OK) {
        // "Stream" still holds the old data; only the name may have changed already. (The failed write has left
        // the session holding nothing, so this write past it leaves nothing stale there.)
        KvRegKey key;
        if (OpenKey(&key, HKEY_CURRENT_USER, ChainKeyPath(chain).c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
            RegSetValueExW(key.get(), L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(chain.name),
                           static_cast<DWORD>((wcslen(chain.name) + 1) * sizeof(wchar_t)));
        return status;
    }
    std::wstring newFile = StreamFile(chain);
    // The old file goes only once the new one is on disk; one that stays is only a file too many.
    if (!oldFile.empty() && CompareStringOrdinal(oldFile.c_str(), -1, newFile.c_str(), -1, TRUE) != CSTR_EQUAL &&
        session->FlushWrittenFiles() >= 0)
        DeleteFileW(oldFile.c_str());
    return S_OK;
}
