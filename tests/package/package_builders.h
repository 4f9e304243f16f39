// Byte builders for package images, small catalogue constructors and a whole-catalogue comparison, free of the test
// framework: shared by the package tests and the package fuzzer.
#pragma once
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>
#include "catalogue.h"

namespace pkgtest {

using Bytes = std::vector<uint8_t>;

// Appends little-endian fields in file order; sizes are whatever the test writes, never computed here.
struct Image {
    Bytes b;
    Image& Id(const char* id) { return Raw(Bytes(id, id + 4)); }
    Image& U32(uint32_t v) { return Raw({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
    Image& Raw(const Bytes& data) { b.insert(b.end(), data.begin(), data.end()); return *this; }
    Image& Zeros(size_t n) { b.insert(b.end(), n, 0); return *this; }
    // A fixed-width UTF-16LE field: the text as given (no cut), then zeros to the width.
    Image& Text(const std::wstring& text, size_t units) {
        for (size_t i = 0; i < units; ++i) {
            uint16_t c = i < text.size() ? uint16_t(text[i]) : 0;
            Raw({uint8_t(c), uint8_t(c >> 8)});
        }
        return *this;
    }
};

// Reader inputs, where the layout is the point and the sizes follow from the bytes.
inline Bytes Chunk(const char* id, const Bytes& data) { // with a pad byte after odd data
    return Image().Id(id).U32(uint32_t(data.size())).Raw(data).Zeros(data.size() & 1).b;
}
inline Bytes Group(const char* head, const char* type, std::initializer_list<Bytes> children) {
    Image body;
    for (const Bytes& child : children) body.Raw(child);
    return Image().Id(head).U32(uint32_t(4 + body.b.size())).Id(type).Raw(body.b).b;
}
inline Bytes List(const char* type, std::initializer_list<Bytes> children) { return Group("LIST", type, children); }
inline Bytes Riff(std::initializer_list<Bytes> children) { return Group("RIFF", "KVPD", children); }

inline Bytes FormatRecord(uint32_t version, uint32_t plugIns = 0, uint32_t chains = 0) {
    return Image().U32(version).U32(plugIns).U32(chains).U32(0).b;
}
// Version 1.1 headers carry the editor version after the flags; old (1.0) ones do not.
inline Bytes PlugInHeader(uint32_t presets, uint32_t flags, const std::wstring& classId, const std::wstring& name,
                          bool old = false, uint32_t major = 0, uint32_t minor = 0) {
    Image header;
    header.U32(presets).U32(flags);
    if (!old) header.U32(major).U32(minor);
    return header.Text(classId, 40).Text(name, 260).b;
}
inline Bytes PresetRecord(const std::wstring& name, const Bytes& data) { // header and data, no pad
    return Image().Text(name, 260).U32(uint32_t(data.size())).Raw(data).b;
}
inline Bytes ChainRecord(uint32_t flags, uint32_t type, const std::wstring& name, const std::wstring& id,
                         const Bytes& data) {
    return Image().U32(0).U32(flags).U32(type).Text(name, 260).Text(id, 40).U32(uint32_t(data.size())).Raw(data).b;
}

inline Bytes Pattern(size_t size, uint8_t seed) { // deterministic data of a given length
    Bytes data(size);
    uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (uint8_t& byte : data) byte = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    return data;
}

inline uint8_t* Blob(const Bytes& data) {
    return static_cast<uint8_t*>(memcpy(CatalogueBlobAlloc(uint32_t(data.size())), data.data(), data.size()));
}
inline PresetEntry* MakePreset(const std::wstring& name, const Bytes& data) {
    auto* preset = PresetEntry::Create(name.c_str());
    if (!data.empty()) preset->AdoptData(Blob(data), uint32_t(data.size()));
    return preset;
}
inline PlugInEntry* MakePlugIn(const std::wstring& name, const std::wstring& classId,
                               std::initializer_list<PresetEntry*> presets, uint32_t flags = 0, uint32_t major = 0,
                               uint32_t minor = 0) {
    auto* plugIn = PlugInEntry::Create(name.c_str(), classId.c_str());
    plugIn->flags = flags;
    plugIn->majorVersion = major;
    plugIn->minorVersion = minor;
    for (PresetEntry* preset : presets) plugIn->AppendPreset(preset);
    return plugIn;
}
inline ChainEntry* MakeChain(const std::wstring& name, const std::wstring& id, uint32_t flags, uint32_t type,
                             const Bytes& stream) {
    auto* chain = new ChainEntry();
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name.c_str());
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, id.c_str());
    chain->flags = flags;
    chain->type = type;
    if (!stream.empty()) chain->AdoptStream(Blob(stream), uint32_t(stream.size()));
    return chain;
}

inline Bytes DataOf(const PresetEntry& p) { return p.data ? Bytes(p.data, p.data + p.dataSize) : Bytes(); }
inline Bytes StreamOf(const ChainEntry& c) { return c.stream ? Bytes(c.stream, c.stream + c.streamSize) : Bytes(); }

namespace detail {
inline std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return narrow;
}
} // namespace detail

// The first field in which got differs from want, as text; empty when they agree. Plug-ins without presets in want
// are skipped, as packages leave them out.
inline std::string CatalogueDifference(const PlugInList& want, const ChainList& wantChains, const PlugInList& got,
                                       const ChainList& gotChains) {
    using detail::Narrow;
    int next = 0;
    for (int i = 0; i < want.Count(); ++i) {
        const PlugInEntry& w = *want.At(i);
        if (w.PresetCount() == 0) continue;
        const std::string at = "plug-in " + std::to_string(i) + ": ";
        if (next >= got.Count()) return at + "missing";
        const PlugInEntry& g = *got.At(next++);
        if (std::wstring(g.name) != w.name.c_str())
            return at + "name " + Narrow(g.name.c_str()) + " for " + Narrow(w.name.c_str());
        if (std::wstring(g.classIdText) != w.classIdText) return at + "class " + Narrow(g.classIdText);
        if (g.flags != w.flags) return at + "flags " + std::to_string(g.flags) + " for " + std::to_string(w.flags);
        if (g.majorVersion != w.majorVersion || g.minorVersion != w.minorVersion) return at + "editor version";
        if (g.PresetCount() != w.PresetCount()) return at + std::to_string(g.PresetCount()) + " presets";
        for (int k = 0; k < w.PresetCount(); ++k) {
            if (std::wstring(g.PresetAt(k)->name) != w.PresetAt(k)->name.c_str())
                return at + "name of preset " + std::to_string(k);
            if (DataOf(*g.PresetAt(k)) != DataOf(*w.PresetAt(k))) return at + "data of preset " + std::to_string(k);
        }
    }
    if (next != got.Count()) return std::to_string(got.Count() - next) + " plug-ins too many";
    if (gotChains.Count() != wantChains.Count()) return std::to_string(gotChains.Count()) + " chains";
    for (int i = 0; i < wantChains.Count(); ++i) {
        const ChainEntry &g = *gotChains.At(i), &w = *wantChains.At(i);
        const std::string at = "chain " + std::to_string(i) + ": ";
        if (std::wstring(g.name) != w.name) return at + "name " + Narrow(g.name) + " for " + Narrow(w.name);
        if (std::wstring(g.identifier) != w.identifier) return at + "identifier";
        if (g.flags != w.flags || g.type != w.type) return at + "flags or type";
        if (StreamOf(g) != StreamOf(w)) return at + "stream";
    }
    return {};
}

} // namespace pkgtest
