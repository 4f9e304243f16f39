// Seeds the current Wine prefix with a sample system store and writes a sample package, for ./run.sh --demo.
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "catalogue_model.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "package_format.h"
#include "resource.h"
#include "store_files.h"
#include "store_names.h"

namespace {

struct DemoPreset {
    const wchar_t* name;
    uint32_t size; // 256 bytes or more go to a data file
};

struct DemoPlugIn {
    const wchar_t* name;    // registered as the class's display name; null leaves the class unregistered
    const wchar_t* classId; // for a Lathmere tool: null
    uint32_t major, minor;  // Lathmere store version: 6.0 is the unversioned store
    DemoPreset presets[4];  // ends at the first null name
    UINT nameId = 0;        // a tool of the compatibility table: its name comes from the string table
};

// The tool's name as the program's compatibility rule knows it, so that the rule can be seen at work.
const wchar_t* DemoName(const DemoPlugIn& plugIn, tKVLANG* language) {
    return plugIn.nameId ? KvGetString(language, plugIn.nameId) : plugIn.name;
}

struct DemoChain {
    const wchar_t* name;
    const wchar_t* identifier;
    uint32_t flags, type, streamSize;
};

constexpr wchar_t kReverb[] = L"{6A3C1E10-5D2B-4E8A-9C41-7B0D2E5F0001}";
constexpr wchar_t kCompressor[] = L"{6A3C1E10-5D2B-4E8A-9C41-7B0D2E5F0002}";
constexpr wchar_t kEqualizer[] = L"{6A3C1E10-5D2B-4E8A-9C41-7B0D2E5F0003}";
constexpr wchar_t kTapeWobble[] = L"{6A3C1E10-5D2B-4E8A-9C41-7B0D2E5F0004}";
constexpr wchar_t kDelay[] = L"{6A3C1E10-5D2B-4E8A-9C41-7B0D2E5F0005}";

// Display names for the classes that count as installed; kTapeWobble stays unregistered on purpose.
const struct {
    const wchar_t* classId;
    const wchar_t* name;
} kRegistrations[] = {
    {kReverb, L"Demo Reverb"}, {kCompressor, L"Demo Compressor"}, {kEqualizer, L"Demo Equalizer"},
    {kDelay, L"Demo Delay"},
};

const DemoPlugIn kStorePlugIns[] = {
    {L"Demo Reverb", kReverb, 0, 0, {{L"Small Room", 48}, {L"Plate", 120}, {L"Large Hall", 512}, {L"Cathedral", 40000}}},
    {L"Demo Compressor", kCompressor, 0, 0, {{L"Gentle", 64}, {L"Vocal Leveler", 300}, {L"Drums: Punchy?", 1024}}},
    {L"Demo Equalizer", kEqualizer, 0, 0, {{L"Flat", 32}, {L"Low Cut", 80}, {L"Air Boost", 2048}, {L"Mastering Curve", 65536}}},
    {L"", kTapeWobble, 0, 0, {{L"Light Wobble", 96}, {L"Worn Cassette", 700}}},
    {nullptr, nullptr, 6, 0, {{L"Telephone", 40}, {L"Radio", 56}}, IDS_LATHMERE_TOOL_GRAPHIC_EQ},
    {nullptr, nullptr, 6, 0, {{L"Default Gate", 24}}, IDS_LATHMERE_TOOL_NOISE_GATE},
    {nullptr, nullptr, 7, 0, {{L"Bright Vocal", 72}}, IDS_LATHMERE_TOOL_GRAPHIC_EQ},
    {nullptr, nullptr, 7, 0, {{L"Wide Chorus", 88}, {L"Subtle", 64}}, IDS_LATHMERE_TOOL_CHORUS},
    {nullptr, nullptr, 8, 1, {{L"Ensemble", 128}}, IDS_LATHMERE_TOOL_CHORUS},
    {nullptr, nullptr, 8, 1, {{L"Half Speed", 4096}}, IDS_LATHMERE_TOOL_TIME_STRETCH}, // Lathmere keeps this inline
    {nullptr, nullptr, 8, 1, {{L"Hum Removal", 160}}, IDS_LATHMERE_TOOL_SPECTRAL_REPAIR},
    {L"Click Remover", nullptr, 8, 1, {{L"Vinyl", 48}}}, // not in the table: any destination takes it
};

const DemoChain kStoreChains[] = {
    {L"Podcast Voice", L"{0B7E4C21-93A6-4F10-8D55-1C2E3F4A0001}", 1, 0, 200},
    {L"Guitar Amp Stack", L"{0B7E4C21-93A6-4F10-8D55-1C2E3F4A0002}", 1, 2, 30000},
    {L"Master Bus", L"{0B7E4C21-93A6-4F10-8D55-1C2E3F4A0003}", 0, 1, 96},
};

// The package overlaps the store in places ("Large Hall", "Podcast Voice"), so copying back asks to overwrite.
const DemoPlugIn kPackagePlugIns[] = {
    {L"Demo Reverb", kReverb, 0, 0, {{L"Spring", 200}, {L"Large Hall", 600}}},
    {L"Demo Delay", kDelay, 0, 0, {{L"Slapback", 40}, {L"Ping Pong", 1024}}},
    // With the 6.0 destination chosen, copying these to the system refuses the two table tools and copies the third.
    {nullptr, nullptr, 7, 0, {{L"Bright Vocal Alt", 72}}, IDS_LATHMERE_TOOL_GRAPHIC_EQ},
    {nullptr, nullptr, 7, 0, {{L"Octave Up", 64}, {L"Fifth Down", 64}}, IDS_LATHMERE_TOOL_PITCH_SHIFT},
    {L"Click Remover", nullptr, 7, 0, {{L"Crackle", 40}}},
};

const DemoChain kPackageChains[] = {
    {L"Podcast Voice", L"{0B7E4C21-93A6-4F10-8D55-1C2E3F4A0001}", 1, 0, 220},
    {L"Live Room", L"{0B7E4C21-93A6-4F10-8D55-1C2E3F4A0004}", 1, 0, 5000},
};

// Opaque but reproducible bytes: the same name and size always give the same data, so re-seeding changes nothing.
void FillDemoBytes(uint8_t* data, uint32_t size, const wchar_t* salt, const wchar_t* name) {
    uint32_t state = 2166136261u;
    for (const wchar_t* text : {salt, name})
        for (const wchar_t* c = text; *c; ++c) state = (state ^ static_cast<uint32_t>(*c)) * 16777619u;
    for (uint32_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        data[i] = static_cast<uint8_t>(state);
    }
}

// entry was constructed with source's name and class identifier; a Lathmere tool also needs its store version.
void MarkLathmereTool(PlugInEntry& entry, const DemoPlugIn& source) {
    if (source.classId) return;
    entry.flags = PLUGIN_LATHMERE_TOOL | (source.major > 6 ? PLUGIN_LATHMERE_VERSIONED : 0);
    entry.majorVersion = source.major;
    entry.minorVersion = source.minor;
}

HRESULT AddDemoPresets(CatalogueModel& model, const DemoPlugIn* plugIns, size_t count, int side, const wchar_t* salt) {
    for (size_t p = 0; p < count; ++p) {
        std::unique_ptr<PlugInEntry> made(PlugInEntry::Create(DemoName(plugIns[p], model.language), plugIns[p].classId));
        if (!made) return E_OUTOFMEMORY;
        PlugInEntry& plugIn = *made;
        MarkLathmereTool(plugIn, plugIns[p]);
        for (const DemoPreset& item : plugIns[p].presets) {
            if (!item.name) break;
            PresetEntry preset;
            if (preset.name.Set(item.name) < 0) return E_OUTOFMEMORY;
            uint8_t* data = CatalogueBlobAlloc(item.size);
            if (!data) return E_OUTOFMEMORY;
            FillDemoBytes(data, item.size, salt, item.name);
            preset.AdoptData(data, item.size);
            HRESULT hr = AddPreset(model, plugIn, preset, side);
            if (hr < 0) {
                fwprintf(stderr, L"make_demo: preset \"%ls\" of \"%ls\" failed: 0x%08lX\n", item.name,
                         plugIn.name.c_str(), static_cast<unsigned long>(hr));
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT AddDemoChains(CatalogueModel& model, const DemoChain* chains, size_t count, int side, const wchar_t* salt) {
    for (size_t i = 0; i < count; ++i) {
        ChainEntry chain;
        CatalogueCopyText(chain.name, CATALOGUE_NAME_CHARS, chains[i].name);
        CatalogueCopyText(chain.identifier, CATALOGUE_ID_CHARS, chains[i].identifier);
        chain.flags = chains[i].flags;
        chain.type = chains[i].type;
        uint8_t* stream = CatalogueBlobAlloc(chains[i].streamSize);
        if (!stream) return E_OUTOFMEMORY;
        FillDemoBytes(stream, chains[i].streamSize, salt, chains[i].name);
        chain.AdoptStream(stream, chains[i].streamSize);
        HRESULT hr = AddChain(model, chain, side);
        if (hr < 0) {
            fwprintf(stderr, L"make_demo: chain \"%ls\" failed: 0x%08lX\n", chains[i].name,
                     static_cast<unsigned long>(hr));
            return hr;
        }
    }
    return S_OK;
}

LONG SetText(HKEY root, const std::wstring& keyPath, const wchar_t* valueName, DWORD type, const std::wstring& text) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

// What an installed plug-in leaves behind: its class's display name, which the store loader shows.
LONG RegisterDemoClasses() {
    for (const auto& registration : kRegistrations) {
        LONG status = SetText(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + registration.classId, nullptr, REG_SZ,
                              registration.name);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

// The store writers default their data folders to the writing program's own folder; the demo's belong beside its
// package, inside the prefix. A folder the store already names is kept, as the writers keep it.
LONG PointDataFolders(const std::wstring& demoFolder) {
    const struct {
        const wchar_t* key;
        const wchar_t* tail;
    } folders[] = {{STORE_PRESETS_KEY, L"Presets"}, {STORE_CHAINS_KEY, L"Presets\\FX Packages"}};
    for (const auto& folder : folders) {
        HKEY key = nullptr;
        bool present = RegOpenKeyExW(HKEY_CURRENT_USER, folder.key, 0, KEY_READ, &key) == ERROR_SUCCESS &&
                       RegQueryValueExW(key, STORE_DEF_LOCATION, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        if (present) continue;
        LONG status = SetText(HKEY_CURRENT_USER, folder.key, STORE_DEF_LOCATION, REG_EXPAND_SZ,
                              demoFolder + L"\\Store\\" + folder.tail);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

// Reads the store back and checks that every seeded item arrived with its bytes; prints what the store holds.
bool VerifyStore(CatalogueModel& model) {
    if (LoadSystemCatalogue(model) < 0) return false;
    PlugInList* plugIns = model.plugIns[SIDE_SYSTEM];
    ChainList* chains = model.chains[SIDE_SYSTEM];
    bool good = plugIns && chains;
    for (const DemoPlugIn& source : kStorePlugIns) {
        std::unique_ptr<PlugInEntry> made(PlugInEntry::Create(DemoName(source, model.language), source.classId));
        if (!made) return false;
        PlugInEntry& probe = *made;
        MarkLathmereTool(probe, source);
        PlugInEntry* entry = good ? plugIns->FindEntryByIdentity(probe, model.language) : nullptr;
        for (const DemoPreset& item : source.presets) {
            if (!item.name) break;
            PresetEntry* preset = entry ? entry->FindPreset(item.name) : nullptr;
            std::vector<uint8_t> expected(item.size);
            FillDemoBytes(expected.data(), item.size, L"store", item.name);
            if (!preset || preset->dataSize != item.size || memcmp(expected.data(), preset->data, item.size) != 0) {
                fwprintf(stderr, L"make_demo: \"%ls\" of \"%ls\" did not come back from the store\n", item.name,
                         probe.name.c_str());
                good = false;
            }
        }
    }
    for (const DemoChain& source : kStoreChains) {
        ChainEntry* chain = chains ? chains->FindEntryByName(source.name) : nullptr;
        if (!chain || chain->streamSize != source.streamSize) {
            fwprintf(stderr, L"make_demo: chain \"%ls\" did not come back from the store\n", source.name);
            good = false;
        }
    }
    if (good)
        wprintf(L"Demo store: %d plug-ins and tools, %d presets, %d chains, %d Lathmere destinations\n",
                plugIns->Count(), plugIns->TotalPresetCount(), chains->Count(),
                model.destinations ? model.destinations->count : 0);
    return good;
}

int Run(tKVLANG* language, const wchar_t* packagePath) {
    wchar_t fullPath[MAX_PATH];
    wchar_t* fileName = nullptr;
    DWORD length = GetFullPathNameW(packagePath, MAX_PATH, fullPath, &fileName);
    if (length == 0 || length >= MAX_PATH || !fileName) {
        fwprintf(stderr, L"make_demo: unusable package path %ls\n", packagePath);
        return 1;
    }
    std::wstring demoFolder(fullPath, fileName - fullPath - 1);
    if (CreateFolderLevels(demoFolder) < 0) {
        fwprintf(stderr, L"make_demo: cannot create %ls\n", demoFolder.c_str());
        return 1;
    }
    LONG status = RegisterDemoClasses();
    if (status == ERROR_SUCCESS) status = PointDataFolders(demoFolder);
    if (status != ERROR_SUCCESS) {
        fwprintf(stderr, L"make_demo: registry write failed: %ld\n", status);
        return 1;
    }

    // This model never loads the destination list, so Lathmere tools land in their own version's store.
    CatalogueModel seeding;
    seeding.language = language;
    if (AddDemoPresets(seeding, kStorePlugIns, std::size(kStorePlugIns), SIDE_SYSTEM, L"store") < 0 ||
        AddDemoChains(seeding, kStoreChains, std::size(kStoreChains), SIDE_SYSTEM, L"store") < 0 ||
        AddDemoPresets(seeding, kPackagePlugIns, std::size(kPackagePlugIns), SIDE_PACKAGE, L"package") < 0 ||
        AddDemoChains(seeding, kPackageChains, std::size(kPackageChains), SIDE_PACKAGE, L"package") < 0)
        return 1;
    HRESULT hr = WritePackageFile(fullPath, seeding.plugIns[SIDE_PACKAGE], seeding.chains[SIDE_PACKAGE]);
    if (hr < 0) {
        fwprintf(stderr, L"make_demo: writing %ls failed: 0x%08lX\n", fullPath, static_cast<unsigned long>(hr));
        return 1;
    }

    CatalogueModel check;
    check.language = language;
    if (!VerifyStore(check)) return 1;
    wprintf(L"Demo package: %ls\n", fullPath);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fwprintf(stderr, L"usage: make_demo.exe PACKAGE.kvpreset\n"
                         L"Seeds this prefix's system store with sample presets and chains and writes a sample "
                         L"package. Meant for a throwaway Wine prefix only.\n");
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    KvKernel_Init(instance);
    tKVLANG* language = nullptr;
    KvLang_Open(&language, instance, 0, 0); // supplies the Lathmere tools' display names
    int exitCode = Run(language, argv[1]);
    KvLang_Close(language);
    KvKernel_Exit();
    return exitCode;
}
