// One stored entry exactly as the store holds it, so that an edit can tell whether an entry is still what it left
// there and put back exactly what was there before: a preset's value (any type, with its data file's bytes) or a
// chain's key (every value, with its stream file's bytes).
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "catalogue.h"

struct StoredValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> raw;
};

struct StoredEntry {
    bool present = false;
    std::vector<StoredValue> values; // a preset: its one value; a chain: every value of its key
    std::wstring file;               // the data file the data value names; empty when the data are inline
    bool fileFound = false;          // the file could be read
    std::vector<uint8_t> fileData;
};

// Equal names (ignoring case), types, raw bytes and file contents.
bool SameStoredEntry(const StoredEntry& first, const StoredEntry& second);
// The data the loader would show for the entry; false when it would leave the entry out (not stored, a type it
// skips, empty data, a missing data file).
bool StoredPresetData(const StoredEntry& entry, std::vector<uint8_t>* data);
// The chain the loader would show for a chain key's entry; false when it would leave it out.
bool StoredChain(const StoredEntry& entry, const wchar_t* identifier, ChainEntry* chain);

// The key a preset of plugIn lives in: the plug-in's key, or the tool's key in its own version's store.
std::wstring PresetKeyPath(const PlugInEntry& plugIn);
std::wstring ChainKeyPath(const wchar_t* identifier);
// The folder the data files of a plug-in (chains: false) or chain key go to, as "DefLocation" names it now; empty
// when there is none (Lathmere tools keep their data inline).
std::wstring OwnDataFolder(const PlugInEntry* plugIn, const wchar_t* chainIdentifier);
// Deletes file once nothing points at it any more: only inside folder, and only while no value of key (when one
// is given) other than except names it.
void RemoveUnreferencedFile(HKEY key, const std::wstring& file, const std::wstring& folder,
                            const wchar_t* except = L"");

// Reads the entry; an entry that is not stored reads as not present (0). A registry failure other than "not
// found" is returned and entry is left not present.
HRESULT ReadStoredPreset(const PlugInEntry& plugIn, const wchar_t* name, StoredEntry* entry);
HRESULT ReadStoredChain(const wchar_t* identifier, StoredEntry* entry);
// Makes the store hold target where it holds current now (read just before): values and data file as they were,
// byte for byte; not present deletes the entry. A data file is written back only where no other value points, and
// a file current named that nothing names any more is removed when it lies in the entry's own data folder.
HRESULT RestoreStoredPreset(const PlugInEntry& plugIn, const wchar_t* name, const StoredEntry& target,
                            const StoredEntry& current);
HRESULT RestoreStoredChain(const wchar_t* identifier, const StoredEntry& target, const StoredEntry& current);

// The identifiers of the stored chain keys whose "Name" equals name ignoring case, in enumeration order.
std::vector<std::wstring> StoredChainKeysNamed(const wchar_t* name);
// The "Name" text of the chain key identifier; false when there is no such key or it has no text name.
bool StoredChainName(const wchar_t* identifier, std::wstring* name);
// A fresh chain identifier: a new GUID in registry text form.
std::wstring NewChainIdentifier();
