// The catalogue classes: plug-ins with their presets, and effect chains, as one side holds them in memory.
#pragma once
#include <windows.h>
#include <cstdint>
#include "catalogue_text.h"
#include "kvlist.h"

struct tKVLANG;

constexpr int CATALOGUE_ID_CHARS = 40;    // class identifier texts and chain identifiers

constexpr uint32_t PLUGIN_LATHMERE_TOOL = 0x1;
constexpr uint32_t PLUGIN_LATHMERE_VERSIONED = 0x2;

enum CatalogueSide : int { SIDE_SYSTEM = 0, SIDE_PACKAGE = 1 };

// Data blobs: zero-filled blocks owned by exactly one catalogue object.
uint8_t* CatalogueBlobAlloc(uint32_t size);
// The same block without the zero fill, for a caller that fills all of it at once: the fill would double the
// memory traffic of a read or a copy for nothing.
uint8_t* CatalogueBlobAllocToFill(uint32_t size);
void CatalogueBlobFree(uint8_t* blob);

// Copies at most capacity - 1 characters of source and always terminates (nothing when capacity < 1).
void CatalogueCopyText(wchar_t* target, int capacity, const wchar_t* source);
bool CatalogueNamesEqual(const wchar_t* first, const wchar_t* second); // ignoring case

class CatalogueNode {
public:
    CatalogueNode() = default;
    CatalogueNode(const CatalogueNode&) = delete;
    CatalogueNode& operator=(const CatalogueNode&) = delete;
    virtual ~CatalogueNode() = default;

    uint32_t expanded = 0; // the tree item's last seen state
};

class PresetEntry : public CatalogueNode {
public:
    PresetEntry();
    // A new entry of this name; null when memory runs out.
    static PresetEntry* Create(const wchar_t* presetName);
    ~PresetEntry() override;

    // Copies name, expanded and a fresh copy of the data; the previous blob is released. KV_E_OUTOFMEMORY when
    // the name or the data could not be copied.
    HRESULT Assign(const PresetEntry& source);
    // Takes over a blob allocated with CatalogueBlobAlloc; the previous one is released.
    void AdoptData(uint8_t* blob, uint32_t size);

    CatalogueText name;
    uint32_t dataSize = 0;
    uint8_t* data = nullptr;
};

class PlugInEntry : public CatalogueNode {
public:
    PlugInEntry();
    // A new entry of this name and class; null when memory runs out.
    static PlugInEntry* Create(const wchar_t* plugInName, const wchar_t* classId);
    // A new entry with everything but the presets: how a plug-in reaches the other side before its presets
    // follow one by one. Null when memory runs out.
    static PlugInEntry* CopyShell(const PlugInEntry& source);
    ~PlugInEntry() override;

    int PresetCount() const;
    PresetEntry* PresetAt(int index) const;
    int FindPresetIndex(const wchar_t* presetName) const;
    PresetEntry* FindPreset(const wchar_t* presetName) const;
    // Appends an owned preset; on failure the preset is deleted and the code returned.
    HRESULT AppendPreset(PresetEntry* preset);
    void DeletePresetAt(int index);

    // The text the panes show; language supplies the Lathmere formats.
    void GetDisplayName(wchar_t* buffer, int capacity, tKVLANG* language) const;
    bool MatchesName(const wchar_t* text, tKVLANG* language) const;

    CatalogueText name;
    wchar_t classIdText[CATALOGUE_ID_CHARS] = {};
    tKVLIST* presets = nullptr; // made with the first preset
    uint32_t flags = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
};

bool IsSamePlugIn(const PlugInEntry& listEntry, const PlugInEntry& entry, tKVLANG* language);

class PlugInList : public CatalogueNode {
public:
    PlugInList();
    ~PlugInList() override;

    int Count() const;
    PlugInEntry* At(int index) const;
    int FindByIdentity(const PlugInEntry& entry, tKVLANG* language) const;
    PlugInEntry* FindEntryByIdentity(const PlugInEntry& entry, tKVLANG* language) const;
    int FindByName(const wchar_t* text, tKVLANG* language) const;
    PlugInEntry* FindEntryByName(const wchar_t* text, tKVLANG* language) const;
    int TotalPresetCount() const;
    void MakeNotInstalledName(wchar_t* buffer, int capacity, tKVLANG* language) const;

    HRESULT Append(PlugInEntry* entry); // on failure the entry is deleted
    void DeleteAt(int index);

    tKVLIST* plugIns = nullptr;
};

class ChainEntry : public CatalogueNode {
public:
    ChainEntry();
    ~ChainEntry() override;

    // Replaces everything with copies of the source's fields, stream and member strings.
    void Assign(const ChainEntry& source);
    void AdoptStream(uint8_t* blob, uint32_t size);

    wchar_t name[CATALOGUE_NAME_CHARS] = {};
    wchar_t identifier[CATALOGUE_ID_CHARS] = {};
    uint32_t flags = 0;
    uint32_t type = 0;
    uint32_t streamSize = 0;
    uint8_t* stream = nullptr;
    tKVLIST* members = nullptr; // owned copies of wide strings
};

class ChainList : public CatalogueNode {
public:
    ChainList();
    ~ChainList() override;

    int Count() const;
    ChainEntry* At(int index) const;
    int FindByName(const wchar_t* text) const;
    ChainEntry* FindEntryByName(const wchar_t* text) const;

    HRESULT Append(ChainEntry* chain); // on failure the chain is deleted
    void DeleteAt(int index);

    tKVLIST* chains = nullptr;
};
