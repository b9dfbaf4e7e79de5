// Hue and saturation changes through integer HSV, and splitting an image into colour planes or
// joining planes into a 24-bit image.
#include "PXIMG60N.h"
#include "PxHsv.h"
#include "PxKernel.h"
#include "PxPixels.h"
#include "PxProgress.h"
#include "PxRowPipeline.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace pximg {

void RgbToHsvBytes(uint8_t red, uint8_t green, uint8_t blue, uint8_t* hsv)
{
    const int32_t r = red, g = green, b = blue;
    const int32_t mx = std::max({r, g, b}), mn = std::min({r, g, b});
    hsv[2] = uint8_t(mx);
    if (mx == mn) {
        hsv[0] = hsv[1] = 0;
        return;
    }
    hsv[1] = uint8_t((mx - mn) * 255 / mx);
    // Ties for the smallest component are decided blue first, then red, so pure red is hue 0.
    int32_t h;
    if (b == mn)
        h = ((g - mn) * 30720 / (g + r - 2 * mn) + 180) / 360;
    else if (r == mn)
        h = ((b - mn) * 30720 / (b + g - 2 * mn) + 30900) / 360;
    else
        h = ((r - mn) * 30720 / (r + b - 2 * mn) + 61620) / 360;
    hsv[0] = uint8_t(h);
}

void HsvToRgbBytes(const uint8_t* hsv, uint8_t* red, uint8_t* green, uint8_t* blue)
{
    const int32_t v = hsv[2];
    if (hsv[1] == 0) {
        *red = *green = *blue = uint8_t(v);
        return;
    }
    const int32_t a = (hsv[0] * 360) >> 8, m = (255 - hsv[1]) * v / 255, d = v - m;
    int32_t r, g, b;
    if (a <= 60)
        r = v, g = m + a * d / (120 - a), b = m;
    else if (a <= 120)
        r = m + d * (120 - a) / a, g = v, b = m;
    else if (a <= 180)
        r = m, g = v, b = m + d * (a - 120) / (240 - a);
    else if (a <= 240)
        r = m, g = m + d * (240 - a) / (a - 120), b = v;
    else if (a <= 300)
        r = m + d * (a - 240) / (360 - a), g = m, b = v;
    else
        r = v, g = m, b = m + d * (360 - a) / (a - 240);
    *red = uint8_t(r);
    *green = uint8_t(g);
    *blue = uint8_t(b);
}

namespace {

// Applies `change(hsv)` to every pixel of 16 bits and more, or to every palette entry.
template <typename Change> int32_t ChangeHsv(PxBitmap* bitmap, Change change)
{
    if (bitmap->BitsPerPixel <= 8) {
        PxRgbQuad entries[256];
        if (!ReadWholePalette(*bitmap, entries))
            return PX_INVALID_BITMAP;
        Progress progress;
        int32_t result = progress.Begin(0, 100, 1);
        if (result != PX_SUCCESS)
            return result;
        for (uint32_t i = 0; i < bitmap->ColorCount; ++i) {
            PxRgbQuad& e = entries[i];
            uint8_t hsv[3];
            RgbToHsvBytes(e.Red, e.Green, e.Blue, hsv);
            change(hsv);
            HsvToRgbBytes(hsv, &e.Red, &e.Green, &e.Blue);
        }
        if (!(bitmap->Flags & PXF_KEEP_PALETTE_TABLE))
            std::memcpy(bitmap->Palette, entries, bitmap->ColorCount * sizeof(PxRgbQuad));
        PxSetPaletteEntries(bitmap->ColorCount, PxCurrentPalette(bitmap), 0, entries);
        return progress.Advance();
    }
    const int32_t width = bitmap->Width;
    std::vector<uint8_t> stored, bgr;
    try {
        stored.resize(bitmap->BytesPerLine);
        bgr.resize(size_t(width) * 3);
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    const int32_t token = PxAccessBitmap(bitmap);
    Progress progress;
    int32_t result = progress.Begin(0, 100, uint32_t(bitmap->Height));
    for (int32_t y = 0; y < bitmap->Height && result == PX_SUCCESS; ++y) {
        PxGetBitmapRow(bitmap, stored.data(), y, bitmap->BytesPerLine);
        PxConvertRowToWorking(stored.data(), bgr.data(), width, bitmap->BitsPerPixel, bitmap->Order, nullptr, 24);
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = bgr.data() + size_t(x) * 3;
            uint8_t hsv[3];
            RgbToHsvBytes(p[2], p[1], p[0], hsv);
            change(hsv);
            HsvToRgbBytes(hsv, &p[2], &p[1], &p[0]);
        }
        // The fourth byte of 32-bit pixels stays as stored.
        PxConvertRowFromWorking(bgr.data(), stored.data(), width, bitmap->BitsPerPixel, bitmap->Order, 24);
        PxPutBitmapRow(bitmap, stored.data(), y, bitmap->BytesPerLine);
        result = progress.Advance();
    }
    PxReleaseBitmap(bitmap, token);
    return result;
}

// Kernel colour-space codes of the separate and merge spaces 0..4.
const int32_t kSpaceCodes[5] = {PX_SPACE_RGB, PX_SPACE_CMYK, PX_SPACE_HSV, PX_SPACE_HLS, PX_SPACE_YCC};

} // namespace
} // namespace pximg

