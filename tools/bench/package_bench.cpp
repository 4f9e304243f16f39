// Times WritePackageFile and ReadPackageFile on a package of 10,000 presets against a plain WriteFile and ReadFile
// of the same bytes, with the rounds of both sides interleaved, and reports medians, the peak working set and, for
// the read, what each ingredient of it costs on its own. Usage: package_bench write|read <folder>
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "package_format.h"
#include "store_read.h"
#include "../measure.h"

using namespace measure;

namespace {

constexpr int kPlugIns = 100;
constexpr int kPresetsPerPlugIn = 100;
constexpr int kPresets = kPlugIns * kPresetsPerPlugIn;
constexpr int kRounds = 9; // counted rounds; one uncounted round warms the file cache and the heap first

// Preset sizes from 1 byte to 8 KB, spread evenly by a fixed sequence.
std::vector<uint32_t> PresetSizes() {
    std::vector<uint32_t> sizes;
    uint32_t x = 12345;
    for (int i = 0; i < kPresets; ++i) {
        x = x * 1664525u + 1013904223u;
        sizes.push_back(1 + (x >> 8) % 8192);
    }
    return sizes;
}

std::wstring ClassId(int plugIn) {
    wchar_t id[64];
    swprintf(id, 64, L"{00000000-0000-0000-0000-%012d}", plugIn);
    return id;
}

std::unique_ptr<PlugInList> MakePackage() {
    auto plugIns = std::make_unique<PlugInList>();
    const std::vector<uint32_t> sizes = PresetSizes();
    for (int p = 0; p < kPlugIns; ++p) {
        wchar_t name[64];
        swprintf(name, 64, L"Plug-in %03d", p);
        auto* plugIn = PlugInEntry::Create(name, ClassId(p).c_str());
        for (int i = 0; i < kPresetsPerPlugIn; ++i) {
            swprintf(name, 64, L"Preset %05d", i);
            auto* preset = PresetEntry::Create(name);
            uint32_t size = sizes[p * kPresetsPerPlugIn + i];
            uint8_t* blob = CatalogueBlobAlloc(size);
            for (uint32_t b = 0; b < size; ++b) blob[b] = static_cast<uint8_t>(b * 31 + i);
            preset->AdoptData(blob, size);
            plugIn->AppendPreset(preset);
        }
        plugIns->Append(plugIn);
    }
    return plugIns;
}

// The plain save: the same bytes written over the previous file in place, flushed like the package.
bool PlainWrite(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    return ok;
}

// The plain read: the whole file in one call into a buffer of its own, as the package read gets fresh blobs.
// The buffer is not zero-filled first: the read is the first to touch it.
bool PlainRead(const std::wstring& path, std::unique_ptr<uint8_t[]>* bytes, uint64_t* size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length = {};
    bool ok = GetFileSizeEx(file, &length) != 0;
    *size = static_cast<uint64_t>(length.QuadPart);
    bytes->reset(new uint8_t[*size]);
    DWORD done = 0;
    ok = ok && ReadFile(file, bytes->get(), static_cast<DWORD>(*size), &done, nullptr) && done == *size;
    CloseHandle(file);
    return ok;
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// One side of a comparison, or one ingredient of the package read done alone. run is timed; release, untimed,
// frees what run built, so that no step pays for another's clean-up.
struct Step {
    const char* name;
    std::function<bool()> run;
    std::function<void()> release = [] {};
    std::vector<double> times = {};
};

// Runs every step once per round, in order, so that load from other processes falls on all of them alike.
bool RunInterleaved(std::vector<Step>& steps, int firstCountedRound) {
    for (int round = 0; round < firstCountedRound + kRounds; ++round) {
        for (Step& step : steps) {
            double start = Now();
            bool ok = step.run();
            double elapsed = Now() - start;
            step.release();
            if (!ok) {
                fprintf(stderr, "package bench: %s failed\n", step.name);
                return false;
            }
            if (round >= firstCountedRound) step.times.push_back(elapsed);
        }
    }
    return true;
}

// Medians of the rounds, and the best rounds too, as the machine may be shared.
void Report(const char* what, const Step& ours, const Step& plain, double target, uint64_t peakDelta, uint64_t peak,
            uint64_t fileSize) {
    double oursMedian = Median(ours.times), plainMedian = Median(plain.times);
    double oursBest = Best(ours.times), plainBest = Best(plain.times);
    printf("%-5s package %8.1f ms   plain %8.1f ms   ratio %5.2f (target <= %.1f)   best rounds %.1f / %.1f ms = %.2f"
           "   (medians of %d interleaved rounds)\n",
           what, oursMedian * 1000, plainMedian * 1000, oursMedian / plainMedian, target, oursBest * 1000,
           plainBest * 1000, oursBest / plainBest, kRounds);
    printf("%-5s peak working set %7.1f MB (%.2fx file), added by the %s %7.1f MB (%.2fx file; target <= 1.5)\n",
           what, Megabytes(peak), static_cast<double>(peak) / fileSize, what, Megabytes(peakDelta),
           static_cast<double>(peakDelta) / fileSize);
}

int BenchWrite(const std::wstring& folder) {
    std::wstring path = folder + L"\\bench.kvpreset", plainPath = folder + L"\\bench-plain.bin";
    std::unique_ptr<PlugInList> plugIns = MakePackage();
    SIZE_T before = Memory().WorkingSetSize;
    // The first write makes the file, and its peak is the write's own: nothing else is held yet.
    if (WritePackageFile(path.c_str(), plugIns.get(), nullptr) < 0) return 2;
    SIZE_T peak = Memory().PeakWorkingSetSize;
    uint64_t fileSize = FileSize(path);
    std::unique_ptr<uint8_t[]> image;
    uint64_t imageSize = 0;
    if (!PlainRead(path, &image, &imageSize)) return 2;
    std::vector<uint8_t> bytes(image.get(), image.get() + imageSize);
    image.reset();

    std::vector<Step> steps = {
        {"WritePackageFile", [&] { return WritePackageFile(path.c_str(), plugIns.get(), nullptr) >= 0; }},
        {"plain WriteFile and flush", [&] { return PlainWrite(plainPath, bytes); }},
    };
    bool ok = RunInterleaved(steps, 0);
    DeleteFileW(plainPath.c_str());
    if (!ok) return 2;
    printf("package of %d presets: %.1f MB\n", kPresets, Megabytes(fileSize));
    Report("write", steps[0], steps[1], 2.0, peak > before ? peak - before : 0, peak, fileSize);
    return 0;
}

int BenchRead(const std::wstring& folder) {
    std::wstring path = folder + L"\\bench.kvpreset";
    uint64_t fileSize = FileSize(path);
    const std::vector<uint32_t> sizes = PresetSizes();
    std::vector<std::wstring> classIds;
    for (int p = 0; p < kPlugIns; ++p) classIds.push_back(ClassId(p));
    SIZE_T before = Memory().WorkingSetSize, peak = 0;

    std::unique_ptr<PlugInList> plugIns, shells;
    std::unique_ptr<ChainList> chains;
    std::unique_ptr<uint8_t[]> plain;
    std::vector<uint8_t*> blobs(sizes.size());
    std::vector<uint8_t> window(1024 * 1024);
    for (size_t i = 0; i < window.size(); ++i) window[i] = static_cast<uint8_t>(i * 7);
    auto freeBlobs = [&] {
        for (uint8_t*& blob : blobs) {
            CatalogueBlobFree(blob);
            blob = nullptr;
        }
    };
    auto lookUps = [&](auto lookUp) {
        wchar_t name[4 * CATALOGUE_NAME_CHARS];
        for (const std::wstring& id : classIds)
            if (lookUp(id.c_str(), name, static_cast<DWORD>(sizeof name)) == ERROR_SUCCESS) return false;
        return true; // none of the classes is registered, as in the package read
    };
    std::vector<Step> steps = {
        {"ReadPackageFile",
         [&] {
             plugIns = std::make_unique<PlugInList>();
             chains = std::make_unique<ChainList>();
             return ReadPackageFile(path.c_str(), plugIns.get(), chains.get()) >= 0 &&
                    plugIns->TotalPresetCount() == kPresets;
         },
         [&] {
             if (peak == 0) peak = Memory().PeakWorkingSetSize; // the first read's, before anything else ran
             plugIns.reset();
             chains.reset();
         }},
        {"plain ReadFile, fresh buffer",
         [&] {
             uint64_t size = 0;
             return PlainRead(path, &plain, &size) && size == fileSize;
         },
         [&] { plain.reset(); }},
        // The ingredients of the package read, each alone on the same sizes.
        {"the file through a 1 MB window (system copies)",
         [&] {
             HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
             if (file == INVALID_HANDLE_VALUE) return false;
             uint64_t total = 0;
             DWORD done = 0;
             while (ReadFile(file, window.data(), static_cast<DWORD>(window.size()), &done, nullptr) && done)
                 total += done;
             CloseHandle(file);
             return total == fileSize;
         }},
        {"10,000 blobs allocated, zero-filled",
         [&] {
             for (size_t i = 0; i < sizes.size(); ++i) blobs[i] = CatalogueBlobAlloc(sizes[i]);
             return blobs.back() != nullptr;
         },
         freeBlobs},
        {"10,000 blobs allocated, zero-filled, filled from a window",
         [&] {
             size_t at = 0;
             for (size_t i = 0; i < sizes.size(); ++i) {
                 blobs[i] = CatalogueBlobAlloc(sizes[i]);
                 if (at + sizes[i] > window.size()) at = 0;
                 memcpy(blobs[i], window.data() + at, sizes[i]);
                 at += sizes[i];
             }
             return blobs.back() != nullptr;
         },
         freeBlobs},
        {"10,000 entries built, appended to 100 lists",
         [&] {
             shells = std::make_unique<PlugInList>();
             for (int p = 0; p < kPlugIns; ++p) {
                 auto* plugIn = new PlugInEntry();
                 for (int i = 0; i < kPresetsPerPlugIn; ++i) plugIn->AppendPreset(new PresetEntry());
                 shells->Append(plugIn);
             }
             return shells->TotalPresetCount() == kPresets;
         },
         [&] { shells.reset(); }},
        {"10,000 entries built, appended to one list",
         [&] {
             shells = std::make_unique<PlugInList>();
             auto* plugIn = new PlugInEntry();
             for (int i = 0; i < kPresets; ++i) plugIn->AppendPreset(new PresetEntry());
             shells->Append(plugIn);
             return shells->TotalPresetCount() == kPresets;
         },
         [&] { shells.reset(); }},
        {"100 class names, GetPlugInFriendlyName each", [&] { return lookUps(GetPlugInFriendlyName); }},
        {"100 class names through one PlugInClassNames",
         [&] {
             PlugInClassNames names;
             return lookUps([&](const wchar_t* id, wchar_t* name, DWORD bytes) {
                 return names.FriendlyName(id, name, bytes);
             });
         }},
    };
    bool ok = RunInterleaved(steps, 1);
    DeleteFileW(path.c_str());
    if (!ok) return 2;
    Report("read", steps[0], steps[1], 1.5, peak > before ? peak - before : 0, peak, fileSize);
    double read = Median(steps[0].times);
    printf("read  breakdown: medians of the same %d rounds; each ingredient alone, on the package's sizes\n", kRounds);
    for (const Step& step : steps)
        printf("      %-58s %7.1f ms %5.0f%%\n", step.name, Median(step.times) * 1000, 100 * Median(step.times) / read);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: package_bench write|read <folder>\n");
        return 1;
    }
    std::wstring mode = argv[1];
    if (mode == L"write") return BenchWrite(argv[2]);
    if (mode == L"read") return BenchRead(argv[2]);
    return 1;
}
