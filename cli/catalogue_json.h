// The catalogue as JSON members: plug-ins with their presets, chains, and Lathmere destinations.
#pragma once
#include <windows.h>
#include <cstdint>
#include "json_writer.h"

class PlugInList;
class PlugInEntry;
class PresetEntry;
class ChainList;
class ChainEntry;
struct tKVLIST;
struct tKVLANG;
class Sha256Digest;

// The members "size" and "sha256" of a data blob (data may be null when size is 0).
HRESULT WriteBlobMembers(JsonWriter& json, const uint8_t* data, uint32_t size, Sha256Digest& digest);
// The members "name" (the display name language gives), "classId", "flags", "major" and "minor".
void WritePlugInMembers(JsonWriter& json, const PlugInEntry& plugIn, tKVLANG* language);
// {"name", "size", "sha256"}
HRESULT WritePresetObject(JsonWriter& json, const PresetEntry& preset, Sha256Digest& digest);
// The members "identifier", "flags", "type", "size" and "sha256": everything of a chain but its name.
HRESULT WriteChainStateMembers(JsonWriter& json, const ChainEntry& chain, Sha256Digest& digest);
// {"name", then the state members}
HRESULT WriteChainObject(JsonWriter& json, const ChainEntry& chain, Sha256Digest& digest);

// Writes the members "plugins" and "chains" into the object the caller has begun; a null collection is an
// empty array. Names are the display names language gives. Fails only when a digest cannot be made.
HRESULT WriteCatalogueMembers(JsonWriter& json, const PlugInList* plugIns, const ChainList* chains,
                              tKVLANG* language, Sha256Digest& digest);

// Writes the member "destinations" from a list of LathmereDestination records (null: an empty array).
void WriteDestinationsMember(JsonWriter& json, const tKVLIST* destinations);