using namespace pximg;

int32_t P_ChangeBitmapHue(PxBitmap* bitmap, int32_t angle)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    const uint8_t h = uint8_t(int64_t(angle) * 256 / 360);
    // A whole turn changes nothing; converting to HSV and back would still round some pixels.
    if (h == 0)
        return PX_SUCCESS;
    return ChangeHsv(bitmap, [h](uint8_t* hsv) { hsv[0] = uint8_t(hsv[0] + h); });
}

int32_t P_ChangeBitmapSaturation(PxBitmap* bitmap, int32_t change)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (change < -1000 || change > 1000)
        return PX_INVALID_ARG;
    const int32_t s = (change * 255 + 500) / 1000;
    if (s == 0)
        return PX_SUCCESS;
    return ChangeHsv(bitmap, [s](uint8_t* hsv) { hsv[1] = Clamp255(hsv[1] + s); });
}

int32_t P_ColorSeparateBitmap(PxBitmap* bitmap, PxBitmap** planes, uint32_t space)
{
    if (!PxIsValidBitmap(bitmap))
        return PX_INVALID_BITMAP;
    if (space > 4 || !planes)
        return PX_INVALID_ARG;
    const int32_t code = kSpaceCodes[space], channels = PxColorSpaceChannels(code), width = bitmap->Width;
    PxRgbQuad palette[256] = {};
    if (bitmap->BitsPerPixel <= 8 && !ReadWholePalette(*bitmap, palette))
        return PX_INVALID_BITMAP;
    std::vector<uint8_t> stored, bgr, rgb, converted, planeRow;
    try {
        stored.resize(bitmap->BytesPerLine);
        bgr.resize(size_t(width) * 3);
        rgb.resize(size_t(width) * 3);
        converted.resize(size_t(width) * channels);
        planeRow.resize(size_t(width));
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    for (int32_t p = 0; p < channels; ++p) {
        const int32_t result =
            planes[p] ? PxAllocateBitmap(planes[p], width, bitmap->Height, 8, PX_ORDER_BGR, bitmap->ViewPerspective)
                      : PX_INVALID_ARG;
        if (result != PX_SUCCESS) {
            for (int32_t q = 0; q < p; ++q)
                PxFreeBitmap(planes[q]);
            return result;
        }
    }
    const int32_t token = PxAccessBitmap(bitmap);
    Progress progress;
    int32_t result = progress.Begin(0, 100, uint32_t(bitmap->Height));
    for (int32_t y = 0; y < bitmap->Height && result == PX_SUCCESS; ++y) {
        PxGetBitmapRow(bitmap, stored.data(), y, bitmap->BytesPerLine);
        PxConvertRowToWorking(stored.data(), bgr.data(), width, bitmap->BitsPerPixel, bitmap->Order, palette, 24);
        for (size_t i = 0; i < bgr.size(); i += 3) {
            rgb[i] = bgr[i + 2];
            rgb[i + 1] = bgr[i + 1];
            rgb[i + 2] = bgr[i];
        }
        PxConvertColorSpace(width, rgb.data(), converted.data(), PX_SPACE_RGB, code);
        for (int32_t p = 0; p < channels; ++p) {
            for (int32_t x = 0; x < width; ++x)
                planeRow[size_t(x)] = converted[size_t(x) * channels + p];
            PxPutBitmapRow(planes[p], planeRow.data(), y, uint32_t(width));
        }
        result = progress.Advance();
    }
    PxReleaseBitmap(bitmap, token);
    return result;
}

int32_t P_ColorMergeBitmap(PxBitmap* bitmap, PxBitmap** planes, uint32_t space)
{
    // A space outside the table has no planes to merge: refuse it instead of guessing.
    if (!bitmap || !planes || space > 4)
        return PX_INVALID_ARG;
    const int32_t code = kSpaceCodes[space], channels = PxColorSpaceChannels(code);
    int32_t width = INT32_MAX, height = INT32_MAX;
    uint32_t largestRow = 0;
    std::vector<std::vector<PxRgbQuad>> palettes(size_t(channels), std::vector<PxRgbQuad>(256));
    for (int32_t p = 0; p < channels; ++p) {
        const PxBitmap* plane = planes[p];
        if (!PxIsValidBitmap(plane))
            return PX_INVALID_BITMAP;
        // Giving the destination storage would free the plane it is about to read.
        if (plane == bitmap)
            return PX_INVALID_ARG;
        if (plane->BitsPerPixel <= 8 && !ReadWholePalette(*plane, palettes[size_t(p)].data()))
            return PX_INVALID_BITMAP;
        width = std::min(width, plane->Width);
        height = std::min(height, plane->Height);
        largestRow = std::max(largestRow, plane->BytesPerLine);
    }
    std::vector<uint8_t> stored, grey, interleaved, rgb, bgr;
    try {
        stored.resize(largestRow);
        grey.resize(size_t(std::max_element(planes, planes + channels,
                                            [](const PxBitmap* a, const PxBitmap* b) { return a->Width < b->Width; })[0]
                               ->Width));
        interleaved.resize(size_t(width) * channels);
        rgb.resize(size_t(width) * 3);
        bgr.resize(size_t(width) * 3);
    } catch (const std::bad_alloc&) {
        return PX_NO_MEMORY;
    }
    int32_t result = PxAllocateBitmap(bitmap, width, height, 24, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    if (result != PX_SUCCESS)
        return result == PX_INVALID_ARG ? PX_INVALID_ARG : PX_NO_MEMORY;
    Progress progress;
    result = progress.Begin(0, 100, uint32_t(height));
    for (int32_t y = 0; y < height && result == PX_SUCCESS; ++y) {
        for (int32_t p = 0; p < channels; ++p) {
            const PxBitmap* plane = planes[p];
            PxGetBitmapRow(plane, stored.data(), PxStorageRow(*plane, y), plane->BytesPerLine);
            PxConvertRowToWorking(stored.data(), grey.data(), plane->Width, plane->BitsPerPixel, plane->Order,
                                  palettes[size_t(p)].data(), 8);
            for (int32_t x = 0; x < width; ++x)
                interleaved[size_t(x) * channels + p] = grey[size_t(x)];
        }
        PxConvertColorSpace(width, interleaved.data(), rgb.data(), code, PX_SPACE_RGB);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            bgr[i] = rgb[i + 2];
            bgr[i + 1] = rgb[i + 1];
            bgr[i + 2] = rgb[i];
        }
        PxPutBitmapRow(bitmap, bgr.data(), PxStorageRow(*bitmap, y), uint32_t(bgr.size()));
        result = progress.Advance();
    }
    return result;
}
