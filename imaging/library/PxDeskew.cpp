// Deskew (skew detection by correlating rows with shifted later rows, then rotation through the
// kernel), uniform noise from the per-thread generator, and mosaic tiles of their mean.
#include "PxDeskew.h"
#include "PXIMG60N.h"
#include "PxPixels.h"
#include "PxProgress.h"
#include "PxRowPipeline.h"
#include "PxTone.h"

#include <cstdlib>
#include <new>
#include <vector>

namespace pximg {
namespace {

constexpr int32_t kMaxShift = 23;
constexpr int32_t kPairDistance = 128;
// round(100 x atan(k / 128) in degrees) for k = 0..23.
const int32_t kShiftAngles[kMaxShift + 1] = {0,   45,  90,  134, 179, 224, 268, 313, 358, 402, 447, 491,
                                             536, 580, 624, 668, 713, 757, 800, 844, 888, 932, 975, 1019};

// Rows of one byte per pixel: the intensity, or for 1-bit images the packed rows with the
// lighter entry's bit set.
struct SkewRows {
    bool bits = false;
    size_t stride = 0;
    std::vector<uint8_t> data;
    const uint8_t* Row(int32_t y) const { return data.data() + size_t(y) * stride; }
};

int32_t LoadSkewRows(PxBitmap* bitmap, SkewRows& rows)
{
    const int32_t width = bitmap->Width, height = bitmap->Height;
    PxRgbQuad palette[256] = {};
    if (bitmap->BitsPerPixel <= 8 && !ReadWholePalette(*bitmap, palette))
        return PX_INVALID_BITMAP;
    rows.bits = bitmap->BitsPerPixel == 1;
    rows.stride = rows.bits ? bitmap->BytesPerLine : size_t(width);
    std::vector<uint8_t> stored;
    try {
        rows.data.resize(rows.stride * height);
        stored.resize(bitmap->BytesPerLine);
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    const bool invert = rows.bits && Intensity(palette[1].Red, palette[1].Green, palette[1].Blue) <
                                         Intensity(palette[0].Red, palette[0].Green, palette[0].Blue);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = rows.data.data() + size_t(y) * rows.stride;
        if (rows.bits) {
            PxGetBitmapRow(bitmap, row, y, bitmap->BytesPerLine);
            if (invert)
                for (size_t i = 0; i < rows.stride; ++i)
                    row[i] = uint8_t(~row[i]);
        } else {
            PxGetBitmapRow(bitmap, stored.data(), y, bitmap->BytesPerLine);
            PxConvertRowToWorking(stored.data(), row, width, bitmap->BitsPerPixel, bitmap->Order, palette, 8);
        }
    }
    return PX_SUCCESS;
}

uint64_t PairScore(const SkewRows& rows, const uint8_t* a, const uint8_t* b, int32_t width)
{
    const int32_t pairs = width - kPairDistance;
    if (rows.bits) {
        const uint8_t* bitCount = PxBitCountTable();
        const int32_t whole = pairs / 8, rest = pairs % 8, offset = kPairDistance / 8;
        uint64_t count = 0;
        for (int32_t i = 0; i < whole; ++i)
            count += bitCount[a[i] & b[i + offset]];
        if (rest)
            count += bitCount[a[whole] & b[whole + offset] & uint8_t(0xFF << (8 - rest))];
        return count;
    }
    uint64_t sum = 0;
    for (int32_t x = 0; x < pairs; ++x)
        sum += uint32_t(a[x]) * b[x + kPairDistance];
    return sum / 65025;
}

} // namespace

int32_t DetectSkew(PxBitmap* bitmap, int32_t* angle)
{
    *angle = 0;
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    SkewRows rows;
    int32_t result = LoadSkewRows(bitmap, rows);
    if (result != PX_SUCCESS)
        return result;
    const int32_t width = bitmap->Width, height = bitmap->Height;
    Progress progress;
    result = progress.Begin(0, 33, 2 * kMaxShift + 1);
    uint64_t bestScore = 0, straightScore = 0;
    int32_t bestShift = -kMaxShift;
    for (int32_t s = -kMaxShift; s <= kMaxShift && result == PX_SUCCESS; ++s) {
        uint64_t score = 0;
        if (width > kPairDistance)
            for (int32_t y = kMaxShift; y <= height - kMaxShift - 1; ++y)
                score += PairScore(rows, rows.Row(y), rows.Row(y + s), width);
        if (s == -kMaxShift || score > bestScore) {
            bestScore = score;
            bestShift = s;
        }
        if (s == 0)
            straightScore = score;
        result = progress.Advance();
    }
    if (result != PX_SUCCESS)
        return result;
    // A page that scores no better skewed than straight (blank, or too small for any pair)
    // is left as it is rather than turned by the first of equal shifts.
    if (bestScore == straightScore)
        bestShift = 0;
    int32_t a = kShiftAngles[std::abs(bestShift)];
    if (bestShift < 0)
        a = -a;
    *angle = bitmap->ViewPerspective == PX_VIEW_BOTTOM_UP ? a : -a;
    return PX_SUCCESS;
}

} // namespace pximg

