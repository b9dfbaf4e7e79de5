// PixelFormat, Gamma and ColorCorrect statements run through the interpreter: the default
// script's formats take effect, colour correction reaches every format, and each statement
// starts from the NOALPHA format with default modifiers.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ChParser.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/ConsoleOutput.h"

#include "ZelFiles.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace zelfiles;

namespace {

TEST(FormatCommands, DefaultFormatsAndColourCorrectionTakeEffect)
{
    const std::string folder = ScratchFolder();
    std::ofstream(folder + "/formats.rhu") << "NoCompression\nColorCorrect Gamma=2.5 HSV+=10,0,0 HSV*=1,0.5,1\n";
    VerboseLevel = 0;
    TypeDatabase.Reset();
    LoadTypeResource("RhuTypes");
    CDatabase database;
    {
        CRhuParser parser;
        parser.Run(&database, (folder + "/formats.rhu").c_str(), (folder + "/formats.zel").c_str(), {"PCX"}, true);
    }
    TypeDatabase.Reset();
    const CPixelFormat& noAlpha = database.PixelFormats[0];
    EXPECT_EQ(noAlpha.BitCount, 16);
    EXPECT_EQ(noAlpha.RedMask, 0xF800u);
    EXPECT_EQ(database.PixelFormats[1].AlphaMask, 0x8000u);
    EXPECT_EQ(database.PixelFormats[1].AlphaKind, CPixelFormat::ALPHA1);
    EXPECT_EQ(database.PixelFormats[2].AlphaMask, 0xF000u);
    const CPixelFormat* formats[] = {&database.PixelFormats[0], &database.PixelFormats[1], &database.PixelFormats[2],
                                     &database.CurrentFormat};
    for (const CPixelFormat* format : formats) {
        EXPECT_FLOAT_EQ(format->Gamma, 2.5f);
        EXPECT_FLOAT_EQ(format->HSVAdd[0], 10.0f);
        EXPECT_FLOAT_EQ(format->HSVMultiply[1], 0.5f);
    }
    // The last statement reset the specifier to the NOALPHA format and default modifiers.
    EXPECT_EQ(database.CurrentFormat.RedMask, 0xF800u);
    EXPECT_EQ(database.CurrentFormat.ExplicitFormat, 0);
    EXPECT_EQ(database.CurrentFormat.Filter, CFormatSpecifier::ValueBit);
}

TEST(FormatCommands, UpdateFormatKeywords)
{
    CDatabase database;
    database.PixelFormats[2].Parse("AAAArrrrGGGGbbbb");
    CFormatSpecifier specifier;
    database.UpdateFormat(specifier, "alpha");
    EXPECT_EQ(specifier.AlphaMask, 0xF000u);
    EXPECT_EQ(specifier.ExplicitFormat, 1);
    database.UpdateFormat(specifier, "WORLD");
    EXPECT_EQ(specifier.Screen, CFormatSpecifier::ExplicitBit);
    database.UpdateFormat(specifier, "Bilinear=Off");
    EXPECT_EQ(specifier.Filter, CFormatSpecifier::ExplicitBit);
    EXPECT_EXIT((dup2(2, 1), database.UpdateFormat(specifier, "SHINY")), testing::ExitedWithCode(3),
                "Bad string passed to CDatabase::UpdateFormat:\nSHINY");
}

} // namespace
