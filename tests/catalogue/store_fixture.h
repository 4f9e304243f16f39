// Registry and file helpers for the catalogue tests: a clean store in the throwaway prefix, seeding, reading back.
#pragma once
#include <windows.h>
#include <doctest.h>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>
#include "catalogue.h"
#include "kvhandles.h"
#include "kvlang.h"
#include "store_names.h"
#include "test_support.h"

namespace storetest {

using Bytes = std::vector<unsigned char>;
using testsupport::ReadWholeFile;

inline void DeleteStoreKeys() {
    for (const wchar_t* key : {L"Software\\DirectShow", L"Software\\Moravel", STORE_LATHMERE_VERSIONS_KEY})
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

inline bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, size_t size) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, type, data, static_cast<DWORD>(size)) == ERROR_SUCCESS;
}
inline bool SetBinary(const std::wstring& path, const wchar_t* name, const Bytes& data) {
    return SetValue(path, name, REG_BINARY, data.data(), data.size());
}
inline bool SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    return SetValue(path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}
inline bool SetDword(const std::wstring& path, const wchar_t* name, DWORD value) {
    return SetValue(path, name, REG_DWORD, &value, sizeof(value));
}
// A chain key as the store holds one; its stream inline, or in the data file given, or (both empty) none.
inline std::wstring SeedChain(const std::wstring& id, const wchar_t* name, DWORD flags, DWORD type, const Bytes& stream,
                              const std::wstring& file = L"") {
    const std::wstring key = std::wstring(STORE_CHAINS_KEY) + L"\\" + id;
    REQUIRE(SetDword(key, L"Flags", flags));
    REQUIRE(SetDword(key, L"Type", type));
    REQUIRE(SetText(key, L"Name", name));
    const bool inFile = !file.empty();
    if (inFile) REQUIRE(testsupport::WriteWholeFile(file, stream.data(), stream.size()));
    if (inFile || !stream.empty()) REQUIRE((inFile ? SetText(key, L"Stream", file) : SetBinary(key, L"Stream", stream)));
    return key;
}
inline bool CreateKey(const std::wstring& path, bool isVolatile = false) {
    KvRegKey key;
    return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, isVolatile ? REG_OPTION_VOLATILE : 0,
                           KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS;
}
inline bool KeyExists(const std::wstring& path) {
    KvRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}
// The value's bytes and type; REG_NONE and no bytes when absent.
inline Bytes ValueBytes(const std::wstring& path, const wchar_t* name, DWORD* type = nullptr) {
    DWORD size = 0, found = REG_NONE;
    const DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (type) *type = REG_NONE;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, flags, &found, nullptr, &size)) return Bytes();
    Bytes bytes(size);
    if (size && RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, flags, nullptr, bytes.data(), &size)) return Bytes();
    if (type) *type = found;
    return bytes;
}
inline DWORD ValueType(const std::wstring& path, const wchar_t* name) {
    DWORD type = REG_NONE;
    ValueBytes(path, name, &type);
    return type;
}
inline std::wstring ValueText(const std::wstring& path, const wchar_t* name) {
    Bytes bytes = ValueBytes(path, name);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}
inline int CountFiles(const std::wstring& folder) { // recursively
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CountFiles(folder + L"\\" + name) : 1;
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return count;
}

// Removes every key this program's store uses, before and after, and gives a scratch folder for data files.
struct StoreSandbox {
    testsupport::ScratchDir scratch{L"store"};
    StoreSandbox() { DeleteStoreKeys(); }
    ~StoreSandbox() { DeleteStoreKeys(); }
    const std::wstring& folder() const { return scratch.path(); }
    std::wstring file(const std::wstring& name) const { return scratch.file(name); }
    std::wstring WriteFile(const std::wstring& name, const Bytes& data) const {
        testsupport::WriteWholeFile(file(name), data.data(), data.size());
        return file(name);
    }
    // Points both "DefLocation" values into the scratch folder.
    void UseScratchDefLocations() const {
        SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, folder() + L"\\presets", REG_EXPAND_SZ);
        SetText(STORE_CHAINS_KEY, STORE_DEF_LOCATION, folder() + L"\\chains\\", REG_EXPAND_SZ);
    }
};

