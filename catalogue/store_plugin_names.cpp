// Naming the system side's plug-ins the way a load of the store names them.
#include "store_plugin_names.h"
#include <cwchar>
#include <string>
#include <unordered_map>
#include "store_handles.h"
#include "store_names.h"
#include "store_read.h"

namespace {

// Class identifier texts are ASCII; registry key names match them ignoring case.
std::wstring KeyOf(const wchar_t* classId) {
    std::wstring key(classId);
    for (wchar_t& c : key)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return key;
}

} // namespace

HRESULT NamePlugInsAsStored(PlugInList& list) {
    std::unordered_map<std::wstring, PlugInEntry*> byClass;
    for (int i = 0; i < list.Count(); ++i) {
        PlugInEntry* entry = list.At(i);
        if (entry && !(entry->flags & PLUGIN_LATHMERE_TOOL)) byClass.emplace(KeyOf(entry->classIdText), entry);
    }
    KvRegKey root;
    if (byClass.empty() || OpenKey(&root, HKEY_CURRENT_USER, STORE_PRESETS_KEY, KEY_READ) != ERROR_SUCCESS) return S_OK;
    PlugInClassNames registrations(byClass.size());
    unsigned notInstalled = 0;
    wchar_t keyName[CATALOGUE_ID_CHARS];
    for (DWORD index = 0;; ++index) {
        DWORD chars = CATALOGUE_ID_CHARS;
        LONG status = RegEnumKeyExW(root.get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) break;
        if (status != ERROR_SUCCESS) continue;
        // Only keys the load shows count towards the numbers: those of plug-ins this side holds.
        auto found = byClass.find(KeyOf(keyName));
        if (found == byClass.end()) continue;
        PlugInEntry& entry = *found->second;
        wchar_t friendly[CATALOGUE_NAME_CHARS] = {};
        if (registrations.FriendlyName(keyName, friendly, sizeof(friendly)) != ERROR_SUCCESS)
            swprintf(friendly, CATALOGUE_NAME_CHARS, STORE_NOT_INSTALLED_FORMAT, notInstalled++);
        HRESULT hr = entry.name.Set(friendly);
        if (hr < 0) return hr;
    }
    return S_OK;
}
