// Times the command-line import of a 10,000-preset package into an empty store against writing the same values and
// data files with plain registry and file calls, and the export of that store against a store load and a plain
// package write. Rounds alternate between the two sides of each comparison; medians are reported.
// Usage: cli_bench <folder>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "catalogue.h"
#include "catalogue_model.h"
#include "export_command.h"
#include "import_command.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "package_format.h"
#include "store_session.h"
#include "store_write.h"
#include "store_names.h"

namespace {

constexpr int kPlugIns = 100;
constexpr int kPresetsPerPlugIn = 100;
constexpr int kChains = 20;
constexpr int kRounds = 7;
constexpr uint32_t kInlineLimit = 256; // what the store keeps in the registry; larger data goes to a file

double Now() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Timings {
    std::vector<double> values;
    double Median() const {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double Min() const { return *std::min_element(values.begin(), values.end()); }
    double Max() const { return *std::max_element(values.begin(), values.end()); }
};

std::wstring ClassId(int index) {
    wchar_t text[40];
    swprintf(text, 40, L"{C0000000-0000-4000-8000-%012d}", index);
    return text;
}

// One preset in ten is large enough for a data file; the rest stay in the registry.
uint32_t PresetSize(int plugIn, int preset) {
    return preset % 10 == 0 ? 1000 + static_cast<uint32_t>((plugIn * 37 + preset * 11) % 2000)
                            : 32 + static_cast<uint32_t>((plugIn * 13 + preset * 7) % (kInlineLimit - 32));
}

void MakeCatalogue(PlugInList* plugIns, ChainList* chains) {
    for (int p = 0; p < kPlugIns; ++p) {
        wchar_t name[64];
        swprintf(name, 64, L"Plug-in %03d", p);
        auto* plugIn = PlugInEntry::Create(name, ClassId(p).c_str());
        for (int i = 0; i < kPresetsPerPlugIn; ++i) {
            swprintf(name, 64, L"Preset %03d", i);
            auto* preset = PresetEntry::Create(name);
            uint32_t size = PresetSize(p, i);
            uint8_t* blob = CatalogueBlobAlloc(size);
            for (uint32_t b = 0; b < size; ++b) blob[b] = static_cast<uint8_t>(b * 31 + i + p);
            preset->AdoptData(blob, size);
            plugIn->AppendPreset(preset);
        }
        plugIns->Append(plugIn);
    }
    for (int c = 0; c < kChains; ++c) {
        auto* chain = new ChainEntry();
        swprintf(chain->name, CATALOGUE_NAME_CHARS, L"Chain %02d", c);
        swprintf(chain->identifier, CATALOGUE_ID_CHARS, L"chain-%02d", c);
        uint32_t size = c % 2 ? 100 : 600;
        uint8_t* blob = CatalogueBlobAlloc(size);
        for (uint32_t b = 0; b < size; ++b) blob[b] = static_cast<uint8_t>(b + c);
        chain->AdoptStream(blob, size);
        chains->Append(chain);
    }
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// An empty store whose data files go to dataFolder, as a user's store with its DefLocation set.
void EmptyStore(const std::wstring& dataFolder) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RemoveTree(dataFolder);
    CreateDirectoryW(dataFolder.c_str(), nullptr);
    for (const wchar_t* key : {STORE_PRESETS_KEY, STORE_CHAINS_KEY})
        RegSetKeyValueW(HKEY_CURRENT_USER, key, STORE_DEF_LOCATION, REG_EXPAND_SZ, dataFolder.c_str(),
                        static_cast<DWORD>((dataFolder.size() + 1) * sizeof(wchar_t)));
}

bool WritePlainFile(const std::wstring& path, const uint8_t* data, uint32_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = WriteFile(file, data, size, &done, nullptr) && done == size;
    CloseHandle(file);
    return ok;
}

LONG SetPath(HKEY key, const wchar_t* name, const std::wstring& path) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

// The least an import has to do: one key per plug-in and chain, one value per preset, a file for large data.
bool PlainWrite(const PlugInList& plugIns, const ChainList& chains, const std::wstring& dataFolder) {
    bool ok = true;
    for (int p = 0; p < plugIns.Count(); ++p) {
        const PlugInEntry& plugIn = *plugIns.At(p);
        HKEY key = nullptr;
        std::wstring path = std::wstring(STORE_PRESETS_KEY) + L"\\" + plugIn.classIdText;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return false;
        std::wstring folder = dataFolder + L"\\" + plugIn.classIdText;
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < plugIn.PresetCount(); ++i) {
            const PresetEntry& preset = *plugIn.PresetAt(i);
            if (preset.dataSize < kInlineLimit) {
                ok = RegSetValueExW(key, preset.name, 0, REG_BINARY, preset.data, preset.dataSize) == 0 && ok;
                continue;
            }
            std::wstring file = folder + L"\\" + preset.name.c_str() + L".dxp";
            ok = WritePlainFile(file, preset.data, preset.dataSize) && SetPath(key, preset.name, file) == 0 && ok;
        }
        RegCloseKey(key);
    }
    for (int c = 0; c < chains.Count(); ++c) {
        const ChainEntry& chain = *chains.At(c);
        HKEY key = nullptr;
        std::wstring path = std::wstring(STORE_CHAINS_KEY) + L"\\" + chain.identifier;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return false;
        DWORD flags = chain.flags, type = chain.type;
        RegSetValueExW(key, L"Flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
        SetPath(key, L"Name", chain.name);
        RegSetValueExW(key, L"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof(type));
        if (chain.streamSize < kInlineLimit) {
            RegSetValueExW(key, L"Stream", 0, REG_BINARY, chain.stream, chain.streamSize);
        } else {
            std::wstring folder = dataFolder + L"\\" + chain.identifier;
            CreateDirectoryW(folder.c_str(), nullptr);
            std::wstring file = folder + L"\\" + chain.name + L".kvg";
            ok = WritePlainFile(file, chain.stream, chain.streamSize) && SetPath(key, L"Stream", file) == 0 && ok;
        }
        RegCloseKey(key);
    }
    return ok;
}

int StoredPresets(tKVLANG* language) {
    CatalogueModel model;
    model.language = language;
    LoadSystemCatalogue(model);
    return model.plugIns[SIDE_SYSTEM] ? model.plugIns[SIDE_SYSTEM]->TotalPresetCount() : 0;
}

void Print(const wchar_t* label, const Timings& timings) {
    wprintf(L"  %-34ls median %8.1f ms  (min %8.1f, max %8.1f)\n", label, timings.Median() * 1000,
            timings.Min() * 1000, timings.Max() * 1000);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: cli_bench <folder>\n");
        return 2;
    }
    KvKernel_Init(GetModuleHandleW(nullptr));
    tKVLANG* language = nullptr;
    KvLang_Open(&language, GetModuleHandleW(nullptr), 0, 0);
    const std::wstring folder = argv[1], dataFolder = folder + L"\\store", package = folder + L"\\in.kvpreset",
                       exported = folder + L"\\out.kvpreset", plainExported = folder + L"\\plain.kvpreset";
    PlugInList plugIns;
    ChainList chains;
    MakeCatalogue(&plugIns, &chains);
    if (WritePackageFile(package.c_str(), &plugIns, &chains) < 0) {
        fwprintf(stderr, L"cli bench: could not write the package\n");
        return 1;
    }
    const int expected = kPlugIns * kPresetsPerPlugIn;
    bool ok = true;

    // Import: each round starts from an empty store; which of the sides goes first rotates.
    Timings import, plain, readOnly, writerOnly;
    ImportOptions importOptions;
    importOptions.path = package;
    for (int round = 0; round < kRounds; ++round) {
        for (int side = 0; side < 3; ++side) {
            EmptyStore(dataFolder);
            double start = Now();
            switch ((side + round) % 3) {
            case 0: {
                ImportReport report;
                ok = ImportPackage(importOptions, language, &report) >= 0 && report.result == IMPORT_WRITTEN && ok;
                import.values.push_back(Now() - start);
                break;
            }
            case 1:
                ok = PlainWrite(plugIns, chains, dataFolder) && ok;
                plain.values.push_back(Now() - start);
                break;
            default: {
                // For reference, the two parts of an import that are not the copy: the package read and the store
                // writer's own calls for every item.
                PlugInList read;
                ChainList readChains;
                ok = ReadPackageFile(package.c_str(), &read, &readChains) >= 0 && ok;
                readOnly.values.push_back(Now() - start);
                start = Now();
                StoreWriteSession session; // as an edit step's writes share one
                for (int p = 0; p < read.Count(); ++p)
                    for (int i = 0; i < read.At(p)->PresetCount(); ++i)
                        ok = WriteStorePreset(*read.At(p), *read.At(p)->PresetAt(i), &session) == S_OK && ok;
                for (int c = 0; c < readChains.Count(); ++c)
                    ok = WriteStoreChain(*readChains.At(c), &session) == S_OK && ok;
                writerOnly.values.push_back(Now() - start);
            }
            }
            ok = StoredPresets(language) == expected && ok;
        }
    }

    // Export of the store the last round left (complete either way, as just checked).
    Timings exportTimes, loadAndWrite;
    ExportOptions exportOptions;
    exportOptions.path = exported;
    for (int round = 0; round < kRounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            double start = Now();
            if ((side + round) % 2 == 0) {
                ExportReport report;
                ok = ExportStore(exportOptions, language, &report) >= 0 && report.presets == expected && ok;
                exportTimes.values.push_back(Now() - start);
            } else {
                CatalogueModel model;
                model.language = language;
                LoadSystemCatalogue(model);
                ok = WritePackageFile(plainExported.c_str(), model.plugIns[SIDE_SYSTEM], model.chains[SIDE_SYSTEM]) >=
                         0 && ok;
                loadAndWrite.values.push_back(Now() - start);
            }
        }
    }
    EmptyStore(dataFolder);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RemoveTree(dataFolder);

    wprintf(L"cli: %d plug-ins x %d presets (1 in 10 in data files) and %d chains, %d rounds each, interleaved\n",
            kPlugIns, kPresetsPerPlugIn, kChains, kRounds);
    Print(L"import into an empty store:", import);
    Print(L"plain registry and file writes:", plain);
    wprintf(L"  import ratio: %.2fx (target at most 2x)\n", import.Median() / plain.Median());
    Print(L"for reference, ReadPackageFile:", readOnly);
    Print(L"for reference, the store writer alone:", writerOnly);
    Print(L"export of the whole store:", exportTimes);
    Print(L"store load + WritePackageFile:", loadAndWrite);
    wprintf(L"  export ratio: %.2fx (target at most 2x)\n", exportTimes.Median() / loadAndWrite.Median());
    if (!ok) fwprintf(stderr, L"cli bench: a run did not store or export every preset\n");
    KvLang_Close(language);
    KvKernel_Exit();
    return ok ? 0 : 1;
}
