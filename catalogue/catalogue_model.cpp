// The side operations over CatalogueModel, with their write-through to the system store.
#include "catalogue_model.h"
#include <memory>
#include <new>
#include "catalogue_lookup.h"
#include "kvresult.h"
#include "store_entry.h"
#include "store_plugin_names.h"
#include "store_rename.h"
#include "store_write.h"

namespace {

int SideIndex(int side) { return side == SIDE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM; }

// The store keeps Win32 statuses positive; here a refusal must never look like success.
HRESULT AsFailure(HRESULT status) { return status > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(status)) : status; }

// A delete that finds the entry already gone has nothing left to do.
HRESULT DeleteResult(HRESULT status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ? S_OK : AsFailure(status);
}

} // namespace

struct CatalogueLookups {
    std::unique_ptr<SideLookup> sides[2];
};

namespace {

// The side's look-ups while a scope lives, made for the side's list as it is now; null without a scope or a list.
SideLookup* ActiveLookup(CatalogueModel& model, int side) {
    if (!model.lookups) return nullptr;
    PlugInList* list = model.plugIns[SideIndex(side)];
    std::unique_ptr<SideLookup>& lookup = model.lookups->sides[SideIndex(side)];
    if (lookup && lookup->List() != list) lookup.reset();
    if (!lookup && list) lookup.reset(new (std::nothrow) SideLookup(list, model.language));
    return lookup.get();
}

} // namespace

CatalogueLookupScope::CatalogueLookupScope(CatalogueModel& model) : model_(model) {
    if (model_.lookups) return;
    model_.lookups = new (std::nothrow) CatalogueLookups();
    outermost_ = model_.lookups != nullptr;
}

// Every scope, inner ones too, closes up the lists as it ends: a removed item's slot is empty until then, and the
// code after a scope (a redraw, a question box, output) reads the lists directly.
CatalogueLookupScope::~CatalogueLookupScope() {
    if (!outermost_) {
        CatalogueDropLookups(model_);
        return;
    }
    delete model_.lookups;
    model_.lookups = nullptr;
}

void CatalogueDropLookups(CatalogueModel& model) {
    if (!model.lookups) return;
    for (std::unique_ptr<SideLookup>& side : model.lookups->sides) side.reset();
}

PlugInEntry* FindSidePlugIn(CatalogueModel& model, int side, const PlugInEntry& identity) {
    if (SideLookup* lookup = ActiveLookup(model, side)) return lookup->FindByIdentity(identity);
    PlugInList* list = model.plugIns[SideIndex(side)];
    return list ? list->FindEntryByIdentity(identity, model.language) : nullptr;
}

PresetEntry* FindSidePreset(CatalogueModel& model, int side, PlugInEntry& plugIn, const wchar_t* name) {
    if (SideLookup* lookup = ActiveLookup(model, side)) return lookup->FindPreset(&plugIn, name);
    return plugIn.FindPreset(name);
}

StoreWriteScope::StoreWriteScope(CatalogueModel& model) : model_(model) {
    if (model_.storeWrites) return;
    model_.storeWrites = &session_;
    outermost_ = true;
}

StoreWriteScope::~StoreWriteScope() {
    if (outermost_) model_.storeWrites = nullptr;
}

CatalogueModel::~CatalogueModel() {
    for (int side = 0; side < 2; ++side) {
        delete plugIns[side];
        delete chains[side];
    }
    KvList_Destroy(destinations);
}

PlugInList* GetPlugInList(CatalogueModel& model, int side) {
    PlugInList*& list = model.plugIns[SideIndex(side)];
    if (!list) list = new (std::nothrow) PlugInList();
    return list;
}

ChainList* GetChainList(CatalogueModel& model, int side) {
    ChainList*& list = model.chains[SideIndex(side)];
    if (!list) list = new (std::nothrow) ChainList();
    return list;
}

