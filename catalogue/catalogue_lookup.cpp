// SideLookup: hash look-ups over one side's lists, kept up to date by the side operations that run through it.
#include "catalogue_lookup.h"
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include "kvresult.h"

namespace {

constexpr wchar_t kNotInstalledFormat[] = L"Not Installed %03u";

// Built into one reused text: a look-up by identity runs once or twice for every item of a large copy or undo.
const std::wstring& ClassKey(const PlugInEntry& entry, std::wstring& text) {
    text = std::to_wstring(entry.flags);
    text += L'|';
    text += entry.classIdText;
    return text;
}

template <class T> void Erase(std::vector<T*>& items, T* item) {
    auto at = std::find(items.begin(), items.end(), item);
    if (at != items.end()) items.erase(at);
}

} // namespace

// Case is ignored by the system's own upper-casing, which may also map some letters outside ASCII onto I, K and S:
// those three and every other character outside ASCII count as one, so equal names always share a key.
uint64_t CatalogueNameKey(const wchar_t* name) {
    uint64_t hash = 1469598103934665603ull;
    for (const wchar_t* c = name; c && *c; ++c) {
        wchar_t folded = *c;
        if (folded >= L'a' && folded <= L'z') folded = static_cast<wchar_t>(folded - L'a' + L'A');
        if (folded >= 0x80 || folded == L'I' || folded == L'K' || folded == L'S') folded = 0xFFFF;
        hash = (hash ^ static_cast<uint64_t>(folded)) * 1099511628211ull;
    }
    return hash;
}

SideLookup::SideLookup(PlugInList* list, tKVLANG* language) : list_(list), language_(language) {
    for (int i = 0; i < list_->Count(); ++i) Index(list_->At(i), i);
}

SideLookup::~SideLookup() {
    // Every slot of a removed item is closed up here, and only here: no reader sees an empty slot as long as the
    // look-ups end before anything else reads the lists (CatalogueLookupScope sees to that).
    for (tKVLIST* presets : emptied_) CloseUp(presets);
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
    plugIns_[entry].slot = slot;
    if (entry->flags & PLUGIN_LATHMERE_TOOL) tools_.push_back(entry);
    else byClass_[ClassKey(*entry, classKey_)].push_back(entry);
    IndexName(entry, true);
}

void SideLookup::IndexName(PlugInEntry* entry, bool add) {
    wchar_t display[CATALOGUE_NAME_CHARS];
    entry->GetDisplayName(display, CATALOGUE_NAME_CHARS, language_);
    uint64_t keys[2] = {CatalogueNameKey(entry->name), CatalogueNameKey(display)};
    for (int k = 0; k < (keys[1] == keys[0] ? 1 : 2); ++k) {
        std::vector<PlugInEntry*>& bucket = byName_[keys[k]];
        if (add) bucket.push_back(entry);
        else Erase(bucket, entry);
    }
}

PlugInEntry* SideLookup::FindByIdentity(const PlugInEntry& entry) const {
    if (entry.flags & PLUGIN_LATHMERE_TOOL) {
        for (PlugInEntry* tool : tools_)
            if (IsSamePlugIn(*tool, entry, language_)) return tool;
        return nullptr;
    }
    auto found = byClass_.find(ClassKey(entry, classKey_));
    return found == byClass_.end() || found->second.empty() ? nullptr : found->second.front();
}

bool SideLookup::NameTaken(const wchar_t* text) const {
    auto found = byName_.find(CatalogueNameKey(text));
    if (found == byName_.end()) return false;
    for (const PlugInEntry* entry : found->second)
        if (entry->MatchesName(text, language_)) return true;
    return false;
}

void SideLookup::MakeNotInstalledName(wchar_t* buffer, int capacity) const {
    if (!buffer || capacity < 1) return;
    wchar_t text[CATALOGUE_NAME_CHARS];
    const unsigned count = static_cast<unsigned>(plugIns_.size());
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

SideLookup::Presets& SideLookup::PresetsOf(PlugInEntry* entry) {
    PlugIn& plugIn = plugIns_.at(entry);
    if (!plugIn.presets) {
        plugIn.presets = std::make_unique<Presets>();
        plugIn.presets->byName.reserve(static_cast<size_t>(entry->PresetCount()));
        for (int i = 0; i < entry->PresetCount(); ++i) {
            PresetEntry* preset = entry->PresetAt(i);
            if (!preset) continue;
            plugIn.presets->byName.emplace(CatalogueNameKey(preset->name), Slot{preset, i});
            ++plugIn.presets->live;
        }
    }
    return *plugIn.presets;
}

PresetEntry* SideLookup::FindPreset(PlugInEntry* entry, const wchar_t* name) {
    auto [first, last] = PresetsOf(entry).byName.equal_range(CatalogueNameKey(name));
    // The first in list order, as the list's own search finds it.
    const Slot* found = nullptr;
    for (auto at = first; at != last; ++at)
        if ((!found || at->second.index < found->index) && CatalogueNamesEqual(at->second.preset->name, name))
            found = &at->second;
    return found ? found->preset : nullptr;
}

HRESULT SideLookup::AppendPlugIn(PlugInEntry* entry) {
    int slot = list_->plugIns ? list_->plugIns->count : 0;
    HRESULT hr = list_->Append(entry); // deletes the entry when it fails
    if (hr >= 0) Index(entry, slot);
    return hr;
}

HRESULT SideLookup::AppendPreset(PlugInEntry* entry, PresetEntry* preset) {
    Presets& presets = PresetsOf(entry);
    int index = entry->PresetCount();
    uint64_t key = CatalogueNameKey(preset ? preset->name.c_str() : L"");
    HRESULT hr = entry->AppendPreset(preset); // deletes the preset when it fails
    if (hr < 0) return hr;
    presets.byName.emplace(key, Slot{preset, index});
    ++presets.live;
    return hr;
}

void SideLookup::RemovePreset(PlugInEntry* entry, PresetEntry* preset) {
    Presets& presets = PresetsOf(entry);
    auto [first, last] = presets.byName.equal_range(CatalogueNameKey(preset->name));
    auto slot = std::find_if(first, last, [preset](const auto& item) { return item.second.preset == preset; });
    if (slot == last) return;
    entry->presets->items[slot->second.index] = nullptr;
    presets.byName.erase(slot);
    delete preset;
    emptied_.insert(entry->presets);
    --presets.live;
    RemoveIfEmpty(entry);
}

// As RemovePreset leaves it: the plug-in goes with its last preset, as PlugInList::DeleteAt would take it.
void SideLookup::RemoveIfEmpty(PlugInEntry* entry) {
    if (PresetsOf(entry).live > 0) return;
    if (entry->flags & PLUGIN_LATHMERE_TOOL) Erase(tools_, entry);
    else Erase(byClass_[ClassKey(*entry, classKey_)], entry);
    IndexName(entry, false);
    emptied_.erase(entry->presets);
    list_->plugIns->items[SlotOf(entry)] = nullptr;
    plugIns_.erase(entry);
    delete entry;
    plugInsEmptied_ = true;
}
