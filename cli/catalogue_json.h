// The catalogue as JSON members: plug-ins with their presets, chains, and Lathmere destinations.
#pragma once
#include <windows.h>
#include "json_writer.h"

class PlugInList;
class ChainList;
struct tKVLIST;
struct tKVLANG;
class Sha256Digest;

// Writes the members "plugins" and "chains" into the object the caller has begun; a null collection is an
// empty array. Names are the display names language gives. Fails only when a digest cannot be made.
HRESULT WriteCatalogueMembers(JsonWriter& json, const PlugInList* plugIns, const ChainList* chains,
                              tKVLANG* language, Sha256Digest& digest);

// Writes the member "destinations" from a list of LathmereDestination records (null: an empty array).
void WriteDestinationsMember(JsonWriter& json, const tKVLIST* destinations);
