// Row conversion between stored depths and the working depths, reduction of working rows back
// to palette indices, and colour-space conversion of 24-bit pixels.
#include "PxKernel.h"
#include "PxPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Stored 16-bit pixel to blue, green, red.
inline void Unpack16(uint16_t v, int32_t order, uint8_t* bgr)
{
    const uint8_t high = pximg::Widen5((v >> 10) & 31), mid = pximg::Widen5((v >> 5) & 31), low = pximg::Widen5(v & 31);
    bgr[0] = order == PX_ORDER_BGR ? low : high;
    bgr[1] = mid;
    bgr[2] = order == PX_ORDER_BGR ? high : low;
}

inline uint16_t Pack16(const uint8_t* bgr, int32_t order)
{
    const uint32_t blue = bgr[0] >> 3, green = bgr[1] >> 3, red = bgr[2] >> 3;
    return uint16_t(order == PX_ORDER_BGR ? (red << 10) | (green << 5) | blue : (blue << 10) | (green << 5) | red);
}

} // namespace

void PxConvertRowToWorking(const uint8_t* stored, uint8_t* working, int32_t width, int32_t bitsPerPixel, int32_t order,
                           const PxRgbQuad* palette, int32_t workingBits)
{
    const bool grey = workingBits == 8;
    auto put = [&](int32_t x, uint8_t b, uint8_t g, uint8_t r) {
        if (grey) {
            working[x] = pximg::Intensity(r, g, b);
        } else {
            working[3 * x] = b;
            working[3 * x + 1] = g;
            working[3 * x + 2] = r;
        }
    };
    switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
        for (int32_t x = 0; x < width; ++x) {
            const PxRgbQuad& e = palette[pximg::PackedIndex(stored, x, bitsPerPixel)];
            put(x, e.Blue, e.Green, e.Red);
        }
        break;
    case 16:
        for (int32_t x = 0; x < width; ++x) {
            uint8_t bgr[3];
            Unpack16(uint16_t(stored[2 * x] | stored[2 * x + 1] << 8), order, bgr);
            put(x, bgr[0], bgr[1], bgr[2]);
        }
        break;
    default: {
        const int32_t step = bitsPerPixel / 8;
        if (!grey && step == 3 && order == PX_ORDER_BGR) {
            std::memmove(working, stored, size_t(width) * 3);
            break;
        }
        const int b = order == PX_ORDER_BGR ? 0 : 2, r = 2 - b;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = stored + size_t(x) * step;
            put(x, p[b], p[1], p[r]);
        }
    }
    }
}

void PxConvertRowFromWorking(const uint8_t* working, uint8_t* stored, int32_t width, int32_t bitsPerPixel,
                             int32_t order, int32_t workingBits)
{
    const bool grey = workingBits == 8;
    auto get = [&](int32_t x, uint8_t* bgr) {
        if (grey) {
            bgr[0] = bgr[1] = bgr[2] = working[x];
        } else {
            std::memcpy(bgr, working + 3 * x, 3);
        }
    };
    if (bitsPerPixel == 16) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t bgr[3];
            get(x, bgr);
            const uint16_t v = Pack16(bgr, order);
            stored[2 * x] = uint8_t(v);
            stored[2 * x + 1] = uint8_t(v >> 8);
        }
        return;
    }
    const int32_t step = bitsPerPixel / 8;
    if (!grey && step == 3 && order == PX_ORDER_BGR) {
        std::memmove(stored, working, size_t(width) * 3);
        return;
    }
    const int b = order == PX_ORDER_BGR ? 0 : 2, r = 2 - b;
    for (int32_t x = 0; x < width; ++x) {
        uint8_t bgr[3];
        get(x, bgr);
        uint8_t* p = stored + size_t(x) * step;
        p[b] = bgr[0];
        p[1] = bgr[1];
        p[r] = bgr[2];
    }
}

// Maps working pixels to the nearest palette entry (squared distance, lowest index on ties).
// Grey rows use a table of all 256 values; colour rows a direct-mapped cache of recent colours.
struct PxReduction {
    int32_t workingBits;
    int32_t bitsPerPixel;
    uint32_t count;
    PxRgbQuad entries[256];
    uint8_t greyIndex[256];
    uint32_t cacheKey[4096];
    uint8_t cacheIndex[4096];

