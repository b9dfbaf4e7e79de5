// Sounds, sprites, fonts and logos through whole converter runs: WAV files made by Python's wave
// module and real recordings go in, and an independent reader compares the samples with the
// wave module's reading; Pillow-made sheets with control marks and a font strip give the frame
// records their marks say; damaged input stops the conversion naming the file.
#include "ZelFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace zelfiles;
using mgtest::CommandResult;

namespace {

const std::string RealWavs = std::string(MG_TESTDATA_DIR) + "/wav";

class AssetRun : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* kind : {"wavs", "sheet marked.png", "stray stray.png", "big big.png", "font strip.png"}) {
            const std::string k = kind;
            const std::string arguments =
                k == "wavs" ? "wavs '" + Folder + "'"
                            : k.substr(0, k.find(' ')) + " '" + Folder + "/" + k.substr(k.find(' ') + 1) + "'";
            const CommandResult made = Oracle(arguments);
            ASSERT_EQ(made.exitCode, 0) << made.output;
        }
    }

    void Write(const std::string& text) { std::ofstream(Folder + "/main.rhu") << "NoCompression\n" << text; }

    CommandResult Convert() { return mgtest::RunCommand("cd '" + Folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1"); }

    CommandResult Oracle(const std::string& arguments)
    {
        return mgtest::RunCommand(std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/asset_oracle.py " +
                                  arguments + " 2>&1");
    }

    std::string Zel() const { return "'" + Folder + "/main.zel'"; }
    std::string File(const std::string& name) const { return "'" + Folder + "/" + name + "'"; }

    std::string Folder = ScratchFolder();
};

TEST_F(AssetRun, SoundSamplesHoldWhatTheWaveModuleReads)
{
    const bool real =
        mgtest::RunCommand("cp '" + RealWavs + "/Front_Center.wav' '" + RealWavs + "/Noise.wav' '" + Folder + "/' 2>&1")
            .exitCode == 0;
    Write(std::string("Sound mono8.wav\n"
                      "Sound Pair FADE=2 VOICE { stereo8.wav mono16.wav }\n"
                      "Sound stereo16.wav LOOP\n"
                      "Sound odd.wav\n"
                      "Sound Listed listed.wav\n"
                      "Sound Again { mono8.wav odd.wav }\n"
                      "Sound Streamed STREAMFILE theme.wav\n") +
          (real ? "Sound Front_Center.wav\nSound Noise.wav\n" : ""));
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const struct {
        const char* label;
        const char* fade;
        std::vector<std::string> files;
    } sounds[] = {{"mono8", "1", {"mono8.wav"}},
                  {"Pair", "2", {"stereo8.wav", "mono16.wav"}},
                  {"stereo16", "1", {"stereo16.wav"}},
                  {"odd", "1", {"odd.wav"}},
                  {"Listed", "1", {"listed.wav"}},
                  {"Again", "1", {"mono8.wav", "odd.wav"}},
                  {"Front_Center", "1", {"Front_Center.wav"}},
                  {"Noise", "1", {"Noise.wav"}}};
    for (const auto& sound : sounds) {
        const std::string label = sound.label;
        if (!real && (label == "Front_Center" || label == "Noise"))
            continue;
        std::string files;
        for (const std::string& f : sound.files)
            files += " " + File(f);
        const CommandResult check = Oracle("sound " + Zel() + " " + sound.label + " " + sound.fade + files);
        EXPECT_EQ(check.exitCode, 0) << sound.label << ": " << check.output;
    }
    const CommandResult stream = Oracle("stream " + Zel() + " Streamed theme.wav");
    EXPECT_EQ(stream.exitCode, 0) << stream.output;
    if (!real)
        GTEST_SKIP() << "missing " << RealWavs;
}

TEST_F(AssetRun, UnplayableOrDamagedWavesStopTheConversionNamingTheFile)
{
    const struct {
        const char* statement;
        const char* message;
    } cases[] = {{"Sound float.wav", "float.wav: unsupported wave format (tag 0x0003"},
                 {"Sound deep.wav", "deep.wav: unsupported wave format (tag 0x0001, 1 channels, 24 bits)"},
                 {"Sound cut.wav", "Cannot find data chunk: cut.wav"},
                 {"Sound absent.wav", "Cannot open file: absent.wav"},
                 {"Sound marked.png", "Cannot open file: marked.png"},
                 {"Sound Zero FADE=0 mono8.wav", "FADE must be greater than 0"},
                 {"Sound BASEFADE=-1", "BASEFADE must be greater than 0"}};
    for (const auto& c : cases) {
        Write(c.statement);
        const CommandResult run = Convert();
        EXPECT_EQ(run.exitCode, 3) << c.statement;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.statement << ":\n" << run.output;
    }
}

TEST_F(AssetRun, BaseFadeScalesEveryLaterSound)
{
    Write("Sound BASEFADE=4\nSound Quiet FADE=2 mono8.wav\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The oracle's fade is the product of the default base 2 and the given fade: 4 x 2 = 2 x 4.
    const CommandResult check = Oracle("sound " + Zel() + " Quiet 4 " + File("mono8.wav"));
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

TEST_F(AssetRun, SpriteMarksGiveHotSpotAttachPointsAndLargeFramesSplit)
{
    Write("Sprite Marked marked.png\nSprite Big big.png\nLogo Title marked.png\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check = Oracle("sprite " + Zel());
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

TEST_F(AssetRun, FontStripGivesItsGlyphTable)
{
    Write("Font Strip strip.png 65 4 1 2\n");
    const CommandResult run = Convert();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check = Oracle("fontcheck " + Zel());
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

TEST_F(AssetRun, BadMarksAndCodesStopTheConversion)
{
    const struct {
        const char* statement;
        const char* message;
    } cases[] = {{"Sprite Odd stray.png", "stray.png : Bad control point scan at 36,20"},
                 {"Font High strip.png 253 4 1 2", "Font High: character code 256 is outside 0 to 255"},
                 {"Sprite Nothing absent.png", "absent.png"}};
    for (const auto& c : cases) {
        Write(c.statement);
        const CommandResult run = Convert();
        EXPECT_EQ(run.exitCode, 3) << c.statement;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.statement << ":\n" << run.output;
    }
}

} // namespace
