// WritePackageFile: the catalogue collections of one side as a package, written in one buffered pass.
#include <cstring>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_layout.h"
#include "package_save.h"
#include "package_stream.h"

namespace {

// One list whose size field waits to be patched once its contents are written.
struct OpenList {
    uint64_t start = 0;        // offset of its "LIST" identifier
    uint64_t slackAtStart = 0; // the writer's slack when the list began
};

// Writer state. Sizes are patched from positions, plus the slack: chains of odd length have an even declared
// size but no pad byte after them, and every enclosing size counts that missing byte. Packages from other
// installations have exactly this shape, so ours keep it too.
struct PackageWriter {
    PackageSink& sink;
    uint64_t slack = 0; // declared bytes that the file does not hold, so far

    HRESULT BeginList(uint32_t listType, OpenList* list) {
        list->start = sink.Position();
        list->slackAtStart = slack;
        HRESULT hr = sink.PutU32(RIFF_ID_LIST);
        if (hr >= 0) hr = sink.PutU32(0);
        if (hr >= 0) hr = sink.PutU32(listType);
        return hr;
    }

    HRESULT EndList(const OpenList& list) {
        uint64_t size = sink.Position() - list.start - 8 + (slack - list.slackAtStart);
        if (size > UINT32_MAX) return KV_E_WRITE; // a RIFF file cannot say it
        return sink.PatchU32(list.start + 4, static_cast<uint32_t>(size));
    }

    HRESULT PutChunkHeader(uint32_t id, uint64_t size) {
        if (size > UINT32_MAX) return KV_E_WRITE;
        HRESULT hr = sink.PutU32(id);
        return hr < 0 ? hr : sink.PutU32(static_cast<uint32_t>(size));
    }

    HRESULT WriteFormat(const PlugInList* plugIns, const ChainList* chains) {
        uint8_t record[PKG_FORMAT_RECORD_SIZE] = {};
        PkgStoreU32(record + 0, PACKAGE_VERSION_1_1);
        PkgStoreU32(record + 4, static_cast<uint32_t>(plugIns ? plugIns->Count() : 0));
        PkgStoreU32(record + 8, static_cast<uint32_t>(chains ? chains->Count() : 0));
        HRESULT hr = PutChunkHeader(PKG_CHUNK_FMT, sizeof record);
        return hr < 0 ? hr : sink.Put(record, sizeof record);
    }

    HRESULT WritePreset(const PresetEntry& preset) {
        OpenList list;
        HRESULT hr = BeginList(PKG_LIST_PRESET, &list);
        uint64_t dataSize = preset.data ? preset.dataSize : 0;
        uint64_t size = PKG_PRESET_HEADER_SIZE + dataSize;
        if (hr >= 0) hr = PutChunkHeader(PKG_CHUNK_PRESET, size + (size & 1));
        if (hr < 0) return hr;
        uint8_t record[PKG_PRESET_HEADER_SIZE] = {};
        PkgStoreText(record + PKG_PRESET_NAME, PKG_NAME_UNITS, preset.name);
        PkgStoreU32(record + PKG_PRESET_LENGTH, static_cast<uint32_t>(dataSize));
        hr = sink.Put(record, sizeof record);
        if (hr >= 0) hr = sink.Put(preset.data, dataSize);
        if (hr >= 0 && (dataSize & 1)) hr = sink.PutZeros(1);
        return hr < 0 ? hr : EndList(list);
    }

    HRESULT WritePlugIn(const PlugInEntry& plugIn) {
        OpenList plug, presets;
        HRESULT hr = BeginList(PKG_LIST_PLUGIN, &plug);
        if (hr >= 0) hr = PutChunkHeader(PKG_CHUNK_PLUGIN_HEADER, PKG_PLUGIN_HEADER_SIZE);
        if (hr < 0) return hr;
        uint8_t record[PKG_PLUGIN_HEADER_SIZE] = {};
        PkgStoreU32(record + PKG_PLUGIN_PRESET_COUNT, static_cast<uint32_t>(plugIn.PresetCount()));
        PkgStoreU32(record + PKG_PLUGIN_FLAGS, plugIn.flags);
        PkgStoreU32(record + PKG_PLUGIN_MAJOR, plugIn.majorVersion);
        PkgStoreU32(record + PKG_PLUGIN_MINOR, plugIn.minorVersion);
        PkgStoreText(record + PKG_PLUGIN_CLASS_ID, PKG_ID_UNITS, plugIn.classIdText);
        PkgStoreText(record + PKG_PLUGIN_NAME, PKG_NAME_UNITS, plugIn.name);
        hr = sink.Put(record, sizeof record);
        if (hr >= 0) hr = BeginList(PKG_LIST_PRESETS, &presets);
        for (int i = 0; hr >= 0 && i < plugIn.PresetCount(); ++i) hr = WritePreset(*plugIn.PresetAt(i));
        if (hr >= 0) hr = EndList(presets);
        return hr < 0 ? hr : EndList(plug);
    }

