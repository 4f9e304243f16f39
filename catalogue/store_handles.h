// Opening and creating the store's registry keys into their owners.
#pragma once
#include <windows.h>
#include "kvhandles.h"

inline LONG OpenKey(KvRegKey* key, HKEY parent, const wchar_t* path, REGSAM access) {
    return RegOpenKeyExW(parent, path, 0, access, key->put());
}

inline LONG CreateKey(KvRegKey* key, HKEY parent, const wchar_t* path) {
    return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key->put(),
                           nullptr);
}
