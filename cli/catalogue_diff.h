// Comparing two catalogues: what only one of them holds, and what both hold with different data.
#pragma once
#include <windows.h>
#include <vector>
#include "json_writer.h"

class PlugInList;
class PlugInEntry;
class PresetEntry;
class ChainList;
class ChainEntry;
class Sha256Digest;
struct tKVLANG;

// One side of a comparison; either collection may be null (nothing of that kind).
struct CatalogueView {
    const PlugInList* plugIns = nullptr;
    const ChainList* chains = nullptr;
};

// A preset and the plug-in entry that holds it on its side; other is its counterpart on the other side.
struct PresetDifference {
    const PlugInEntry* plugIn;
    const PresetEntry* preset;
    const PresetEntry* other;
};

struct ChainDifference {
    const ChainEntry* chain;
    const ChainEntry* other;
};

// Items in the order of the side that holds them (the first side's order for items both hold). Pointers into
// the compared collections, valid while they are.
struct CatalogueDifferences {
    std::vector<PresetDifference> presetsOnlyInFirst, presetsOnlyInSecond, presetsDifferent;
    std::vector<ChainDifference> chainsOnlyInFirst, chainsOnlyInSecond, chainsDifferent;

    bool Empty() const;
};

// Plug-ins are the same under the identity rules, tried both ways round so that a tool stored under its display
// name matches whichever side holds it; presets and chains are the same by name ignoring case. Where one side
// holds the same item twice, its first one counts, as the copy would find it. Presets differ in their data,
// chains in their data, identifier, flags or type.
CatalogueDifferences CompareCatalogues(const CatalogueView& first, const CatalogueView& second, tKVLANG* language);

// Writes the members "onlyInA", "onlyInB" and "different", each with "plugins" and "chains", into the object the
// caller has begun. Fails only when a digest cannot be made.
HRESULT WriteDifferencesMembers(JsonWriter& json, const CatalogueDifferences& differences, tKVLANG* language,
                                Sha256Digest& digest);
