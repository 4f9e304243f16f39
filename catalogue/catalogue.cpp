// Construction, copying, queries and ownership of the catalogue classes.
#include "catalogue.h"
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

constexpr UINT kLathmereToolFormat = IDS_LATHMERE_UNVERSIONED_TOOL;   // "… %s"
constexpr UINT kLathmereVersionedFormat = IDS_LATHMERE_VERSIONED_TOOL; // "… %d.%d %s"

constexpr wchar_t kNotInstalledFormat[] = L"Not Installed %03u";

tKVLIST* CreateObjectList() {
    tKVLIST* list = nullptr;
    if (KvList_CreateExZ(&list, sizeof(void*), -1, -1, KVLIST_LOCKED) < 0) return nullptr;
    return list;
}

tKVLIST* CreateStringList() {
    tKVLIST* list = nullptr;
    if (KvList_CreateExZ(&list, sizeof(void*), -1, -1, KVLIST_ANY_THREAD | KVLIST_OWNS_ITEMS) < 0) return nullptr;
    return list;
}

HRESULT AppendPointer(tKVLIST* list, void* item) {
    if (!list) return KV_E_OUTOFMEMORY;
    return KvList_InsertList(list, -1, &item, 1);
}

uint8_t* CopyBlob(const uint8_t* source, uint32_t size) {
    if (!source || size == 0) return nullptr;
    uint8_t* copy = CatalogueBlobAllocToFill(size);
    if (copy) memcpy(copy, source, size);
    return copy;
}

} // namespace

uint8_t* CatalogueBlobAlloc(uint32_t size) {
    if (size == 0) return nullptr;
    return static_cast<uint8_t*>(calloc(size, 1));
}

uint8_t* CatalogueBlobAllocToFill(uint32_t size) {
    if (size == 0) return nullptr;
    return static_cast<uint8_t*>(malloc(size));
}

void CatalogueBlobFree(uint8_t* blob) { free(blob); }

void CatalogueCopyText(wchar_t* target, int capacity, const wchar_t* source) {
    if (!target || capacity < 1) return;
    int i = 0;
    if (source)
        for (; i < capacity - 1 && source[i]; ++i) target[i] = source[i];
    target[i] = 0;
}

bool CatalogueNamesEqual(const wchar_t* first, const wchar_t* second) {
    return CompareStringOrdinal(first ? first : L"", -1, second ? second : L"", -1, TRUE) == CSTR_EQUAL;
}

// ---- PresetEntry

PresetEntry::PresetEntry() = default;

PresetEntry* PresetEntry::Create(const wchar_t* presetName) {
    PresetEntry* preset = new (std::nothrow) PresetEntry();
    if (preset && preset->name.Set(presetName) < 0) {
        delete preset;
        return nullptr;
    }
    return preset;
}

PresetEntry::~PresetEntry() { CatalogueBlobFree(data); }

HRESULT PresetEntry::Assign(const PresetEntry& source) {
    if (&source == this) return S_OK;
    HRESULT hr = name.Set(source.name);
    if (hr < 0) return hr;
    expanded = source.expanded;
    uint8_t* copy = CopyBlob(source.data, source.dataSize);
    AdoptData(copy, copy ? source.dataSize : 0);
    return copy || !source.data || source.dataSize == 0 ? S_OK : KV_E_OUTOFMEMORY;
}

void PresetEntry::AdoptData(uint8_t* blob, uint32_t size) {
    CatalogueBlobFree(data);
    data = blob;
    dataSize = blob ? size : 0;
}

// ---- PlugInEntry

PlugInEntry::PlugInEntry() = default;

PlugInEntry* PlugInEntry::Create(const wchar_t* plugInName, const wchar_t* classId) {
    PlugInEntry* entry = new (std::nothrow) PlugInEntry();
    if (entry && entry->name.Set(plugInName) < 0) {
        delete entry;
        return nullptr;
    }
    if (entry) CatalogueCopyText(entry->classIdText, CATALOGUE_ID_CHARS, classId);
    return entry;
}

PlugInEntry* PlugInEntry::CopyShell(const PlugInEntry& source) {
    PlugInEntry* entry = Create(source.name, source.classIdText);
    if (!entry) return nullptr;
    entry->flags = source.flags;
    entry->expanded = source.expanded;
    entry->majorVersion = source.majorVersion;
    entry->minorVersion = source.minorVersion;
    return entry;
}

