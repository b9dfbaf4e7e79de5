#pragma once
// The engine's pseudo-random generator: a sum driven through the CRC table by a counter. Its
// sequences follow the seed exactly, which keeps a level's run reproducible.

class CRandom {
public:
    unsigned long Rand();
    // 0 to n inclusive. The full range (n = 0xFFFFFFFF, or -1) returns the raw value.
    unsigned long Rand(unsigned long n);
    unsigned long Rand(int n);
    // 0 to f, f included.
    float Rand(float f);
    // sum = name key of x printed in upper-case hexadecimal; the counter is kept.
    void Seed(unsigned long x);

    // Plain data: a generator in static storage starts as {0, 0} before any initialiser runs.
    unsigned long sum;
    unsigned long counter;
};
static_assert(sizeof(CRandom) == 8, "two 32-bit words");

extern CRandom GlobalRandom;

class CRandomizer {
public:
    static unsigned long Rand() { return GlobalRandom.Rand(); }
    static unsigned long Rand(unsigned long n) { return GlobalRandom.Rand(n); }
    static unsigned long Rand(int n) { return GlobalRandom.Rand(n); }
    static float Rand(float f) { return GlobalRandom.Rand(f); }

    // Reseeds GlobalRandom from the real time since the game clock started.
    static void Seed();
    // The game clock lives in the engine; it hands its start tick count and seconds per tick
    // here. Until then both count as 0, as they are before the first clock exists.
    static void BindGameClock(const long long* sysTicks, const float* secsPerTick);
};
