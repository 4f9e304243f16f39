// Comparing two catalogues: what only one of them holds, and what both hold with different data.
#include "catalogue_diff.h"
#include <cstring>
#include <cwchar>
#include <map>
#include "catalogue.h"
#include "catalogue_json.h"

namespace {

// Orders names as CatalogueNamesEqual compares them, so that equal names ignoring case are one key.
struct NameLess {
    bool operator()(const wchar_t* first, const wchar_t* second) const {
        return CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_LESS_THAN;
    }
};
using NameIndex = std::map<const wchar_t*, int, NameLess>; // a name's first position

struct Found {
    int entry = -1; // -1: none
    int item = -1;
};

// One side's collections with its names indexed, so that a comparison of thousands of presets stays quick.
struct IndexedSide {
    explicit IndexedSide(const CatalogueView& view) : view(view) {
        int plugIns = view.plugIns ? view.plugIns->Count() : 0;
        presetNames.resize(static_cast<size_t>(plugIns));
        for (int i = 0; i < plugIns; ++i) {
            const PlugInEntry* entry = view.plugIns->At(i);
            for (int k = 0; entry && k < entry->PresetCount(); ++k)
                if (entry->PresetAt(k)) presetNames[static_cast<size_t>(i)].emplace(entry->PresetAt(k)->name, k);
        }
        for (int i = 0; view.chains && i < view.chains->Count(); ++i)
            if (view.chains->At(i)) chainNames.emplace(view.chains->At(i)->name, i);
    }

    int PlugInCount() const { return static_cast<int>(presetNames.size()); }
    const PlugInEntry* PlugInAt(int index) const { return view.plugIns->At(index); }

    // The first preset of that name in the first of the given entries that holds one.
    Found FindPreset(const std::vector<int>& entries, const wchar_t* name) const {
        for (int entry : entries) {
            auto found = presetNames[static_cast<size_t>(entry)].find(name);
            if (found != presetNames[static_cast<size_t>(entry)].end()) return {entry, found->second};
        }
        return {};
    }
    const ChainEntry* FindChain(const wchar_t* name) const {
        auto found = chainNames.find(name);
        return found == chainNames.end() ? nullptr : view.chains->At(found->second);
    }

