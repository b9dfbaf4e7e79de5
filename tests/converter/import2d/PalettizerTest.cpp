// Median cut and index mapping: exact palettes for few colours, nearest-entry mapping checked by
// brute force, transparency at index 0, palette output order and the colour correction tables.
#include "converter/import2d/ColourCorrect.h"
#include "converter/import2d/CzBitmap.h"
#include "converter/import2d/PaletteMaps.h"
#include "converter/import2d/Palettizer.h"
#include "ImageOracle.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(Palettizer, FewColoursAreKeptExactly)
{
    std::vector<CPixel> pixels;
    for (int i = 0; i < 40; ++i)
        pixels.push_back(CPixel(static_cast<unsigned char>(i % 10 * 20), 7, 9, 128));
    std::vector<unsigned char> indices(40);
    CPixel palette[16];
    Palettize(indices.data(), palette, pixels.data(), 4, 10, 16, false, nullptr);
    std::set<int> reds;
    for (int i = 0; i < 10; ++i)
        reds.insert(palette[i].R);
    EXPECT_EQ(reds.size(), 10u);
    for (int i = 10; i < 16; ++i)
        EXPECT_EQ(palette[i], CPixel::Zero);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(palette[indices[i]], pixels[i]);
}

TEST(Palettizer, ManyColoursMapToTheirNearestEntry)
{
    CzBitmap image;
    FillPattern(image, 64, 64);
    std::vector<unsigned char> indices(64 * 64);
    CPixel palette[256];
    Palettize(indices.data(), palette, image.Pixels(), 64, 64, 16, false, nullptr);
    for (int i = 0; i < 64 * 64; ++i) {
        const CPixel& p = image.Pixels()[i];
        auto distance = [&](const CPixel& e) {
            const int d[4] = {p.R - e.R, p.G - e.G, p.B - e.B, p.A - e.A};
            return d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + d[3] * d[3];
        };
        int best = distance(palette[0]);
        for (int e = 1; e < 16; ++e)
            best = std::min(best, distance(palette[e]));
        ASSERT_EQ(distance(palette[indices[i]]), best) << i;
    }
}

TEST(Palettizer, OneBitAlphaKeepsIndexZeroForTransparentPixels)
{
    CzBitmap image;
    image.Allocate(4, 2);
    for (int x = 0; x < 4; ++x) {
        image.At(x, 0) = CPixel(200, 10, 10, 255);
        image.At(x, 1) = x < 2 ? CPixel(10, 200, 10, 255) : CPixel(255, 255, 255, 0);
    }
    CPixelFormat alpha1("IIIIIIII");
    alpha1.AlphaKind = CPixelFormat::ALPHA1;
    ASSERT_EQ(image.CreatePalette(alpha1), 0);
    EXPECT_EQ(image.IndexImage()[6].A, 0);
    EXPECT_EQ(image.IndexImage()[7].A, 0);
    EXPECT_NE(image.IndexImage()[0].A, 0);
    EXPECT_NE(image.IndexImage()[4].A, image.IndexImage()[0].A);
    // The transparent entry takes the average opaque colour, so filtered edges do not darken.
    EXPECT_EQ(image.Palette()[0], CPixel(136, 73, 10, 0)); // (4 x 200 + 2 x 10) / 6, ...

    // 256-entry palettes come out in the swizzled order, 16-bit entries.
    CPixelFormat entry("ArrrrrGGGGGbbbbb");
    const unsigned char* out = image.ConvertPalette(alpha1, entry);
    ASSERT_NE(out, nullptr);
    CPixelFormat encoder = entry;
    unsigned char expected[2];
    encoder.EncodePixel(expected, image.Palette()[1]);
    EXPECT_EQ(out[2], expected[0]);
    EXPECT_EQ(out[3], expected[1]);
}

TEST(PaletteMaps, SwizzleExchangesTheMiddleRuns)
{
    const unsigned long* map = PaletteMaps::Get(1);
    EXPECT_EQ(map[8], 16u);
    EXPECT_EQ(map[16], 8u);
    EXPECT_EQ(map[31], 31u);
    EXPECT_EQ(map[40], 48u);
    for (unsigned long i = 0; i < 256; ++i)
        ASSERT_EQ(map[map[i]], i);
    EXPECT_EQ(PaletteMaps::Get(0)[40], 40u);
}

TEST(ColourCorrect, GammaAndHsvTables)
{
    CzBitmap image;
    image.Allocate(4, 1);
    image.At(0, 0) = CPixel(200, 100, 50, 77);
    image.At(1, 0) = CPixel(128, 128, 128, 1);
    image.At(2, 0) = CPixel(10, 200, 30, 2);
    image.At(3, 0) = CPixel(64, 0, 255, 3);
    const std::vector<CPixel> before(image.Pixels(), image.Pixels() + 4);

    CPixelFormat identity;
    image.ColourCorrect(identity);
    EXPECT_EQ(std::vector<CPixel>(image.Pixels(), image.Pixels() + 4), before);

    CPixelFormat turn; // a full turn of hue wraps round to where it was
    turn.HSVAdd[0] = 360.0f;
    image.ColourCorrect(turn);
    EXPECT_EQ(std::vector<CPixel>(image.Pixels(), image.Pixels() + 4), before);

    CPixelFormat brighter;
    brighter.HSVMultiply[2] = 2.0f;
    image.ColourCorrect(brighter);
    EXPECT_EQ(image.At(0, 0).R, 255);
    EXPECT_EQ(image.At(0, 0).A, 77);
    EXPECT_EQ(image.At(1, 0).R, image.At(1, 0).B); // grey stays grey

    CPixelFormat gamma;
    gamma.Gamma = 2.0f;
    CzBitmap ramp;
    ramp.Allocate(256, 1);
    for (int i = 0; i < 256; ++i)
        ramp.At(i, 0) = CPixel(static_cast<unsigned char>(i), 0, 255, 0);
    ramp.ColourCorrect(gamma);
    EXPECT_EQ(ramp.At(64, 0).R, 127); // sqrt(64/255) * 255 = 127.75, truncated
    EXPECT_EQ(ramp.At(255, 0).R, 255);
    EXPECT_EQ(ramp.At(0, 0).B, 255);

    double r = 0.5, g = 0.5, b = 0.5;
    HSVtoRGB(120, 1, 1, r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 1);
    EXPECT_EQ(b, 0);
}

} // namespace
