// ReadPackageFile: a package's plug-ins, presets and chains read into fresh collections and handed over whole.
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_layout.h"
#include "package_stream.h"
#include "store_read.h"

namespace {

// One chunk header as read; dataStart is the offset just after its 8 bytes.
struct ChunkHeader {
    uint32_t id = 0;
    uint32_t size = 0;
    uint64_t dataStart = 0;
    uint64_t End() const { return dataStart + PkgRounded(size); }
};

// Reader state. Every walk is bounded by a count of declared bytes (int64, never wrapping) that each header,
// list type and chunk lowers, so every loop moves forward or stops; data lengths are checked against their
// chunk and against the bytes left in the file before anything is allocated. The nesting is fixed by the
// format (plgs > plug > plst > pset, clst > chn ), so nothing recurses on what the file says.
struct PackageReader {
    PackageSource& source;
    uint32_t version = 0; // from "fmt ": decides the plug-in header's layout

    // Reads the header of the next chunk inside a list with remaining declared bytes, which must hold the
    // header and the chunk's rounded size. A LIST too short for its own type is damage, like a chunk too large.
    HRESULT ReadHeader(int64_t* remaining, ChunkHeader* header) {
        HRESULT hr = source.ReadU32(&header->id);
        if (hr >= 0) hr = source.ReadU32(&header->size);
        if (hr < 0) return hr;
        header->dataStart = source.Position();
        *remaining -= 8;
        if (PkgRounded(header->size) > *remaining) return KV_E_UNSUPPORTED;
        if (header->id == RIFF_ID_LIST && header->size < 4) return KV_E_UNSUPPORTED;
        return S_OK;
    }

    // Finds the next chunk with id, passing over others; the position is left at its data.
    HRESULT FindChunk(uint32_t id, int64_t* remaining, ChunkHeader* header) {
        for (;;) {
            if (*remaining < 8) return KV_E_NOT_FOUND;
            HRESULT hr = ReadHeader(remaining, header);
            if (hr < 0) return hr;
            if (header->id == id) return S_OK;
            *remaining -= PkgRounded(header->size);
            source.Seek(header->End());
        }
    }

    // Finds the next LIST of listType; the position is left after its type, and remaining counts the whole list.
    HRESULT FindList(uint32_t listType, int64_t* remaining, ChunkHeader* header) {
        for (;;) {
            if (*remaining < 8) return KV_E_NOT_FOUND;
            HRESULT hr = ReadHeader(remaining, header);
            if (hr < 0) return hr;
            *remaining -= PkgRounded(header->size);
            if (header->id == RIFF_ID_LIST) {
                uint32_t type = 0;
                hr = source.ReadU32(&type);
                if (hr < 0) return hr;
                if (type == listType) return S_OK;
            }
            source.Seek(header->End());
        }
    }

    // Walks the entry headers of a list once before reading it, so a list cut short by the end of the file
    // fails as a short read. Headers that end inside the file cannot come back short, so a list that ends
    // inside the file needs no walk.
    HRESULT CheckEntries(int64_t remaining) {
        uint64_t start = source.Position();
        if (start + remaining <= source.Size()) return S_OK;
        HRESULT hr = S_OK;
        while (hr >= 0 && remaining >= 8) {
            uint32_t id = 0, size = 0;
            hr = source.ReadU32(&id);
            if (hr >= 0) hr = source.ReadU32(&size);
            remaining -= 8 + PkgRounded(size);
            source.Seek(source.Position() + PkgRounded(size));
        }
        source.Seek(start);
        return hr;
    }

    // The record at the start of a "psth" or "chnh" chunk, and its data block.
    HRESULT ReadRecord(const ChunkHeader& chunk, uint8_t* record, size_t recordSize, size_t lengthOffset,
                       uint8_t** data, uint32_t* dataSize) {
        if (chunk.size < recordSize) return KV_E_UNSUPPORTED;
        HRESULT hr = source.Read(record, recordSize);
        if (hr < 0) return hr;
        uint32_t n = PkgLoadU32(record + lengthOffset);
        if (n == 0) return KV_E_READ;
        if (n > chunk.size - recordSize) return KV_E_UNSUPPORTED;
        if (n > source.BytesLeft()) return KV_E_READ;
        uint8_t* blob = CatalogueBlobAllocToFill(n); // the read fills it whole or it is freed
        if (!blob) return KV_E_OUTOFMEMORY;
        hr = source.Read(blob, n);
        if (hr < 0) {
            CatalogueBlobFree(blob);
            return hr;
        }
        *data = blob;
        *dataSize = n;
        return S_OK;
    }

