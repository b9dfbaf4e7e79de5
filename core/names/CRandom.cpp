#include "core/names/CRandom.h"

#include "core/names/CCRC32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

CRandom GlobalRandom;

namespace {
const long long* g_ClockSysTicks = nullptr;
const float* g_ClockSecsPerTick = nullptr;

unsigned long KeyOfHex(unsigned long x)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lX", x);
    return CCRC32::GetCRC(text);
}
} // namespace

unsigned long CRandom::Rand()
{
    counter += 0x30003UL;
    sum += CRCTable[counter & 0xFF] + CRCTable[(counter >> 8) & 0xFF];
    return sum;
}

unsigned long CRandom::Rand(unsigned long n)
{
    unsigned long raw = Rand();
    return n == 0xFFFFFFFFUL ? raw : raw % (n + 1);
}

unsigned long CRandom::Rand(int n) { return Rand(static_cast<unsigned long>(n)); }

float CRandom::Rand(float f)
{
    // 2^-24 * (1 + 2^-23): the product of the largest raw value rounds to exactly f. The
    // products are formed in extended precision and rounded once, on return.
    const unsigned long scaleBits = 0x33800001UL;
    float scale;
    std::memcpy(&scale, &scaleBits, sizeof scale);
    long double product = static_cast<long double>(Rand() & 0x00FFFFFFUL) * scale;
    product *= f;
    return static_cast<float>(product);
}

void CRandom::Seed(unsigned long x) { sum = KeyOfHex(x); }

void CRandomizer::BindGameClock(const long long* sysTicks, const float* secsPerTick)
{
    g_ClockSysTicks = sysTicks;
    g_ClockSecsPerTick = secsPerTick;
}

void CRandomizer::Seed()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    long long start = g_ClockSysTicks ? *g_ClockSysTicks : 0;
    float secsPerTick = g_ClockSecsPerTick ? *g_ClockSecsPerTick : 0.0f;
    float seconds = static_cast<float>(static_cast<long double>(now.QuadPart - start) * secsPerTick);
    unsigned long bits;
    std::memcpy(&bits, &seconds, sizeof bits);
    GlobalRandom.sum = KeyOfHex(bits);
}
