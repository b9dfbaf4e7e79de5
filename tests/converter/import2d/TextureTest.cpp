// Textures and data maps: the converter writes real and Pillow-made images and an independent
// Python reader compares every level with its own encoding of Pillow's pixels; mip chains and
// drops; statements that stop the conversion; sprite pages.
#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ChParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/TambleElements.h"
#include "converter/import2d/CdbSpriteTexture.h"
#include "converter/import2d/CdbTexture.h"

#include "FatalTest.h"
#include "ZelFiles.h"

#include "core/riff/CZRiffFile.h"
#include "engine/include/ZelFormat.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>

using namespace zelfiles;
using mgtest::CommandResult;

namespace {

const std::string RealImages = std::string(MG_TESTDATA_DIR) + "/lightwave/lwo2";

class TextureRun : public testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) { std::ofstream(Folder + "/" + name) << text; }

    void Make(const std::string& name, int width, int height, const char* kind, int seed = 1)
    {
        ASSERT_EQ(Python("make '" + Folder + "/" + name + "' " + std::to_string(width) + " " + std::to_string(height) +
                         " " + kind + " " + std::to_string(seed))
                      .exitCode,
                  0);
    }

    CommandResult Convert() { return mgtest::RunCommand("cd '" + Folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1"); }

    CommandResult Python(const std::string& arguments)
    {
        return mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/texture_check.py " +
                                  arguments + " 2>&1");
    }

    std::string Check(const std::string& label, const std::string& image, const std::string& format,
                      const std::string& filter = "")
    {
        return Python("check '" + Folder + "/main.zel' " + label + " '" + Folder + "/" + image + "' " + format + " " +
                      filter)
            .output;
    }

    std::string Folder = ScratchFolder();
};

bool HaveRealImages()
{
    struct stat status;
    return stat((RealImages + "/boxuv.png").c_str(), &status) == 0;
}

TEST_F(TextureRun, RealImagesWriteTheirPixelsInEachFormat)
{
    if (!HaveRealImages())
        GTEST_SKIP() << "missing " << RealImages;
    for (const char* name : {"boxuv.png", "uvtest.png", "white.bmp"})
        ASSERT_EQ(mgtest::RunCommand("cp '" + RealImages + "/" + name + "' '" + Folder + "/'").exitCode, 0);
    Write("main.rhu", "NoCompression\n"
                      "Texture Box boxuv.png\n"
                      "Texture uvtest.png alpha\n"
                      "Texture White white.bmp alpha1\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Check("Box", "boxuv.png", "565"), "Box 512x512 bits 16 mips 1 flags 0 palette 0\n"
                                                "level 0 512x512 equal\n");
    EXPECT_EQ(Check("uvtest_png", "uvtest.png", "4444"), "uvtest_png 512x512 bits 16 mips 1 flags 2 palette 0\n"
                                                         "level 0 512x512 equal\n");
    EXPECT_EQ(Check("White", "white.bmp", "1555"), "White 1x1 bits 16 mips 1 flags 4 palette 0\n"
                                                   "level 0 1x1 equal\n");
}

TEST_F(TextureRun, MipChainsAndDropsAsTheStatementsAsk)
{
    Make("rgb16.png", 16, 16, "rgb");
    Make("alpha32.tga", 32, 32, "alpha1", 2);
    Make("p256.png", 256, 256, "rgb", 3);
    Write("main.rhu", "NoCompression\n"
                      "Texture Chain rgb16.png MIPS=ON MIPFILTER=1\n"
                      "Texture Alpha alpha32.tga alpha1 MIPS=OFF\n"
                      "Texture Forced p256.png FORCEMIPDROP=2\n"
                      "Texture Dropped p256.png MIPS=ON FORCEMIPDROP=1 MIPDROP=1\n"
                      "Texture Smallest p256.png FORCEMIPDROP=9 MIPDROP=0\n"
                      "Texture Full p256.png FORCEMIPDROP=0 MIPFILTER=2\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Check("Chain", "rgb16.png", "565", "box"), "Chain 16x16 bits 16 mips 3 flags 0 palette 0\n"
                                                         "level 0 16x16 equal\n"
                                                         "level 1 8x8 equal\n"
                                                         "level 2 4x4 equal\n");
    // Options carry on to later statements until changed: Alpha turns mips off for itself and
    // Forced, Dropped turns them on again.
    EXPECT_EQ(Check("Alpha", "alpha32.tga", "1555"), "Alpha 32x32 bits 16 mips 1 flags 4 palette 0\n"
                                                     "level 0 32x32 equal\n");
    EXPECT_EQ(Check("Forced", "p256.png", "565"), "Forced 64x64 bits 16 mips 1 flags 0 palette 0\n"
                                                  "level 0 64x64\n");
    EXPECT_EQ(Check("Dropped", "p256.png", "565"), "Dropped 64x64 bits 16 mips 5 flags 0 palette 0\n"
                                                   "level 0 64x64\nlevel 1 32x32\nlevel 2 16x16\n"
                                                   "level 3 8x8\nlevel 4 4x4\n");
    EXPECT_EQ(Check("Smallest", "p256.png", "565"), "Smallest 4x4 bits 16 mips 1 flags 0 palette 0\n"
                                                    "level 0 4x4\n");
    const std::string full = Check("Full", "p256.png", "565");
    EXPECT_EQ(full.substr(0, full.find("level 1")), "Full 256x256 bits 16 mips 7 flags 0 palette 0\n"
                                                    "level 0 256x256 equal\n");
}

