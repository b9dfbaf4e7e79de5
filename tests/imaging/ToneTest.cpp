// Tone tables, the remap at every depth, histograms and the histogram-driven adjustments.
#include "PxTestSupport.h"

#include <cmath>
#include <fstream>

using namespace pxtest;

namespace {

// A 256 x 1 24-bit ramp: pixel i is grey i, so after a table operation pixel i shows T[i].
std::vector<int> TableOf(const std::function<int32_t(PxBitmap*)>& apply)
{
    Bitmap ramp(256, 1, 24);
    for (int i = 0; i < 256; ++i)
        SetRaw(ramp.record, i, 0, uint32_t(i) * 0x010101u);
    EXPECT_EQ(apply(ramp.get()), PX_SUCCESS);
    std::vector<int> table;
    for (int i = 0; i < 256; ++i) {
        const uint32_t v = GetRaw(ramp.record, i, 0);
        EXPECT_EQ(v, (v & 0xFF) * 0x010101u) << "channels differ at " << i;
        table.push_back(int(v & 0xFF));
    }
    return table;
}

std::vector<int> Expected(const std::function<int(int)>& f)
{
    std::vector<int> table;
    for (int i = 0; i < 256; ++i)
        table.push_back(f(i));
    return table;
}

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

} // namespace

TEST(PximgTone, TablesOfTheBuilders)
{
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_PosterizeBitmap(b, 2); }),
              Expected([](int i) { return i < 127 ? 0 : 255; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_PosterizeBitmap(b, 256); }), Expected([](int i) { return i; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_PosterizeBitmap(b, 0xFFFFFFFFu); }),
              Expected([](int i) { return i; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_PosterizeBitmap(b, 3); }), Expected([](int i) {
                  return i < 64 ? 0 : i < 191 ? 128 : 255;
              }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_ChangeBitmapIntensity(b, -1000); }),
              Expected([](int i) { return Clamp(i - 254); }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_ChangeBitmapIntensity(b, 1000); }),
              Expected([](int i) { return Clamp(i + 255); }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_ChangeBitmapContrast(b, 500); }),
              Expected([](int i) { return i < 128 ? std::max(i - 64, 0) : std::min(i + 64, 255); }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_ChangeBitmapContrast(b, -1000); }),
              Expected([](int i) { return i < 128 ? std::min(i + 127, 128) : std::max(i - 127, 128); }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_InvertBitmap(b); }), Expected([](int i) { return 255 - i; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_IntensityDetectBitmap(b, 10, 20); }),
              Expected([](int i) { return i >= 10 && i <= 20 ? 255 : 0; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_IntensityDetectBitmap(b, 200, 100); }),
              Expected([](int) { return 0; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_GammaCorrectBitmap(b, 100); }), Expected([](int i) { return i; }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_GammaCorrectBitmap(b, 220); }),
              Expected([](int i) { return int(std::pow(i / 255.0, 1 / 2.2) * 255 + 0.5); }));
    // Stretch maps the used range 0..255 (mid 127) through 128 (j - 127) / 128 + 127.
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_StretchBitmapIntensity(b); }),
              Expected([](int j) { return Clamp(128 * (j - 127) / 128 + 127); }));
    EXPECT_EQ(TableOf([](PxBitmap* b) { return P_HistoContrastBitmap(b, 1000); }),
              Expected([](int j) { return j < 127 ? std::max(j - 128, 0) : std::min(j + 128, 255); }));
}

