// Which data files the values of one store key point at, so that two names never share one file.
#pragma once
#include <windows.h>
#include <string>

// "folder\<file name of itemName><extension>", or with " (2)", " (3)", ... before the extension: the first such
// path that no value of key other than valueName points at. The value keeps its own file when it already has it.
std::wstring ChooseDataFilePath(HKEY key, const wchar_t* valueName, const std::wstring& folder,
                                const wchar_t* itemName, const wchar_t* extension);

// True when a value of key other than valueName points at path (under any spelling of the same file).
bool IsDataFileShared(HKEY key, const wchar_t* valueName, const wchar_t* path);
