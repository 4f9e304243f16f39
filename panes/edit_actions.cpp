// The six actions of the edit history. The first Do runs the side operation; Undo and Redo then only put back
// what the action found or left, and only while the entry still holds what the action expects there.
#include <cstring>
#include <new>
#include "catalogue_lookup.h"
#include "edit_history.h"
#include "kvresult.h"

namespace {

HRESULT Keep(std::unique_ptr<PresetEntry>& slot, const PresetEntry& source) {
    slot.reset(new (std::nothrow) PresetEntry());
    HRESULT hr = slot ? slot->Assign(source) : KV_E_OUTOFMEMORY;
    if (hr < 0) slot.reset();
    return hr;
}

HRESULT Keep(std::unique_ptr<ChainEntry>& slot, const ChainEntry& source) {
    slot.reset(new (std::nothrow) ChainEntry());
    if (slot) slot->Assign(source);
    return slot ? S_OK : KV_E_OUTOFMEMORY;
}

bool IsSystem(CatalogueSide side) { return side != SIDE_PACKAGE; }

StoredValue Value(const wchar_t* name, DWORD type, const void* data, size_t size) {
    StoredValue value;
    value.name = name;
    value.type = type;
    const auto* bytes = static_cast<const uint8_t*>(data);
    value.raw.assign(bytes, bytes + size);
    return value;
}

StoredValue TextValue(const wchar_t* name, const wchar_t* text) {
    return Value(name, REG_SZ, text, (wcslen(text) + 1) * sizeof(wchar_t));
}

// The package's preset of this plug-in and name, in the form a stored entry has.
StoredEntry PackagePreset(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* name) {
    StoredEntry entry;
    // Through the side's look-ups: inside a step the lists may hold the gaps of items removed by earlier actions.
    PlugInEntry* owner = FindSidePlugIn(model, SIDE_PACKAGE, plugIn);
    const PresetEntry* preset = owner ? FindSidePreset(model, SIDE_PACKAGE, *owner, name) : nullptr;
    if (!preset) return entry;
    entry.present = true;
    entry.values.push_back(Value(preset->name, REG_BINARY, preset->data, preset->dataSize));
    return entry;
}

// Whether the package shows what entry holds, as SameStoredEntry would find against PackagePreset, without
// copying the shown preset: an undo of a whole large library asks once per preset.
bool PackageHolds(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* name, const StoredEntry& entry) {
    PlugInEntry* owner = FindSidePlugIn(model, SIDE_PACKAGE, plugIn);
    const PresetEntry* preset = owner ? FindSidePreset(model, SIDE_PACKAGE, *owner, name) : nullptr;
    if (!preset || !entry.present) return !preset && !entry.present;
    if (entry.values.size() != 1 || entry.fileFound || !entry.fileData.empty()) return false;
    const StoredValue& value = entry.values.front();
    return value.type == REG_BINARY && CatalogueNamesEqual(value.name.c_str(), preset->name) &&
           value.raw.size() == preset->dataSize &&
           (preset->dataSize == 0 || memcmp(value.raw.data(), preset->data, preset->dataSize) == 0);
}

StoredEntry PackageChain(CatalogueModel& model, const wchar_t* name) {
    StoredEntry entry;
    const ChainList* list = model.chains[SIDE_PACKAGE];
    const ChainEntry* chain = list ? list->FindEntryByName(name) : nullptr;
    if (!chain) return entry;
    entry.present = true;
    entry.values.push_back(TextValue(L"Name", chain->name));
    entry.values.push_back(TextValue(L"Identifier", chain->identifier));
    entry.values.push_back(Value(L"Flags", REG_DWORD, &chain->flags, sizeof(chain->flags)));
    entry.values.push_back(Value(L"Type", REG_DWORD, &chain->type, sizeof(chain->type)));
    entry.values.push_back(Value(L"Stream", REG_BINARY, chain->stream, chain->streamSize));
    return entry;
}

HRESULT ReadPreset(CatalogueModel& model, CatalogueSide side, const PlugInEntry& plugIn, const wchar_t* name,
                   StoredEntry* entry) {
    if (IsSystem(side)) return ReadStoredPreset(plugIn, name, entry);
    *entry = PackagePreset(model, plugIn, name);
    return S_OK;
}

HRESULT ReadChain(CatalogueModel& model, CatalogueSide side, const EntryChange& change, const wchar_t* name,
                  StoredEntry* entry) {
    if (IsSystem(side)) return ReadStoredChain(change.key.c_str(), entry);
    *entry = PackageChain(model, name);
    return S_OK;
}

// Brings the entry from current to target, in the store and in memory alike.
HRESULT RestorePreset(CatalogueModel& model, CatalogueSide side, const PlugInEntry& plugIn, const wchar_t* name,
                      const StoredEntry& target, const StoredEntry& current) {
    if (IsSystem(side)) {
        HRESULT hr = RestoreStoredPreset(plugIn, name, target, current);
        if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
    }
    std::vector<uint8_t> data;
    if (!StoredPresetData(target, &data)) {
        // Not stored, or stored in a form the loader leaves out: not shown either.
        DropPresetFromMemory(model, plugIn, name, side);
        return S_OK;
    }
    PresetEntry shown;
    HRESULT hr = shown.name.Set(target.values.front().name.c_str());
    if (hr < 0) return hr;
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    if (!blob) return KV_E_OUTOFMEMORY;
    memcpy(blob, data.data(), data.size());
    shown.AdoptData(blob, static_cast<uint32_t>(data.size()));
    return PutPresetInMemory(model, plugIn, shown, side);
}

HRESULT RestoreChain(CatalogueModel& model, CatalogueSide side, const EntryChange& change, const wchar_t* name,
                     const StoredEntry& target, const StoredEntry& current) {
    ChainEntry shown;
    if (IsSystem(side)) {
        HRESULT hr = RestoreStoredChain(change.key.c_str(), target, current);
        if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
        DropChainFromMemory(model, nullptr, change.key.c_str(), side);
        return StoredChain(target, change.key.c_str(), &shown) ? PutChainInMemory(model, shown, side) : S_OK;
    }
    DropChainFromMemory(model, name, nullptr, side);
    if (!target.present) return S_OK;
    // The package form above, read back.
    auto raw = [&](size_t index) { return target.values[index].raw; };
    std::vector<uint8_t> stream = raw(4);
    memcpy(&shown.flags, raw(2).data(), sizeof(shown.flags));
    memcpy(&shown.type, raw(3).data(), sizeof(shown.type));
    CatalogueCopyText(shown.name, CATALOGUE_NAME_CHARS, reinterpret_cast<const wchar_t*>(raw(0).data()));
    CatalogueCopyText(shown.identifier, CATALOGUE_ID_CHARS, reinterpret_cast<const wchar_t*>(raw(1).data()));
    uint8_t* blob = stream.empty() ? nullptr : CatalogueBlobAlloc(static_cast<uint32_t>(stream.size()));
    if (blob) memcpy(blob, stream.data(), stream.size());
    shown.AdoptStream(blob, blob ? static_cast<uint32_t>(stream.size()) : 0);
    return PutChainInMemory(model, shown, side);
}

// Entry names ignore case, as the store does.
std::wstring Folded(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

std::wstring PresetAction::EntryKey() const {
    if (!Complete()) return std::wstring();
    std::wstring key = std::to_wstring(side);
    key.reserve(160); // one allocation for most keys
    key += L'\n';
    key += PresetKeyPath(*plugIn);
    key += L'\n';
    key += preset->name.c_str();
    return Folded(std::move(key));
}

// The key's text hashed as CatalogueNameKey hashes a name, which folds every pair of characters that upper-casing
// makes equal onto one; the text up to the preset's name is worked out once for a run of actions on one plug-in.
uint64_t PresetAction::EntryHash(EntryKeyMemo& memo) const {
    if (!Complete()) return CatalogueNameKey(L"");
    if (memo.owner != plugIn.get() || memo.side != side) {
        const std::wstring start = std::to_wstring(side) + L'\n' + PresetKeyPath(*plugIn) + L'\n';
        memo = EntryKeyMemo{plugIn.get(), side, CatalogueNameKey(start.c_str())};
    }
    return CatalogueNameKeyOn(memo.hash, preset->name);
}

// Chains are matched by name but stored under keys named by identifier, and identifiers compare without case: two
// chains of different names can meet at one key. So all of a side's chain actions are one entry, reverted strictly
// last to first.
std::wstring ChainAction::EntryKey() const { return std::to_wstring(side) + L"\nchains"; }

uint64_t ChainAction::EntryHash(EntryKeyMemo&) const { return CatalogueNameKey(EntryKey().c_str()); }

std::shared_ptr<const PlugInEntry> PlugInShells::CopyOf(const PlugInEntry& source) {
    const PlugInEntry* last = last_.get();
    if (last && wcscmp(last->name, source.name) == 0 && wcscmp(last->classIdText, source.classIdText) == 0 &&
        last->flags == source.flags && last->expanded == source.expanded &&
        last->majorVersion == source.majorVersion && last->minorVersion == source.minorVersion)
        return last_;
    std::unique_ptr<PlugInEntry> copy(PlugInEntry::CopyShell(source));
    if (!copy) return nullptr;
    try {
        last_ = std::shared_ptr<const PlugInEntry>(std::move(copy));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return last_;
}

HRESULT PresetAction::SetPlugIn(const PlugInEntry& source, PlugInShells& shells) {
    plugIn = shells.CopyOf(source);
    return plugIn ? S_OK : KV_E_OUTOFMEMORY;
}

HRESULT PresetAction::SetPreset(const PresetEntry& source) { return Keep(preset, source); }

const wchar_t* PresetAction::ItemName() const { return preset ? preset->name : L""; }

HRESULT PresetAction::Move(CatalogueModel& model, bool forward, bool remove) {
    if (!Complete()) return KV_E_INVALIDARG;
    if (!done_) {
        if (!forward) return S_OK; // never applied: nothing to revert
        done_ = true;
        HRESULT hr = ReadPreset(model, side, *plugIn, preset->name, &change_.before);
        if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
        hr = remove ? RemovePreset(model, *plugIn, *preset, side) : AddPreset(model, *plugIn, *preset, side);
        // What is there now, whatever the operation managed: Undo puts back before only over exactly this.
        HRESULT read = ReadPreset(model, side, *plugIn, preset->name, &change_.after);
        if (read != S_OK) change_.after = change_.before; // unknown: nothing may be put back over it
        return hr;
    }
    const StoredEntry& from = forward ? change_.before : change_.after;
    const StoredEntry& to = forward ? change_.after : change_.before;
    if (!IsSystem(side)) {
        if (!PackageHolds(model, *plugIn, preset->name, from)) return EDIT_S_LEFT_ALONE;
        return RestorePreset(model, side, *plugIn, preset->name, to, from);
    }
    StoredEntry current;
    HRESULT hr = ReadPreset(model, side, *plugIn, preset->name, &current);
    if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
    if (!SameStoredEntry(current, from)) return EDIT_S_LEFT_ALONE;
    return RestorePreset(model, side, *plugIn, preset->name, to, current);
}

HRESULT ChainAction::SetChain(const ChainEntry& source) { return Keep(chain, source); }

const wchar_t* ChainAction::ItemName() const { return chain ? chain->name : L""; }

HRESULT ChainAction::Move(CatalogueModel& model, bool forward, bool remove) {
    if (!chain) return KV_E_INVALIDARG;
    if (!done_) {
        if (!forward) return S_OK;
        done_ = true;
        if (IsSystem(side)) {
            std::wstring storedName;
            if (remove) {
                // A key that now holds a chain of another name is not this chain's any more.
                if (StoredChainName(chain->identifier, &storedName) &&
                    !CatalogueNamesEqual(storedName.c_str(), chain->name)) {
                    DropChainFromMemory(model, chain->name, nullptr, side);
                    return S_OK;
                }
            } else {
                HRESULT hr = ResolveChainIdentifier(*chain); // Redo then reuses the identifier chosen here
                if (hr < 0) return hr;
            }
            changes_.push_back({chain->identifier, {}, {}});
            if (!remove)
                for (const std::wstring& other : StoredChainKeysNamed(chain->name))
                    if (!CatalogueNamesEqual(other.c_str(), chain->identifier)) changes_.push_back({other, {}, {}});
        } else {
            changes_.push_back({std::wstring(), {}, {}});
        }
        for (EntryChange& change : changes_) {
            HRESULT hr = ReadChain(model, side, change, chain->name, &change.before);
            if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
        }
        HRESULT hr = remove ? RemoveChain(model, *chain, side) : AddChain(model, *chain, side);
        for (EntryChange& change : changes_)
            if (ReadChain(model, side, change, chain->name, &change.after) != S_OK) change.after = change.before;
        return hr;
    }
    std::vector<StoredEntry> current(changes_.size());
    for (size_t i = 0; i < changes_.size(); ++i) {
        HRESULT hr = ReadChain(model, side, changes_[i], chain->name, &current[i]);
        if (hr != S_OK) return hr > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(hr)) : hr;
        if (!SameStoredEntry(current[i], forward ? changes_[i].before : changes_[i].after)) return EDIT_S_LEFT_ALONE;
    }
    HRESULT result = S_OK;
    for (size_t i = 0; i < changes_.size(); ++i) {
        HRESULT hr = RestoreChain(model, side, changes_[i], chain->name,
                                  forward ? changes_[i].after : changes_[i].before, current[i]);
        if (hr < 0 && result >= 0) result = hr;
    }
    return result;
}

HRESULT ReplacePresetAction::SetOldPreset(const PresetEntry& source) { return Keep(oldPreset, source); }

HRESULT ReplaceChainAction::SetOldChain(const ChainEntry& source) { return Keep(oldChain, source); }

HRESULT AddPresetAction::Do(CatalogueModel& model) { return Move(model, true, false); }
HRESULT AddPresetAction::Undo(CatalogueModel& model) { return Move(model, false, false); }

// The overwritten content is whatever the entry held when the action was first applied, noted then; oldPreset
// only tells what the question showed.
HRESULT ReplacePresetAction::Do(CatalogueModel& model) { return Move(model, true, false); }
HRESULT ReplacePresetAction::Undo(CatalogueModel& model) { return Move(model, false, false); }

HRESULT DeletePresetAction::Do(CatalogueModel& model) { return Move(model, true, true); }
HRESULT DeletePresetAction::Undo(CatalogueModel& model) { return Move(model, false, true); }

HRESULT AddChainAction::Do(CatalogueModel& model) { return Move(model, true, false); }
HRESULT AddChainAction::Undo(CatalogueModel& model) { return Move(model, false, false); }

HRESULT ReplaceChainAction::Do(CatalogueModel& model) { return Move(model, true, false); }
HRESULT ReplaceChainAction::Undo(CatalogueModel& model) { return Move(model, false, false); }

HRESULT DeleteChainAction::Do(CatalogueModel& model) { return Move(model, true, true); }
HRESULT DeleteChainAction::Undo(CatalogueModel& model) { return Move(model, false, true); }