    uint8_t Nearest(uint8_t b, uint8_t g, uint8_t r) const
    {
        uint32_t best = 0, bestDistance = ~0u;
        for (uint32_t i = 0; i < count; ++i) {
            const int db = entries[i].Blue - b, dg = entries[i].Green - g, dr = entries[i].Red - r;
            const uint32_t distance = uint32_t(db * db + dg * dg + dr * dr);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return uint8_t(best);
    }

    uint8_t Map(const uint8_t* bgr)
    {
        const uint32_t key = uint32_t(bgr[0]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[2]) << 16 | 0x1000000u;
        const uint32_t slot = (key * 2654435761u) >> 20;
        if (cacheKey[slot] != key) {
            cacheKey[slot] = key;
            cacheIndex[slot] = Nearest(bgr[0], bgr[1], bgr[2]);
        }
        return cacheIndex[slot];
    }
};

int32_t PxPrepareReduction(const PxBitmap* source, int32_t workingBits, PxReduction** reduction)
{
    if (!reduction)
        return PX_INVALID_ARG;
    *reduction = nullptr;
    if (!PxIsValidBitmap(source) || source->BitsPerPixel > 8)
        return PX_INVALID_BITMAP;
    PxReduction* r = new (std::nothrow) PxReduction{};
    if (!r)
        return PX_NO_MEMORY;
    r->workingBits = workingBits;
    r->bitsPerPixel = source->BitsPerPixel;
    r->count = uint32_t(PxGetPaletteEntries(PxCurrentPalette(source), 0, source->ColorCount, r->entries));
    if (r->count == 0 || r->count < source->ColorCount) {
        delete r;
        return PX_INVALID_BITMAP;
    }
    if (workingBits == 8)
        for (int v = 0; v < 256; ++v)
            r->greyIndex[v] = r->Nearest(uint8_t(v), uint8_t(v), uint8_t(v));
    *reduction = r;
    return PX_SUCCESS;
}

void PxReduceRow(PxReduction* reduction, const uint8_t* working, uint8_t* packed, int32_t width)
{
    const int32_t bits = reduction->bitsPerPixel;
    if (bits < 8)
        std::memset(packed, 0, (size_t(width) * bits + 7) / 8);
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t index =
            reduction->workingBits == 8 ? reduction->greyIndex[working[x]] : reduction->Map(working + 3 * x);
        pximg::SetPackedIndex(packed, x, bits, index);
    }
}

void PxReleaseReduction(PxReduction* reduction) { delete reduction; }

// ---- Colour spaces ----

namespace {

inline uint8_t ClampRound(double v) { return uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : std::lround(v)); }

void RgbToCmyk(const uint8_t* rgb, uint8_t* cmyk)
{
    const int mx = std::max({rgb[0], rgb[1], rgb[2]});
    cmyk[3] = uint8_t(255 - mx);
    for (int i = 0; i < 3; ++i)
        cmyk[i] = mx == 0 ? 0 : uint8_t(((mx - rgb[i]) * 255 + mx / 2) / mx);
}

void CmykToRgb(const uint8_t* cmyk, uint8_t* rgb)
{
    const int mx = 255 - cmyk[3];
    for (int i = 0; i < 3; ++i)
        rgb[i] = uint8_t(mx - (cmyk[i] * mx + 127) / 255);
}

void RgbToHsv(const uint8_t* rgb, uint8_t* hsv)
{
    const double r = rgb[0] / 255.0, g = rgb[1] / 255.0, b = rgb[2] / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    double h = 0;
    if (d > 0)
        h = mx == r ? std::fmod((g - b) / d + 6, 6) : mx == g ? (b - r) / d + 2 : (r - g) / d + 4;
    hsv[0] = uint8_t(std::lround(h * 256 / 6) & 255);
    hsv[1] = ClampRound(mx > 0 ? d / mx * 255 : 0);
    hsv[2] = ClampRound(mx * 255);
}

void HueToRgb(double h, double c, double x, double m, uint8_t* rgb)
{
    double r = 0, g = 0, b = 0;
    switch (int(h) % 6) {
    case 0:
        r = c, g = x;
        break;
    case 1:
        r = x, g = c;
        break;
    case 2:
        g = c, b = x;
        break;
    case 3:
        g = x, b = c;
        break;
    case 4:
        r = x, b = c;
        break;
    default:
        r = c, b = x;
        break;
    }
    rgb[0] = ClampRound((r + m) * 255);
    rgb[1] = ClampRound((g + m) * 255);
    rgb[2] = ClampRound((b + m) * 255);
}

