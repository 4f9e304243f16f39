// Small file-system questions of the library.
#pragma once
#include <windows.h>

// True when a file can be opened for reading at path (shared for reading and writing), or exists but is held
// exclusively by another program. A file that cannot be read for lack of access counts as missing.
BOOL KvDoesFileExist(const wchar_t* path);