    HRESULT ReadPresetChunk(const ChunkHeader& chunk, PresetEntry* preset) {
        uint8_t record[PKG_PRESET_HEADER_SIZE];
        uint8_t* data = nullptr;
        uint32_t n = 0;
        HRESULT hr = ReadRecord(chunk, record, sizeof record, PKG_PRESET_LENGTH, &data, &n);
        if (hr < 0) return hr;
        preset->AdoptData(data, n); // freed with the preset when the name fails
        wchar_t name[PKG_NAME_UNITS];
        PkgLoadText(record + PKG_PRESET_NAME, PKG_NAME_UNITS, name);
        hr = preset->name.Set(name);
        if (hr < 0) return hr;
        source.Seek(chunk.End()); // past the pad byte of odd data
        return S_OK;
    }

    HRESULT ReadChainChunk(const ChunkHeader& chunk, ChainEntry* chain) {
        uint8_t record[PKG_CHAIN_HEADER_SIZE];
        uint8_t* data = nullptr;
        uint32_t n = 0;
        HRESULT hr = ReadRecord(chunk, record, sizeof record, PKG_CHAIN_LENGTH, &data, &n);
        if (hr < 0) return hr;
        chain->flags = PkgLoadU32(record + PKG_CHAIN_FLAGS);
        chain->type = PkgLoadU32(record + PKG_CHAIN_TYPE);
        PkgLoadText(record + PKG_CHAIN_NAME, PKG_NAME_UNITS, chain->name);
        PkgLoadText(record + PKG_CHAIN_IDENTIFIER, PKG_ID_UNITS, chain->identifier);
        chain->AdoptStream(data, n);
        // Chains carry no pad byte although their size counts one: the next chain starts right here.
        return S_OK;
    }

    // One LIST "pset" or "chn ": found from the current position, its chunks walked, the wanted one read.
    // The position afterwards follows the bytes read, not the declared sizes.
    template <class Entry, class ReadChunk>
    HRESULT ReadEntry(uint32_t listType, uint32_t chunkId, int64_t* remaining, Entry* entry, ReadChunk readChunk) {
        ChunkHeader list;
        HRESULT hr = FindList(listType, remaining, &list);
        if (hr < 0) return hr;
        int64_t left = static_cast<int64_t>(list.size) - 4;
        bool found = false;
        while (left >= 8) {
            ChunkHeader chunk;
            hr = ReadHeader(&left, &chunk);
            if (hr < 0) return hr;
            left -= PkgRounded(chunk.size);
            if (chunk.id == chunkId) {
                hr = (this->*readChunk)(chunk, entry);
                if (hr < 0) return hr;
                found = true;
            } else {
                source.Seek(chunk.End());
            }
        }
        source.Seek(source.Position() + left); // a tail too short for a chunk
        return found ? S_OK : KV_E_NOT_FOUND;
    }

    // A "plst" or "clst" list: entries appended to items until its declared bytes are used up.
    template <class Entry, class Append>
    HRESULT ReadEntries(int64_t remaining, uint32_t listType, uint32_t chunkId,
                        HRESULT (PackageReader::*readChunk)(const ChunkHeader&, Entry*), Append append) {
        if (remaining < 8) return S_OK;
        HRESULT hr = CheckEntries(remaining);
        while (hr >= 0 && remaining > 0) {
            Entry* entry = new (std::nothrow) Entry();
            if (!entry) return KV_E_OUTOFMEMORY;
            hr = ReadEntry(listType, chunkId, &remaining, entry, readChunk);
            if (hr < 0) {
                delete entry;
                return hr;
            }
            hr = append(entry); // deletes the entry when it fails
        }
        return hr;
    }

