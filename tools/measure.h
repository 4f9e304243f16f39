// Clock, memory and median figures shared by the benchmark and fuzz programs under tools/.
#pragma once
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace measure {

inline double Now() { // seconds
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <class F> double Time(F work) {
    double start = Now();
    work();
    return Now() - start;
}

inline PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

inline double Megabytes(uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

} // namespace measure
