// Random numbers for the soak tests: small and the same on every toolchain,
// so that a printed seed repeats a run exactly.
#ifndef MIRELLE_TESTS_SOAK_RANDOM_H
#define MIRELLE_TESTS_SOAK_RANDOM_H

#include <windows.h>

#include <cstddef>

struct Random {
    unsigned long long state;

    // splitmix64
    unsigned long long Next()
    {
        unsigned long long z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // 0 to limit - 1.
    unsigned Below(unsigned limit) { return static_cast<unsigned>(Next() % limit); }

    bool Chance(unsigned percent) { return Below(100) < percent; }

    template <size_t N>
    BYTE Pick(const BYTE (&choices)[N])
    {
        return choices[Below(N)];
    }
};

// MIRELLE_SOAK_SEED (decimal, or hex with 0x) when set, else a fresh seed.
unsigned ChooseSeed();

#endif
