#pragma once
// Small per-pixel helpers shared by the pixel pipeline's general and fast paths.
#include <cstdint>
#include <cstring>

#include <d3d9types.h>

namespace d3d9sw::pixel {

inline void ColourOf(DWORD argb, float out[4])
{
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = (argb >> 24) / 255.0f;
}

inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// Through int: a direct float to unsigned conversion is a slow sequence on this target.
inline uint32_t ToByte(float v) { return uint32_t(int(Clamp01(v) * 255.0f + 0.5f)); }

// round(a * b / 255) for a, b in 0..255.
inline uint32_t Mul255(uint32_t a, uint32_t b) { return ((a * b + 128) * 257) >> 16; }

// log2 to within 0.01, from the float's exponent and a quadratic over its mantissa that is
// exact at powers of two: enough to pick and blend mip levels, and much cheaper than the
// library call in the per-pixel loop.
inline float FastLog2(float x)
{
    if (!(x > 0.0f))
        return -128.0f;
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    float exponent = float(int((bits >> 23) & 0xFF) - 127);
    bits = (bits & 0x007FFFFFu) | 0x3F800000u;
    float t;
    std::memcpy(&t, &bits, 4);
    t -= 1.0f;
    return exponent + t * (1.3465743f - 0.3465743f * t);
}

inline bool Compare(DWORD func, float a, float b)
{
    switch (func) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return a < b;
    case D3DCMP_EQUAL:
        return a == b;
    case D3DCMP_LESSEQUAL:
        return a <= b;
    case D3DCMP_GREATER:
        return a > b;
    case D3DCMP_NOTEQUAL:
        return a != b;
    case D3DCMP_GREATEREQUAL:
        return a >= b;
    default:
        return true;
    }
}

} // namespace d3d9sw::pixel
