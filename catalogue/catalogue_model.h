// CatalogueModel: both sides' collections, the Lathmere destinations and the side operations that change them.
#pragma once
#include <windows.h>
#include <cstdint>
#include "catalogue.h"
#include "store_read.h"
#include "store_session.h"

struct tKVLANG;
struct CatalogueLookups;

// Owned by the frame window (or a test, or a command-line tool); releases everything it holds.
struct CatalogueModel {
    CatalogueModel() = default;
    ~CatalogueModel();
    CatalogueModel(const CatalogueModel&) = delete;
    CatalogueModel& operator=(const CatalogueModel&) = delete;

    PlugInList* plugIns[2] = {};  // indexed by CatalogueSide; null until loaded or first needed
    ChainList* chains[2] = {};
    tKVLIST* destinations = nullptr;  // LathmereDestination records, owned by the list
    int32_t selectedDestination = -1;
    tKVLANG* language = nullptr;      // supplies the Lathmere display-name formats; not owned
    StoreWriteSession* storeWrites = nullptr; // while a StoreWriteScope lives: shared by the system side's writes
    bool systemNamesUnsettled = false; // a plug-in reached the system side under a name a load may not give it
    int32_t systemPins = 0;            // SystemSidePin holders: the system side must not be replaced now
    bool systemReloadDeferred = false; // a load was asked for while pinned; the last pin runs it
    CatalogueLookups* lookups = nullptr; // while a CatalogueLookupScope lives
};

// While one lives, pointers into the system side stay valid: a LoadSystemCatalogue meanwhile (from a question's
// message loop, say) is put off, and the last pin runs it once as it goes.
class SystemSidePin {
public:
    explicit SystemSidePin(CatalogueModel& model) : model_(model) { ++model_.systemPins; }
    ~SystemSidePin();
    SystemSidePin(const SystemSidePin&) = delete;
    SystemSidePin& operator=(const SystemSidePin&) = delete;

private:
    CatalogueModel& model_;
};

// For its lifetime the system side's store writes through model share one session, so a run of them (the actions
// of one edit step) opens each key and lists each key's data files once. Keep it to one run: what the session
// knows is not refreshed from the store. Inside another scope on the same model it changes nothing.
class StoreWriteScope {
public:
    explicit StoreWriteScope(CatalogueModel& model);
    ~StoreWriteScope();
    StoreWriteScope(const StoreWriteScope&) = delete;
    StoreWriteScope& operator=(const StoreWriteScope&) = delete;

private:
    CatalogueModel& model_;
    StoreWriteSession session_;
    bool outermost_ = false; // the model uses session_, not an outer scope's
};

// For its lifetime the side operations through model, and FindSidePlugIn and FindSidePreset, find plug-ins and
// presets through hash look-ups rather than a search of the lists per item. Keep it to one run of side operations
// (the actions of one edit step, or the recording of a copy): changes made to the lists in other ways are not seen,
// and the slots of removed items are closed up only when the scope ends. Inside another scope it changes nothing.
class CatalogueLookupScope {
public:
    explicit CatalogueLookupScope(CatalogueModel& model);
    ~CatalogueLookupScope();
    CatalogueLookupScope(const CatalogueLookupScope&) = delete;
    CatalogueLookupScope& operator=(const CatalogueLookupScope&) = delete;

private:
    CatalogueModel& model_;
    bool outermost_ = false;
};

// Ends the look-ups of the scope in force, closing up the lists; the next side operation in it makes new ones from
// the lists as they are then. Call it before anything that may run the message loop (a question box): a redraw must
// find whole lists, and a change made meanwhile must not be missed.
void CatalogueDropLookups(CatalogueModel& model);

// The side's plug-in of identity's identity, and that plug-in's preset of name, as PlugInList::FindEntryByIdentity
// and PlugInEntry::FindPreset find them. Null when there is none (or the side has no list).
PlugInEntry* FindSidePlugIn(CatalogueModel& model, int side, const PlugInEntry& identity);
PresetEntry* FindSidePreset(CatalogueModel& model, int side, PlugInEntry& plugIn, const wchar_t* name);

// The side's collection, created empty when the model holds none. SIDE_PACKAGE selects the package side,
// every other value the system side. Null only when memory runs out.
PlugInList* GetPlugInList(CatalogueModel& model, int side);
ChainList* GetChainList(CatalogueModel& model, int side);

// Replaces the system side's collections and the destination list with what the store holds now. A model that
// had no destination list selects the last destination. While the side is pinned nothing is replaced: 1, and the
// load runs when the last pin goes. With stamps, the data files the load looked at are recorded.
HRESULT LoadSystemCatalogue(CatalogueModel& model, StoreFileStamps* stamps = nullptr);

// After AddPreset brought a new plug-in to the system side: gives the side's plug-ins the names the next load of
// the store would give them (a registered name, or the "Not Installed" number of the store's key order), so that
// what is shown does not change at the next reload. Nothing to do otherwise. A failure leaves names that only a
// reload puts right.
HRESULT SettleSystemPlugInNames(CatalogueModel& model);

// The selected destination with the index clamped into the list; null when there is none.
const LathmereDestination* CurrentLathmereDestination(CatalogueModel& model);

// The side operations: the only way editing changes a catalogue. On the system side they write through to the
// store first; any store status other than 0 is a failure and comes back negative. A failed write or delete leaves
// memory as it was; a delete that finds the stored entry already gone succeeds.
HRESULT AddPreset(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side);
HRESULT RemovePreset(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side);
HRESULT AddChain(CatalogueModel& model, const ChainEntry& chain, int side);
HRESULT RemoveChain(CatalogueModel& model, const ChainEntry& chain, int side);
// The same changes in memory only, for an edit that has already brought the store where it must be.
HRESULT PutPresetInMemory(CatalogueModel& model, const PlugInEntry& plugIn, const PresetEntry& preset, int side);
void DropPresetFromMemory(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* name, int side);
HRESULT PutChainInMemory(CatalogueModel& model, const ChainEntry& chain, int side);
// Drops the side's chains of name, or with name null those of identifier.
void DropChainFromMemory(CatalogueModel& model, const wchar_t* name, const wchar_t* identifier, int side);
// When the store keeps a chain of another name under chain's identifier, gives chain a fresh identifier, so that
// writing it never replaces that chain.
HRESULT ResolveChainIdentifier(ChainEntry& chain);
// Rename the side's preset (of the plug-in with plugIn's identity) or chain of oldName to newName in place. On the
// system side the entry under the new name is stored before the old one goes; on failure the name, the store entry
// and the data stay as they were. 0x8004E00A when the side holds no such item.
HRESULT RenamePreset(CatalogueModel& model, const PlugInEntry& plugIn, const wchar_t* oldName, const wchar_t* newName,
                     int side);
HRESULT RenameChain(CatalogueModel& model, const wchar_t* oldName, const wchar_t* newName, int side);
