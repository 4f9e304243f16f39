// Reading and writing package files (".kvpreset"): one side's plug-ins, presets and chains as a RIFF "KVPD" file.
#pragma once
#include <windows.h>
#include <cstdint>

class PlugInList;
class ChainList;

constexpr uint32_t PACKAGE_VERSION_1_0 = 0x00010000; // plug-in headers of 608 bytes, no editor version
constexpr uint32_t PACKAGE_VERSION_1_1 = 0x00010001; // what WritePackageFile writes

// Appends the package's plug-ins (with their presets) and chains, in file order, to plugIns and chains.
// The file is read into collections of its own first: on failure the two collections are left as they were.
HRESULT ReadPackageFile(const wchar_t* path, PlugInList* plugIns, ChainList* chains);

// Writes both collections (either may be null) to path. The package is written beside the target and put in
// its place only once complete, so a failure leaves any previous file at path untouched.
HRESULT WritePackageFile(const wchar_t* path, const PlugInList* plugIns, const ChainList* chains);