    const CatalogueView& view;
    std::vector<NameIndex> presetNames; // per plug-in entry
    NameIndex chainNames;
};

bool SamePlugIn(const PlugInEntry* first, const PlugInEntry* second, tKVLANG* language) {
    return first && second && (IsSamePlugIn(*first, *second, language) || IsSamePlugIn(*second, *first, language));
}

bool SameBytes(const uint8_t* first, uint32_t firstSize, const uint8_t* second, uint32_t secondSize) {
    return firstSize == secondSize && (firstSize == 0 || memcmp(first, second, firstSize) == 0);
}

bool SameChainState(const ChainEntry& first, const ChainEntry& second) {
    return first.flags == second.flags && first.type == second.type &&
           wcscmp(first.identifier, second.identifier) == 0 &&
           SameBytes(first.stream, first.streamSize, second.stream, second.streamSize);
}

// For each entry of one side, the entries of another side that are the same plug-in, in list order.
std::vector<std::vector<int>> MatchPlugIns(const IndexedSide& from, const IndexedSide& to, bool earlierOnly,
                                           tKVLANG* language) {
    std::vector<std::vector<int>> matches(static_cast<size_t>(from.PlugInCount()));
    for (int i = 0; i < from.PlugInCount(); ++i)
        for (int j = 0; j < (earlierOnly ? i + 1 : to.PlugInCount()); ++j)
            if (SamePlugIn(from.PlugInAt(i), to.PlugInAt(j), language)) matches[static_cast<size_t>(i)].push_back(j);
    return matches;
}

// Presets of side that the other side lacks (and, when different is given, those it holds with other data).
void ComparePresets(const IndexedSide& side, const IndexedSide& other, tKVLANG* language,
                    std::vector<PresetDifference>* onlyHere, std::vector<PresetDifference>* different) {
    auto own = MatchPlugIns(side, side, true, language);
    auto counterparts = MatchPlugIns(side, other, false, language);
    for (int i = 0; i < side.PlugInCount(); ++i) {
        const PlugInEntry* entry = side.PlugInAt(i);
        for (int k = 0; entry && k < entry->PresetCount(); ++k) {
            const PresetEntry* preset = entry->PresetAt(k);
            if (!preset) continue;
            Found first = side.FindPreset(own[static_cast<size_t>(i)], preset->name);
            if (first.entry != i || first.item != k) continue; // an earlier one of the same name counts
            Found match = other.FindPreset(counterparts[static_cast<size_t>(i)], preset->name);
            if (match.entry < 0) {
                onlyHere->push_back({entry, preset, nullptr});
                continue;
            }
            const PresetEntry* counterpart = other.PlugInAt(match.entry)->PresetAt(match.item);
            if (different && !SameBytes(preset->data, preset->dataSize, counterpart->data, counterpart->dataSize))
                different->push_back({entry, preset, counterpart});
        }
    }
}

void CompareChains(const IndexedSide& side, const IndexedSide& other, std::vector<ChainDifference>* onlyHere,
                   std::vector<ChainDifference>* different) {
    for (int i = 0; side.view.chains && i < side.view.chains->Count(); ++i) {
        const ChainEntry* chain = side.view.chains->At(i);
        if (!chain || side.FindChain(chain->name) != chain) continue;
        const ChainEntry* counterpart = other.FindChain(chain->name);
        if (!counterpart) onlyHere->push_back({chain, nullptr});
        else if (different && !SameChainState(*chain, *counterpart)) different->push_back({chain, counterpart});
    }
}

// {"size","sha256"} of one preset's data, under key.
HRESULT WritePresetData(JsonWriter& json, const char* key, const PresetEntry& preset, Sha256Digest& digest) {
    json.Key(key);
    json.BeginObject();
    HRESULT hr = WriteBlobMembers(json, preset.data, preset.dataSize, digest);
    json.EndObject();
    return hr;
}

// The plug-ins of consecutive items as one object each, its presets in "presets".
HRESULT WritePresetGroups(JsonWriter& json, const std::vector<PresetDifference>& items, tKVLANG* language,
                          Sha256Digest& digest) {
    json.Key("plugins");
    json.BeginArray();
    for (size_t i = 0; i < items.size();) {
        const PlugInEntry* plugIn = items[i].plugIn;
        json.BeginObject();
        WritePlugInMembers(json, *plugIn, language);
        json.Key("presets");
        json.BeginArray();
        for (; i < items.size() && items[i].plugIn == plugIn; ++i) {
            const PresetDifference& item = items[i];
            HRESULT hr = S_OK;
            if (!item.other) {
                hr = WritePresetObject(json, *item.preset, digest);
            } else {
                json.BeginObject();
                json.Key("name");
                json.String(item.preset->name);
                hr = WritePresetData(json, "a", *item.preset, digest);
                if (hr >= 0) hr = WritePresetData(json, "b", *item.other, digest);
                json.EndObject();
            }
            if (hr < 0) return hr;
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    return S_OK;
}

HRESULT WriteChainState(JsonWriter& json, const char* key, const ChainEntry& chain, Sha256Digest& digest) {
    json.Key(key);
    json.BeginObject();
    HRESULT hr = WriteChainStateMembers(json, chain, digest);
    json.EndObject();
    return hr;
}

HRESULT WriteChains(JsonWriter& json, const std::vector<ChainDifference>& items, Sha256Digest& digest) {
    json.Key("chains");
    json.BeginArray();
    for (const ChainDifference& item : items) {
        HRESULT hr = S_OK;
        if (!item.other) {
            hr = WriteChainObject(json, *item.chain, digest);
        } else {
            json.BeginObject();
            json.Key("name");
            json.String(item.chain->name);
            hr = WriteChainState(json, "a", *item.chain, digest);
            if (hr >= 0) hr = WriteChainState(json, "b", *item.other, digest);
            json.EndObject();
        }
        if (hr < 0) return hr;
    }
    json.EndArray();
    return S_OK;
}

HRESULT WriteGroup(JsonWriter& json, const char* key, const std::vector<PresetDifference>& presets,
                   const std::vector<ChainDifference>& chains, tKVLANG* language, Sha256Digest& digest) {
    json.Key(key);
    json.BeginObject();
    HRESULT hr = WritePresetGroups(json, presets, language, digest);
    if (hr >= 0) hr = WriteChains(json, chains, digest);
    json.EndObject();
    return hr;
}

} // namespace

bool CatalogueDifferences::Empty() const {
    return presetsOnlyInFirst.empty() && presetsOnlyInSecond.empty() && presetsDifferent.empty() &&
           chainsOnlyInFirst.empty() && chainsOnlyInSecond.empty() && chainsDifferent.empty();
}

CatalogueDifferences CompareCatalogues(const CatalogueView& first, const CatalogueView& second, tKVLANG* language) {
    IndexedSide a(first), b(second);
    CatalogueDifferences differences;
    ComparePresets(a, b, language, &differences.presetsOnlyInFirst, &differences.presetsDifferent);
    ComparePresets(b, a, language, &differences.presetsOnlyInSecond, nullptr);
    CompareChains(a, b, &differences.chainsOnlyInFirst, &differences.chainsDifferent);
    CompareChains(b, a, &differences.chainsOnlyInSecond, nullptr);
    return differences;
}

HRESULT WriteDifferencesMembers(JsonWriter& json, const CatalogueDifferences& differences, tKVLANG* language,
                                Sha256Digest& digest) {
    HRESULT hr = WriteGroup(json, "onlyInA", differences.presetsOnlyInFirst, differences.chainsOnlyInFirst,
                            language, digest);
    if (hr >= 0)
        hr = WriteGroup(json, "onlyInB", differences.presetsOnlyInSecond, differences.chainsOnlyInSecond, language,
                        digest);
    if (hr >= 0)
        hr = WriteGroup(json, "different", differences.presetsDifferent, differences.chainsDifferent, language,
                        digest);
    return hr;
}
