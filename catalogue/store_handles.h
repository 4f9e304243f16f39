// Opening and creating the store's registry keys into their owners.
#pragma once
#include <windows.h>
#include "kvhandles.h"

// Most plug-ins are 32-bit and register only in the 32-bit view; this build may be either.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

inline LONG OpenKey(KvRegKey* key, HKEY parent, const wchar_t* path, REGSAM access) {
    return RegOpenKeyExW(parent, path, 0, access, key->put());
}

inline LONG CreateKey(KvRegKey* key, HKEY parent, const wchar_t* path) {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key->put(),
                           nullptr);
}