SystemSidePin::~SystemSidePin() {
    if (--model_.systemPins > 0 || !model_.systemReloadDeferred) return;
    model_.systemReloadDeferred = false;
    LoadSystemCatalogue(model_); // what could not be read is left out, as in any load
}

HRESULT LoadSystemCatalogue(CatalogueModel& model, StoreFileStamps* stamps) {
    if (model.systemPins > 0) {
        model.systemReloadDeferred = true;
        return KV_S_NOTHING_TO_DO;
    }
    CatalogueDropLookups(model); // they point into the lists about to go
    delete model.chains[SIDE_SYSTEM];
    model.chains[SIDE_SYSTEM] = nullptr;
    delete model.plugIns[SIDE_SYSTEM];
    model.plugIns[SIDE_SYSTEM] = nullptr;
    LoadStoreChains(&model.chains[SIDE_SYSTEM], stamps);
    LoadStorePresets(&model.plugIns[SIDE_SYSTEM], stamps);
    model.systemNamesUnsettled = false;
    bool fresh = model.destinations == nullptr;
    if (fresh) {
        HRESULT hr = KvList_CreateExZ(&model.destinations, sizeof(void*), -1, -1, KVLIST_ANY_THREAD | KVLIST_OWNS_ITEMS);
        if (hr < 0) return hr;
    }
    HRESULT hr = LoadLathmereDestinations(model.destinations);
    if (fresh) model.selectedDestination = model.destinations->count - 1;
    return hr;
}

HRESULT SettleSystemPlugInNames(CatalogueModel& model) {
    if (!model.systemNamesUnsettled) return S_OK;
    model.systemNamesUnsettled = false;
    CatalogueDropLookups(model); // they know the plug-ins by their old names
    return model.plugIns[SIDE_SYSTEM] ? NamePlugInsAsStored(*model.plugIns[SIDE_SYSTEM]) : S_OK;
}

const LathmereDestination* CurrentLathmereDestination(CatalogueModel& model) {
    tKVLIST* list = model.destinations;
    if (!list) return nullptr;
    if (model.selectedDestination < 0) model.selectedDestination = 0;
    if (model.selectedDestination > list->count - 1) model.selectedDestination = list->count - 1;
    if (list->count == 0) return nullptr;
    return static_cast<const LathmereDestination*>(list->items[model.selectedDestination]);
}

HRESULT PutPresetInMemory(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side) {
    PlugInList* list = GetPlugInList(model, side);
    if (!list) return KV_E_OUTOFMEMORY;
    SideLookup* lookup = ActiveLookup(model, side);
    PlugInEntry* entry = FindSidePlugIn(model, side, plugIn);
    if (!entry) {
        entry = PlugInEntry::CopyShell(plugIn);
        if (!entry) return KV_E_OUTOFMEMORY;
        // A different plug-in already shows this name here; the copy must stay distinguishable.
        HRESULT hr = S_OK;
        if (!(plugIn.flags & PLUGIN_LATHMERE_TOOL)) {
            wchar_t name[CATALOGUE_NAME_CHARS] = {};
            if (lookup && lookup->NameTaken(plugIn.name))
                lookup->MakeNotInstalledName(name, CATALOGUE_NAME_CHARS);
            else if (!lookup && list->FindByName(plugIn.name, model.language) >= 0)
                list->MakeNotInstalledName(name, CATALOGUE_NAME_CHARS, model.language);
            if (name[0]) hr = entry->name.Set(name);
        }
        if (hr < 0) {
            delete entry;
            return hr;
        }
        hr = lookup ? lookup->AppendPlugIn(entry) : list->Append(entry);
        if (hr < 0) return hr;
        // Named after its source for now; the store may know it by another name.
        if (SideIndex(side) == SIDE_SYSTEM && !(entry->flags & PLUGIN_LATHMERE_TOOL)) model.systemNamesUnsettled = true;
    }
    PresetEntry* existing = FindSidePreset(model, side, *entry, preset.name);
    if (existing) return existing->Assign(preset);
    PresetEntry* copy = new (std::nothrow) PresetEntry();
    HRESULT hr = copy ? copy->Assign(preset) : KV_E_OUTOFMEMORY;
    if (hr < 0) {
        delete copy;
        return hr;
    }
    return lookup ? lookup->AppendPreset(entry, copy) : entry->AppendPreset(copy);
}

