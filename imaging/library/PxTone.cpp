// Tone adjustments: every export builds a 256-entry table and hands it to one remap, which
// changes stored pixels of 16 bits and more and only the palette of palette images.
#include "PxTone.h"
#include "PXIMG60N.h"
#include "PxKernel.h"
#include "PxPixels.h"
#include "PxProgress.h"
#include "PxRowPipeline.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace pximg {
namespace {

// Byte offset of channel 1 (red), 2 (green) or 3 (blue) in a 24/32-bit pixel of the given order.
int ChannelByte(uint32_t channel, int32_t order)
{
    const int red = order == PX_ORDER_BGR ? 2 : 0;
    return channel == 1 ? red : channel == 2 ? 1 : 2 - red;
}

// Bit shift of channel 1, 2 or 3 in a 16-bit pixel of the given order.
int ChannelShift(uint32_t channel, int32_t order)
{
    const int red = order == PX_ORDER_BGR ? 10 : 0;
    return channel == 1 ? red : channel == 2 ? 5 : 10 - red;
}

void RemapRow(uint8_t* row, const PxBitmap& bitmap, const uint8_t* table, uint32_t channel)
{
    const int32_t width = bitmap.Width;
    if (bitmap.BitsPerPixel == 16) {
        const uint16_t selected = channel == 0 ? 0x7FFF : uint16_t(31 << ChannelShift(channel, bitmap.Order));
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
            uint32_t out = v & 0x8000;
            for (int shift = 0; shift <= 10; shift += 5) {
                const uint32_t field = (v >> shift) & 31;
                out |= ((selected >> shift) & 1 ? uint32_t(table[Widen5(field)] >> 3) : field) << shift;
            }
            row[2 * x] = uint8_t(out);
            row[2 * x + 1] = uint8_t(out >> 8);
        }
        return;
    }
    const int32_t step = bitmap.BitsPerPixel / 8;
    const size_t end = size_t(width) * step;
    if (channel == 0) {
        for (size_t i = 0; i < end; i += step) {
            row[i] = table[row[i]];
            row[i + 1] = table[row[i + 1]];
            row[i + 2] = table[row[i + 2]];
        }
    } else {
        for (size_t i = size_t(ChannelByte(channel, bitmap.Order)); i < end; i += step)
            row[i] = table[row[i]];
    }
}

int32_t RemapPalette(PxBitmap* bitmap, const uint8_t* table, uint32_t channel, int32_t first, int32_t last)
{
    PxRgbQuad entries[256];
    if (!ReadWholePalette(*bitmap, entries))
        return PX_INVALID_BITMAP;
    Progress progress;
    int32_t result = progress.Begin(first, last, 1);
    if (result != PX_SUCCESS)
        return result;
    for (uint32_t i = 0; i < bitmap->ColorCount; ++i) {
        PxRgbQuad& e = entries[i];
        if (channel == 0 || channel == 1)
            e.Red = table[e.Red];
        if (channel == 0 || channel == 2)
            e.Green = table[e.Green];
        if (channel == 0 || channel == 3)
            e.Blue = table[e.Blue];
    }
    if (!(bitmap->Flags & PXF_KEEP_PALETTE_TABLE))
        std::memcpy(bitmap->Palette, entries, bitmap->ColorCount * sizeof(PxRgbQuad));
    PxSetPaletteEntries(bitmap->ColorCount, PxCurrentPalette(bitmap), 0, entries);
    return progress.Advance();
}

// Value of each palette index for the histogram: the entry's intensity or one of its colours.
void PaletteValues(const PxRgbQuad* entries, uint32_t channel, uint8_t* values)
{
    for (int i = 0; i < 256; ++i) {
        const PxRgbQuad& e = entries[i];
        values[i] = channel == 0   ? Intensity(e.Red, e.Green, e.Blue)
                    : channel == 1 ? e.Red
                    : channel == 2 ? e.Green
                                   : e.Blue;
    }
}

