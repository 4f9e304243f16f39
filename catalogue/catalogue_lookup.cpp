// SideLookup: hash look-ups over one side's lists, kept up to date by the side operations that run through it.
#include "catalogue_lookup.h"
#include <algorithm>
#include <cwchar>
#include "kvresult.h"

namespace {

constexpr wchar_t kNotInstalledFormat[] = L"Not Installed %03u";

// Presets of a plug-in with no more than this many are searched in its list, without an index of their own.
constexpr int kShortList = 16;

uint64_t PointerKey(const void* item) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(item)) * 0x9E3779B97F4A7C15ull;
}

uint64_t ClassKey(const PlugInEntry& entry) {
    return CatalogueNameKeyOn(1469598103934665603ull ^ (static_cast<uint64_t>(entry.flags) * 1099511628211ull),
                              entry.classIdText);
}

template <class T> void Erase(std::vector<T*>& items, T* item) {
    auto at = std::find(items.begin(), items.end(), item);
    if (at != items.end()) items.erase(at);
}

} // namespace

// Case is ignored by the system's own upper-casing, which may also map some letters outside ASCII onto I, K and S:
// those three and every other character outside ASCII count as one, so equal names always share a key.
uint64_t CatalogueNameKey(const wchar_t* name) { return CatalogueNameKeyOn(1469598103934665603ull, name); }

uint64_t CatalogueNameKeyOn(uint64_t hash, const wchar_t* more) {
    for (const wchar_t* c = more; c && *c; ++c) {
        wchar_t folded = *c;
        if (folded >= L'a' && folded <= L'z') folded = static_cast<wchar_t>(folded - L'a' + L'A');
        if (folded >= 0x80 || folded == L'I' || folded == L'K' || folded == L'S') folded = 0xFFFF;
        hash = (hash ^ static_cast<uint64_t>(folded)) * 1099511628211ull;
    }
    return hash;
}

SideLookup::SideLookup(PlugInList* list, tKVLANG* language) : list_(list), language_(language) {
    const size_t count = static_cast<size_t>(list_->Count());
    plugIns_.Reserve(count);
    byClass_.Reserve(count);
    for (int i = 0; i < list_->Count(); ++i) Index(list_->At(i), i);
}

SideLookup::~SideLookup() {
    // Every slot of a removed item is closed up here, and only here: no reader sees an empty slot as long as the
    // look-ups end before anything else reads the lists (CatalogueLookupScope sees to that).
    plugIns_.ForEachValue([](PlugIn& plugIn) {
        if (plugIn.emptied) CloseUp(plugIn.entry->presets);
    });
    if (plugInsEmptied_) CloseUp(list_->plugIns);
}

// Moves the filled slots down over the empty ones, keeping their order, and drops the rest.
void SideLookup::CloseUp(tKVLIST* list) {
    if (!list) return;
    int kept = 0;
    for (int i = 0; i < list->count; ++i)
        if (list->items[i]) list->items[kept++] = list->items[i];
    KvList_DeleteList(list, kept, list->count - kept, FALSE);
}

void SideLookup::Index(PlugInEntry* entry, int slot) {
    if (!entry) return;
    PlugIn plugIn;
    plugIn.entry = entry;
    plugIn.slot = slot;
    plugIn.first = entry->PresetCount() > 0 ? 0 : -1;
    plugIn.last = entry->PresetCount() - 1;
    Trim(plugIn);
    plugIns_.Add(PointerKey(entry), std::move(plugIn));
    if (entry->flags & PLUGIN_LATHMERE_TOOL) tools_.push_back(entry);
    else byClass_.Add(ClassKey(*entry), Listed{entry, slot});
    if (namesIndexed_) IndexName(entry, true);
}

// Made at the first question about names: most runs (an undo of a copy, say) never ask one.
void SideLookup::IndexNames() const {
    if (namesIndexed_) return;
    namesIndexed_ = true;
    byName_.Reserve(plugIns_.Count());
    for (int i = 0; i < list_->Count(); ++i)
        if (PlugInEntry* entry = list_->At(i)) IndexName(entry, true);
}

void SideLookup::IndexName(PlugInEntry* entry, bool add) const {
    wchar_t display[CATALOGUE_NAME_CHARS];
    entry->GetDisplayName(display, CATALOGUE_NAME_CHARS, language_);
    uint64_t keys[2] = {CatalogueNameKey(entry->name), CatalogueNameKey(display)};
    for (int k = 0; k < (keys[1] == keys[0] ? 1 : 2); ++k) {
        if (add) byName_.Add(keys[k], entry);
        else byName_.Remove(keys[k], [entry](PlugInEntry* item) { return item == entry; });
    }
}

