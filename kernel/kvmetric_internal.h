// Helpers shared by the settings store's source files: choosing the key and naming the value.
#pragma once
#include <windows.h>
#include "kvmetric.h"

namespace kvmetric {

// Enough for a type prefix, ten digits and the terminator.
constexpr int VALUE_NAME_CHARS = 16;

// The handle a caller means: null for none and for the default handle, which this library does not keep.
inline KvMetricHandle* Resolve(KvMetricHandle* handle) {
    return handle == KV_METRIC_DEFAULT_HANDLE ? nullptr : handle;
}

// The machine key for a negative identifier, else the user key; null when either the handle or the key is missing.
HKEY KeyFor(KvMetricHandle* handle, int id);

// The user key of a handle, for the name-based calls; null when missing.
HKEY UserKey(KvMetricHandle* handle);

// "%d", "S%d", "B%d" or "Z%d" of the identifier's absolute value, chosen by registry type.
void FormatValueName(wchar_t (&name)[VALUE_NAME_CHARS], int id, DWORD type);

} // namespace kvmetric