void CountRow(const uint8_t* row, const PxBitmap& bitmap, uint32_t channel, const uint8_t* values, uint32_t* counts)
{
    const int32_t width = bitmap.Width;
    switch (bitmap.BitsPerPixel) {
    case 1: {
        const uint8_t* bits = PxBitCountTable();
        const int32_t whole = width / 8, rest = width % 8;
        uint32_t set = 0;
        for (int32_t i = 0; i < whole; ++i)
            set += bits[row[i]];
        if (rest)
            set += bits[row[whole] & uint8_t(0xFF << (8 - rest))];
        counts[values[0]] += uint32_t(width) - set;
        counts[values[1]] += set;
        break;
    }
    case 4:
    case 8:
        for (int32_t x = 0; x < width; ++x)
            ++counts[values[PackedIndex(row, x, bitmap.BitsPerPixel)]];
        break;
    case 16:
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = row[2 * x] | row[2 * x + 1] << 8;
            if (channel == 0) {
                const int red = ChannelShift(1, bitmap.Order), blue = ChannelShift(3, bitmap.Order);
                ++counts[Intensity(Widen5((v >> red) & 31), Widen5((v >> 5) & 31), Widen5((v >> blue) & 31))];
            } else {
                ++counts[Widen5((v >> ChannelShift(channel, bitmap.Order)) & 31)];
            }
        }
        break;
    default: {
        const int32_t step = bitmap.BitsPerPixel / 8;
        const int red = ChannelByte(1, bitmap.Order), blue = ChannelByte(3, bitmap.Order);
        const int selected = channel ? ChannelByte(channel, bitmap.Order) : 0;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(x) * step;
            ++counts[channel == 0 ? Intensity(p[red], p[1], p[blue]) : p[selected]];
        }
    }
    }
}

} // namespace

int32_t Remap(PxBitmap* bitmap, const uint8_t* table, uint32_t channel, int32_t first, int32_t last)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (channel > 3 || !table)
        return PX_INVALID_ARG;
    if (bitmap->BitsPerPixel <= 8)
        return RemapPalette(bitmap, table, channel, first, last);
    std::unique_ptr<uint8_t, decltype(&PxFreeBlock)> row(static_cast<uint8_t*>(PxAllocBlock(bitmap->BytesPerLine, 0)),
                                                         PxFreeBlock);
    if (!row)
        return PX_NO_MEMORY;
    const int32_t token = PxAccessBitmap(bitmap);
    Progress progress;
    int32_t result = progress.Begin(first, last, uint32_t(bitmap->Height));
    for (int32_t y = 0; y < bitmap->Height && result == PX_SUCCESS; ++y) {
        PxGetBitmapRow(bitmap, row.get(), y, bitmap->BytesPerLine);
        RemapRow(row.get(), *bitmap, table, channel);
        PxPutBitmapRow(bitmap, row.get(), y, bitmap->BytesPerLine);
        result = progress.Advance();
    }
    PxReleaseBitmap(bitmap, token);
    return result;
}

int32_t Histogram(PxBitmap* bitmap, uint32_t* counts, uint32_t channel, int32_t first, int32_t last)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (!counts || channel > 3)
        return PX_INVALID_ARG;
    uint8_t values[256] = {};
    if (bitmap->BitsPerPixel <= 8) {
        PxRgbQuad entries[256];
        if (!ReadWholePalette(*bitmap, entries))
            return PX_INVALID_BITMAP;
        PaletteValues(entries, channel, values);
    }
    std::vector<uint8_t> row(bitmap->BytesPerLine);
    std::memset(counts, 0, 256 * sizeof *counts);
    const int32_t token = PxAccessBitmap(bitmap);
    Progress progress;
    int32_t result = progress.Begin(first, last, uint32_t(bitmap->Height));
    for (int32_t y = 0; y < bitmap->Height && result == PX_SUCCESS; ++y) {
        PxGetBitmapRow(bitmap, row.data(), y, bitmap->BytesPerLine);
        CountRow(row.data(), *bitmap, channel, values, counts);
        result = progress.Advance();
    }
    PxReleaseBitmap(bitmap, token);
    return result;
}

namespace {

int32_t RemapAll(PxBitmap* bitmap, const uint8_t* table) { return Remap(bitmap, table, 0, 0, 100); }

// Histogram-driven tables: the intensity histogram over the first half, the remap over the second.
template <typename BuildTable> int32_t HistogramRemap(PxBitmap* bitmap, BuildTable build)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    uint32_t counts[256];
    uint8_t table[256];
    int32_t result = Histogram(bitmap, counts, 0, 0, 50);
    if (result != PX_SUCCESS)
        return result;
    if (!build(counts, table))
        return PX_SUCCESS;
    return Remap(bitmap, table, 0, 51, 100);
}

struct UsedRange {
    int32_t low, high, mid;
};

UsedRange FindUsedRange(const uint32_t* counts)
{
    int32_t low = 0, high = 255;
    while (low < 255 && counts[low] == 0)
        ++low;
    while (high > 0 && counts[high] == 0)
        --high;
    return {low, high, (low + high) / 2};
}

} // namespace
} // namespace pximg

