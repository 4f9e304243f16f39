// Times loading a large seeded store against a plain walk over the same keys, values and files.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "catalogue.h"
#include "store_names.h"
#include "store_read.h"

namespace {

constexpr int kPlugIns = 200;
constexpr int kPresetsPerPlugIn = 50;
constexpr int kRuns = 7;

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

// Open, enumerate, query, read the files: the least any loader has to do. Returns the bytes seen.
size_t PlainWalk() {
    size_t total = 0;
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, STORE_PRESETS_KEY, 0, KEY_READ, &root)) return 0;
    std::vector<BYTE> buffer(4096); // every seeded value and path fits
    wchar_t keyName[40], valueName[260];
    for (DWORD k = 0;; ++k) {
        DWORD chars = 40;
        if (RegEnumKeyExW(root, k, keyName, &chars, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, keyName, 0, KEY_READ, &key)) continue;
        for (DWORD v = 0;; ++v) {
            DWORD nameChars = 260;
            if (RegEnumValueW(key, v, valueName, &nameChars, nullptr, nullptr, nullptr, nullptr)) break;
            DWORD type = 0, size = static_cast<DWORD>(buffer.size());
            if (RegQueryValueExW(key, valueName, nullptr, &type, buffer.data(), &size)) continue;
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
    RegCloseKey(root);
    return total;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <class F> double Time(F work) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    work();
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
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
    // Alternate the two so that load from other processes on the machine falls on both alike.
    double plain = 1e9, load = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        plain = std::min(plain, Time([&] { plainBytes = PlainWalk(); }));
        load = std::min(load, Time([&] {
            PlugInList* list = nullptr;
            LoadStorePresets(&list);
            loadedPresets = list ? static_cast<size_t>(list->TotalPresetCount()) : 0;
            delete list;
        }));
    }
    // For reference: class lookups one by one (the loader opens the class roots once and is cheaper).
    double lookups = Time([&] {
        wchar_t name[260];
        for (int p = 0; p < kPlugIns; ++p) GetPlugInFriendlyName(ClassId(p).c_str(), name, sizeof(name));
    });
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RemoveFolder(folder);
    wprintf(L"store: %d plug-ins x %d presets (1 in 10 in data files), best of %d runs\n", kPlugIns,
            kPresetsPerPlugIn, kRuns);
    wprintf(L"  plain enumeration: %8.1f ms (%zu bytes)\n", plain * 1000, plainBytes);
    wprintf(L"  LoadStorePresets:  %8.1f ms (%zu presets)\n", load * 1000, loadedPresets);
    wprintf(L"  %d GetPlugInFriendlyName calls alone: %6.1f ms\n", kPlugIns, lookups * 1000);
    wprintf(L"  ratio: %.2fx (target at most 1.5x)\n", load / plain);
    return loadedPresets == static_cast<size_t>(kPlugIns * kPresetsPerPlugIn) ? 0 : 1;
}