    HRESULT ReadPlugInHeader(const ChunkHeader& chunk, PlugInEntry* plugIn) {
        bool old = version == PACKAGE_VERSION_1_0;
        uint8_t record[PKG_PLUGIN_HEADER_SIZE];
        size_t length = old ? PKG_PLUGIN_HEADER_SIZE_10 : PKG_PLUGIN_HEADER_SIZE;
        size_t present = chunk.size < length ? chunk.size : length;
        HRESULT hr = source.Read(record, present);
        if (hr < 0) return hr;
        memset(record + present, 0, sizeof record - present); // a short chunk leaves the missing fields zero
        plugIn->flags = PkgLoadU32(record + PKG_PLUGIN_FLAGS);
        plugIn->majorVersion = old ? 0 : PkgLoadU32(record + PKG_PLUGIN_MAJOR);
        plugIn->minorVersion = old ? 0 : PkgLoadU32(record + PKG_PLUGIN_MINOR);
        PkgLoadText(record + (old ? PKG_PLUGIN_CLASS_ID_10 : PKG_PLUGIN_CLASS_ID), PKG_ID_UNITS, plugIn->classIdText);
        wchar_t name[PKG_NAME_UNITS];
        PkgLoadText(record + (old ? PKG_PLUGIN_NAME_10 : PKG_PLUGIN_NAME), PKG_NAME_UNITS, name);
        return plugIn->name.Set(name);
    }

    // One LIST "plug", walked once: its first header, wherever it stands, and every "plst" list in it. A plug-in
    // without a header is damage.
    HRESULT ReadPlugIn(int64_t* remaining, PlugInEntry* plugIn) {
        ChunkHeader plug;
        HRESULT hr = FindList(PKG_LIST_PLUGIN, remaining, &plug);
        if (hr < 0) return hr;
        int64_t left = static_cast<int64_t>(plug.size) - 4;
        bool headerRead = false;
        ChunkHeader chunk;
        while (hr >= 0 && left >= 8) {
            hr = ReadHeader(&left, &chunk);
            if (hr < 0) break;
            left -= PkgRounded(chunk.size);
            uint32_t type = 0;
            if (chunk.id == PKG_CHUNK_PLUGIN_HEADER && !headerRead) {
                hr = ReadPlugInHeader(chunk, plugIn);
                headerRead = true;
            }
            if (hr >= 0 && chunk.id == RIFF_ID_LIST) hr = source.ReadU32(&type);
            if (hr >= 0 && type == PKG_LIST_PRESETS)
                hr = ReadEntries<PresetEntry>(static_cast<int64_t>(chunk.size) - 4, PKG_LIST_PRESET,
                                              PKG_CHUNK_PRESET, &PackageReader::ReadPresetChunk,
                                              [plugIn](PresetEntry* preset) { return plugIn->AppendPreset(preset); });
            source.Seek(chunk.End());
        }
        if (hr >= 0 && !headerRead) hr = KV_E_NOT_FOUND;
        if (hr < 0) return hr;
        source.Seek(plug.End());
        return S_OK;
    }

    HRESULT ReadPlugIns(int64_t remaining, PlugInList* plugIns) {
        if (remaining < 8) return S_OK;
        HRESULT hr = CheckEntries(remaining);
        while (hr >= 0 && remaining > 0) {
            auto* plugIn = new (std::nothrow) PlugInEntry();
            if (!plugIn) return KV_E_OUTOFMEMORY;
            hr = ReadPlugIn(&remaining, plugIn);
            if (hr < 0) {
                delete plugIn;
                return hr;
            }
            hr = plugIns->Append(plugIn);
        }
        return hr;
    }

    HRESULT ReadFormat(int64_t body) {
        source.Seek(12);
        ChunkHeader chunk;
        HRESULT hr = FindChunk(PKG_CHUNK_FMT, &body, &chunk);
        if (hr < 0) return hr;
        if (chunk.size < 4) return KV_E_UNSUPPORTED;
        uint8_t record[PKG_FORMAT_RECORD_SIZE] = {};
        hr = source.Read(record, chunk.size < sizeof record ? chunk.size : sizeof record);
        if (hr < 0) return hr;
        version = PkgLoadU32(record); // the counts are not needed
        return version == PACKAGE_VERSION_1_0 || version == PACKAGE_VERSION_1_1 ? S_OK : KV_E_UNSUPPORTED;
    }

