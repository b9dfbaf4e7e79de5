// The kernel's records, rows and rotation, and every export's refusal of bad bitmaps.
#include "PxProgress.h"
#include "PxTestSupport.h"

#include <functional>
#include <thread>

using namespace pxtest;

TEST(PximgKernel, StorageAndRowAccess)
{
    PxBitmap bitmap{};
    EXPECT_EQ(PxAllocateBitmap(&bitmap, 0, 5, 24, PX_ORDER_BGR, 1), PX_INVALID_ARG);
    EXPECT_EQ(PxAllocateBitmap(&bitmap, 5, 5, 7, PX_ORDER_BGR, 1), PX_INVALID_ARG);
    EXPECT_EQ(PxAllocateBitmap(&bitmap, 100000, 100000, 32, PX_ORDER_BGR, 1), PX_NO_MEMORY);
    ASSERT_EQ(PxAllocateBitmap(&bitmap, 5, 3, 0, PX_ORDER_BGR, 1), PX_SUCCESS);
    EXPECT_EQ(bitmap.BitsPerPixel, 8);
    EXPECT_EQ(bitmap.BytesPerLine, 8u);
    EXPECT_EQ(PxIsGreyScale(&bitmap), 1);
    uint8_t row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(PxPutBitmapRow(&bitmap, row, 3, 8), PX_INVALID_ARG);
    EXPECT_EQ(PxPutBitmapRow(&bitmap, row, -1, 8), PX_INVALID_ARG);
    EXPECT_EQ(PxPutBitmapRow(&bitmap, row, 2, 100), 8);
    PxFreeBitmap(&bitmap);
    EXPECT_EQ(PxIsValidBitmap(&bitmap), 0);

    Bitmap inverse(2, 2, 4);
    PxRgbQuad down[16];
    for (int i = 0; i < 16; ++i)
        down[i] = PxRgbQuad{uint8_t(255 - 17 * i), uint8_t(255 - 17 * i), uint8_t(255 - 17 * i), 0};
    ASSERT_EQ(PxSetBitmapPalette(inverse.get(), 16, down), PX_SUCCESS);
    EXPECT_EQ(PxIsGreyScale(inverse.get()), 2);
    down[3].Red = 1;
    ASSERT_EQ(PxSetBitmapPalette(inverse.get(), 16, down), PX_SUCCESS);
    EXPECT_EQ(PxIsGreyScale(inverse.get()), 0);
    EXPECT_EQ(PxBitCountTable()[0xB7], 6);
}

