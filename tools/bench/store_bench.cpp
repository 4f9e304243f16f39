// Times loading a large seeded store against a plain walk over the same keys, values, class names and files, the
// rounds of both interleaved, and reports medians.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "catalogue.h"
#include "store_names.h"
#include "store_read.h"
#include "../measure.h"

using namespace measure;

namespace {

constexpr int kPlugIns = 200;
constexpr int kPresetsPerPlugIn = 50;
constexpr int kRounds = 9; // counted rounds; one uncounted round warms the registry and the file cache first

std::wstring ClassId(int index) {
    wchar_t text[40];
    swprintf(text, 40, L"{B0000000-0000-4000-8000-%012d}", index);
    return text;
}

bool Seed(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<BYTE> data(2048);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 13);
    for (int p = 0; p < kPlugIns; ++p) {
        std::wstring path = std::wstring(STORE_PRESETS_KEY) + L"\\" + ClassId(p);
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return false;
        for (int v = 0; v < kPresetsPerPlugIn; ++v) {
            wchar_t name[32];
            swprintf(name, 32, L"Preset %02d", v);
            if (v % 10 == 0) {
                std::wstring file = folder + L"\\" + std::to_wstring(p) + L"-" + std::to_wstring(v) + L".dxp";
                HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                DWORD put = 0;
                WriteFile(h, data.data(), 1024 + v, &put, nullptr);
                CloseHandle(h);
                RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                               static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
            } else {
                RegSetValueExW(key, name, 0, REG_BINARY, data.data(), 64 + v);
            }
        }
        RegCloseKey(key);
    }
    return true;
}

// Open each key, enumerate its values with their data (one call each), read the files they name, and look up the
// key's class name once in one registry view: the least any loader has to do to show the same catalogue.
// Returns the bytes seen.
size_t PlainWalk() {
    size_t total = 0;
    HKEY root = nullptr, classes = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, STORE_PRESETS_KEY, 0, KEY_READ, &root)) return 0;
    RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &classes);
    std::vector<BYTE> buffer(4096); // every seeded value and path fits
    wchar_t keyName[40], valueName[260];
    for (DWORD k = 0;; ++k) {
        DWORD chars = 40;
        if (RegEnumKeyExW(root, k, keyName, &chars, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, keyName, 0, KEY_READ, &key)) continue;
        HKEY classKey = nullptr;
        if (classes && RegOpenKeyExW(classes, keyName, 0, KEY_READ, &classKey) == ERROR_SUCCESS) RegCloseKey(classKey);
        for (DWORD v = 0;; ++v) {
            DWORD nameChars = 260, type = 0, size = static_cast<DWORD>(buffer.size());
            if (RegEnumValueW(key, v, valueName, &nameChars, nullptr, &type, buffer.data(), &size)) break;
            if (type != REG_SZ) {
                total += size;
                continue;
            }
            HANDLE h = CreateFileW(reinterpret_cast<wchar_t*>(buffer.data()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            std::vector<BYTE> content(GetFileSize(h, nullptr));
            DWORD got = 0;
            ReadFile(h, content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
            CloseHandle(h);
            total += got;
        }
        RegCloseKey(key);
    }
    if (classes) RegCloseKey(classes);
    RegCloseKey(root);
    return total;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.dxp").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

int wmain() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tarrow-store-bench";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    if (!Seed(folder)) {
        fwprintf(stderr, L"store bench: seeding failed\n");
        return 1;
    }
    size_t plainBytes = 0, loadedPresets = 0;
    // Alternate the two so that load from other processes on the machine falls on both alike. The loaded list is
    // deleted after the clock stops: the plain walk keeps nothing either.
    std::vector<double> plain, load;
    for (int round = 0; round <= kRounds; ++round) {
        double plainTime = Time([&] { plainBytes = PlainWalk(); });
        PlugInList* list = nullptr;
        double loadTime = Time([&] { LoadStorePresets(&list); });
        loadedPresets = list ? static_cast<size_t>(list->TotalPresetCount()) : 0;
        delete list;
        if (round == 0) continue;
        plain.push_back(plainTime);
        load.push_back(loadTime);
    }
    // For reference: the loader's class look-ups, one call each and through one PlugInClassNames.
    std::vector<double> single, shared;
    for (int round = 0; round < kRounds; ++round) {
        wchar_t name[260];
        single.push_back(Time([&] {
            for (int p = 0; p < kPlugIns; ++p) GetPlugInFriendlyName(ClassId(p).c_str(), name, sizeof(name));
        }));
        shared.push_back(Time([&] {
            PlugInClassNames names;
            for (int p = 0; p < kPlugIns; ++p) names.FriendlyName(ClassId(p).c_str(), name, sizeof(name));
        }));
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RemoveFolder(folder);
    wprintf(L"store: %d plug-ins x %d presets (1 in 10 in data files), medians of %d interleaved rounds\n", kPlugIns,
            kPresetsPerPlugIn, kRounds);
    wprintf(L"  plain enumeration: %8.1f ms (best %.1f; %zu bytes)\n", Median(plain) * 1000, Best(plain) * 1000,
            plainBytes);
    wprintf(L"  LoadStorePresets:  %8.1f ms (best %.1f; %zu presets)\n", Median(load) * 1000, Best(load) * 1000,
            loadedPresets);
    wprintf(L"  %d class names alone: %.1f ms by GetPlugInFriendlyName, %.1f ms through one PlugInClassNames\n",
            kPlugIns, Median(single) * 1000, Median(shared) * 1000);
    wprintf(L"  ratio: %.2fx (target at most 1.5x); best rounds %.2fx\n", Median(load) / Median(plain),
            Best(load) / Best(plain));
    return loadedPresets == static_cast<size_t>(kPlugIns * kPresetsPerPlugIn) ? 0 : 1;
}