void DropPresetFromMemory(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* name, int side) {
    if (SideLookup* lookup = ActiveLookup(model, side)) {
        PlugInEntry* entry = lookup->FindByIdentity(plugIn);
        PresetEntry* stored = entry ? lookup->FindPreset(entry, name) : nullptr;
        if (stored) lookup->RemovePreset(entry, stored);
        else if (entry) lookup->RemoveIfEmpty(entry); // as below: an empty plug-in goes even so
        return;
    }
    PlugInList* list = model.plugIns[SideIndex(side)];
    int entryIndex = list ? list->FindByIdentity(plugIn, model.language) : -1;
    if (entryIndex < 0) return;
    PlugInEntry* entry = list->At(entryIndex);
    entry->DeletePresetAt(entry->FindPresetIndex(name));
    if (entry->PresetCount() == 0) list->DeleteAt(entryIndex);
}

HRESULT PutChainInMemory(CatalogueModel& model, const ChainEntry& chain, int side) {
    ChainList* list = GetChainList(model, side);
    if (!list) return KV_E_OUTOFMEMORY;
    ChainEntry* existing = list->FindEntryByName(chain.name);
    if (existing) {
        existing->Assign(chain);
        return S_OK;
    }
    ChainEntry* copy = new (std::nothrow) ChainEntry();
    if (!copy) return KV_E_OUTOFMEMORY;
    copy->Assign(chain);
    return list->Append(copy);
}

void DropChainFromMemory(CatalogueModel& model, const wchar_t* name, const wchar_t* identifier, int side) {
    ChainList* list = model.chains[SideIndex(side)];
    for (int i = list ? list->Count() - 1 : -1; i >= 0; --i) {
        const ChainEntry* chain = list->At(i);
        if (chain && (name ? CatalogueNamesEqual(chain->name, name) : CatalogueNamesEqual(chain->identifier, identifier)))
            list->DeleteAt(i);
    }
}

HRESULT ResolveChainIdentifier(ChainEntry& chain) {
    std::wstring storedName;
    if (!StoredChainName(chain.identifier, &storedName) || CatalogueNamesEqual(storedName.c_str(), chain.name))
        return S_OK;
    // The key belongs to another chain: this one gets a key of its own.
    std::wstring fresh = NewChainIdentifier();
    if (fresh.empty()) return KV_E_FAIL;
    CatalogueCopyText(chain.identifier, CATALOGUE_ID_CHARS, fresh.c_str());
    return S_OK;
}

HRESULT AddPreset(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side) {
    if (SideIndex(side) == SIDE_SYSTEM) {
        // Into the entry's own version: a copy has already aimed the entry at the destination, and an undone
        // delete must go back where it came from, whatever destination is chosen now.
        const PlugInEntry* entry = FindSidePlugIn(model, SIDE_SYSTEM, plugIn);
        const PlugInEntry& target = entry ? *entry : plugIn;
        HRESULT result = (target.flags & PLUGIN_LATHMERE_TOOL)
                             ? WriteLathmerePreset(target, preset, 1, nullptr, model.storeWrites)
                             : WriteStorePreset(target, preset, model.storeWrites);
        // Nothing was stored, so nothing may appear: not even the plug-in it would have needed.
        if (result != S_OK) return AsFailure(result);
    }
    return PutPresetInMemory(model, plugIn, preset, side);
}

