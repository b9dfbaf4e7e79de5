#include "PixelFormat.h"

#include <cstring>

namespace d3d9sw {

namespace {

// Widens an n-bit channel to 8 bits by replicating its top bits, so full scale stays 255.
inline uint32_t Widen(uint32_t value, unsigned bits)
{
    switch (bits) {
    case 1:
        return value ? 255u : 0u;
    case 4:
        return value * 17u;
    case 5:
        return (value << 3) | (value >> 2);
    case 6:
        return (value << 2) | (value >> 4);
    default:
        return value;
    }
}

inline uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline void Write16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

} // namespace

unsigned ColourBytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2R10G10B10:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        return 2;
    case D3DFMT_A8:
        return 1;
    default:
        return 0;
    }
}

bool IsColourFormat(D3DFORMAT format) { return ColourBytes(format) != 0; }

bool IsDepthFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
        return true;
    default:
        return false;
    }
}

bool HasStencil(D3DFORMAT format)
{
    return format == D3DFMT_D15S1 || format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4;
}

uint32_t DecodePixel(D3DFORMAT format, const uint8_t* p)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16)) | (uint32_t(p[3]) << 24);
    case D3DFMT_X8R8G8B8:
        return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16)) | 0xFF000000u;
    case D3DFMT_R8G8B8:
        return uint32_t(p[0] | (p[1] << 8) | (p[2] << 16)) | 0xFF000000u;
    case D3DFMT_A2R10G10B10: {
        uint32_t v = uint32_t(p[0] | (p[1] << 8) | (p[2] << 16)) | (uint32_t(p[3]) << 24);
        return Argb(Widen(v >> 30, 2) * 85, (v >> 22) & 0xFF, (v >> 12) & 0xFF, (v >> 2) & 0xFF);
    }
    case D3DFMT_R5G6B5: {
        uint32_t v = Read16(p);
        return Argb(255, Widen(v >> 11, 5), Widen((v >> 5) & 63, 6), Widen(v & 31, 5));
    }
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        uint32_t v = Read16(p);
        uint32_t a = format == D3DFMT_A1R5G5B5 ? Widen(v >> 15, 1) : 255u;
        return Argb(a, Widen((v >> 10) & 31, 5), Widen((v >> 5) & 31, 5), Widen(v & 31, 5));
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
        uint32_t v = Read16(p);
        uint32_t a = format == D3DFMT_A4R4G4B4 ? Widen(v >> 12, 4) : 255u;
        return Argb(a, Widen((v >> 8) & 15, 4), Widen((v >> 4) & 15, 4), Widen(v & 15, 4));
    }
    case D3DFMT_A8:
        return uint32_t(p[0]) << 24;
    default:
        return 0;
    }
}

void EncodePixel(D3DFORMAT format, uint32_t argb, uint8_t* p)
{
    uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        p[0] = uint8_t(b);
        p[1] = uint8_t(g);
        p[2] = uint8_t(r);
        p[3] = uint8_t(format == D3DFMT_A8R8G8B8 ? a : 0xFF);
        break;
    case D3DFMT_R8G8B8:
        p[0] = uint8_t(b);
        p[1] = uint8_t(g);
        p[2] = uint8_t(r);
        break;
    case D3DFMT_A2R10G10B10: {
        uint32_t v = ((a >> 6) << 30) | ((r * 1023 / 255) << 20) | ((g * 1023 / 255) << 10) | (b * 1023 / 255);
        std::memcpy(p, &v, 4);
        break;
    }
    case D3DFMT_R5G6B5:
        Write16(p, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        uint32_t top = format == D3DFMT_A1R5G5B5 ? (a >> 7) : 1u;
        Write16(p, (top << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        break;
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
        uint32_t top = format == D3DFMT_A4R4G4B4 ? (a >> 4) : 15u;
        Write16(p, (top << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
        break;
    }
    case D3DFMT_A8:
        p[0] = uint8_t(a);
        break;
    default:
        break;
    }
}

void DecodeRow(D3DFORMAT format, const uint8_t* source, uint32_t* argb, unsigned count)
{
    unsigned step = ColourBytes(format);
    if (step == 0) {
        std::memset(argb, 0, count * sizeof(uint32_t));
        return;
    }
    for (unsigned i = 0; i < count; ++i)
        argb[i] = DecodePixel(format, source + i * step);
}

} // namespace d3d9sw
