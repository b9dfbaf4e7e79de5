// CzBitmap: image files in and out (Pillow as the independent reader), the fatal reports of bad
// files, and the rectangle operations.
#include "converter/import2d/CzBitmap.h"
#include "ImageOracle.h"

#include "core/riff/CZRiffFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

std::vector<unsigned char> PixelBytes(const CzBitmap& bitmap)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bitmap.Pixels());
    return {p, p + size_t(bitmap.GetWidth()) * bitmap.GetHeight() * 4};
}

TEST(Bitmap, ImagesLoadAsPillowDecodesThemAndDiagnosticTgaReadsBack)
{
    ImageOracle oracle;
    const std::string fixtures = std::string(MG_TESTS_DIR) + "/compat/imaging/imaging_oracle.py";
    ASSERT_EQ(std::system((std::string(MG_PYTHON) + " " + fixtures + " make " + oracle.Path("")).c_str()), 0);
    for (const char* name : {"rgba.png", "grey.png", "palette8.png", "rgb.bmp", "rgba_rle.tga", "palette.gif"}) {
        SCOPED_TRACE(name);
        CzBitmap bitmap;
        ASSERT_EQ(bitmap.Load(oracle.Path(name).c_str()), 0);
        EXPECT_EQ(bitmap.GetWidth(), 37);
        EXPECT_EQ(PixelBytes(bitmap), oracle.ReadRaw(std::string(name) + ".rgba"));
    }
    CzBitmap bitmap;
    FillPattern(bitmap, 19, 7);
    ASSERT_EQ(bitmap.Save(oracle.Path("diag.tga").c_str()), 0);
    ASSERT_TRUE(oracle.Run("rgba " + oracle.Path("diag.tga") + " " + oracle.Path("diag.rgba")));
    EXPECT_EQ(oracle.ReadRaw("diag.rgba"), PixelBytes(bitmap));
}

TEST(Bitmap, RealTextureImagesLoad)
{
    const std::string folder = std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2";
    struct stat status;
    if (stat(folder.c_str(), &status) != 0)
        GTEST_SKIP() << "missing " << folder;
    ImageOracle oracle;
    for (const char* name : {"boxuv.png", "white.bmp"}) {
        CzBitmap bitmap;
        ASSERT_EQ(bitmap.Load((folder + "/" + name).c_str()), 0);
        ASSERT_TRUE(oracle.Run("rgba " + folder + "/" + name + " " + oracle.Path("out.rgba")));
        EXPECT_EQ(PixelBytes(bitmap), oracle.ReadRaw("out.rgba")) << name;
    }
}

TEST(Bitmap, BadFilesStopWithTheToolkitMessage)
{
    ImageOracle oracle;
    const std::string fixtures = std::string(MG_TESTS_DIR) + "/compat/imaging/imaging_oracle.py";
    ASSERT_EQ(std::system((std::string(MG_PYTHON) + " " + fixtures + " make " + oracle.Path("")).c_str()), 0);
    const std::string four = oracle.Path("four.bmp"), text = oracle.Path("not_an_image.png");
    const std::string missing = oracle.Path("missing.png");
    CzBitmap bitmap;
    EXPECT_EXIT((dup2(2, 1), bitmap.Load(four.c_str())), testing::ExitedWithCode(3),
                "Bitmap error!\nInvalid bits/pixel\n.*four.bmp");
    EXPECT_EXIT((dup2(2, 1), bitmap.Load(text.c_str())), testing::ExitedWithCode(3),
                "Bitmap error!\nInvalid file format\n.*not_an_image.png");
    EXPECT_EXIT((dup2(2, 1), bitmap.Load(missing.c_str())), testing::ExitedWithCode(3),
                "Bitmap error!\nFile not found\n.*missing.png");

    // With the switch off the failure is returned and the bitmap stays empty.
    CzBitmap::ErrorSwitch = 0;
    EXPECT_EQ(bitmap.Load(four.c_str()), 1);
    EXPECT_EQ(bitmap.GetResult(), -27);
    EXPECT_FALSE(bitmap.HasPixels());
    CzBitmap::ErrorSwitch = 1;
}

