// Registry and file helpers for the catalogue tests: a clean store in the throwaway prefix, seeding, reading back.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "catalogue.h"
#include "test_support.h"

struct tKVLANG;

namespace storetest {

using Bytes = std::vector<unsigned char>;

// Removes every key this program's store uses, on construction and again on destruction, and gives a scratch
// folder for data files.
class StoreSandbox {
public:
    StoreSandbox();
    ~StoreSandbox();
    StoreSandbox(const StoreSandbox&) = delete;
    StoreSandbox& operator=(const StoreSandbox&) = delete;
    const std::wstring& folder() const { return scratch_.path(); }
    std::wstring file(const std::wstring& name) const { return scratch_.file(name); }
    // Points both "DefLocation" values into the scratch folder.
    void UseScratchDefLocations() const;
private:
    testsupport::ScratchDir scratch_;
};

Bytes Pattern(size_t size, unsigned seed);

bool CreateKey(const std::wstring& path, bool isVolatile = false);
bool SetBinary(const std::wstring& path, const wchar_t* name, const Bytes& data);
bool SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
bool SetDword(const std::wstring& path, const wchar_t* name, DWORD value);
bool KeyExists(const std::wstring& path);
DWORD ValueType(const std::wstring& path, const wchar_t* name); // REG_NONE when absent
Bytes ValueBytes(const std::wstring& path, const wchar_t* name);
std::wstring ValueText(const std::wstring& path, const wchar_t* name);
int CountFiles(const std::wstring& folder); // recursively

// Registers a class display name under HKEY_CLASSES_ROOT in the given view (0, KEY_WOW64_32KEY, KEY_WOW64_64KEY).
bool RegisterClassName(const wchar_t* classId, const wchar_t* name, REGSAM view = 0);
void UnregisterClass(const wchar_t* classId);

PresetEntry* MakePreset(const wchar_t* name, const Bytes& data);
PlugInEntry* MakePlugIn(const wchar_t* name, const wchar_t* classId, uint32_t flags = 0, uint32_t major = 0,
                        uint32_t minor = 0);
ChainEntry* MakeChain(const wchar_t* name, const wchar_t* identifier, const Bytes& stream, DWORD flags = 0,
                      DWORD type = 0);
Bytes DataOf(const PresetEntry* preset);
Bytes StreamOf(const ChainEntry* chain);

// Text for doctest messages (non-ASCII becomes '?').
std::string Narrow(const std::wstring& text);

// Whole-catalogue text: every field and a digest of every blob, one line per item.
std::string Dump(const PlugInList* list);
std::string Dump(const ChainList* list);

// The program's own strings, for display names.
tKVLANG* TestLanguage();

} // namespace storetest
