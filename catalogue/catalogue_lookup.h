// Hash look-ups over one side's plug-ins and presets, for a run of side operations (the actions of one edit step, or
// the recording of a copy) that would otherwise search the lists once per item, which grows with the square of a
// large library. The lists stay the truth: the look-ups give what PlugInList and PlugInEntry's own searches give.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include "catalogue.h"

class SideLookup {
public:
    SideLookup(PlugInList* list, tKVLANG* language);
    ~SideLookup(); // closes up the slots of removed items
    SideLookup(const SideLookup&) = delete;
    SideLookup& operator=(const SideLookup&) = delete;

    PlugInList* List() const { return list_; }
    PlugInEntry* FindByIdentity(const PlugInEntry& entry) const;  // as PlugInList::FindEntryByIdentity
    bool NameTaken(const wchar_t* text) const;                      // as PlugInList::FindByName >= 0
    void MakeNotInstalledName(wchar_t* buffer, int capacity) const; // as PlugInList::MakeNotInstalledName
    PresetEntry* FindPreset(PlugInEntry* entry, const wchar_t* name);  // as PlugInEntry::FindPreset

    HRESULT AppendPlugIn(PlugInEntry* entry); // as PlugInList::Append
    HRESULT AppendPreset(PlugInEntry* entry, PresetEntry* preset); // as PlugInEntry::AppendPreset
    // Deletes the preset, and its plug-in with it when that was its last. Their slots stay empty until the end.
    void RemovePreset(PlugInEntry* entry, PresetEntry* preset);
    void RemoveIfEmpty(PlugInEntry* entry); // a plug-in left without presets goes, as after RemovePreset

private:
    struct Slot {
        PresetEntry* preset;
        int index; // in the plug-in's list
    };
    struct Presets {
        std::unordered_multimap<uint64_t, Slot> byName; // one node per preset: no list per name to allocate
        int live = 0;
    };
    struct PlugIn {
        int slot = 0;
        std::unique_ptr<Presets> presets; // made at the first look-up in the plug-in
    };

    void Index(PlugInEntry* entry, int slot);
    void IndexName(PlugInEntry* entry, bool add);
    Presets& PresetsOf(PlugInEntry* entry);
    int SlotOf(const PlugInEntry* entry) const { return plugIns_.at(const_cast<PlugInEntry*>(entry)).slot; }
    static void CloseUp(tKVLIST* list);

    PlugInList* list_;
    tKVLANG* language_;
    std::unordered_map<PlugInEntry*, PlugIn> plugIns_;
    std::unordered_map<std::wstring, std::vector<PlugInEntry*>> byClass_; // flags and class identifier; list order
    std::vector<PlugInEntry*> tools_;                                      // Lathmere's tools, in list order
    std::unordered_map<uint64_t, std::vector<PlugInEntry*>> byName_;      // names and display names
    std::unordered_set<tKVLIST*> emptied_;                                 // preset lists with empty slots
    bool plugInsEmptied_ = false;
    mutable std::wstring classKey_; // scratch for the class keys of look-ups
};

// A name's key for hashing: equal for names equal ignoring case, as CatalogueNamesEqual compares them.
uint64_t CatalogueNameKey(const wchar_t* name);