SideLookup::PlugIn* SideLookup::Find(const PlugInEntry* entry) {
    return plugIns_.Find(PointerKey(entry), [entry](const PlugIn& plugIn) { return plugIn.entry == entry; });
}

PlugInEntry* SideLookup::FindByIdentity(const PlugInEntry& entry) const {
    if (entry.flags & PLUGIN_LATHMERE_TOOL) {
        for (PlugInEntry* tool : tools_)
            if (IsSamePlugIn(*tool, entry, language_)) return tool;
        return nullptr;
    }
    // A step's actions meet the plug-ins one after another: most look-ups ask for the one just found.
    if (lastFound_ && IsSamePlugIn(*lastFound_, entry, language_)) return lastFound_;
    // The first in list order, as the list's own search finds it.
    const Listed* first = nullptr;
    byClass_.Find(ClassKey(entry), [&](const Listed& listed) {
        if ((!first || listed.slot < first->slot) && IsSamePlugIn(*listed.entry, entry, language_)) first = &listed;
        return false;
    });
    lastFound_ = first ? first->entry : nullptr;
    return lastFound_;
}

bool SideLookup::NameTaken(const wchar_t* text) const {
    IndexNames();
    return byName_.Find(CatalogueNameKey(text),
                        [&](PlugInEntry* entry) { return entry->MatchesName(text, language_); }) != nullptr;
}

void SideLookup::MakeNotInstalledName(wchar_t* buffer, int capacity) const {
    if (!buffer || capacity < 1) return;
    wchar_t text[CATALOGUE_NAME_CHARS];
    const unsigned count = static_cast<unsigned>(plugIns_.Count());
    unsigned n = count;
    for (unsigned candidate = 0; candidate < count; ++candidate) {
        swprintf(text, CATALOGUE_NAME_CHARS, kNotInstalledFormat, candidate);
        if (!NameTaken(text)) {
            n = candidate;
            break;
        }
    }
    swprintf(text, CATALOGUE_NAME_CHARS, kNotInstalledFormat, n);
    CatalogueCopyText(buffer, capacity, text);
}

FlatIndex<SideLookup::PresetSlot>* SideLookup::PresetsOf(PlugIn& plugIn) {
    PlugInEntry* entry = plugIn.entry;
    if (!plugIn.presets && entry->PresetCount() > kShortList) {
        plugIn.presets = std::make_unique<FlatIndex<PresetSlot>>();
        plugIn.presets->Reserve(static_cast<size_t>(entry->PresetCount()) + 1);
        for (int i = 0; i < entry->PresetCount(); ++i) {
            PresetEntry* preset = entry->PresetAt(i);
            if (!preset) continue;
            if (plugIn.presets->Add(CatalogueNameKey(preset->name), PresetSlot{preset, i})) plugIn.sharedKeys = true;
        }
    }
    return plugIn.presets.get();
}

// A slot of the index whose preset has left the list (taken from one of its ends, below) is passed over.
bool SideLookup::Holds(const PlugInEntry& entry, const PresetSlot& slot) {
    return entry.PresetAt(slot.index) == slot.preset;
}

// The ends move in past the empty slots a removal left.
void SideLookup::Trim(PlugIn& plugIn) {
    const PlugInEntry& entry = *plugIn.entry;
    while (plugIn.last >= 0 && !entry.PresetAt(plugIn.last)) --plugIn.last;
    while (plugIn.first >= 0 && plugIn.first <= plugIn.last && !entry.PresetAt(plugIn.first)) ++plugIn.first;
    if (plugIn.last < plugIn.first) plugIn.first = plugIn.last = -1;
}