HRESULT RemovePreset(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side) {
    HRESULT result =
        SideIndex(side) == SIDE_SYSTEM ? DeleteResult(DeleteStorePreset(plugIn, preset, model.storeWrites)) : S_OK;
    if (result < 0) return result; // still stored, so still shown
    DropPresetFromMemory(model, plugIn, preset.name, side);
    return result;
}

HRESULT AddChain(CatalogueModel& model, const ChainEntry& chain, int side) {
    StoreWriteScope storeWrites(model); // the replaced chain goes only once the new one's data are on disk
    if (SideIndex(side) != SIDE_SYSTEM) return PutChainInMemory(model, chain, side);
    ChainEntry written;
    written.Assign(chain);
    HRESULT result = ResolveChainIdentifier(written);
    if (result < 0) return result;
    result = WriteStoreChain(written, model.storeWrites);
    if (result != S_OK) return AsFailure(result);
    // A chain of this name stored under another key would come back on the next reload: it is the one replaced.
    for (const std::wstring& other : StoredChainKeysNamed(written.name)) {
        if (CatalogueNamesEqual(other.c_str(), written.identifier)) continue;
        ChainEntry replaced;
        CatalogueCopyText(replaced.identifier, CATALOGUE_ID_CHARS, other.c_str());
        HRESULT deleted = DeleteResult(DeleteStoreChain(replaced, model.storeWrites));
        if (deleted < 0 && result >= 0) result = deleted;
        // The side shows what the store holds: the chain of a replaced key goes with it.
        if (deleted >= 0) DropChainFromMemory(model, nullptr, other.c_str(), side);
    }
    HRESULT hr = PutChainInMemory(model, written, side);
    return hr < 0 ? hr : result;
}

HRESULT RemoveChain(CatalogueModel& model, const ChainEntry& chain, int side) {
    HRESULT result = SideIndex(side) == SIDE_SYSTEM ? DeleteResult(DeleteStoreChain(chain, model.storeWrites)) : S_OK;
    if (result < 0) return result;
    ChainList* list = model.chains[SideIndex(side)];
    if (!list) return result;
    // The store may hold two chains of one name under two keys: the system side drops the one of the deleted key.
    int index = -1;
    for (int i = 0; SideIndex(side) == SIDE_SYSTEM && index < 0 && i < list->Count(); ++i)
        if (CatalogueNamesEqual(list->At(i)->name, chain.name) &&
            CatalogueNamesEqual(list->At(i)->identifier, chain.identifier))
            index = i;
    list->DeleteAt(index >= 0 ? index : list->FindByName(chain.name));
    return result;
}

HRESULT RenamePreset(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* oldName, const wchar_t* newName,
                     int side) {
    PlugInList* list = model.plugIns[SideIndex(side)];
    PlugInEntry* entry = list ? list->FindEntryByIdentity(plugIn, model.language) : nullptr;
    PresetEntry* preset = entry ? entry->FindPreset(oldName) : nullptr;
    if (!preset) return KV_E_NOT_FOUND;
    CatalogueText renamed; // made first: the store is not renamed when memory cannot follow
    HRESULT hr = renamed.Set(newName);
    if (hr < 0) return hr;
    if (SideIndex(side) == SIDE_SYSTEM) {
        HRESULT status = RenameStorePreset(*entry, *preset, newName, model.storeWrites);
        if (status != S_OK) return AsFailure(status);
    }
    preset->name = std::move(renamed);
    return S_OK;
}

HRESULT RenameChain(CatalogueModel& model, const wchar_t* oldName, const wchar_t* newName, int side) {
    ChainList* list = model.chains[SideIndex(side)];
    ChainEntry* chain = list ? list->FindEntryByName(oldName) : nullptr;
    if (!chain) return KV_E_NOT_FOUND;
    if (SideIndex(side) == SIDE_SYSTEM) {
        HRESULT status = RenameStoreChain(*chain, newName, model.storeWrites);
        if (status != S_OK) return AsFailure(status);
    }
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, newName);
    return S_OK;
}
