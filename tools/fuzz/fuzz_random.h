// Deterministic randomness for the fuzzers (splitmix64): one generator per seed and stream, so that any stream (a
// mutation, an episode) can be made again alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

class FuzzRandom {
public:
    FuzzRandom(uint64_t seed, uint64_t stream)
        : state_(seed * 0x9E3779B97F4A7C15ull ^ (stream + 1) * 0xD1B54A32D192ED03ull) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    bool OneIn(size_t n) { return Below(n) == 0; }
    template <class T> const T& Pick(const std::vector<T>& values) { return values[Below(values.size())]; }
    template <class T, size_t N> T Pick(const T (&values)[N]) { return values[Below(N)]; }
    // An index chosen by weight.
    size_t Weighted(std::initializer_list<unsigned> weights) {
        unsigned total = 0;
        for (unsigned w : weights) total += w;
        size_t roll = Below(total), index = 0;
        for (unsigned w : weights) {
            if (roll < w) return index;
            roll -= w;
            ++index;
        }
        return 0;
    }

private:
    uint64_t state_;
};