inline Bytes Pattern(size_t size, unsigned seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + seed * 7 + (i >> 8));
    return bytes;
}

// Registers a class display name under HKEY_CLASSES_ROOT in the given view (0, KEY_WOW64_32KEY, KEY_WOW64_64KEY).
inline void RegisterClassName(const wchar_t* classId, const wchar_t* name, REGSAM view = 0) {
    KvRegKey key;
    REQUIRE(RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + classId).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) == ERROR_SUCCESS);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), DWORD((wcslen(name) + 1) * 2));
}
inline void UnregisterClass(const wchar_t* classId) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        KvRegKey clsid;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS | view, clsid.put()) == ERROR_SUCCESS)
            RegDeleteTreeW(clsid.get(), classId);
    }
}

inline uint8_t* CopyBlob(const Bytes& data) {
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    return blob ? static_cast<uint8_t*>(memcpy(blob, data.data(), data.size())) : nullptr;
}
inline PresetEntry* MakePreset(const wchar_t* name, const Bytes& data) {
    PresetEntry* preset = PresetEntry::Create(name);
    preset->AdoptData(CopyBlob(data), static_cast<uint32_t>(data.size()));
    return preset;
}
inline PlugInEntry* MakePlugIn(const wchar_t* name, const wchar_t* classId, uint32_t flags = 0, uint32_t major = 0,
                               uint32_t minor = 0, std::vector<PresetEntry*> presets = {}) {
    PlugInEntry* entry = PlugInEntry::Create(name, classId);
    std::tie(entry->flags, entry->majorVersion, entry->minorVersion) = std::tie(flags, major, minor);
    for (PresetEntry* preset : presets) entry->AppendPreset(preset);
    return entry;
}
inline ChainEntry* MakeChain(const wchar_t* name, const wchar_t* id, const Bytes& stream, DWORD flags = 0, DWORD type = 0) {
    ChainEntry* chain = new ChainEntry();
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name);
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, id);
    std::tie(chain->flags, chain->type) = std::tie(flags, type);
    chain->AdoptStream(CopyBlob(stream), static_cast<uint32_t>(stream.size()));
    return chain;
}
inline Bytes DataOf(const PresetEntry* preset) {
    return preset && preset->data ? Bytes(preset->data, preset->data + preset->dataSize) : Bytes();
}
inline Bytes StreamOf(const ChainEntry* chain) {
    return chain && chain->stream ? Bytes(chain->stream, chain->stream + chain->streamSize) : Bytes();
}

// Whole-catalogue text: every field and a digest of every blob, one line per item (non-ASCII becomes '?').
inline std::string Digest(const uint8_t* data, uint32_t size) {
    uint32_t hash = 2166136261u;
    for (uint32_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return std::to_string(size) + "/" + std::to_string(hash);
}
inline std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    return narrow;
}
inline std::string Dump(const PlugInList* list) {
    std::string text = list ? "" : "(none)\n";
    for (int i = 0; list && i < list->Count(); ++i) {
        const PlugInEntry* e = list->At(i);
        text += Narrow(std::wstring(e->name) + L" | " + e->classIdText) + " | " + std::to_string(e->flags) + " | " +
                std::to_string(e->majorVersion) + "." + std::to_string(e->minorVersion) + "\n";
        for (int p = 0; p < e->PresetCount(); ++p)
            text += "  " + Narrow(e->PresetAt(p)->name.c_str()) + " = " + Digest(e->PresetAt(p)->data, e->PresetAt(p)->dataSize) + "\n";
    }
    return text;
}
inline std::string Dump(const ChainList* list) {
    std::string text = list ? "" : "(none)\n";
    for (int i = 0; list && i < list->Count(); ++i) {
        const ChainEntry* c = list->At(i);
        text += Narrow(std::wstring(c->name) + L" | " + c->identifier) + " | " + std::to_string(c->flags) + " | " +
                std::to_string(c->type) + " | " + Digest(c->stream, c->streamSize) + "\n";
    }
    return text;
}

// The program's own strings, for display names.
inline tKVLANG* TestLanguage() {
    static tKVLANG* language = [] { tKVLANG* opened = nullptr; KvLang_Open(&opened, GetModuleHandleW(nullptr), 3, 0); return opened; }();
    return language;
}

} // namespace storetest
