// Times WritePackageFile and ReadPackageFile on a package of 10,000 presets against a plain WriteFile and ReadFile
// of the same bytes, and reports the peak working set. Usage: package_bench write|read <folder>
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "package_format.h"

namespace {

constexpr int kPlugIns = 100;
constexpr int kPresetsPerPlugIn = 100;
constexpr int kRounds = 7;

double Now() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double Megabytes(uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Sizes from 1 byte to 8 KB, spread evenly by a fixed sequence.
std::unique_ptr<PlugInList> MakePackage() {
    auto plugIns = std::make_unique<PlugInList>();
    uint32_t x = 12345;
    for (int p = 0; p < kPlugIns; ++p) {
        wchar_t name[64], id[64];
        swprintf(name, 64, L"Plug-in %03d", p);
        swprintf(id, 64, L"{00000000-0000-0000-0000-%012d}", p);
        auto* plugIn = new PlugInEntry(name, id);
        for (int i = 0; i < kPresetsPerPlugIn; ++i) {
            swprintf(name, 64, L"Preset %05d", i);
            auto* preset = new PresetEntry(name);
            x = x * 1664525u + 1013904223u;
            uint32_t size = 1 + (x >> 8) % 8192;
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

bool PlainRead(const std::wstring& path, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    bool ok = ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &done, nullptr) && done == bytes->size();
    CloseHandle(file);
    return ok;
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Times are medians of the rounds; the best rounds are shown too, as the machine may be shared.
void Report(const char* what, const std::vector<double>& ours, const std::vector<double>& plain, double target,
            uint64_t peakDelta, uint64_t peak, uint64_t fileSize) {
    double oursMedian = Median(ours), plainMedian = Median(plain);
    double oursBest = *std::min_element(ours.begin(), ours.end());
    double plainBest = *std::min_element(plain.begin(), plain.end());
    printf("%-5s package %8.1f ms   plain %8.1f ms   ratio %5.2f (target <= %.1f)   best rounds %.1f / %.1f ms = %.2f\n",
           what, oursMedian * 1000, plainMedian * 1000, oursMedian / plainMedian, target, oursBest * 1000,
           plainBest * 1000, oursBest / plainBest);
    printf("%-5s peak working set %7.1f MB (%.2fx file), added by the %s %7.1f MB (%.2fx file; target <= 1.5)\n",
           what, Megabytes(peak), static_cast<double>(peak) / fileSize, what, Megabytes(peakDelta),
           static_cast<double>(peakDelta) / fileSize);
}

int BenchWrite(const std::wstring& folder) {
    std::wstring path = folder + L"\\bench.kvpreset", plainPath = folder + L"\\bench-plain.bin";
    std::unique_ptr<PlugInList> plugIns = MakePackage();
    SIZE_T before = Memory().WorkingSetSize;
    std::vector<double> ours, plain;
    for (int round = 0; round < kRounds; ++round) {
        double start = Now();
        if (WritePackageFile(path.c_str(), plugIns.get(), nullptr) < 0) return 2;
        ours.push_back(Now() - start);
    }
    SIZE_T peak = Memory().PeakWorkingSetSize;
    uint64_t fileSize = FileSize(path);
    {
        std::vector<uint8_t> bytes;
        if (!PlainRead(path, &bytes)) return 2;
        for (int round = 0; round < kRounds; ++round) {
            double start = Now();
            if (!PlainWrite(plainPath, bytes)) return 2;
            plain.push_back(Now() - start);
        }
    }
    DeleteFileW(plainPath.c_str());
    printf("package of %d presets: %.1f MB\n", kPlugIns * kPresetsPerPlugIn, Megabytes(fileSize));
    Report("write", ours, plain, 2.0, peak > before ? peak - before : 0, peak, fileSize);
    return 0;
}

int BenchRead(const std::wstring& folder) {
    std::wstring path = folder + L"\\bench.kvpreset";
    uint64_t fileSize = FileSize(path);
    SIZE_T before = Memory().WorkingSetSize;
    std::vector<double> ours, plain;
    SIZE_T peak = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto plugIns = std::make_unique<PlugInList>();
        auto chains = std::make_unique<ChainList>();
        double start = Now();
        if (ReadPackageFile(path.c_str(), plugIns.get(), chains.get()) < 0) return 2;
        ours.push_back(Now() - start);
        if (plugIns->TotalPresetCount() != kPlugIns * kPresetsPerPlugIn) return 3;
        if (round == 0) peak = Memory().PeakWorkingSetSize;
    }
    for (int round = 0; round < kRounds; ++round) {
        std::vector<uint8_t> bytes;
        double start = Now();
        if (!PlainRead(path, &bytes)) return 2;
        plain.push_back(Now() - start);
    }
    Report("read", ours, plain, 1.5, peak > before ? peak - before : 0, peak, fileSize);
    DeleteFileW(path.c_str());
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