TEST(Bitmap, CropCopyPasteFillAndAverage)
{
    CzBitmap empty;
    empty.Crop(0, 0, 256, 256);
    EXPECT_EQ(empty.GetWidth(), 256);
    EXPECT_EQ(empty.At(255, 255), CPixel::Zero);

    CzBitmap image;
    FillPattern(image, 8, 6);
    const CPixel corner = image.At(5, 4);
    CzBitmap shifted;
    image.CopyRegion(shifted, 0, 0, 8, 6);
    shifted.Crop(2, 1, 10, 7); // same size, moved: the overlap shifts, the rest is zero
    EXPECT_EQ(shifted.At(3, 3), corner);
    EXPECT_EQ(shifted.At(7, 5), CPixel::Zero);
    CzBitmap negative;
    image.CopyRegion(negative, 0, 0, 8, 6);
    negative.Crop(-2, -1, 4, 3);
    EXPECT_EQ(negative.At(0, 0), CPixel::Zero);
    EXPECT_EQ(negative.At(2, 1), image.At(0, 0));

    CzBitmap tile, page;
    tile.Allocate(2, 2);
    tile.At(0, 0) = CPixel(1, 0, 0, 255);
    tile.At(1, 0) = CPixel(2, 0, 0, 255);
    tile.At(0, 1) = CPixel(3, 0, 0, 255);
    tile.At(1, 1) = CPixel(4, 0, 0, 255);
    page.Allocate(5, 5);
    EXPECT_EQ(page.Paste(tile, 0, 0, 1), 0);
    EXPECT_EQ(page.At(0, 0).R, 1);
    EXPECT_EQ(page.At(3, 0).R, 2);
    EXPECT_EQ(page.At(0, 3).R, 3);
    EXPECT_EQ(page.At(3, 3).R, 4);
    EXPECT_EQ(page.At(2, 2).R, 4);
    EXPECT_EQ(page.At(4, 4), CPixel::Zero);

    RECT area{1, 1, 3, 2};
    EXPECT_EQ(page.FillRect(CPixel(9, 9, 9, 9), &area), 0);
    EXPECT_EQ(page.At(2, 1), CPixel(9, 9, 9, 9));
    EXPECT_EQ(page.At(3, 1).R, 2);

    CzBitmap clear;
    clear.Allocate(3, 3);
    EXPECT_EQ(clear.AverageColour(true), CPixel::Zero);
    EXPECT_EQ(tile.AverageColour(false), CPixel(2, 0, 0, 255)); // (1+2+3+4)/4 truncated

    const CPixel* rect = tile.GetRectangle32(&area);
    EXPECT_EQ(rect[0], tile.At(1, 1));
    EXPECT_EQ(rect[1], CPixel::Zero); // outside the image
}

} // namespace

namespace {

// A bitmap and a format specifier written to a chunk file and read back.
TEST(Bitmap, ChunkRoundTripKeepsPixelsAndModifierValues)
{
    ImageOracle oracle;
    const std::string path = oracle.Path("round.riff");
    CzBitmap image;
    FillPattern(image, 5, 3);
    CPixelFormat palettised("IIIIIIII");
    ASSERT_EQ(image.CreatePalette(palettised), 0);
    CFormatSpecifier specifier;
    specifier.Parse("ArrrrrGGGGGbbbbb");
    CFormatSpecifier::SetModifier(specifier.Screen, true);
    CFormatSpecifier::SetModifier(specifier.LerpNormals, true);
    {
        CZRiffFile riff;
        ASSERT_NE(riff.Create(path.c_str(), CZRiffFile::MakeFourCC("TEST")), nullptr);
        ASSERT_NE(riff.Descend(CZRiffFile::MakeFourCC("bmap"), 0, true), nullptr);
        ASSERT_EQ(image.Save(riff), 0);
        specifier.Save(riff);
        riff.Ascend();
        riff.Close();
    }
    CZRiffFile riff;
    ASSERT_NE(riff.Open(path.c_str(), CZRiffFile::MakeFourCC("TEST")), nullptr);
    ASSERT_NE(riff.Descend(CZRiffFile::MakeFourCC("bmap"), 0, true), nullptr);
    CzBitmap loaded;
    ASSERT_EQ(loaded.Load(riff), 0);
    CFormatSpecifier back;
    ASSERT_TRUE(back.Load(riff));
    EXPECT_EQ(loaded.GetWidth(), 5);
    EXPECT_EQ(loaded.GetHeight(), 3);
    EXPECT_EQ(PixelBytes(loaded), PixelBytes(image));
    EXPECT_FALSE(loaded.HasPalette());
    EXPECT_EQ(CzBitmap::ErrorSwitch, 1);
    EXPECT_EQ(back.BitCount, 16);
    EXPECT_EQ(back.AlphaMask, 0x8000u);
    EXPECT_TRUE(CFormatSpecifier::Value(back.Screen));
    EXPECT_FALSE(CFormatSpecifier::Value(back.LerpNormals)); // not stored
    EXPECT_TRUE(CFormatSpecifier::Value(back.ViewScale));    // not stored: keeps its value
}

} // namespace
