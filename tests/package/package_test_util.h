// Byte builders for expected package images and small constructors of catalogue entries, for the package tests.
#pragma once
#include <windows.h>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>
#include "catalogue.h"

namespace pkgtest {

using Bytes = std::vector<uint8_t>;

// Appends little-endian fields in file order; sizes are written by the test, never computed here.
struct Image {
    Bytes b;
    Image& Id(const char* fourCC) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(fourCC[i]));
        return *this;
    }
    Image& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    // A fixed-width UTF-16LE field: the text as given (no cut), then zeros to the width.
    Image& Text(const std::wstring& text, size_t units) {
        for (size_t i = 0; i < units; ++i) {
            uint16_t c = i < text.size() ? static_cast<uint16_t>(text[i]) : 0;
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
        return *this;
    }
    Image& Raw(const Bytes& data) {
        b.insert(b.end(), data.begin(), data.end());
        return *this;
    }
    Image& Zeros(size_t n) {
        b.insert(b.end(), n, 0);
        return *this;
    }
};

// Chunk helpers for reader inputs, where the test states the layout and the sizes follow from the bytes.
Bytes Chunk(const char* id, const Bytes& data);                     // pad byte added for odd data
Bytes List(const char* type, std::initializer_list<Bytes> children);
Bytes Riff(const char* form, std::initializer_list<Bytes> children);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes FormatRecord(uint32_t version, uint32_t plugIns = 0, uint32_t chains = 0);
Bytes PlugInHeader11(uint32_t flags, uint32_t major, uint32_t minor, const std::wstring& classId,
                     const std::wstring& name, uint32_t presetCount = 1);
Bytes PlugInHeader10(uint32_t flags, const std::wstring& classId, const std::wstring& name, uint32_t presetCount = 1);
Bytes PresetRecord(const std::wstring& name, const Bytes& data);    // header and data, no pad
Bytes ChainRecord(uint32_t flags, uint32_t type, const std::wstring& name, const std::wstring& id, const Bytes& data);

Bytes Pattern(size_t size, uint8_t seed); // deterministic data of a given length

PresetEntry* MakePreset(const std::wstring& name, const Bytes& data);
PlugInEntry* MakePlugIn(const std::wstring& name, const std::wstring& classId,
                        std::initializer_list<PresetEntry*> presets, uint32_t flags = 0, uint32_t major = 0,
                        uint32_t minor = 0);
ChainEntry* MakeChain(const std::wstring& name, const std::wstring& id, uint32_t flags, uint32_t type,
                      const Bytes& stream);

Bytes DataOf(const PresetEntry& preset);
Bytes StreamOf(const ChainEntry& chain);

// Files named like our temporary files, left in folder.
std::vector<std::wstring> TempFilesIn(const std::wstring& folder);
std::vector<std::wstring> FilesIn(const std::wstring& folder);

} // namespace pkgtest