TEST(PximgKernel, RotationTurnsClockwiseAsSeen)
{
    Bitmap image(3, 3, 8, PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            SetRaw(image.record, x, y, uint32_t(10 * y + x));
    ASSERT_EQ(PxRotateBitmap(image.get(), 9000, 0, 0, 0, 100), PX_SUCCESS);
    // The top row (0 1 2) becomes the right column, top to bottom.
    EXPECT_EQ(GetRaw(image.record, 2, 0), 0u);
    EXPECT_EQ(GetRaw(image.record, 2, 2), 2u);
    EXPECT_EQ(GetRaw(image.record, 0, 0), 20u);

    Bitmap wide(6, 2, 24);
    std::memset(wide.record.Data, 0x40, wide.record.DataSize);
    ASSERT_EQ(PxRotateBitmap(wide.get(), 9000, 0, 0x00FF0000, 0, 100), PX_SUCCESS);
    EXPECT_EQ(GetRaw(wide.record, 0, 0), 0xFF0000u); // red in blue-green-red bytes
    EXPECT_EQ(GetRaw(wide.record, 2, 0), 0x404040u);
}

TEST(PximgKernel, TheGeneratorIsPerThread)
{
    uint32_t first = 0, second = 0;
    std::thread([&] {
        first = pximg::NextRandom();
        second = pximg::NextRandom();
    }).join();
    EXPECT_EQ(first, 150889u);
    EXPECT_EQ(second, (150889u * 1366u + 150889u) % 714025u);
    std::thread([&] { first = pximg::NextRandom(); }).join();
    EXPECT_EQ(first, 150889u);
}

// Every export refuses a null bitmap, one without an image, and records whose fields claim more
// than their storage holds, without touching memory past the storage.
TEST(PximgKernel, EveryExportRefusesBadBitmaps)
{
    uint32_t counts[256];
    uint8_t table[256] = {};
    const std::vector<std::pair<const char*, std::function<int32_t(PxBitmap*)>>> exports = {
        {"remap", [&](PxBitmap* b) { return P_RemapBitmapIntensity(b, table, 0); }},
        {"intensity", [](PxBitmap* b) { return P_ChangeBitmapIntensity(b, 10); }},
        {"contrast", [](PxBitmap* b) { return P_ChangeBitmapContrast(b, 10); }},
        {"posterize", [](PxBitmap* b) { return P_PosterizeBitmap(b, 4); }},
        {"invert", [](PxBitmap* b) { return P_InvertBitmap(b); }},
        {"detect", [](PxBitmap* b) { return P_IntensityDetectBitmap(b, 1, 2); }},
        {"gamma", [](PxBitmap* b) { return P_GammaCorrectBitmap(b, 120); }},
        {"equalize", [](PxBitmap* b) { return P_HistoEqualizeBitmap(b); }},
        {"stretch", [](PxBitmap* b) { return P_StretchBitmapIntensity(b); }},
        {"histocontrast", [](PxBitmap* b) { return P_HistoContrastBitmap(b, 10); }},
        {"histogram", [&](PxBitmap* b) { return P_GetBitmapHistogram(b, counts, 0); }},
        {"spatial", [](PxBitmap* b) { return P_SpatialFilterBitmap(b, reinterpret_cast<PxSpatialKernel*>(1)); }},
        {"sharpen", [](PxBitmap* b) { return P_SharpenBitmap(b, 10); }},
        {"emboss", [](PxBitmap* b) { return P_EmbossBitmap(b, 1, 10); }},
        {"average", [](PxBitmap* b) { return P_AverageFilterBitmap(b, 3); }},
        {"median", [](PxBitmap* b) { return P_MedianFilterBitmap(b, 3); }},
        {"binary", [](PxBitmap* b) { return P_BinaryFilterBitmap(b, reinterpret_cast<PxBinaryElement*>(1)); }},
        {"despeckle", [](PxBitmap* b) { return P_DespeckleBitmap(b); }},
        {"hue", [](PxBitmap* b) { return P_ChangeBitmapHue(b, 10); }},
        {"saturation", [](PxBitmap* b) { return P_ChangeBitmapSaturation(b, 10); }},
        {"separate",
         [](PxBitmap* b) {
             Bitmap planes[3];
             PxBitmap* records[3] = {planes[0].get(), planes[1].get(), planes[2].get()};
             return P_ColorSeparateBitmap(b, records, 0);
         }},
        {"deskew", [](PxBitmap* b) { return P_DeskewBitmap(b); }},
        {"noise", [](PxBitmap* b) { return P_AddBitmapNoise(b, 10, 0); }},
        {"mosaic", [](PxBitmap* b) { return P_MosaicBitmap(b, 2); }},
    };
    const std::vector<std::pair<const char*, std::function<void(PxBitmap&)>>> damage = {
        {"no image flag", [](PxBitmap& b) { b.Flags &= ~uint32_t(PXF_HAS_IMAGE); }},
        {"rows past the storage", [](PxBitmap& b) { b.Height *= 2; }},
        {"row length past the storage", [](PxBitmap& b) { b.BytesPerLine *= 2; }},
        {"row shorter than its pixels", [](PxBitmap& b) { b.Width *= 8; }},
        {"depth 7", [](PxBitmap& b) { b.BitsPerPixel = 7; }},
        {"negative width", [](PxBitmap& b) { b.Width = -4; }},
    };
    for (const auto& [name, apply] : exports) {
        EXPECT_EQ(apply(nullptr), PX_INVALID_BITMAP) << name;
        for (int32_t bits : {1, 8, 24}) {
            for (const auto& [what, spoil] : damage) {
                Bitmap image(16, 8, bits);
                FillRandom(image.record, 2);
                const std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
                PxBitmap saved = image.record;
                spoil(image.record);
                EXPECT_EQ(apply(image.get()), PX_INVALID_BITMAP) << name << ", " << what << ", " << bits;
                image.record = saved;
                EXPECT_EQ(std::vector<uint8_t>(image.record.Data, image.record.Data + image.record.DataSize), before)
                    << name << ", " << what;
            }
        }
    }
}