using namespace pximg;

int32_t P_RemapBitmapIntensity(PxBitmap* bitmap, const uint8_t* table, uint32_t channel)
{
    return Remap(bitmap, table, channel, 0, 100);
}

int32_t P_ChangeBitmapIntensity(PxBitmap* bitmap, int32_t change)
{
    if (change < -1000 || change > 1000)
        return PX_INVALID_ARG;
    const int32_t d = (change * 255 + 500) / 1000;
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i)
        table[i] = Clamp255(i + d);
    return RemapAll(bitmap, table);
}

int32_t P_ChangeBitmapContrast(PxBitmap* bitmap, int32_t change)
{
    if (change < -1000 || change > 1000)
        return PX_INVALID_ARG;
    const int32_t b = (change * 128 + 500) / 1000;
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) {
        const int32_t v = i < 128 ? i - b : i + b;
        table[i] = uint8_t(i < 128 ? (v < 0 ? 0 : v > 128 ? 128 : v) : (v < 128 ? 128 : v > 255 ? 255 : v));
    }
    return RemapAll(bitmap, table);
}

int32_t P_PosterizeBitmap(PxBitmap* bitmap, uint32_t levels)
{
    if (levels < 2)
        return PX_INVALID_ARG;
    // 64-bit products: a large level count would overflow m x i in 32 bits.
    const uint64_t m = levels - 1;
    uint8_t table[256];
    for (uint64_t i = 0; i < 256; ++i)
        table[i] = uint8_t((m / 2 + ((m * i + 128) / 255) * 255) / m);
    return RemapAll(bitmap, table);
}

int32_t P_InvertBitmap(PxBitmap* bitmap)
{
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i)
        table[i] = uint8_t(255 - i);
    return RemapAll(bitmap, table);
}

int32_t P_IntensityDetectBitmap(PxBitmap* bitmap, uint32_t low, uint32_t high)
{
    if (low > 255 || high > 255)
        return PX_INVALID_ARG;
    uint8_t table[256];
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = low <= i && i <= high ? 255 : 0;
    return RemapAll(bitmap, table);
}

int32_t P_GammaCorrectBitmap(PxBitmap* bitmap, uint32_t gamma)
{
    if (gamma == 0)
        return PX_INVALID_ARG;
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i)
        table[i] = uint8_t(std::pow(i / 255.0, 100.0 / gamma) * 255 + 0.5);
    return RemapAll(bitmap, table);
}

int32_t P_HistoEqualizeBitmap(PxBitmap* bitmap)
{
    return HistogramRemap(bitmap, [bitmap](const uint32_t* counts, uint8_t* table) {
        // 64-bit running sums: c x 255 overflows 32 bits above about 16.8 million pixels.
        const uint64_t pixels = uint64_t(bitmap->Width) * uint64_t(bitmap->Height);
        uint64_t sum = 0;
        for (int i = 0; i < 256; ++i) {
            sum += counts[i];
            table[i] = uint8_t(sum * 255 / pixels);
        }
        return true;
    });
}

int32_t P_StretchBitmapIntensity(PxBitmap* bitmap)
{
    return HistogramRemap(bitmap, [](const uint32_t* counts, uint8_t* table) {
        const UsedRange r = FindUsedRange(counts);
        if (r.high == r.mid)
            return false;
        for (int32_t j = 0; j < 256; ++j)
            table[j] = Clamp255(128 * (j - r.mid) / (r.high - r.mid) + 127);
        return true;
    });
}

int32_t P_HistoContrastBitmap(PxBitmap* bitmap, int32_t change)
{
    if (change < -1000 || change > 1000)
        return PX_INVALID_ARG;
    const int32_t a = (change * 128 + 500) / 1000;
    return HistogramRemap(bitmap, [a](const uint32_t* counts, uint8_t* table) {
        const UsedRange r = FindUsedRange(counts);
        for (int32_t j = 0; j < 256; ++j) {
            const int32_t v = j < r.mid ? j - a : j + a;
            table[j] = uint8_t(j < r.mid ? (v < 0       ? 0
                                            : v > r.mid ? r.mid
                                                        : v)
                                         : (v < r.mid ? r.mid
                                            : v > 255 ? 255
                                                      : v));
        }
        return true;
    });
}

int32_t P_GetBitmapHistogram(PxBitmap* bitmap, uint32_t* counts, uint32_t channel)
{
    return Histogram(bitmap, counts, channel, 0, 100);
}
