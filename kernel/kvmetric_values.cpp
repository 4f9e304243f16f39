// Reading and writing the settings store's typed values.
#include "kvmetric.h"
#include "kvmetric_internal.h"
#include "kvresult.h"
#include <cstring>
#include <cwchar>

using kvmetric::FormatValueName;
using kvmetric::KeyFor;
using kvmetric::UserKey;
using kvmetric::VALUE_NAME_CHARS;

namespace {

bool ReadNumber(HKEY key, const wchar_t* name, int& value) {
    if (key == nullptr)
        return false;
    DWORD stored = 0;
    DWORD type = 0;
    DWORD bytes = sizeof(stored);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(stored))
        return false;
    value = static_cast<int>(stored);
    return true;
}

HRESULT WriteValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    if (key == nullptr)
        return KV_E_FAIL;
    return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS ? 0 : KV_E_FAIL;
}

HRESULT WriteNumber(HKEY key, const wchar_t* name, int value) {
    DWORD stored = static_cast<DWORD>(value);
    return WriteValue(key, name, REG_DWORD, &stored, sizeof(stored));
}

// The shared reader of terminated texts and text lists. The buffer always ends up terminated: a stored
// value that leaves no room for a terminator reads as absent, like one that does not fit at all.
int ReadText(HKEY key, const wchar_t* name, DWORD wantedType, wchar_t* buffer, int capacity,
             const wchar_t* defaultText, BOOL keepEmpty) {
    if (buffer == nullptr || capacity <= 0)
        return 0;
    const DWORD offered = static_cast<DWORD>(capacity) * sizeof(wchar_t);
    DWORD bytes = 0;
    if (key != nullptr) {
        DWORD type = 0;
        bytes = offered;
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
            type != wantedType)
            bytes = 0;
    }
    size_t chars = bytes / sizeof(wchar_t);
    if (chars == static_cast<size_t>(capacity) && buffer[capacity - 1] != L'\0')
        bytes = chars = 0;
    // Whole characters only: a stray odd byte is cleared with the rest.
    std::memset(buffer + chars, 0, offered - chars * sizeof(wchar_t));

    if (bytes > 2)
        return static_cast<int>(buffer[chars - 1] == L'\0' ? chars - 1 : chars);
    if (bytes > 0 && keepEmpty) {
        buffer[0] = L'\0';
        return 0;
    }
    if (defaultText == nullptr) {
        buffer[0] = L'\0';
        return 0;
    }
    size_t length = wcsnlen(defaultText, static_cast<size_t>(capacity) - 1);
    std::wmemcpy(buffer, defaultText, length);
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

} // namespace

int KvGetMetric(KvMetricHandle* handle, int id) {
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_DWORD);
    int value = 0;
    return ReadNumber(KeyFor(handle, id), name, value) ? value : 0;
}

int KvGetMetricEx(KvMetricHandle* handle, int id, int minimum, int maximum, int defaultValue) {
    HKEY key = KeyFor(handle, id);
    if (key == nullptr)
        return defaultValue;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_DWORD);
    int value = defaultValue;
    ReadNumber(key, name, value);
    if (minimum == maximum)
        return value;
    if (value < minimum)
        return minimum;
    if (value > maximum)
        return maximum;
    return value;
}

int KvGetMetricBool(KvMetricHandle* handle, int id, int defaultValue) {
    HKEY key = KeyFor(handle, id);
    if (key == nullptr)
        return defaultValue;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_DWORD);
    int value = 0;
    return ReadNumber(key, name, value) ? (value != 0) : (defaultValue != 0);
}

HRESULT KvSetMetric(KvMetricHandle* handle, int id, int value) {
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_DWORD);
    return WriteNumber(KeyFor(handle, id), name, value);
}

DWORD KvGetMetricBinary(KvMetricHandle* handle, int id, void* buffer, DWORD size) {
    DWORD bytes = 0;
    return KvGetMetricBinaryEx(handle, id, buffer, size, &bytes) == 0 ? bytes : 0;
}

