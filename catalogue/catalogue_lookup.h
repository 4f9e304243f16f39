// Hash look-ups over one side's plug-ins and presets, for a run of side operations (the actions of one edit step, or
// the recording of a copy) that would otherwise search the lists once per item, which grows with the square of a
// large library. The lists stay the truth: the look-ups give what PlugInList and PlugInEntry's own searches give.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "catalogue.h"
#include "flat_index.h"

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
    struct PresetSlot {
        PresetEntry* preset = nullptr;
        int index = 0; // in the plug-in's list
    };
    struct PlugIn {
        PlugInEntry* entry = nullptr;
        int slot = 0;          // in the side's list
        bool emptied = false;  // its preset list has empty slots
        // Its presets by name, made at the first look-up its list's ends do not answer in a plug-in of more than a
        // few presets; a short list is searched as it stands.
        std::unique_ptr<FlatIndex<PresetSlot>> presets;
        // The first and the last preset still in the list (-1: none). Once there is an index, whether two presets
        // ever had one name key: then the last may not be the first of its name.
        int first = -1;
        int last = -1;
        bool sharedKeys = false;
    };
    struct Listed {
        PlugInEntry* entry = nullptr;
        int slot = 0;
    };

    void Index(PlugInEntry* entry, int slot);
    void IndexNames() const;
    void IndexName(PlugInEntry* entry, bool add) const;
    PlugIn* Find(const PlugInEntry* entry);
    FlatIndex<PresetSlot>* PresetsOf(PlugIn& plugIn);
    static bool Holds(const PlugInEntry& entry, const PresetSlot& slot);
    static void Trim(PlugIn& plugIn);
    static void CloseUp(tKVLIST* list);

    PlugInList* list_;
    tKVLANG* language_;
    FlatIndex<PlugIn> plugIns_;           // by entry
    FlatIndex<Listed> byClass_;           // by flags and class identifier
    std::vector<PlugInEntry*> tools_;     // Lathmere's tools, in list order
    mutable FlatIndex<PlugInEntry*> byName_; // by names and display names, once namesIndexed_
    mutable bool namesIndexed_ = false;
    bool plugInsEmptied_ = false;
    mutable PlugInEntry* lastFound_ = nullptr; // the last FindByIdentity answer while it stays first of its class
};

// A name's key for hashing: equal for names equal ignoring case, as CatalogueNamesEqual compares them.
uint64_t CatalogueNameKey(const wchar_t* name);
// The key of the text whose start has the key hash and whose rest is more: a key made in parts.
uint64_t CatalogueNameKeyOn(uint64_t hash, const wchar_t* more);
