// Rotation of a whole bitmap about its centre, nearest pixel, at any depth.
#include "PxKernel.h"
#include "PxPixels.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Stored value of the fill colour (0x00RRGGBB) at the bitmap's depth.
uint32_t FillValue(const PxBitmap& bitmap, uint32_t fill)
{
    const uint8_t bgr[3] = {uint8_t(fill), uint8_t(fill >> 8), uint8_t(fill >> 16)};
    if (bitmap.BitsPerPixel <= 8) {
        PxReduction* reduction = nullptr;
        if (PxPrepareReduction(&bitmap, 24, &reduction) != PX_SUCCESS)
            return 0;
        uint8_t index = 0;
        PxReduceRow(reduction, bgr, &index, 1);
        PxReleaseReduction(reduction);
        return bitmap.BitsPerPixel == 1 ? index >> 7 : bitmap.BitsPerPixel == 4 ? index >> 4 : index;
    }
    uint8_t stored[4] = {0, 0, 0, 0};
    PxConvertRowFromWorking(bgr, stored, 1, bitmap.BitsPerPixel, bitmap.Order, 24);
    return uint32_t(stored[0]) | uint32_t(stored[1]) << 8 | uint32_t(stored[2]) << 16 | uint32_t(stored[3]) << 24;
}

uint32_t GetRaw(const uint8_t* row, int32_t x, int32_t bits)
{
    if (bits <= 8)
        return pximg::PackedIndex(row, x, bits);
    const uint8_t* p = row + size_t(x) * (bits / 8);
    uint32_t v = 0;
    std::memcpy(&v, p, size_t(bits / 8));
    return v;
}

void PutRaw(uint8_t* row, int32_t x, int32_t bits, uint32_t v)
{
    if (bits <= 8)
        pximg::SetPackedIndex(row, x, bits, uint8_t(v));
    else
        std::memcpy(row + size_t(x) * (bits / 8), &v, size_t(bits / 8));
}

int32_t Report(PxProgressCallback callback, void* user, int32_t percent)
{
    return callback ? callback(percent, user) : PX_SUCCESS;
}

} // namespace

int32_t PxRotateBitmap(PxBitmap* bitmap, int32_t angle, uint32_t, uint32_t fill, int32_t firstPercent,
                       int32_t lastPercent)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    void* user = nullptr;
    const PxProgressCallback callback = PxGetProgressCallback(&user);
    int32_t result = Report(callback, user, firstPercent);
    if (result != PX_SUCCESS)
        return result;
    if (angle % 36000 == 0)
        return Report(callback, user, lastPercent);
    const size_t size = size_t(bitmap->BytesPerLine) * bitmap->Height;
    uint8_t* source = static_cast<uint8_t*>(std::malloc(size));
    if (!source)
        return PX_NO_MEMORY;
    std::memcpy(source, bitmap->Data, size);
    const int32_t bits = bitmap->BitsPerPixel, width = bitmap->Width, height = bitmap->Height;
    const uint32_t fillValue = FillValue(*bitmap, fill);
    const double radians = angle / 100.0 * M_PI / 180.0, c = std::cos(radians), s = std::sin(radians);
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* out = bitmap->Data + size_t(PxStorageRow(*bitmap, y)) * bitmap->BytesPerLine;
        const double dy = y - cy;
        for (int32_t x = 0; x < width; ++x) {
            // Image rows run downward, so turning clockwise as seen is the usual rotation matrix;
            // each output pixel takes the source pixel that the rotation brings to it.
            const double dx = x - cx;
            const long sx = std::lround(cx + c * dx + s * dy), sy = std::lround(cy - s * dx + c * dy);
            uint32_t v = fillValue;
            if (sx >= 0 && sx < width && sy >= 0 && sy < height)
                v = GetRaw(source + size_t(PxStorageRow(*bitmap, int32_t(sy))) * bitmap->BytesPerLine, int32_t(sx),
                           bits);
            PutRaw(out, x, bits, v);
        }
    }
    std::free(source);
    return Report(callback, user, lastPercent);
}
