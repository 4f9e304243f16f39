// Key paths of the system store and the checks that keep names from elsewhere inside it.
#pragma once
#include <windows.h>
#include <string>

constexpr wchar_t STORE_PRESETS_KEY[] = L"Software\\DirectShow\\Presets";
constexpr wchar_t STORE_CHAINS_KEY[] = L"Software\\DirectShow\\Presets\\FX Packages";
constexpr wchar_t STORE_CHAINS_SUBKEY[] = L"FX Packages";
constexpr wchar_t STORE_LATHMERE_KEY[] = L"Software\\Moravel\\Lathmere\\Presets";
// Holds one key per installed version, named "<major>.<minor>".
constexpr wchar_t STORE_LATHMERE_VERSIONS_KEY[] = L"Software\\Varden Media Software\\Lathmere";
constexpr wchar_t STORE_DEF_LOCATION[] = L"DefLocation";
// The name of a plug-in whose class is not registered, numbered in the order of the store's keys.
constexpr wchar_t STORE_NOT_INSTALLED_FORMAT[] = L"Not Installed %03u";

// A class identifier in registry text form: braces around 8-4-4-4-12 hexadecimal digits.
bool IsValidClassIdText(const wchar_t* text);

// A name the store already holds, or could hold, as one key level: non-empty, shorter than capacity and than the
// registry's 256 characters, without a backslash, and not "." or "..". Other characters (a "/" in a Lathmere tool
// name, a plug-in key such as "(Untitled)") are written back as they are.
bool IsWritableKeyName(const wchar_t* text, int capacity);

// A file or folder name for a preset, chain, plug-in key or chain key name that Windows takes as one plain name in
// the data folder: the characters files cannot carry (separators, wildcards, control characters) become
// underscores, a name ending in a dot or blank gets an underscore after it, and "." or "..", an empty name or a
// reserved device name (CON, NUL, COM1, ...; also with an extension) gets an underscore in front.
std::wstring MakeDataFileName(const wchar_t* itemName);

// "Software\Varden Media Software\Lathmere\<major>.<minor>\Presets"
std::wstring LathmereVersionedKey(unsigned major, unsigned minor);
// Leading decimal digits of text; 0 when it does not begin with one.
unsigned ParseLeadingNumber(const wchar_t* text);
// Splits a version key name at "." into its first two non-empty tokens; false when either is missing.
bool ParseVersionKeyName(const wchar_t* text, unsigned* major, unsigned* minor);
