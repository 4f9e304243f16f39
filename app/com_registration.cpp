// The program's COM class registration: names the executable as the local server of its class.
#include "com_registration.h"
#include "kvhandles.h"
#include "kvlang.h"
#include <cwchar>

namespace {

HRESULT SetDefaultText(HKEY key, const wchar_t* text) {
    DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    LSTATUS status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    return HRESULT_FROM_WIN32(status);
}

} // namespace

HRESULT AppRegisterServer(HINSTANCE instance) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
    GetLongPathNameW(path, path, MAX_PATH);

    wchar_t keyName[64];
    KvPrintFN(keyName, _countof(keyName), L"CLSID\\%s", APP_CLASS_ID);
    KvRegKey classKey;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, classKey.put(),
                                     nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    wchar_t fullName[128];
    KvPrintFN(fullName, _countof(fullName), L"$(AppName.Full)");
    HRESULT hr = SetDefaultText(classKey.get(), fullName);

    KvRegKey serverKey;
    status = RegCreateKeyExW(classKey.get(), L"LocalServer32", 0, nullptr, 0, KEY_WRITE, nullptr, serverKey.put(),
                             nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    HRESULT serverResult = SetDefaultText(serverKey.get(), path);
    return hr < 0 ? hr : serverResult;
}
