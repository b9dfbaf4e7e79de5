#pragma once
// Small pixel helpers shared by the kernel and the library.
#include <cstdint>

namespace pximg {

// Perceived brightness the toolkit uses for grey working rows and histograms.
inline uint8_t Intensity(uint32_t red, uint32_t green, uint32_t blue)
{
    return uint8_t((5 * green + 2 * red + blue + 4) / 8);
}

inline uint8_t Widen5(uint32_t v) { return uint8_t((v << 3) | (v >> 2)); }

inline uint8_t Clamp255(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Palette index x of a packed row of 1, 4 or 8 bits per pixel, leftmost pixel in the high bits.
inline uint8_t PackedIndex(const uint8_t* row, int32_t x, int32_t bits)
{
    switch (bits) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default:
        return row[x];
    }
}

inline void SetPackedIndex(uint8_t* row, int32_t x, int32_t bits, uint8_t index)
{
    switch (bits) {
    case 1: {
        const uint8_t mask = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = uint8_t(index & 1 ? row[x >> 3] | mask : row[x >> 3] & ~mask);
        break;
    }
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = uint8_t((row[x >> 1] & ~(15 << shift)) | (index & 15) << shift);
        break;
    }
    default:
        row[x] = index;
    }
}

} // namespace pximg