void HsvToRgb(const uint8_t* hsv, uint8_t* rgb)
{
    const double h = hsv[0] * 6.0 / 256, s = hsv[1] / 255.0, v = hsv[2] / 255.0;
    const double c = v * s;
    HueToRgb(h, c, c * (1 - std::fabs(std::fmod(h, 2) - 1)), v - c, rgb);
}

void RgbToHls(const uint8_t* rgb, uint8_t* hls)
{
    uint8_t hsv[3];
    RgbToHsv(rgb, hsv);
    const double mx = std::max({rgb[0], rgb[1], rgb[2]}) / 255.0, mn = std::min({rgb[0], rgb[1], rgb[2]}) / 255.0;
    const double l = (mx + mn) / 2, d = mx - mn;
    hls[0] = hsv[0];
    hls[1] = ClampRound(l * 255);
    hls[2] = ClampRound(d == 0 ? 0 : d / (1 - std::fabs(2 * l - 1)) * 255);
}

void HlsToRgb(const uint8_t* hls, uint8_t* rgb)
{
    const double h = hls[0] * 6.0 / 256, l = hls[1] / 255.0, s = hls[2] / 255.0;
    const double c = (1 - std::fabs(2 * l - 1)) * s;
    HueToRgb(h, c, c * (1 - std::fabs(std::fmod(h, 2) - 1)), l - c / 2, rgb);
}

void RgbToYcc(const uint8_t* rgb, uint8_t* ycc)
{
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    ycc[0] = ClampRound(0.299 * r + 0.587 * g + 0.114 * b);
    ycc[1] = ClampRound(128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
    ycc[2] = ClampRound(128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
}

void YccToRgb(const uint8_t* ycc, uint8_t* rgb)
{
    const double y = ycc[0], cb = ycc[1] - 128.0, cr = ycc[2] - 128.0;
    rgb[0] = ClampRound(y + 1.402 * cr);
    rgb[1] = ClampRound(y - 0.344136 * cb - 0.714136 * cr);
    rgb[2] = ClampRound(y + 1.772 * cb);
}

typedef void (*PixelConversion)(const uint8_t*, uint8_t*);

bool Conversions(int32_t space, PixelConversion* fromRgb, PixelConversion* toRgb)
{
    switch (space) {
    case PX_SPACE_CMYK:
        *fromRgb = RgbToCmyk, *toRgb = CmykToRgb;
        return true;
    case PX_SPACE_HSV:
        *fromRgb = RgbToHsv, *toRgb = HsvToRgb;
        return true;
    case PX_SPACE_HLS:
        *fromRgb = RgbToHls, *toRgb = HlsToRgb;
        return true;
    case PX_SPACE_YCC:
        *fromRgb = RgbToYcc, *toRgb = YccToRgb;
        return true;
    default:
        return false;
    }
}

} // namespace

int32_t PxColorSpaceChannels(int32_t space)
{
    switch (space) {
    case PX_SPACE_RGB:
    case PX_SPACE_HSV:
    case PX_SPACE_HLS:
    case PX_SPACE_YCC:
        return 3;
    case PX_SPACE_CMYK:
        return 4;
    default:
        return 0;
    }
}

int32_t PxConvertColorSpace(int32_t width, const uint8_t* source, uint8_t* destination, int32_t fromSpace,
                            int32_t toSpace)
{
    const int32_t fromChannels = PxColorSpaceChannels(fromSpace), toChannels = PxColorSpaceChannels(toSpace);
    if (width < 0 || !source || !destination || !fromChannels || !toChannels)
        return PX_INVALID_ARG;
    PixelConversion fromRgb = nullptr, toRgb = nullptr, unused = nullptr;
    if (fromSpace != PX_SPACE_RGB)
        Conversions(fromSpace, &unused, &toRgb);
    if (toSpace != PX_SPACE_RGB)
        Conversions(toSpace, &fromRgb, &unused);
    for (int32_t x = 0; x < width; ++x) {
        uint8_t rgb[3];
        const uint8_t* in = source + size_t(x) * fromChannels;
        if (toRgb)
            toRgb(in, rgb);
        else
            std::memcpy(rgb, in, 3);
        uint8_t* out = destination + size_t(x) * toChannels;
        if (fromRgb)
            fromRgb(rgb, out);
        else
            std::memcpy(out, rgb, 3);
    }
    return PX_SUCCESS;
}
