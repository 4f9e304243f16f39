// Opening, closing and deleting the settings store's keys.
#include "kvmetric.h"
#include "kvmetric_internal.h"
#include "kvresult.h"
#include <cstdio>
#include <cwchar>
#include <new>

namespace {

const wchar_t PRODUCT_PREFIX[] = L"Software\\Varden Media Software\\";
const wchar_t SERVICE_PREFIX[] = L"SYSTEM\\CurrentControlSet\\Services\\";

// Longest key name the registry accepts, plus the terminator.
constexpr DWORD MAX_KEY_NAME_CHARS = 256;

int MajorOf(DWORD version) { return static_cast<int>((version >> 24) & 0xFF); }
int MinorOf(DWORD version) { return static_cast<int>((version >> 16) & 0xFF); }

// "<prefix><product>\<major>.<minor>\Metrics[\<subkey>]". A path that would not fit is refused rather than cut:
// a cut path names some other key.
bool FormatPath(wchar_t (&path)[KV_METRIC_PATH_CHARS], const wchar_t* prefix, const wchar_t* product, DWORD version,
                const wchar_t* subKey) {
    if (product == nullptr || *product == L'\0')
        return false;
    int written = (subKey != nullptr && *subKey != L'\0')
        ? swprintf(path, KV_METRIC_PATH_CHARS, L"%ls%ls\\%d.%d\\Metrics\\%ls", prefix, product, MajorOf(version),
                   MinorOf(version), subKey)
        : swprintf(path, KV_METRIC_PATH_CHARS, L"%ls%ls\\%d.%d\\Metrics", prefix, product, MajorOf(version),
                   MinorOf(version));
    if (written < 0 || written >= KV_METRIC_PATH_CHARS) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

// A key that cannot be created is left empty; the caller carries on without it.
void CreateKey(KvRegKey& key, HKEY root, const wchar_t* path) {
    if (RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        key.release(); // whatever the call left in the slot is not ours to close
}

HRESULT OpenWith(KvMetricHandle** handle, const wchar_t* prefix, HKEY userRoot, const wchar_t* product,
                 DWORD version, const wchar_t* subKey) {
    if (handle == nullptr)
        return KV_E_INVALIDARG;
    *handle = nullptr;
    KvMetricHandle* opened = new (std::nothrow) KvMetricHandle{};
    if (opened == nullptr)
        return KV_E_OUTOFMEMORY;
    if (!FormatPath(opened->machinePath, prefix, product, version, subKey)) {
        delete opened;
        return KV_E_INVALIDARG;
    }
    wcscpy_s(opened->userPath, KV_METRIC_PATH_CHARS, opened->machinePath);
    CreateKey(opened->machineKey, HKEY_LOCAL_MACHINE, opened->machinePath);
    CreateKey(opened->userKey, userRoot, opened->userPath);
    *handle = opened;
    return 0;
}

// Deletes a key after all its subkeys, depth first; the first key that cannot go ends the walk.
LSTATUS DeleteTree(HKEY parent, const wchar_t* path) {
    KvRegKey key;
    LSTATUS status = RegOpenKeyExW(parent, path, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) {
        key.release();
        return status;
    }
    for (;;) {
        wchar_t child[MAX_KEY_NAME_CHARS];
        DWORD childChars = MAX_KEY_NAME_CHARS;
        // Always index 0: each deleted child moves the next one up.
        status = RegEnumKeyExW(key.get(), 0, child, &childChars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS)
            return status;
        status = DeleteTree(key.get(), child);
        if (status != ERROR_SUCCESS)
            return status;
    }
    key.reset();
    return RegDeleteKeyW(parent, path);
}

void DeleteBoth(const wchar_t* prefix, const wchar_t* product, DWORD version, const wchar_t* subKey,
                bool userToo) {
    wchar_t path[KV_METRIC_PATH_CHARS];
    if (!FormatPath(path, prefix, product, version, subKey))
        return;
    DeleteTree(HKEY_LOCAL_MACHINE, path);
    if (userToo)
        DeleteTree(HKEY_CURRENT_USER, path);
}

// Reads a run of decimal digits ending at the given terminator; advances past it.
bool ReadNumber(const wchar_t*& text, wchar_t terminator, int& value) {
    value = 0;
    const wchar_t* start = text;
    while (*text >= L'0' && *text <= L'9') {
        value = value * 10 + (*text - L'0');
        if (value > 0xFF)
            return false;
        ++text;
    }
    if (text == start || *text != terminator)
        return false;
    ++text;
    return true;
}

} // namespace

namespace kvmetric {

HKEY KeyFor(KvMetricHandle* handle, int id) {
    handle = Resolve(handle);
    if (handle == nullptr)
        return nullptr;
    return id < 0 ? handle->machineKey.get() : handle->userKey.get();
}

HKEY UserKey(KvMetricHandle* handle) {
    handle = Resolve(handle);
    return handle == nullptr ? nullptr : handle->userKey.get();
}

void FormatValueName(wchar_t (&name)[VALUE_NAME_CHARS], int id, DWORD type) {
    // Unsigned so that the smallest identifier has an absolute value too.
    unsigned magnitude = id < 0 ? 0u - static_cast<unsigned>(id) : static_cast<unsigned>(id);
    const wchar_t* prefix = type == REG_DWORD ? L"" : type == REG_SZ ? L"S" : type == REG_BINARY ? L"B" : L"Z";
    swprintf(name, VALUE_NAME_CHARS, L"%ls%u", prefix, magnitude);
}

} // namespace kvmetric

HRESULT KvMetric_Open(KvMetricHandle** handle, const wchar_t* product, DWORD version, const wchar_t* subKey) {
    return OpenWith(handle, PRODUCT_PREFIX, HKEY_CURRENT_USER, product, version, subKey);
}

HRESULT KvMetric_OpenService(KvMetricHandle** handle, const wchar_t* product, DWORD version, const wchar_t* subKey) {
    return OpenWith(handle, SERVICE_PREFIX, HKEY_LOCAL_MACHINE, product, version, subKey);
}

HRESULT KvMetric_OpenSubKey(KvMetricHandle** handle, const KvMetricHandle* parent, const wchar_t* subKey) {
    if (handle == nullptr)
        return KV_E_INVALIDARG;
    *handle = nullptr;
    if (parent == nullptr || parent == KV_METRIC_DEFAULT_HANDLE)
        return KV_E_FAIL;
    const wchar_t* path = parent->userPath;
    bool service = false;
    if (_wcsnicmp(path, PRODUCT_PREFIX, wcslen(PRODUCT_PREFIX)) == 0) {
        path += wcslen(PRODUCT_PREFIX);
    } else if (_wcsnicmp(path, SERVICE_PREFIX, wcslen(SERVICE_PREFIX)) == 0) {
        path += wcslen(SERVICE_PREFIX);
        service = true;
    } else {
        return KV_E_FAIL;
    }
    const wchar_t* productEnd = wcschr(path, L'\\');
    if (productEnd == nullptr || productEnd == path)
        return KV_E_FAIL;
    wchar_t product[KV_METRIC_PATH_CHARS];
    wcsncpy_s(product, KV_METRIC_PATH_CHARS, path, static_cast<size_t>(productEnd - path));
    const wchar_t* versionText = productEnd + 1;
    int major = 0;
    int minor = 0;
    if (!ReadNumber(versionText, L'.', major) || !ReadNumber(versionText, L'\\', minor))
        return KV_E_FAIL;
    DWORD version = (static_cast<DWORD>(major) << 24) | (static_cast<DWORD>(minor) << 16);
    // A service handle's subkey stays in the service tree it came from.
    return service ? KvMetric_OpenService(handle, product, version, subKey)
                   : KvMetric_Open(handle, product, version, subKey);
}

HRESULT KvMetric_Close(KvMetricHandle* handle) {
    if (handle != KV_METRIC_DEFAULT_HANDLE)
        delete handle; // the keys close with their owners
    return 0;
}

HRESULT KvMetric_CloseAndDeleteKey(KvMetricHandle* handle) {
    if (handle == nullptr || handle == KV_METRIC_DEFAULT_HANDLE)
        return KV_E_FAIL;
    handle->machineKey.reset();
    handle->userKey.reset();
    DeleteTree(HKEY_CURRENT_USER, handle->userPath);
    DeleteTree(HKEY_LOCAL_MACHINE, handle->machinePath);
    delete handle;
    return 0;
}

HRESULT KvMetric_DeleteAll(const wchar_t* product, DWORD version) {
    DeleteBoth(PRODUCT_PREFIX, product, version, nullptr, true);
    return 0;
}

HRESULT KvMetric_DeleteAllService(const wchar_t* product, DWORD version) {
    DeleteBoth(SERVICE_PREFIX, product, version, nullptr, false);
    return 0;
}

HRESULT KvMetric_DeleteKey(const wchar_t* product, DWORD version, const wchar_t* subKey) {
    DeleteBoth(PRODUCT_PREFIX, product, version, subKey, true);
    return 0;
}

HRESULT KvMetric_DeleteKeyService(const wchar_t* product, DWORD version, const wchar_t* subKey) {
    DeleteBoth(SERVICE_PREFIX, product, version, subKey, false);
    return 0;
}
