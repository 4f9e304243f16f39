// The catalogue as JSON members: plug-ins with their presets, chains, and Lathmere destinations.
#include "catalogue_json.h"
#include "catalogue.h"
#include "sha256_digest.h"
#include "store_read.h"

HRESULT WriteBlobMembers(JsonWriter& json, const uint8_t* data, uint32_t size, Sha256Digest& digest) {
    char hex[65];
    HRESULT hr = digest.Hex(data, size, hex);
    if (hr < 0) return hr;
    json.Key("size");
    json.Number(size);
    json.Key("sha256");
    json.Ascii(hex);
    return S_OK;
}

void WritePlugInMembers(JsonWriter& json, const PlugInEntry& plugIn, tKVLANG* language) {
    wchar_t name[CATALOGUE_NAME_CHARS];
    plugIn.GetDisplayName(name, CATALOGUE_NAME_CHARS, language);
    json.Key("name");
    json.String(name);
    json.Key("classId");
    json.String(plugIn.classIdText);
    json.Key("flags");
    json.Number(plugIn.flags);
    json.Key("major");
    json.Number(plugIn.majorVersion);
    json.Key("minor");
    json.Number(plugIn.minorVersion);
}

HRESULT WritePresetObject(JsonWriter& json, const PresetEntry& preset, Sha256Digest& digest) {
    json.BeginObject();
    json.Key("name");
    json.String(preset.name);
    HRESULT hr = WriteBlobMembers(json, preset.data, preset.dataSize, digest);
    json.EndObject();
    return hr;
}

HRESULT WriteChainStateMembers(JsonWriter& json, const ChainEntry& chain, Sha256Digest& digest) {
    json.Key("identifier");
    json.String(chain.identifier);
    json.Key("flags");
    json.Number(chain.flags);
    json.Key("type");
    json.Number(chain.type);
    return WriteBlobMembers(json, chain.stream, chain.streamSize, digest);
}

HRESULT WriteChainObject(JsonWriter& json, const ChainEntry& chain, Sha256Digest& digest) {
    json.BeginObject();
    json.Key("name");
    json.String(chain.name);
    HRESULT hr = WriteChainStateMembers(json, chain, digest);
    json.EndObject();
    return hr;
}

namespace {

HRESULT WritePlugIn(JsonWriter& json, const PlugInEntry& plugIn, tKVLANG* language, Sha256Digest& digest) {
    json.BeginObject();
    WritePlugInMembers(json, plugIn, language);
    json.Key("presets");
    json.BeginArray();
    for (int i = 0; i < plugIn.PresetCount(); ++i) {
        HRESULT hr = WritePresetObject(json, *plugIn.PresetAt(i), digest);
        if (hr < 0) return hr;
    }
    json.EndArray();
    json.EndObject();
    return S_OK;
}

} // namespace

HRESULT WriteCatalogueMembers(JsonWriter& json, const PlugInList* plugIns, const ChainList* chains,
                              tKVLANG* language, Sha256Digest& digest) {
    json.Key("plugins");
    json.BeginArray();
    for (int i = 0; plugIns && i < plugIns->Count(); ++i) {
        HRESULT hr = WritePlugIn(json, *plugIns->At(i), language, digest);
        if (hr < 0) return hr;
    }
    json.EndArray();
    json.Key("chains");
    json.BeginArray();
    for (int i = 0; chains && i < chains->Count(); ++i) {
        HRESULT hr = WriteChainObject(json, *chains->At(i), digest);
        if (hr < 0) return hr;
    }
    json.EndArray();
    return S_OK;
}

void WriteDestinationsMember(JsonWriter& json, const tKVLIST* destinations) {
    json.Key("destinations");
    json.BeginArray();
    for (int i = 0; destinations && i < destinations->count; ++i) {
        const auto* destination = static_cast<const LathmereDestination*>(destinations->items[i]);
        json.BeginObject();
        json.Key("major");
        json.Number(destination->majorVersion);
        json.Key("minor");
        json.Number(destination->minorVersion);
        json.EndObject();
    }
    json.EndArray();
}