HRESULT KvGetMetricBinaryEx(KvMetricHandle* handle, int id, void* buffer, DWORD size, DWORD* bytes) {
    if (bytes == nullptr)
        return KV_E_INVALIDARG;
    *bytes = 0;
    if (buffer == nullptr)
        size = 0;
    HKEY key = KeyFor(handle, id);
    if (key == nullptr) {
        if (size > 0)
            std::memset(buffer, 0, size);
        return KV_E_NOT_FOUND;
    }
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_BINARY);
    DWORD type = 0;
    DWORD stored = size;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, static_cast<BYTE*>(buffer), &stored);
    if (status == ERROR_SUCCESS && type == REG_BINARY) {
        if (size > stored)
            std::memset(static_cast<BYTE*>(buffer) + stored, 0, size - stored);
        *bytes = stored;
        return 0;
    }
    if (size > 0)
        std::memset(buffer, 0, size);
    if (status == ERROR_MORE_DATA && type == REG_BINARY) {
        *bytes = stored;
        return KV_E_BUFFER_TOO_SMALL;
    }
    return KV_S_NOTHING_TO_DO;
}

HRESULT KvSetMetricBinary(KvMetricHandle* handle, int id, const void* data, DWORD length) {
    if (handle == KV_METRIC_DEFAULT_HANDLE || (data == nullptr && length > 0))
        return KV_E_FAIL;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_BINARY);
    return WriteValue(KeyFor(handle, id), name, REG_BINARY, data, length);
}

int KvGetMetricStringEx(KvMetricHandle* handle, int id, wchar_t* buffer, int capacity, const wchar_t* defaultText,
                        BOOL keepEmpty) {
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_SZ);
    return ReadText(KeyFor(handle, id), name, REG_SZ, buffer, capacity, defaultText, keepEmpty);
}

HRESULT KvSetMetricString(KvMetricHandle* handle, int id, const wchar_t* text) {
    if (handle == KV_METRIC_DEFAULT_HANDLE || text == nullptr)
        return KV_E_FAIL;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_SZ);
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return WriteValue(KeyFor(handle, id), name, REG_SZ, text, bytes);
}

int KvGetMetricMultiStringEx(KvMetricHandle* handle, int id, wchar_t* buffer, int capacity,
                             const wchar_t* defaultText, BOOL keepEmpty) {
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_MULTI_SZ);
    return ReadText(KeyFor(handle, id), name, REG_MULTI_SZ, buffer, capacity, defaultText, keepEmpty);
}

HRESULT KvSetMetricMultiString(KvMetricHandle* handle, int id, const wchar_t* data, int length) {
    if (handle == KV_METRIC_DEFAULT_HANDLE || length < 0 || (data == nullptr && length > 0))
        return KV_E_FAIL;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, REG_MULTI_SZ);
    const DWORD bytes = static_cast<DWORD>(length) * sizeof(wchar_t);
    return WriteValue(KeyFor(handle, id), name, REG_MULTI_SZ, data, bytes);
}

HRESULT KvDoesMetricExist(KvMetricHandle* handle, int id, DWORD type) {
    HKEY key = KeyFor(handle, id);
    if (key == nullptr)
        return KV_S_NOTHING_TO_DO;
    if (type != REG_SZ && type != REG_BINARY && type != REG_DWORD)
        type = REG_MULTI_SZ;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, type);
    DWORD stored = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &stored, nullptr, nullptr) != ERROR_SUCCESS || stored != type)
        return KV_S_NOTHING_TO_DO;
    return 0;
}

HRESULT KvDeleteMetric(KvMetricHandle* handle, int id, DWORD type) {
    HKEY key = KeyFor(handle, id);
    if (key == nullptr)
        return KV_S_NOTHING_TO_DO;
    wchar_t name[VALUE_NAME_CHARS];
    FormatValueName(name, id, type);
    return RegDeleteValueW(key, name) == ERROR_SUCCESS ? 0 : KV_E_FAIL;
}

// The name already says which value is meant; the type is accepted for symmetry with KvDeleteMetric.
HRESULT KvDeleteMetricUsingName(KvMetricHandle* handle, const wchar_t* name, DWORD /*type*/) {
    HKEY key = UserKey(handle);
    if (key == nullptr)
        return KV_S_NOTHING_TO_DO;
    if (name == nullptr)
        return KV_E_FAIL;
    return RegDeleteValueW(key, name) == ERROR_SUCCESS ? 0 : KV_E_FAIL;
}

HRESULT KvSetMetricUsingName(KvMetricHandle* handle, const wchar_t* name, int value) {
    if (name == nullptr)
        return KV_E_FAIL;
    return WriteNumber(UserKey(handle), name, value);
}

int KvGetMetricUsingName(KvMetricHandle* handle, const wchar_t* name, int defaultValue) {
    int value = defaultValue;
    if (name != nullptr)
        ReadNumber(UserKey(handle), name, value);
    return value;
}