using namespace pximg;

int32_t P_DeskewBitmap(PxBitmap* bitmap)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    uint32_t counts[256];
    int32_t angle = 0;
    int32_t result = DetectSkew(bitmap, &angle);
    if (result != PX_SUCCESS)
        return result;
    uint32_t fill = 0;
    if (angle != 0) {
        if ((result = Histogram(bitmap, counts, 0, 34, 66)) != PX_SUCCESS)
            return result;
        uint32_t common = 0;
        for (uint32_t v = 1; v < 256; ++v)
            if (counts[v] > counts[common])
                common = v;
        fill = common * 0x010101u;
    }
    return PxRotateBitmap(bitmap, angle, 0, fill, 67, 100);
}

int32_t P_AddBitmapNoise(PxBitmap* bitmap, uint32_t level, uint32_t channel)
{
    if (level > 1000 || channel > 3)
        return PX_INVALID_ARG;
    RowPipeline pipeline;
    int32_t result = pipeline.Open(bitmap, channel != 0);
    if (result != PX_SUCCESS)
        return result;
    const int32_t b = int32_t(level * 255 + 500) / 1000;
    const uint32_t span = uint32_t(2 * b + 1);
    const int32_t width = pipeline.Width(), height = pipeline.Height(), pb = pipeline.PixelBytes();
    // Byte of the selected colour in a blue-green-red working pixel.
    const int32_t selected = channel == 1 ? 2 : channel == 2 ? 1 : 0;
    std::vector<uint8_t> row(pipeline.WorkingRowBytes());
    result = pipeline.BeginProgress(0, 100, uint32_t(height));
    for (int32_t y = 0; y < height && result == PX_SUCCESS; ++y) {
        if ((result = pipeline.ReadRow(row.data(), y)) != PX_SUCCESS)
            break;
        for (int32_t x = 0; x < width; ++x) {
            const int32_t n = int32_t(NextRandom() % span) - b;
            uint8_t* p = row.data() + size_t(x) * pb;
            if (channel == 0)
                for (int32_t c = 0; c < pb; ++c)
                    p[c] = Clamp255(p[c] + n);
            else
                p[selected] = Clamp255(p[selected] + n);
        }
        result = pipeline.WriteRow(row.data(), y);
    }
    return result;
}

int32_t P_MosaicBitmap(PxBitmap* bitmap, uint32_t size)
{
    if (size == 0)
        return PX_INVALID_ARG;
    RowPipeline pipeline;
    int32_t result = pipeline.Open(bitmap, false);
    if (result != PX_SUCCESS)
        return result;
    const int32_t width = pipeline.Width(), height = pipeline.Height(), pb = pipeline.PixelBytes();
    const int64_t a = size;
    const size_t tiles = size_t((width + a - 1) / a);
    std::vector<uint64_t> sums;
    std::vector<uint8_t> row;
    try {
        sums.resize(tiles * pb);
        row.resize(pipeline.WorkingRowBytes());
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    result = pipeline.BeginProgress(0, 100, uint32_t(height));
    for (int64_t top = 0; top < height && result == PX_SUCCESS; top += a) {
        const int32_t bottom = int32_t(std::min<int64_t>(top + a, height));
        std::fill(sums.begin(), sums.end(), 0);
        for (int32_t y = int32_t(top); y < bottom && result == PX_SUCCESS; ++y) {
            result = pipeline.ReadRow(row.data(), pipeline.StorageRow(y));
            for (int32_t x = 0; x < width; ++x)
                for (int32_t c = 0; c < pb; ++c)
                    sums[size_t(x / a) * pb + c] += row[size_t(x) * pb + c];
        }
        const uint64_t bandHeight = uint64_t(bottom - top);
        for (int32_t x = 0; x < width; ++x) {
            const size_t tile = size_t(x / a);
            const uint64_t tileWidth = uint64_t(std::min<int64_t>(int64_t(tile + 1) * a, width) - int64_t(tile) * a);
            for (int32_t c = 0; c < pb; ++c)
                row[size_t(x) * pb + c] = uint8_t(sums[tile * pb + c] / (bandHeight * tileWidth));
        }
        for (int32_t y = int32_t(top); y < bottom && result == PX_SUCCESS; ++y)
            result = pipeline.WriteRow(row.data(), pipeline.StorageRow(y));
    }
    return result;
}
