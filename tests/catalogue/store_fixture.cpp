// Registry and file helpers for the catalogue tests.
#include "store_fixture.h"
#include <cstring>
#include <new>
#include "kvlang.h"
#include "store_names.h"

namespace storetest {

namespace {

void DeleteStoreKeys() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
    RegDeleteTreeW(HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY);
}

HKEY OpenForRead(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return false;
    LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::wstring Digest(const uint8_t* data, uint32_t size) {
    uint32_t hash = 2166136261u;
    for (uint32_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    wchar_t text[32];
    swprintf(text, 32, L"%u/%08x", size, hash);
    return text;
}

} // namespace

StoreSandbox::StoreSandbox() : scratch_(L"store") { DeleteStoreKeys(); }
StoreSandbox::~StoreSandbox() { DeleteStoreKeys(); }

void StoreSandbox::UseScratchDefLocations() const {
    SetText(STORE_PRESETS_KEY, STORE_DEF_LOCATION, folder() + L"\\presets", REG_EXPAND_SZ);
    SetText(STORE_CHAINS_KEY, STORE_DEF_LOCATION, folder() + L"\\chains\\", REG_EXPAND_SZ);
}

Bytes Pattern(size_t size, unsigned seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

bool CreateKey(const std::wstring& path, bool isVolatile) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                  isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetBinary(const std::wstring& path, const wchar_t* name, const Bytes& data) {
    return SetValue(path, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type) {
    return SetValue(path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(const std::wstring& path, const wchar_t* name, DWORD value) {
    return SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

bool KeyExists(const std::wstring& path) {
    HKEY key = OpenForRead(path);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

DWORD ValueType(const std::wstring& path, const wchar_t* name) {
    HKEY key = OpenForRead(path);
    if (!key) return REG_NONE;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) type = REG_NONE;
    RegCloseKey(key);
    return type;
}

Bytes ValueBytes(const std::wstring& path, const wchar_t* name) {
    Bytes bytes;
    HKEY key = OpenForRead(path);
    if (!key) return bytes;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        bytes.resize(size);
        if (size && RegQueryValueExW(key, name, nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) bytes.clear();
    }
    RegCloseKey(key);
    return bytes;
}

std::wstring ValueText(const std::wstring& path, const wchar_t* name) {
    Bytes bytes = ValueBytes(path, name);
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    while (!text.empty() && text.back() == 0) text.pop_back();
    return text;
}

int CountFiles(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) count += CountFiles(folder + L"\\" + name);
        else ++count;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

bool RegisterClassName(const wchar_t* classId, const wchar_t* name, REGSAM view) {
    std::wstring path = std::wstring(L"CLSID\\") + classId;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr))
        return false;
    LONG status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                                 static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void UnregisterClass(const wchar_t* classId) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY clsid = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS | view, &clsid) == ERROR_SUCCESS) {
            RegDeleteTreeW(clsid, classId);
            RegCloseKey(clsid);
        }
    }
}

PresetEntry* MakePreset(const wchar_t* name, const Bytes& data) {
    PresetEntry* preset = new PresetEntry(name);
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    if (blob) memcpy(blob, data.data(), data.size());
    preset->AdoptData(blob, static_cast<uint32_t>(data.size()));
    return preset;
}

PlugInEntry* MakePlugIn(const wchar_t* name, const wchar_t* classId, uint32_t flags, uint32_t major, uint32_t minor) {
    PlugInEntry* entry = new PlugInEntry(name, classId);
    entry->flags = flags;
    entry->majorVersion = major;
    entry->minorVersion = minor;
    return entry;
}

ChainEntry* MakeChain(const wchar_t* name, const wchar_t* identifier, const Bytes& stream, DWORD flags, DWORD type) {
    ChainEntry* chain = new ChainEntry();
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name);
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, identifier);
    chain->flags = flags;
    chain->type = type;
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(stream.size()));
    if (blob) memcpy(blob, stream.data(), stream.size());
    chain->AdoptStream(blob, static_cast<uint32_t>(stream.size()));
    return chain;
}

Bytes DataOf(const PresetEntry* preset) {
    if (!preset || !preset->data) return Bytes();
    return Bytes(preset->data, preset->data + preset->dataSize);
}

Bytes StreamOf(const ChainEntry* chain) {
    if (!chain || !chain->stream) return Bytes();
    return Bytes(chain->stream, chain->stream + chain->streamSize);
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Dump(const PlugInList* list) {
    if (!list) return "(none)\n";
    std::wstring text;
    for (int i = 0; i < list->Count(); ++i) {
        const PlugInEntry* entry = list->At(i);
        text += std::wstring(entry->name) + L" | " + entry->classIdText + L" | " + std::to_wstring(entry->flags) +
                L" | " + std::to_wstring(entry->majorVersion) + L"." + std::to_wstring(entry->minorVersion) + L"\n";
        for (int p = 0; p < entry->PresetCount(); ++p) {
            const PresetEntry* preset = entry->PresetAt(p);
            text += std::wstring(L"  ") + preset->name + L" = " + Digest(preset->data, preset->dataSize) + L"\n";
        }
    }
    return Narrow(text);
}

std::string Dump(const ChainList* list) {
    if (!list) return "(none)\n";
    std::wstring text;
    for (int i = 0; i < list->Count(); ++i) {
        const ChainEntry* chain = list->At(i);
        text += std::wstring(chain->name) + L" | " + chain->identifier + L" | " + std::to_wstring(chain->flags) +
                L" | " + std::to_wstring(chain->type) + L" | " + Digest(chain->stream, chain->streamSize) + L"\n";
    }
    return Narrow(text);
}

tKVLANG* TestLanguage() {
    static tKVLANG* language = nullptr;
    if (!language) KvLang_Open(&language, GetModuleHandleW(nullptr), 3, 0);
    return language;
}

} // namespace storetest
