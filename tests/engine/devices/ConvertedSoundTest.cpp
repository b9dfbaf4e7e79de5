// Sounds as the converter writes them: a WAV made here is converted by wexlorn, its packed file
// loaded, and its definitions played through the sound system. The mix holds the file's samples
// exactly, then silence, both for the sample held in the packed file and for the streamed one
// that names the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "SoundTestSupport.h"
#include "core/names/CCRC32.h"
#include "engine/zel/CZelFile.h"
#include "tests/engine/render/RenderTestSupport.h"
#include "tests/support/RunCommand.h"

#ifdef MG_WEXLORN
namespace {

TEST_F(SoundTest, ConvertedSoundsPlayTheSamplesOfTheirFile)
{
    // The packed file and the streamed file are looked up in the working folder, as the data
    // folder of a program that has none beside it.
    ScopedGameFolder folder("converted_sound", "");
    const int frames = 30000;
    WriteWav("noise.wav", 1, 44100, 16, NoiseBytes(frames, 16, 23));
    std::ofstream("sounds.rhu") << "NoCompression\nSound Noise noise.wav\nSound Streamed STREAMFILE noise.wav\n";
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_WEXLORN) + " . 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string source = (std::filesystem::current_path() / "noise.wav").string();
    CZelFile::LoadChunkCategories(0x11);
    CZelFile file;
    ASSERT_EQ(file.Load("sounds.zel"), 0);

    for (const char* name : {"Noise", "Streamed"}) {
        CSoundDefinition* definition = CSoundDefinition::Find(CCRC32::GetCRC(name));
        ASSERT_NE(definition, nullptr) << name;
        ASSERT_EQ(definition->SampleCount, 1) << name;
        const long start = Now();
        SoundStatus status = System->Play(definition->Id, static_cast<const CVector*>(nullptr));
        ASSERT_TRUE(status & SOUND_STATUS_PLAYING) << name;
        for (int i = 0; i < 200 && System->Status(status); ++i)
            Frame();
        EXPECT_FALSE(System->Status(status)) << name << " still playing";
        Frames(20);
        std::ostringstream expected;
        expected << "matched " << frames << " of " << frames << "; silent-after 0\n";
        EXPECT_EQ(Oracle("stream " + Mix() + " " + source + " " + std::to_string(start)), expected.str()) << name;
    }
}

} // namespace
#endif