PlugInEntry::~PlugInEntry() {
    for (int i = 0; i < PresetCount(); ++i) delete PresetAt(i);
    KvList_Destroy(presets);
}

int PlugInEntry::PresetCount() const { return presets ? presets->count : 0; }

PresetEntry* PlugInEntry::PresetAt(int index) const {
    if (index < 0 || index >= PresetCount()) return nullptr;
    return KvList_Item<PresetEntry>(presets, index);
}

int PlugInEntry::FindPresetIndex(const wchar_t* presetName) const {
    for (int i = 0; i < PresetCount(); ++i)
        if (CatalogueNamesEqual(PresetAt(i)->name, presetName)) return i;
    return -1;
}

PresetEntry* PlugInEntry::FindPreset(const wchar_t* presetName) const { return PresetAt(FindPresetIndex(presetName)); }

HRESULT PlugInEntry::AppendPreset(PresetEntry* preset) {
    // The list comes with the first preset: the plug-in an undo step keeps for each of its presets, for its name
    // and class only, then costs no list of its own.
    if (preset && !presets) presets = CreateObjectList();
    HRESULT hr = preset ? AppendPointer(presets, preset) : KV_E_OUTOFMEMORY;
    if (hr < 0) delete preset;
    return hr;
}

void PlugInEntry::DeletePresetAt(int index) {
    PresetEntry* preset = PresetAt(index);
    if (!preset) return;
    delete preset;
    KvList_DeleteList(presets, index, 1, FALSE);
}

void PlugInEntry::GetDisplayName(wchar_t* buffer, int capacity, tKVLANG* language) const {
    if (!buffer || capacity < 1) return;
    wchar_t text[CATALOGUE_NAME_CHARS];
    CatalogueCopyText(text, CATALOGUE_NAME_CHARS, name);
    // Without a language instance the formats are unknown and the plain name stands in.
    if ((flags & PLUGIN_LATHMERE_TOOL) && language) {
        if (flags & PLUGIN_LATHMERE_VERSIONED)
            KvPrintFN(text, CATALOGUE_NAME_CHARS, KvGetString(language, kLathmereVersionedFormat),
                      static_cast<int>(majorVersion), static_cast<int>(minorVersion), name.c_str());
        else
            KvPrintFN(text, CATALOGUE_NAME_CHARS, KvGetString(language, kLathmereToolFormat), name.c_str());
        text[CATALOGUE_NAME_CHARS - 1] = 0;
    }
    CatalogueCopyText(buffer, capacity, text);
}

bool PlugInEntry::MatchesName(const wchar_t* text, tKVLANG* language) const {
    if (CatalogueNamesEqual(name, text)) return true;
    wchar_t display[CATALOGUE_NAME_CHARS];
    GetDisplayName(display, CATALOGUE_NAME_CHARS, language);
    return CatalogueNamesEqual(display, text);
}

bool IsSamePlugIn(const PlugInEntry& listEntry, const PlugInEntry& entry, tKVLANG* language) {
    if (listEntry.flags != entry.flags) return false;
    if (!(listEntry.flags & PLUGIN_LATHMERE_TOOL)) return wcscmp(listEntry.classIdText, entry.classIdText) == 0;
    return listEntry.MatchesName(entry.name, language) && listEntry.majorVersion == entry.majorVersion &&
           listEntry.minorVersion == entry.minorVersion;
}

// ---- PlugInList

PlugInList::PlugInList() : plugIns(CreateObjectList()) {}

PlugInList::~PlugInList() {
    for (int i = 0; i < Count(); ++i) delete At(i);
    KvList_Destroy(plugIns);
}

int PlugInList::Count() const { return plugIns ? plugIns->count : 0; }

PlugInEntry* PlugInList::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return KvList_Item<PlugInEntry>(plugIns, index);
}

int PlugInList::FindByIdentity(const PlugInEntry& entry, tKVLANG* language) const {
    for (int i = 0; i < Count(); ++i)
        if (IsSamePlugIn(*At(i), entry, language)) return i;
    return -1;
}

PlugInEntry* PlugInList::FindEntryByIdentity(const PlugInEntry& entry, tKVLANG* language) const {
    return At(FindByIdentity(entry, language));
}

