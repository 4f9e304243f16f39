// File tests shared by the program's file commands.
#pragma once
#include <windows.h>

// A file exists when it can be opened for reading, or when only another program's sharing refuses it; a file
// that cannot be read for lack of access counts as missing, and so does a folder.
BOOL KvDoesFileExist(const wchar_t* path);