PresetEntry* SideLookup::FindPreset(PlugInEntry* entry, const wchar_t* name) {
    PlugIn* plugIn = Find(entry);
    if (!plugIn) return nullptr;
    // A run of actions mostly works along a list (an undo of a copy takes its presets away first to last), so the
    // preset asked for is often at one of its ends. Looking there first spares a look-up in a table too large to
    // stay in the processor's cache, and often the table itself. The first is the first of its name whatever
    // follows; the last only while no two presets share a name key.
    if (PresetEntry* first = entry->PresetAt(plugIn->first); first && CatalogueNamesEqual(first->name, name))
        return first;
    FlatIndex<PresetSlot>* presets = PresetsOf(*plugIn);
    if (!presets) {
        const uint64_t key = CatalogueNameKey(name);
        for (int i = 0; i < entry->PresetCount(); ++i) {
            PresetEntry* preset = entry->PresetAt(i);
            if (preset && CatalogueNameKey(preset->name) == key && CatalogueNamesEqual(preset->name, name))
                return preset;
        }
        return nullptr;
    }
    if (PresetEntry* last = plugIn->sharedKeys ? nullptr : entry->PresetAt(plugIn->last);
        last && CatalogueNamesEqual(last->name, name))
        return last;
    // The first in list order, as the list's own search finds it.
    const PresetSlot* found = nullptr;
    presets->Find(CatalogueNameKey(name), [&](const PresetSlot& slot) {
        if ((!found || slot.index < found->index) && Holds(*entry, slot) && CatalogueNamesEqual(slot.preset->name, name))
            found = &slot;
        return false;
    });
    return found ? found->preset : nullptr;
}

HRESULT SideLookup::AppendPlugIn(PlugInEntry* entry) {
    int slot = list_->plugIns ? list_->plugIns->count : 0;
    HRESULT hr = list_->Append(entry); // deletes the entry when it fails
    if (hr >= 0) Index(entry, slot);
    return hr;
}

HRESULT SideLookup::AppendPreset(PlugInEntry* entry, PresetEntry* preset) {
    PlugIn* plugIn = Find(entry);
    if (!plugIn || !preset) {
        delete preset; // as the list's own append, which takes the preset whatever happens
        return plugIn ? KV_E_OUTOFMEMORY : KV_E_INVALIDARG;
    }
    FlatIndex<PresetSlot>* presets = PresetsOf(*plugIn);
    int index = entry->PresetCount();
    uint64_t key = CatalogueNameKey(preset->name);
    HRESULT hr = entry->AppendPreset(preset); // deletes the preset when it fails
    if (hr < 0) return hr;
    if (plugIn->first < 0) plugIn->first = index;
    plugIn->last = index;
    // A list without an index yet (a short one, say) is indexed as it stands when it needs one.
    if (presets && presets->Add(key, PresetSlot{preset, index})) plugIn->sharedKeys = true;
    return hr;
}

void SideLookup::RemovePreset(PlugInEntry* entry, PresetEntry* preset) {
    PlugIn* plugIn = Find(entry);
    if (!plugIn) return;
    int index = -1;
    if (entry->PresetAt(plugIn->first) == preset) {
        index = plugIn->first; // a slot of it in the index stays, passed over from now on
    } else if (entry->PresetAt(plugIn->last) == preset) {
        index = plugIn->last;
    } else if (FlatIndex<PresetSlot>* presets = PresetsOf(*plugIn)) {
        presets->Remove(CatalogueNameKey(preset->name), [&](const PresetSlot& slot) {
            if (slot.preset != preset || !Holds(*entry, slot)) return false;
            index = slot.index;
            return true;
        });
    } else {
        for (int i = 0; i < entry->PresetCount() && index < 0; ++i)
            if (entry->PresetAt(i) == preset) index = i;
    }
    if (index < 0) return;
    entry->presets->items[index] = nullptr;
    plugIn->emptied = true;
    Trim(*plugIn);
    delete preset;
    RemoveIfEmpty(entry);
}

// As RemovePreset leaves it: the plug-in goes with its last preset, as PlugInList::DeleteAt would take it.
void SideLookup::RemoveIfEmpty(PlugInEntry* entry) {
    PlugIn* plugIn = Find(entry);
    if (!plugIn) return;
    if (plugIn->last >= 0) return;
    const int slot = plugIn->slot;
    if (entry->flags & PLUGIN_LATHMERE_TOOL) Erase(tools_, entry);
    else byClass_.Remove(ClassKey(*entry), [entry](const Listed& listed) { return listed.entry == entry; });
    if (lastFound_ == entry) lastFound_ = nullptr;
    if (namesIndexed_) IndexName(entry, false);
    plugIns_.Remove(PointerKey(entry), [entry](const PlugIn& item) { return item.entry == entry; });
    list_->plugIns->items[slot] = nullptr;
    delete entry;
    plugInsEmptied_ = true;
}
