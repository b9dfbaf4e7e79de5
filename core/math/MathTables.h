#pragma once
// Lookup tables and constants that make sine, cosine and square root cheap. The tables are
// filled when the library loads and read-only afterwards.
#include <cmath>
#include <cstring>

constexpr float fmPi = 3.1415927f;
constexpr float fmTwoPi = 6.2831855f;
// The single-precision value of 2048 / 2π: radians to sine-table steps.
constexpr float fmSinIndexScale = 325.9493f;

extern float fmsintable[2048];
extern unsigned long fmsqrttable[256];

extern float fmOneOverPi; // 0.31830987
extern float fmRadToDeg;  // 57.295776, computed as 1/π × 180
extern float fmDegToRad;  // 0.017453294
extern float fmPiOver90;  // 0.034906588
extern float fmHalf;      // 0.5
extern float fmThirty;    // 30.000299 (bits 0x41F0009D)
extern int fmMinusOne;    // -1

// The table step of an angle, rounded to nearest; the cosine is 512 steps further on.
inline int fmsinindex(float angle)
{
    return static_cast<int>(std::lrint(static_cast<double>(angle) * fmSinIndexScale)) & 2047;
}
inline float fmsin(float angle) { return fmsintable[fmsinindex(angle)]; }
inline float fmcos(float angle) { return fmsintable[(fmsinindex(angle) + 512) & 2047]; }

// A fast approximate square root of a positive float.
inline float fmsqrt(float x)
{
    unsigned long bits;
    std::memcpy(&bits, &x, sizeof bits);
    unsigned long root = fmsqrttable[(bits >> 16) & 255] + ((bits >> 1) & 0x3F800000UL);
    float result;
    std::memcpy(&result, &root, sizeof result);
    return result;
}