    HRESULT ReadPackage(PlugInList* plugIns, ChainList* chains) {
        uint32_t riff = 0, riffSize = 0, form = 0;
        if (source.ReadU32(&riff) < 0 || source.ReadU32(&riffSize) < 0 || source.ReadU32(&form) < 0 ||
            riff != RIFF_ID_RIFF || form != PKG_FORM_KVPD)
            return KV_E_UNSUPPORTED;
        int64_t body = static_cast<int64_t>(riffSize) - 4;
        HRESULT hr = ReadFormat(body);
        source.Seek(12);
        while (hr >= 0 && body >= 8) {
            ChunkHeader chunk;
            hr = ReadHeader(&body, &chunk);
            if (hr < 0) break;
            body -= PkgRounded(chunk.size);
            uint32_t type = 0;
            if (chunk.id == RIFF_ID_LIST) hr = source.ReadU32(&type);
            int64_t contents = static_cast<int64_t>(chunk.size) - 4;
            if (hr >= 0 && type == PKG_LIST_PLUGINS) hr = ReadPlugIns(contents, plugIns);
            if (hr >= 0 && type == PKG_LIST_CHAINS)
                hr = ReadEntries<ChainEntry>(contents, PKG_LIST_CHAIN, PKG_CHUNK_CHAIN, &PackageReader::ReadChainChunk,
                                             [chains](ChainEntry* chain) { return chains->Append(chain); });
            source.Seek(chunk.End());
        }
        return hr;
    }
};

// A class registered on this computer shows its registered name, cut to fit. Looked up once the file is read, once
// per class: a package often names a class many times, and a look-up costs more than reading a plug-in.
HRESULT NameRegisteredPlugIns(PlugInList& plugIns) {
    // A listing the process keeps already rules out most classes, without gathering them first.
    std::optional<PlugInClassNames> classNames(std::in_place);
    std::vector<PlugInEntry*> candidates;
    // Each class once, keyed by the entries' own texts; empty: not registered.
    std::unordered_map<std::wstring_view, std::wstring> registeredNames;
    for (int i = 0; i < plugIns.Count(); ++i) {
        PlugInEntry* plugIn = plugIns.At(i);
        if ((plugIn->flags & PLUGIN_LATHMERE_TOOL) || !plugIn->classIdText[0]) continue;
        if (!classNames->MayBeRegistered(plugIn->classIdText)) continue;
        candidates.push_back(plugIn);
        registeredNames.emplace(plugIn->classIdText, std::wstring());
    }
    if (registeredNames.empty()) return S_OK;
    if (!classNames->HasListing()) classNames.emplace(registeredNames.size()); // lists them when there are many
    for (auto& [classId, name] : registeredNames) {
        wchar_t registered[4 * CATALOGUE_NAME_CHARS]; // written whole when found
        if (classNames->FriendlyName(classId.data(), registered, sizeof registered) == ERROR_SUCCESS) name = registered;
    }
    for (PlugInEntry* plugIn : candidates) {
        const std::wstring& name = registeredNames.find(plugIn->classIdText)->second;
        HRESULT hr = name.empty() ? S_OK : plugIn->name.Set(name.c_str());
        if (hr < 0) return hr;
    }
    return S_OK;
}

// Moves every entry of one pointer list to the end of another; nothing moves when it fails.
HRESULT AppendAll(tKVLIST* target, tKVLIST* source) {
    if (!source || source->count == 0) return S_OK;
    if (!target) return KV_E_OUTOFMEMORY;
    return KvList_InsertList(target, -1, source->items, source->count);
}

} // namespace

HRESULT ReadPackageFile(const wchar_t* path, PlugInList* plugIns, ChainList* chains) {
    if (!path || !plugIns || !chains) return KV_E_INVALIDARG;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return KV_E_FILE_OPEN;
    std::unique_ptr<void, decltype(&CloseHandle)> closer(file, &CloseHandle);
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) return KV_E_READ;

    PlugInList freshPlugIns;
    ChainList freshChains;
    if (!freshPlugIns.plugIns || !freshChains.chains) return KV_E_OUTOFMEMORY;
    PackageSource source(file, static_cast<uint64_t>(size.QuadPart));
    PackageReader reader{source};
    HRESULT hr = reader.ReadPackage(&freshPlugIns, &freshChains);
    if (hr >= 0) hr = NameRegisteredPlugIns(freshPlugIns);
    if (hr < 0) return hr;

    // Hand the entries over only now, and both or neither.
    int plugInsBefore = plugIns->Count();
    hr = AppendAll(plugIns->plugIns, freshPlugIns.plugIns);
    if (hr < 0) return hr;
    hr = AppendAll(chains->chains, freshChains.chains);
    if (hr < 0) {
        if (freshPlugIns.Count() > 0) KvList_DeleteList(plugIns->plugIns, plugInsBefore, freshPlugIns.Count(), FALSE);
        return hr;
    }
    KvList_DeleteList(freshPlugIns.plugIns, 0, freshPlugIns.Count(), FALSE);
    KvList_DeleteList(freshChains.chains, 0, freshChains.Count(), FALSE);
    return S_OK;
}
