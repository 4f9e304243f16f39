// Identifiers, record sizes and field offsets of the package file, shared by its reader and writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include "riff.h"

constexpr uint32_t PKG_FORM_KVPD = RIFF_ID('K', 'V', 'P', 'D');
constexpr uint32_t PKG_CHUNK_FMT = RIFF_ID('f', 'm', 't', ' ');
constexpr uint32_t PKG_LIST_PLUGINS = RIFF_ID('p', 'l', 'g', 's');
constexpr uint32_t PKG_LIST_PLUGIN = RIFF_ID('p', 'l', 'u', 'g');
constexpr uint32_t PKG_CHUNK_PLUGIN_HEADER = RIFF_ID('p', 'l', 'g', 'h');
constexpr uint32_t PKG_LIST_PRESETS = RIFF_ID('p', 'l', 's', 't');
constexpr uint32_t PKG_LIST_PRESET = RIFF_ID('p', 's', 'e', 't');
constexpr uint32_t PKG_CHUNK_PRESET = RIFF_ID('p', 's', 't', 'h');
constexpr uint32_t PKG_LIST_CHAINS = RIFF_ID('c', 'l', 's', 't');
constexpr uint32_t PKG_LIST_CHAIN = RIFF_ID('c', 'h', 'n', ' ');
constexpr uint32_t PKG_CHUNK_CHAIN = RIFF_ID('c', 'h', 'n', 'h');

constexpr uint32_t PKG_FORMAT_RECORD_SIZE = 16;

// Plug-in header, current layout.
constexpr size_t PKG_PLUGIN_HEADER_SIZE = 616;
constexpr size_t PKG_PLUGIN_PRESET_COUNT = 0;
constexpr size_t PKG_PLUGIN_FLAGS = 4;
constexpr size_t PKG_PLUGIN_MAJOR = 8;
constexpr size_t PKG_PLUGIN_MINOR = 12;
constexpr size_t PKG_PLUGIN_CLASS_ID = 16;
constexpr size_t PKG_PLUGIN_NAME = 96;
// Plug-in header of version 1.0 files: no editor version, so the texts sit 8 bytes earlier.
constexpr size_t PKG_PLUGIN_HEADER_SIZE_10 = 608;
constexpr size_t PKG_PLUGIN_CLASS_ID_10 = 8;
constexpr size_t PKG_PLUGIN_NAME_10 = 88;

// Preset record: name, data length, then the data.
constexpr size_t PKG_PRESET_HEADER_SIZE = 524;
constexpr size_t PKG_PRESET_NAME = 0;
constexpr size_t PKG_PRESET_LENGTH = 520;

// Chain record: member count, flags, type, name, identifier, data length, then the data.
constexpr size_t PKG_CHAIN_HEADER_SIZE = 616;
constexpr size_t PKG_CHAIN_MEMBER_COUNT = 0;
constexpr size_t PKG_CHAIN_FLAGS = 4;
constexpr size_t PKG_CHAIN_TYPE = 8;
constexpr size_t PKG_CHAIN_NAME = 12;
constexpr size_t PKG_CHAIN_IDENTIFIER = 532;
constexpr size_t PKG_CHAIN_LENGTH = 612;

// Text fields, in UTF-16 code units (terminator included).
constexpr int PKG_NAME_UNITS = 260;
constexpr int PKG_ID_UNITS = 40;

inline uint32_t PkgLoadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void PkgStoreU32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// Stores at most units - 1 characters of text as UTF-16LE; the record is zero-filled, so the rest stays zero.
inline void PkgStoreText(uint8_t* p, int units, const wchar_t* text) {
    for (int i = 0; text && i < units - 1 && text[i]; ++i) {
        p[2 * i] = static_cast<uint8_t>(text[i]);
        p[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(text[i]) >> 8);
    }
}

// Loads a text field up to its first zero; a field without one gives its first units - 1 characters.
inline void PkgLoadText(const uint8_t* p, int units, wchar_t* text) {
    int i = 0;
    for (; i < units - 1; ++i) {
        wchar_t c = static_cast<wchar_t>(p[2 * i] | p[2 * i + 1] << 8);
        if (!c) break;
        text[i] = c;
    }
    text[i] = 0;
}

inline int64_t PkgRounded(uint32_t size) { return static_cast<int64_t>(size) + (size & 1); }
