// Resource lookups through a language instance: language module first (when switched on), then the module.
#include "kvlang_internal.h"
#include "kvlang_instance.h"
#include "kvkernel.h"
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

bool UsesLanguageModule(const tKVLANG* instance) {
    return instance && instance->useLanguageModule && instance->languageModule;
}

// Finds a resource and reports the module that holds it.
HRSRC Find(tKVLANG* instance, const wchar_t* name, const wchar_t* type, HMODULE* holder) {
    *holder = nullptr;
    if (!instance) return nullptr;
    if (UsesLanguageModule(instance)) {
        if (HRSRC found = FindResourceExW(instance->languageModule, type, name, instance->language)) {
            *holder = instance->languageModule;
            return found;
        }
    }
    HRSRC found = FindResourceW(instance->module, name, type);
    if (found) *holder = instance->module;
    return found;
}

const void* LoadData(HMODULE holder, HRSRC found, DWORD* size) {
    if (size) *size = 0;
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(holder, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data && size) *size = SizeofResource(holder, found);
    return data;
}

// An accelerator table resource holds 8-byte entries; the last one carries 0x80 in its flags.
HACCEL AcceleratorsFromResource(const BYTE* data, DWORD size) {
    struct Entry {
        WORD flags;
        WORD key;
        WORD command;
        WORD padding;
    };
    std::vector<ACCEL> table;
    for (DWORD offset = 0; offset + sizeof(Entry) <= size; offset += sizeof(Entry)) {
        Entry entry;
        memcpy(&entry, data + offset, sizeof(entry));
        table.push_back(ACCEL{static_cast<BYTE>(entry.flags & 0x7F), entry.key, entry.command});
        if (entry.flags & 0x80) break;
    }
    return table.empty() ? nullptr : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}

} // namespace

void KvStripMenuMarkers(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue; // asks for the text length
        if (info.hSubMenu) KvStripMenuMarkers(info.hSubMenu);
        if ((info.fType & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW)) || info.cch < 2) continue;
        std::vector<wchar_t> text(info.cch + 1);
        info.fMask = MIIM_STRING;
        info.dwTypeData = text.data();
        info.cch = static_cast<UINT>(text.size());
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (text[0] != L'^' || text[1] != L'*') continue;
        MENUITEMINFOW change{};
        change.cbSize = sizeof(change);
        change.fMask = MIIM_STRING;
        change.dwTypeData = text.data() + 2;
        SetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &change);
    }
}

const void* KvLoadResourceCustom(tKVLANG* instance, const wchar_t* name, const wchar_t* type, DWORD* size) {
    HMODULE holder;
    HRSRC found = Find(instance, name, type, &holder);
    return LoadData(holder, found, size);
}

HRSRC KvFindResource(tKVLANG* instance, const wchar_t* name, const wchar_t* type) {
    HMODULE holder;
    return Find(instance, name, type, &holder);
}

HMODULE KvFindResInstance(tKVLANG* instance, const wchar_t* name, const wchar_t* type) {
    HMODULE holder;
    Find(instance, name, type, &holder);
    return holder;
}

HRSRC KvFindResourceMulti(tKVLANG* instance, const wchar_t* const* names, int count, const wchar_t* type,
                          int* foundIndex) {
    if (foundIndex) *foundIndex = -1;
    if (!names) return nullptr;
    for (int i = 0; i < count; ++i) {
        HMODULE holder;
        if (HRSRC found = Find(instance, names[i], type, &holder)) {
            if (foundIndex) *foundIndex = i;
            return found;
        }
    }
    return nullptr;
}

KvAcceleratorTable KvLoadAccelerators(tKVLANG* instance, UINT id) {
    if (!instance) return {};
    if (UsesLanguageModule(instance)) {
        HRSRC found = FindResourceExW(instance->languageModule, RT_ACCELERATOR, MAKEINTRESOURCEW(id),
                                      instance->language);
        DWORD size = 0;
        if (const void* data = LoadData(instance->languageModule, found, &size)) {
            if (HACCEL table = AcceleratorsFromResource(static_cast<const BYTE*>(data), size)) return {table, true};
        }
    }
    return {LoadAcceleratorsW(instance->module, MAKEINTRESOURCEW(id)), false};
}

HMENU KvLoadMenu(tKVLANG* instance, UINT id) {
    if (!instance) return nullptr;
    HMENU menu = nullptr;
    if (UsesLanguageModule(instance)) {
        HRSRC found = FindResourceExW(instance->languageModule, RT_MENU, MAKEINTRESOURCEW(id), instance->language);
        if (const void* data = LoadData(instance->languageModule, found, nullptr)) {
            menu = LoadMenuIndirectW(data);
        }
    }
    if (!menu) menu = LoadMenuW(instance->module, MAKEINTRESOURCEW(id));
    if (menu) KvStripMenuMarkers(menu);
    return menu;
}

HICON KvLoadIcon(tKVLANG* instance, UINT id) {
    return LoadIconW(instance ? instance->module : nullptr, MAKEINTRESOURCEW(id));
}

HCURSOR KvLoadCursor(tKVLANG* instance, UINT id) {
    if (instance) return LoadCursorW(instance->module, MAKEINTRESOURCEW(id));
    if (id >= 32512 && id <= 65535) return LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
    tKVLANG* library = KvKernel_GetLanguage();
    return LoadCursorW(library ? library->module : GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}
