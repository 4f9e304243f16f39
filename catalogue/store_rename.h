// Renaming a stored preset or chain without a moment in which its data exist nowhere.
#pragma once
#include <windows.h>
#include "catalogue.h"

class StoreWriteSession;

// Stores preset under newName (a Lathmere tool's preset in the tool's own version's store), then deletes the old
// entry; when that delete fails, the new entry is removed again. Results as the store writes return them, and
// KV_E_NOT_FOUND, with nothing written, when the store no longer holds the preset (or chain) as given: another
// program changed or removed it since the side was loaded.
HRESULT RenameStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset, const wchar_t* newName,
                          StoreWriteSession* session = nullptr);
// Rewrites the chain's key with the new name; its old data file goes once the new one is referenced. On failure
// the stored name is put back.
HRESULT RenameStoreChain(const ChainEntry& chain, const wchar_t* newName, StoreWriteSession* session = nullptr);