int PlugInList::FindByName(const wchar_t* text, tKVLANG* language) const {
    for (int i = 0; i < Count(); ++i)
        if (At(i)->MatchesName(text, language)) return i;
    return -1;
}

PlugInEntry* PlugInList::FindEntryByName(const wchar_t* text, tKVLANG* language) const {
    return At(FindByName(text, language));
}

int PlugInList::TotalPresetCount() const {
    int total = 0;
    for (int i = 0; i < Count(); ++i) total += At(i)->PresetCount();
    return total;
}

void PlugInList::MakeNotInstalledName(wchar_t* buffer, int capacity, tKVLANG* language) const {
    if (!buffer || capacity < 1) return;
    wchar_t text[CATALOGUE_NAME_CHARS];
    unsigned n = static_cast<unsigned>(Count());
    for (unsigned candidate = 0; candidate < static_cast<unsigned>(Count()); ++candidate) {
        swprintf(text, CATALOGUE_NAME_CHARS, kNotInstalledFormat, candidate);
        if (FindByName(text, language) < 0) {
            n = candidate;
            break;
        }
    }
    swprintf(text, CATALOGUE_NAME_CHARS, kNotInstalledFormat, n);
    CatalogueCopyText(buffer, capacity, text);
}

HRESULT PlugInList::Append(PlugInEntry* entry) {
    HRESULT hr = entry ? AppendPointer(plugIns, entry) : KV_E_OUTOFMEMORY;
    if (hr < 0) delete entry;
    return hr;
}

void PlugInList::DeleteAt(int index) {
    PlugInEntry* entry = At(index);
    if (!entry) return;
    delete entry;
    KvList_DeleteList(plugIns, index, 1, FALSE);
}

// ---- ChainEntry

ChainEntry::ChainEntry() : members(CreateStringList()) {}

ChainEntry::~ChainEntry() {
    CatalogueBlobFree(stream);
    KvList_Destroy(members);
}

void ChainEntry::Assign(const ChainEntry& source) {
    if (&source == this) return;
    if (members) KvList_DeleteList(members, 0, -1, FALSE);
    AdoptStream(nullptr, 0);
    CatalogueCopyText(name, CATALOGUE_NAME_CHARS, source.name);
    CatalogueCopyText(identifier, CATALOGUE_ID_CHARS, source.identifier);
    flags = source.flags;
    type = source.type;
    expanded = source.expanded;
    uint8_t* copy = CopyBlob(source.stream, source.streamSize);
    AdoptStream(copy, copy ? source.streamSize : 0);
    if (!members || !source.members) return;
    for (int i = 0; i < source.members->count; ++i) {
        const wchar_t* text = static_cast<const wchar_t*>(source.members->items[i]);
        KvList_AllocAndInsertItem(members, text, static_cast<uint32_t>((wcslen(text) + 1) * sizeof(wchar_t)), -1,
                                  nullptr);
    }
}

void ChainEntry::AdoptStream(uint8_t* blob, uint32_t size) {
    CatalogueBlobFree(stream);
    stream = blob;
    streamSize = blob ? size : 0;
}

// ---- ChainList

ChainList::ChainList() : chains(CreateObjectList()) {}

ChainList::~ChainList() {
    for (int i = 0; i < Count(); ++i) delete At(i);
    KvList_Destroy(chains);
}

int ChainList::Count() const { return chains ? chains->count : 0; }

ChainEntry* ChainList::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return KvList_Item<ChainEntry>(chains, index);
}

int ChainList::FindByName(const wchar_t* text) const {
    for (int i = 0; i < Count(); ++i)
        if (CatalogueNamesEqual(At(i)->name, text)) return i;
    return -1;
}

ChainEntry* ChainList::FindEntryByName(const wchar_t* text) const { return At(FindByName(text)); }

HRESULT ChainList::Append(ChainEntry* chain) {
    HRESULT hr = chain ? AppendPointer(chains, chain) : KV_E_OUTOFMEMORY;
    if (hr < 0) delete chain;
    return hr;
}

void ChainList::DeleteAt(int index) {
    ChainEntry* chain = At(index);
    if (!chain) return;
    delete chain;
    KvList_DeleteList(chains, index, 1, FALSE);
}
