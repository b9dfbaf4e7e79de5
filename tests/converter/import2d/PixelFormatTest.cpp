// Format letters, pixel encoding and the modifier words, against a numpy encoding.
#include "converter/import2d/CPixelFormat.h"
#include "ImageOracle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PixelFormat, ParseTable)
{
    struct Case {
        const char* letters;
        const char* error;
        int bits;
        unsigned long red, green, blue, alpha, index;
    } cases[] = {
        {"RRRRRggggggBBBBB", nullptr, 16, 0xF800, 0x07E0, 0x001F, 0, 0},
        {"xRRRRRGGGGGBBBBB", nullptr, 16, 0x7C00, 0x03E0, 0x001F, 0, 0},
        {"ArrrrrGGGGGbbbbb", nullptr, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0},
        {"IIIIIIII", nullptr, 8, 0, 0, 0, 0, 0xFF},
        {"IIII", nullptr, 4, 0, 0, 0, 0, 0xF},
        {"AAAAIIII", nullptr, 8, 0, 0, 0, 0xF0, 0x0F},
        {"RRRRR", nullptr, 8, 0x1F, 0, 0, 0, 0},
        {"AAAAAAAABBBBBBBBGGGGGGGGRRRRRRRR", nullptr, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0},
        {"", "Null input string!", 0, 0, 0, 0, 0, 0},
        {"?RGB", "Null input string!", 0, 0, 0, 0, 0, 0},
        {"RGB", "Too few bits!", 3, 4, 2, 1, 0, 0},
        {"XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX", "Too many bits!", 40, 0, 0, 0, 0, 0},
        {"IIIIRRRR", "Cannot have Index and RGB types", 8, 0xF, 0, 0, 0, 0xF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters);
        CPixelFormat format;
        const char* error = format.Parse(c.letters);
        EXPECT_STREQ(error, c.error);
        EXPECT_EQ(format.BitCount, c.bits);
        EXPECT_EQ(format.RedMask, c.red);
        EXPECT_EQ(format.GreenMask, c.green);
        EXPECT_EQ(format.BlueMask, c.blue);
        EXPECT_EQ(format.AlphaMask, c.alpha);
        EXPECT_EQ(format.IndexMask, c.index);
    }
    CPixelFormat blank;
    EXPECT_EQ(blank.Parse(nullptr), nullptr);
    EXPECT_EQ(blank.BitCount, 0);
}

TEST(PixelFormat, EncodingWidthsAndByteOrders)
{
    unsigned char out[8] = {};
    CPixelFormat rgb565("RRRRRggggggBBBBB");
    EXPECT_EQ(rgb565.EncodePixel(out, CPixel(0x80, 0, 0, 0)), out + 2);
    EXPECT_EQ(out[0] | out[1] << 8, 0x8000);
    rgb565.EncodePixel(out, CPixel(255, 255, 255, 7));
    EXPECT_EQ(out[0] | out[1] << 8, 0xFFFF);

    CPixelFormat nibbles("IIII");
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(nibbles.EncodePixel(out, CPixel(0, 0, 0, 0x30)), out);
    EXPECT_EQ(nibbles.EncodePixel(out, CPixel(0, 0, 0, 0xA0)), out + 1);
    EXPECT_EQ(out[0], 0xA3);

    CPixelFormat rgb24("RRRRRRRRGGGGGGGGBBBBBBBB");
    EXPECT_EQ(rgb24.EncodePixel(out, CPixel(1, 2, 3, 0)), out + 3);
    EXPECT_EQ(out[0], 1); // most significant byte first
    EXPECT_EQ(out[2], 3);

    CPixelFormat fill("AFFFFFFF"); // alpha bit 7 in A, bits 6-0 in the fill bits
    fill.EncodePixel(out, CPixel(0, 0, 0, 0xC1));
    EXPECT_EQ(out[0], 0xC1);

    unsigned char working[4];
    CPixelFormat(CPixelFormat::Working()).EncodePixel(working, CPixel(1, 2, 3, 4));
    EXPECT_EQ(working[0], 1);
    EXPECT_EQ(working[3], 4);

    EXPECT_EQ(RowBytes(3, 4), 2u);
    EXPECT_TRUE(CPixelFormat("ArrrrrGGGGGbbbbb").IsAlpha1());
    EXPECT_TRUE(CPixelFormat("AAAArrrrGGGGbbbb").IsAlpha());
}

TEST(PixelFormat, BlankFormatStopsAtFirstPixel)
{
    CPixelFormat blank;
    blank.Parse(nullptr);
    unsigned char out[4];
    EXPECT_EXIT(
        {
            dup2(2, 1);
            blank.EncodePixel(out, CPixel());
        },
        testing::ExitedWithCode(3), "Bad pixel format given\nBitmap,");
}

TEST(PixelFormat, ConvertedImageEqualsNumpyEncoding)
{
    ImageOracle oracle;
    CzBitmap bitmap;
    FillPattern(bitmap, 33, 17);
    oracle.WriteRaw("in.rgba", bitmap);
    for (const char* letters : {"RRRRRggggggBBBBB", "ArrrrrGGGGGbbbbb", "AAAArrrrGGGGbbbb", "xRRRRRGGGGGBBBBB"}) {
        SCOPED_TRACE(letters);
        ASSERT_TRUE(oracle.Run(std::string("encode ") + oracle.Path("in.rgba") + " 33 17 " + letters + " " +
                               oracle.Path("out.bin")));
        CPixelFormat format(letters);
        const unsigned char* ours = bitmap.ConvertToFormat(nullptr, format);
        std::vector<unsigned char> expected = oracle.ReadRaw("out.bin");
        ASSERT_EQ(expected.size(), 33u * 17 * 2);
        EXPECT_EQ(std::vector<unsigned char>(ours, ours + expected.size()), expected);
    }
}

TEST(FormatSpecifier, ModifiersMergeAndCopy)
{
    CFormatSpecifier a, b;
    EXPECT_EQ(a.Filter, CFormatSpecifier::ValueBit);
    EXPECT_EQ(a.Screen, 0u);
    CFormatSpecifier::SetModifier(b.Screen, true);
    CFormatSpecifier::SetModifier(a.Filter, false);
    CFormatSpecifier::SetModifier(b.Filter, true);
    a.Merge(b);
    EXPECT_EQ(a.Screen, CFormatSpecifier::ExplicitBit | CFormatSpecifier::ValueBit);
    EXPECT_EQ(a.Filter, CFormatSpecifier::ExplicitBit); // its own explicit value stays
    EXPECT_EQ(a.ExplicitFormat, 1);
    CFormatSpecifier c;
    c = b;
    EXPECT_EQ(c.Screen, b.Screen);
    EXPECT_EQ(c.ExplicitFormat, 1);
}

} // namespace