    HRESULT WriteChain(const ChainEntry& chain) {
        OpenList list;
        HRESULT hr = BeginList(PKG_LIST_CHAIN, &list);
        uint64_t dataSize = chain.stream ? chain.streamSize : 0;
        uint64_t size = PKG_CHAIN_HEADER_SIZE + dataSize;
        if (hr >= 0) hr = PutChunkHeader(PKG_CHUNK_CHAIN, size + (size & 1));
        if (hr < 0) return hr;
        uint8_t record[PKG_CHAIN_HEADER_SIZE] = {};
        PkgStoreU32(record + PKG_CHAIN_MEMBER_COUNT, static_cast<uint32_t>(chain.members ? chain.members->count : 0));
        PkgStoreU32(record + PKG_CHAIN_FLAGS, chain.flags);
        PkgStoreU32(record + PKG_CHAIN_TYPE, chain.type);
        PkgStoreText(record + PKG_CHAIN_NAME, PKG_NAME_UNITS, chain.name);
        PkgStoreText(record + PKG_CHAIN_IDENTIFIER, PKG_ID_UNITS, chain.identifier);
        PkgStoreU32(record + PKG_CHAIN_LENGTH, static_cast<uint32_t>(dataSize));
        hr = sink.Put(record, sizeof record);
        if (hr >= 0) hr = sink.Put(chain.stream, dataSize);
        slack += dataSize & 1; // declared, never stored
        return hr < 0 ? hr : EndList(list);
    }

    HRESULT WritePackage(const PlugInList* plugIns, const ChainList* chains) {
        HRESULT hr = sink.PutU32(RIFF_ID_RIFF);
        if (hr >= 0) hr = sink.PutU32(0);
        if (hr >= 0) hr = sink.PutU32(PKG_FORM_KVPD);
        if (hr >= 0) hr = WriteFormat(plugIns, chains);
        if (hr >= 0 && plugIns && plugIns->Count() > 0) {
            OpenList list;
            hr = BeginList(PKG_LIST_PLUGINS, &list);
            for (int i = 0; hr >= 0 && i < plugIns->Count(); ++i) {
                const PlugInEntry* plugIn = plugIns->At(i);
                if (plugIn->PresetCount() > 0) hr = WritePlugIn(*plugIn); // an empty plug-in is counted, not written
            }
            if (hr >= 0) hr = EndList(list);
        }
        if (hr >= 0 && chains && chains->Count() > 0) {
            OpenList list;
            hr = BeginList(PKG_LIST_CHAINS, &list);
            for (int i = 0; hr >= 0 && i < chains->Count(); ++i) hr = WriteChain(*chains->At(i));
            if (hr >= 0) hr = EndList(list);
        }
        if (hr < 0) return hr;
        uint64_t riffSize = sink.Position() - 8 + slack;
        if (riffSize > UINT32_MAX) return KV_E_WRITE;
        hr = sink.PatchU32(4, static_cast<uint32_t>(riffSize));
        return hr < 0 ? hr : sink.Flush();
    }
};

} // namespace

HRESULT WritePackageFile(const wchar_t* path, const PlugInList* plugIns, const ChainList* chains) {
    SafeSave save;
    HRESULT hr = save.Begin(path);
    if (hr < 0) return hr;
    PackageSink sink(save.File());
    PackageWriter writer{sink};
    hr = writer.WritePackage(plugIns, chains);
    return hr < 0 ? hr : save.Commit();
}