TEST(PximgTone, RangeChecksComeFirstAndBadBitmapsAreRefused)
{
    Bitmap image(3, 3, 24);
    EXPECT_EQ(P_ChangeBitmapIntensity(nullptr, 1001), PX_INVALID_ARG);
    EXPECT_EQ(P_ChangeBitmapContrast(nullptr, -1001), PX_INVALID_ARG);
    EXPECT_EQ(P_PosterizeBitmap(nullptr, 1), PX_INVALID_ARG);
    EXPECT_EQ(P_IntensityDetectBitmap(nullptr, 256, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_GammaCorrectBitmap(nullptr, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_HistoContrastBitmap(nullptr, 2000), PX_INVALID_ARG);
    EXPECT_EQ(P_InvertBitmap(nullptr), PX_INVALID_BITMAP);
    EXPECT_EQ(P_HistoEqualizeBitmap(nullptr), PX_INVALID_BITMAP);
    uint32_t counts[256];
    const uint8_t table[256] = {};
    EXPECT_EQ(P_RemapBitmapIntensity(nullptr, table, 9), PX_INVALID_BITMAP);
    EXPECT_EQ(P_RemapBitmapIntensity(image.get(), table, 4), PX_INVALID_ARG);
    EXPECT_EQ(P_GetBitmapHistogram(nullptr, nullptr, 0), PX_INVALID_BITMAP);
    EXPECT_EQ(P_GetBitmapHistogram(image.get(), nullptr, 0), PX_INVALID_ARG);
    EXPECT_EQ(P_GetBitmapHistogram(image.get(), counts, 4), PX_INVALID_ARG);
    // A palette handle that gives fewer entries than the colour count is an invalid bitmap.
    Bitmap indexed(3, 3, 8);
    indexed.record.PaletteHandles[0]->Count = 10;
    EXPECT_EQ(P_InvertBitmap(indexed.get()), PX_INVALID_BITMAP);
    EXPECT_EQ(P_GetBitmapHistogram(indexed.get(), counts, 0), PX_INVALID_BITMAP);
}

// Inversion at every depth: colour pixels change (the fourth byte of 32-bit pixels stays),
// palette images keep their indices and only their palette changes.
TEST(PximgTone, RemapAtEveryDepth)
{
    for (int32_t bits : {1, 4, 8, 16, 24, 32}) {
        Bitmap image(13, 5, bits);
        FillRandom(image.record, uint32_t(bits));
        std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
        PxRgbQuad palette[256];
        std::memcpy(palette, image.record.Palette, sizeof palette);
        ASSERT_EQ(P_InvertBitmap(image.get()), PX_SUCCESS) << bits;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) {
                const size_t at = size_t(PxStorageRow(image.record, y)) * image.record.BytesPerLine;
                const uint32_t was = GetRaw(PxBitmap{13,
                                                     5,
                                                     bits,
                                                     image.record.BytesPerLine,
                                                     1,
                                                     0,
                                                     {},
                                                     {},
                                                     1,
                                                     1,
                                                     before.data(),
                                                     image.record.DataSize,
                                                     0},
                                            x, y);
                const uint32_t now = GetRaw(image.record, x, y);
                (void)at;
                if (bits <= 8)
                    ASSERT_EQ(now, was) << bits;
                else if (bits == 16)
                    ASSERT_EQ(now, (was & 0x8000) | (~was & 0x7FFF)) << bits;
                else if (bits == 24)
                    ASSERT_EQ(now, ~was & 0xFFFFFF) << bits;
                else
                    ASSERT_EQ(now, (was & 0xFF000000) | (~was & 0xFFFFFF)) << bits;
            }
        if (bits <= 8) {
            for (uint32_t i = 0; i < image.record.ColorCount; ++i) {
                ASSERT_EQ(image.record.Palette[i].Red, 255 - palette[i].Red);
                ASSERT_EQ(image.record.PaletteHandles[0]->Entries[i].Blue, 255 - palette[i].Blue);
            }
        }
    }
    // With flag 0x4000 the record's own table keeps its entries; the handle changes.
    Bitmap kept(4, 4, 4);
    kept.record.Flags |= PXF_KEEP_PALETTE_TABLE;
    ASSERT_EQ(P_InvertBitmap(kept.get()), PX_SUCCESS);
    EXPECT_EQ(kept.record.Palette[0].Red, 0);
    EXPECT_EQ(kept.record.PaletteHandles[0]->Entries[0].Red, 255);
}

TEST(PximgTone, ChannelRemapFollowsTheColourOrder)
{
    uint8_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = uint8_t(255 - i);
    // Pixel bytes 0x10, 0x20, 0x30: red is the third byte in order 1 and the first in order 0.
    const struct {
        int32_t bits, order, channel;
        uint32_t pixel, expected;
    } cases[] = {
        {24, PX_ORDER_BGR, 1, 0x302010, 0xCF2010},
        {24, PX_ORDER_RGB, 1, 0x302010, 0x3020EF},
        {24, PX_ORDER_BGR, 3, 0x302010, 0x3020EF},
        {32, PX_ORDER_BGR, 2, 0x77302010, 0x7730DF10},
        // 16-bit fields 1, 2, 3 at bits 10, 5, 0: red is at bit 10 in order 1, at bit 0 in order 0.
        {16, PX_ORDER_BGR, 1, (1 << 10) | (2 << 5) | 3, (30 << 10) | (2 << 5) | 3},
        {16, PX_ORDER_RGB, 1, (1 << 10) | (2 << 5) | 3, (1 << 10) | (2 << 5) | 28},
    };
    for (const auto& c : cases) {
        Bitmap image(1, 1, c.bits, c.order);
        SetRaw(image.record, 0, 0, c.pixel);
        ASSERT_EQ(P_RemapBitmapIntensity(image.get(), table, uint32_t(c.channel)), PX_SUCCESS);
        EXPECT_EQ(GetRaw(image.record, 0, 0), c.expected) << c.bits << " order " << c.order;
    }
}

TEST(PximgTone, HistogramsAndEqualiseMatchNumpy)
{
    OracleBatch batch;
    for (int32_t bits : {16, 24, 32}) {
        for (uint32_t channel = 0; channel <= 3; ++channel) {
            Bitmap image(41, 23, bits, channel % 2 ? PX_ORDER_RGB : PX_ORDER_BGR, PX_VIEW_BOTTOM_UP);
            FillRandom(image.record, channel + uint32_t(bits));
            uint32_t counts[256];
            ASSERT_EQ(P_GetBitmapHistogram(image.get(), counts, channel), PX_SUCCESS);
            const std::string path = batch.NewFile(".txt");
            std::ofstream file(path);
            for (uint32_t c : counts)
                file << c << "\n";
            file.close();
            batch.Add("histogram" + std::to_string(bits) + "/" + std::to_string(channel), "histogram",
                      batch.Input(image.record, false), path, std::to_string(channel));
        }
    }
    Bitmap image(64, 40, 24);
    FillRandom(image.record, 77);
    for (uint32_t i = 0; i < image.record.DataSize; ++i)
        image.record.Data[i] = uint8_t(image.record.Data[i] / 3 + 40); // a narrow range to spread
    const std::string in = batch.Input(image.record, false);
    ASSERT_EQ(P_HistoEqualizeBitmap(image.get()), PX_SUCCESS);
    batch.Add("equalize", "equalize", in, batch.Write(image.record, false));
    batch.ExpectAllOk();
}

TEST(PximgTone, PaletteHistogramsCountPackedIndices)
{
    // 13 pixels a row: the last byte's three unused bits are set and must not count.
    Bitmap bits(13, 3, 1);
    std::memset(bits.record.Data, 0, bits.record.DataSize);
    for (int y = 0; y < 3; ++y) {
        uint8_t* row = bits.record.Data + size_t(y) * bits.record.BytesPerLine;
        row[0] = 0xF0; // 4 set
        row[1] = 0x87; // first five pixels: 1 0 0 0 0, then padding 1 1 1
    }
    uint32_t counts[256];
    ASSERT_EQ(P_GetBitmapHistogram(bits.get(), counts, 0), PX_SUCCESS);
    EXPECT_EQ(counts[255], 15u);
    EXPECT_EQ(counts[0], 24u);

    Bitmap nibbles(3, 1, 4);
    nibbles.record.Data[0] = 0x2F;
    nibbles.record.Data[1] = 0x5A; // the low nibble is past the width
    ASSERT_EQ(P_GetBitmapHistogram(nibbles.get(), counts, 2), PX_SUCCESS);
    EXPECT_EQ(counts[34], 1u);
    EXPECT_EQ(counts[255], 1u);
    EXPECT_EQ(counts[85], 1u);
    EXPECT_EQ(counts[170], 0u);
}

TEST(PximgTone, StretchOfOneValueChangesNothing)
{
    Bitmap image(6, 4, 24);
    std::memset(image.record.Data, 90, image.record.DataSize);
    EXPECT_EQ(P_StretchBitmapIntensity(image.get()), PX_SUCCESS);
    for (uint32_t i = 0; i < image.record.DataSize; ++i)
        ASSERT_EQ(image.record.Data[i], 90);
}

namespace {

std::vector<int32_t> gCalls;
int32_t Record(int32_t percent, void*)
{
    gCalls.push_back(percent);
    return 1;
}
int32_t Stop(int32_t percent, void*)
{
    gCalls.push_back(percent);
    return 0;
}

} // namespace

TEST(PximgTone, ProgressAndStoppingCallbacks)
{
    Bitmap image(5, 3, 24);
    FillRandom(image.record, 3);
    gCalls.clear();
    PxSetProgressCallback(Record, nullptr);
    EXPECT_EQ(P_InvertBitmap(image.get()), PX_SUCCESS);
    EXPECT_EQ(gCalls, (std::vector<int32_t>{0, 33, 66, 100}));
    // Histogram-driven operations run in two stages: 0..50 then 51..100.
    gCalls.clear();
    EXPECT_EQ(P_HistoEqualizeBitmap(image.get()), PX_SUCCESS);
    EXPECT_EQ(gCalls, (std::vector<int32_t>{0, 16, 33, 50, 51, 67, 83, 100}));

    const std::vector<uint8_t> before(image.record.Data, image.record.Data + image.record.DataSize);
    PxSetProgressCallback(Stop, nullptr);
    EXPECT_EQ(P_InvertBitmap(image.get()), 0);
    EXPECT_EQ(P_MedianFilterBitmap(image.get(), 5), 0);
    EXPECT_EQ(P_ChangeBitmapHue(image.get(), 90), 0);
    EXPECT_EQ(P_MosaicBitmap(image.get(), 2), 0);
    PxSetProgressCallback(nullptr, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(image.record.Data, image.record.Data + image.record.DataSize), before);
}
