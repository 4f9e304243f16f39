// Writing and deleting presets and chains in the system store. Results: 0 success, a negative code of this
// program, or the registry's own (positive) status. Names that would leave the store are refused with
// 0x80070057 before anything is written; deletes accept any name that stays one key level deep, since they only
// remove what the store already holds. A data file that another value of the key points at is never replaced or
// deleted: a write picks a free file name instead.
#pragma once
#include <windows.h>
#include "catalogue.h"
#include "store_read.h"

HRESULT WriteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset);
// useOwnVersion 0 writes into destination's store when one is given; otherwise into the tool's own store.
HRESULT WriteLathmerePreset(const PlugInEntry& plugIn, const PresetEntry& preset, int useOwnVersion,
                            const LathmereDestination* destination);
HRESULT DeleteStorePreset(const PlugInEntry& plugIn, const PresetEntry& preset);
HRESULT WriteStoreChain(const ChainEntry& chain);
HRESULT DeleteStoreChain(const ChainEntry& chain);
