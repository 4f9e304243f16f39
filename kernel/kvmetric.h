// The settings store: typed registry values under a product's key, addressed by signed identifiers.
#pragma once
#include <windows.h>
#include "kvhandles.h"

constexpr int KV_METRIC_PATH_CHARS = 260;

// Identifiers below 0 address the machine key, all others the user key. A key that could not be
// created at open time stays empty: reads on it give defaults, writes fail.
struct KvMetricHandle {
    wchar_t machinePath[KV_METRIC_PATH_CHARS];
    KvRegKey machineKey;
    wchar_t userPath[KV_METRIC_PATH_CHARS]; // the same text as machinePath
    KvRegKey userKey;                       // under the machine root too for a service handle
};

// The library's default handle. This library keeps no default settings, so it reads as no handle;
// the three text/binary writers reject it by name as well.
inline KvMetricHandle* const KV_METRIC_DEFAULT_HANDLE = reinterpret_cast<KvMetricHandle*>(~static_cast<UINT_PTR>(0));

// Value types as the registry numbers them; any other type given to the exist/delete calls means text list.
constexpr DWORD KV_METRIC_TEXT = REG_SZ;          // "S%d"
constexpr DWORD KV_METRIC_BINARY = REG_BINARY;    // "B%d"
constexpr DWORD KV_METRIC_NUMBER = REG_DWORD;     // "%d"
constexpr DWORD KV_METRIC_TEXT_LIST = REG_MULTI_SZ; // "Z%d"

// Modes of KvLoadWindowPlacement and KvWindowPlacement.
constexpr int KV_PLACEMENT_SAVE = 0;
constexpr int KV_PLACEMENT_RESTORE_STORED = 1;
constexpr int KV_PLACEMENT_RESTORE_OR_DEFAULT = 2;

// The version word carries the major version in bits 24..31 and the minor in bits 16..23.
HRESULT KvMetric_Open(KvMetricHandle** handle, const wchar_t* product, DWORD version, const wchar_t* subKey);
HRESULT KvMetric_OpenService(KvMetricHandle** handle, const wchar_t* product, DWORD version, const wchar_t* subKey);
HRESULT KvMetric_OpenSubKey(KvMetricHandle** handle, const KvMetricHandle* parent, const wchar_t* subKey);
HRESULT KvMetric_Close(KvMetricHandle* handle);
HRESULT KvMetric_CloseAndDeleteKey(KvMetricHandle* handle);

// These return 0 whatever the registry did.
HRESULT KvMetric_DeleteAll(const wchar_t* product, DWORD version);
HRESULT KvMetric_DeleteAllService(const wchar_t* product, DWORD version);
HRESULT KvMetric_DeleteKey(const wchar_t* product, DWORD version, const wchar_t* subKey);
HRESULT KvMetric_DeleteKeyService(const wchar_t* product, DWORD version, const wchar_t* subKey);

int KvGetMetric(KvMetricHandle* handle, int id);
int KvGetMetricEx(KvMetricHandle* handle, int id, int minimum, int maximum, int defaultValue);
int KvGetMetricBool(KvMetricHandle* handle, int id, int defaultValue);
HRESULT KvSetMetric(KvMetricHandle* handle, int id, int value);

DWORD KvGetMetricBinary(KvMetricHandle* handle, int id, void* buffer, DWORD size);
HRESULT KvGetMetricBinaryEx(KvMetricHandle* handle, int id, void* buffer, DWORD size, DWORD* bytes);
HRESULT KvSetMetricBinary(KvMetricHandle* handle, int id, const void* data, DWORD length);

// Length in characters of what the buffer holds afterwards; a stored text that does not fit reads as absent.
int KvGetMetricStringEx(KvMetricHandle* handle, int id, wchar_t* buffer, int capacity, const wchar_t* defaultText,
                        BOOL keepEmpty);
HRESULT KvSetMetricString(KvMetricHandle* handle, int id, const wchar_t* text);
int KvGetMetricMultiStringEx(KvMetricHandle* handle, int id, wchar_t* buffer, int capacity,
                             const wchar_t* defaultText, BOOL keepEmpty);
HRESULT KvSetMetricMultiString(KvMetricHandle* handle, int id, const wchar_t* data, int length);

HRESULT KvDoesMetricExist(KvMetricHandle* handle, int id, DWORD type); // 0 exists with that type, else 1
HRESULT KvDeleteMetric(KvMetricHandle* handle, int id, DWORD type);

// Named values in the user key.
HRESULT KvDeleteMetricUsingName(KvMetricHandle* handle, const wchar_t* name, DWORD type);
HRESULT KvSetMetricUsingName(KvMetricHandle* handle, const wchar_t* name, int value);
int KvGetMetricUsingName(KvMetricHandle* handle, const wchar_t* name, int defaultValue);

// Window placement, stored as a binary setting holding the 44-byte placement record.
HRESULT KvLoadWindowPlacement(KvMetricHandle* handle, int id, int mode, WINDOWPLACEMENT* placement);
HRESULT KvFixWindowPlacement(WINDOWPLACEMENT* placement);
HRESULT KvWindowPlacement(HWND window, KvMetricHandle* handle, int id, int mode);