TEST_F(TextureRun, MipColouringAndDataMaps)
{
    Make("p8.png", 8, 8, "rgba", 4);
    Write("main.rhu", "NoCompression\n"
                      "Texture Coloured p8.png MIPS=ON MIPCOLOR=ON\n"
                      "DataMap Heights p8.png\n"
                      "DataMap Colours p8.png TYPE=Color\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Level 0 is pure blue, level 1 (0, 85, 170), whatever the image: 565 words 001f and 02b5.
    EXPECT_EQ(Python("levels '" + Folder + "/main.zel' Coloured").output, "level 0 8x8 001f\nlevel 1 4x4 02b5\n");
    EXPECT_EQ(Python("map '" + Folder + "/main.zel' Heights '" + Folder + "/p8.png'").output,
              "Heights 8x8 dimension 1 equal\n");
    EXPECT_EQ(Python("map '" + Folder + "/main.zel' Colours '" + Folder + "/p8.png'").output,
              "Colours 8x8 dimension 4 equal\n");
}

TEST_F(TextureRun, IndexedFormatsWriteTheirPalette)
{
    Make("few.png", 8, 8, "rgb", 5);
    Write("main.rhu", "NoCompression\n"
                      "PixelFormat NOALPHA=IIIIIIII\n"
                      "Texture Indexed few.png\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Python("indexed '" + Folder + "/main.zel' Indexed '" + Folder + "/few.png'").output,
              "Indexed 8x8 bits 8 mips 1 entries 256 of 32 bits equal\n");
}

TEST_F(TextureRun, ExternAndImplicitOffWriteNothing)
{
    Make("p4.png", 4, 4, "rgb");
    Write("main.rhu", "NoCompression\n"
                      "Texture Shown p4.png\n"
                      "Texture Hidden p4.png EXTERN\n"
                      "ImplicitTextures=OFF\n"
                      "Texture Off p4.png\n"
                      "Texture Shown\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(Check("Shown", "p4.png", "565").find("level 0 4x4 equal"), std::string::npos);
    EXPECT_EQ(Check("Hidden", "p4.png", "565"), "no public record Hidden\n");
    EXPECT_EQ(Check("Off", "p4.png", "565"), "no public record Off\n");
}

// Each bad statement stops the conversion naming the script line and the file or texture, and
// the file of the previous conversion stays as it was.
TEST_F(TextureRun, RefusedImagesNameTheLineAndKeepThePreviousFile)
{
    Make("good.png", 4, 4, "rgb");
    Make("oblong.png", 256, 128, "rgb");
    Make("wide.png", 2049, 8, "rgb");
    Write("garbage.png", "not an image at all");
    ASSERT_EQ(mgtest::RunCommand(std::string(MG_PYTHON) + " -c \"from PIL import Image; Image.new('1', (8, 8)).save('" +
                                 Folder + "/mono.bmp')\"")
                  .exitCode,
              0);
    Write("main.rhu", "NoCompression\nTexture Good good.png\n");
    ASSERT_EQ(Convert().exitCode, 0);
    const Bytes previous = ReadAll(Folder + "/main.zel");
    const struct {
        const char* statement;
        const char* message;
    } cases[] = {
        {"Texture Gone missing.png", "missing.png"},
        {"Texture Junk garbage.png", "garbage.png"},
        {"Texture Mono mono.bmp", "Invalid bits/pixel\nmono.bmp"},
        {"Texture Oblong oblong.png", "Texture Oblong is not square."},
        {"Texture Wide wide.png", "Texture Wide is too wide."},
        {"Texture Good", "Failed search for existing texture labelled Good"},
    };
    for (const auto& bad : cases) {
        Write("main.rhu", std::string("NoCompression\nString A \"a\"\n") + bad.statement + "\n");
        const CommandResult run = Convert();
        EXPECT_EQ(run.exitCode, 3) << bad.statement << "\n" << run.output;
        EXPECT_NE(run.output.find("main.rhu(3)"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(bad.message), std::string::npos) << run.output;
        EXPECT_EQ(ReadAll(Folder + "/main.zel"), previous) << bad.statement;
        struct stat status;
        EXPECT_NE(stat((Folder + "/main.zel.temp").c_str(), &status), 0) << bad.statement;
    }
}

TEST(TextureLevels, ChainsEndBelowFourAndXboxOrderInterleaves)
{
    const int sizes[][2] = {{256, 7}, {2048, 10}, {4, 1}, {3, 1}, {2, 1}, {8, 2}, {1, 1}};
    for (const auto& size : sizes)
        EXPECT_EQ(CdbTexture::LevelCount(size[0], size[0]), size[1]) << size[0];
    // Square sides interleave x into the even bits and y into the odd ones; an oblong side's
    // extra bits follow above the shorter side's.
    for (const int width : {8, 4}) {
        const int height = 4;
        std::vector<unsigned char> pixels(size_t(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>(i);
        CdbTexture::MortonOrder(pixels.data(), width, height, 1);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                unsigned to = 0;
                for (int bit = 0; bit < 2; ++bit)
                    to |= ((x >> bit) & 1u) << (2 * bit) | ((y >> bit) & 1u) << (2 * bit + 1);
                to |= unsigned(x >> 2) << 4;
                EXPECT_EQ(pixels[to], y * width + x) << width << " " << x << "," << y;
            }
    }
}

// A frame whose pixels tell where they came from: (shade, x, y, 255).
std::unique_ptr<CzBitmap> Frame(int width, int height, unsigned char shade)
{
    std::unique_ptr<CzBitmap> frame(new CzBitmap);
    frame->Allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame->At(x, y) = CPixel(shade, static_cast<unsigned char>(x), static_cast<unsigned char>(y), 255);
    return frame;
}

TEST(SpritePage, FramesPackFirstFitWithRepeatedBorders)
{
    CDatabase database;
    CdbSpriteTexture* page = new CdbSpriteTexture("Page", &database);
    CFormatSpecifier format;
    float uv[4];
    auto first = Frame(126, 126, 10), second = Frame(126, 126, 20), third = Frame(126, 126, 30);
    ASSERT_TRUE(page->AddImage(*first, uv, format));
    EXPECT_FLOAT_EQ(uv[0], 1 / 256.0f);
    EXPECT_FLOAT_EQ(uv[3], 127 / 256.0f);
    ASSERT_TRUE(page->AddImage(*second, uv, format));
    EXPECT_FLOAT_EQ(uv[0], 129 / 256.0f);
    EXPECT_FLOAT_EQ(uv[1], 1 / 256.0f);
    ASSERT_TRUE(page->AddImage(*third, uv, format));
    EXPECT_FLOAT_EQ(uv[0], 1 / 256.0f);
    EXPECT_FLOAT_EQ(uv[1], 129 / 256.0f);
    EXPECT_EQ(page->GetFreeCount(), 65536 - 3 * 126 * 126);
    CzBitmap& pixels = page->GetBitmap();
    EXPECT_EQ(pixels.At(129, 1), CPixel(20, 0, 0, 255));       // the second frame's first pixel
    EXPECT_EQ(pixels.At(128, 0), CPixel(20, 0, 0, 255));       // its border corner repeats it
    EXPECT_EQ(pixels.At(255, 127), CPixel(20, 125, 125, 255)); // and its far corner
    EXPECT_EQ(pixels.At(0, 128), CPixel(30, 0, 0, 255));
    // A frame of another pixel format belongs on another page.
    CFormatSpecifier other;
    other.Parse("RRRRRggggggBBBBB");
    auto small = Frame(4, 4, 40);
    EXPECT_FALSE(page->AddImage(*small, uv, other));
    // With four frames the quick count still passes for a fifth (65536 - 4 * 15876 pixels are
    // counted free) but every pixel is taken.
    auto fourth = Frame(126, 126, 50);
    EXPECT_TRUE(page->AddImage(*fourth, uv, format));
    auto fifth = Frame(20, 20, 60);
    EXPECT_FALSE(page->AddImage(*fifth, uv, format));
}

TEST(SpritePage, LargestFrameFillsAPageAndLargerIsFatal)
{
    CDatabase database;
    CdbSpriteTexture* page = new CdbSpriteTexture("Page", &database);
    CFormatSpecifier format;
    float uv[4];
    auto whole = Frame(254, 254, 1);
    EXPECT_TRUE(page->AddImage(*whole, uv, format));
    EXPECT_FLOAT_EQ(uv[2], 255 / 256.0f);
    auto tiny = Frame(1, 1, 2);
    EXPECT_FALSE(page->AddImage(*tiny, uv, format));
    CdbSpriteTexture* next = new CdbSpriteTexture("Next", &database);
    auto wide = Frame(255, 4, 3), tall = Frame(4, 255, 3);
    EXPECT_FATAL(next->AddImage(*wide, uv, format), "Sprite Texture Next is too wide.");
    EXPECT_FATAL(next->AddImage(*tall, uv, format), "Sprite Texture Next is too tall.");
}

// A texture read back from a chunk file into a database that already holds a texture of its
// label is renamed and written as a repeat of that texture.
TEST(TextureElement, ReloadedTextureOfATakenLabelIsShared)
{
    VerboseLevel = 0;
    const std::string folder = ScratchFolder();
    const std::string path = folder + "/textures.riff";
    const auto image = Frame(4, 4, 7);
    {
        CDatabase saved;
        CdbTexture* texture = new CdbTexture("Tex", &saved);
        texture->LoadAbsolute(*image, saved.CurrentFormat, true);
        CZRiffFile riff;
        ASSERT_NE(riff.Create(path.c_str(), CZRiffFile::MakeFourCC("TEST")), nullptr);
        saved.Save(riff, 4);
        riff.Close();
    }
    CDatabase database;
    CdbTexture* first = new CdbTexture("Tex", &database);
    first->LoadAbsolute(*Frame(4, 4, 9), database.CurrentFormat, true);
    {
        CZRiffFile riff;
        ASSERT_NE(riff.Open(path.c_str(), CZRiffFile::MakeFourCC("TEST")), nullptr);
        database.LoadElements(riff, 4);
    }
    CdbTexture* copy = dynamic_cast<CdbTexture*>(database.FindElement("Tex_000"));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->IsShared());
    EXPECT_STREQ(copy->GetSharedLabel(), "Tex");
    EXPECT_EQ(copy->GetBitmap().At(3, 2), image->At(3, 2));
    EXPECT_EQ(copy->GetSpecifier().BitCount, database.CurrentFormat.BitCount);

    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    {
        CZelWriter writer;
        writer.Open((folder + "/main.zel").c_str());
        writer.BeginList(ZelFormat::kBlockPcx);
        database.Dump(writer, false);
        writer.EndList();
        writer.Finish();
    }
    TypeDatabase.Reset();
    const CommandResult run =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/texture_check.py shared '" +
                           folder + "/main.zel' Tex_000 Tex");
    EXPECT_EQ(run.output, "Tex_000 shared 1 repeats yes\n");
}

// A texture-sharing tool's file: its textures load through the TambleMap command and are
// written as the script's own; an "Mhdr" after the elements leaves them at version 4 (which
// reads no texture word); a file of another form is refused.
TEST(TambleMap, TexturesOfTheFileAreWrittenAndOtherFilesRefused)
{
    VerboseLevel = 0;
    const std::string folder = ScratchFolder();
    {
        CDatabase saved;
        CTambleTexture* texture = new CTambleTexture("Ground", &saved);
        texture->LoadAbsolute(*Frame(8, 8, 3), saved.CurrentFormat, true);
        CZRiffFile riff;
        ASSERT_NE(riff.Create((folder + "/ground.tmb").c_str(), CZRiffFile::MakeFourCC("TMBL")), nullptr);
        riff.Descend(CZRiffFile::MakeFourCC("path"), 0, false);
        riff.WriteString("maps");
        riff.Ascend();
        riff.Descend(CZRiffFile::MakeFourCC("LIST"), CZRiffFile::MakeFourCC("dbse"), false);
        saved.Save(riff, 4);
        riff.Ascend();
        const unsigned long later = 5;
        riff.Descend(CZRiffFile::MakeFourCC("Mhdr"), 0, false);
        riff.Write(&later, 4);
        riff.Ascend();
        riff.Close();
    }
    std::ofstream(folder + "/main.rhu") << "NoCompression\nTambleMap ground.tmb\n";
    CommandResult run = mgtest::RunCommand("cd '" + folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check =
        mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/texture_check.py levels '" +
                           folder + "/main.zel' Ground 2>&1");
    EXPECT_EQ(check.output.rfind("level 0 8x8 ", 0), 0u) << check.output;

    std::ofstream(folder + "/main.rhu") << "TambleMap main.rhu\n";
    run = mgtest::RunCommand("cd '" + folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("Bad RIFF open"), std::string::npos) << run.output;
}

} // namespace
