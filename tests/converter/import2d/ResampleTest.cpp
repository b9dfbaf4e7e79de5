// The resampler against numpy (box reductions, exact) and Pillow (triangle and Catmull-Rom,
// within one step), and the filters' edge behaviour.
#include "converter/import2d/CzBitmap.h"
#include "ImageOracle.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

enum { Point = 0, Box = 1, Triangle = 2, Catrom = 5, Sinc = 7 };

int LargestDifference(const CzBitmap& bitmap, const std::vector<unsigned char>& expected)
{
    const unsigned char* ours = reinterpret_cast<const unsigned char*>(bitmap.Pixels());
    int worst = 0;
    for (size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::abs(int(ours[i]) - int(expected[i])));
    return expected.size() == size_t(bitmap.GetWidth()) * bitmap.GetHeight() * 4 ? worst : 999;
}

TEST(Resample, BoxReductionsEqualNumpyBlockMeans)
{
    ImageOracle oracle;
    for (int factor : {2, 4}) {
        CzBitmap bitmap;
        FillPattern(bitmap, 512, 256);
        oracle.WriteRaw("in.rgba", bitmap);
        ASSERT_TRUE(oracle.Run("boxmean " + oracle.Path("in.rgba") + " 512 256 " + std::to_string(factor) + " " +
                               oracle.Path("out.rgba")));
        bitmap.Resample(512 / factor, 256 / factor, Box, Box);
        EXPECT_EQ(LargestDifference(bitmap, oracle.ReadRaw("out.rgba")), 0) << "factor " << factor;
    }
}

// Pillow rounds and clamps to bytes between its passes, so overshoot at hard edges differs by
// design; a smooth image keeps both within range.
void SmoothPattern(CzBitmap& bitmap, int width, int height)
{
    bitmap.Allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.At(x, y) =
                CPixel(static_cast<unsigned char>(128 + 90 * std::sin(x * 0.11)),
                       static_cast<unsigned char>(128 + 90 * std::cos(y * 0.07 + x * 0.03)),
                       static_cast<unsigned char>((x + y) % 200 + 20), static_cast<unsigned char>(y + 50));
}

TEST(Resample, TriangleAndCatromWithinOneOfPillow)
{
    ImageOracle oracle;
    struct Case {
        int filter;
        const char* pillow;
        int width, height;
    } cases[] = {{Triangle, "bilinear", 128, 64},
                 {Catrom, "bicubic", 128, 64},
                 {Triangle, "bilinear", 100, 30},
                 {Catrom, "bicubic", 77, 50},
                 {Catrom, "bicubic", 300, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pillow) + " " + std::to_string(c.width));
        CzBitmap bitmap;
        SmoothPattern(bitmap, 256, 128);
        oracle.WriteRaw("in.rgba", bitmap);
        ASSERT_TRUE(oracle.Run("resize " + oracle.Path("in.rgba") + " 256 128 " + std::to_string(c.width) + " " +
                               std::to_string(c.height) + " " + c.pillow + " " + oracle.Path("out.rgba")));
        bitmap.Resample(c.width, c.height, c.filter, c.filter);
        EXPECT_LE(LargestDifference(bitmap, oracle.ReadRaw("out.rgba")), 1);
    }
}

TEST(Resample, AlphaFilterAndClamping)
{
    CzBitmap bitmap;
    bitmap.Allocate(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            bitmap.At(x, y) = x < 8 ? CPixel(0, 0, 0, 0) : CPixel(255, 255, 255, 255);
    CzBitmap copy;
    copy = bitmap;
    copy.Resample(11, 11, Catrom, Point);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) {
            const unsigned char a = copy.At(x, y).A;
            EXPECT_TRUE(a == 0 || a == 255) << x; // alpha never blended
        }
    bitmap.Resample(40, 40, Sinc, Sinc); // negative lobes at a hard edge clamp, never wrap
    EXPECT_EQ(bitmap.At(0, 0).R, 0);
    EXPECT_EQ(bitmap.At(39, 0).R, 255);

    CzBitmap point;
    FillPattern(point, 8, 8);
    const CPixel source = point.At(4, 2); // output (2, 1) centres on source (5, 3), its window holds (4, 2)
    point.Resample(4, 4, Point, Point);
    EXPECT_EQ(point.At(2, 1), source);
    point.Resample(0, 4, Box, Box); // refused
    EXPECT_EQ(point.GetWidth(), 4);
}

} // namespace
