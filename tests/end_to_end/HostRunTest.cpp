// marlgate_host in a tree of its own: bin/marlgate_host beside zel/, as the demo lays it out.
// The data comes from the independent fixture writer, and from wexlorn over the demo game's
// scripts once the converter can convert them.
#include "../support/RunCommand.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

using RunResult = mgtest::CommandResult;

// Both output streams, so a failure shows whatever the program said.
RunResult Execute(const std::string& command) { return mgtest::RunCommand(command + " 2>&1"); }

class HostRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::path(MG_BINARY_DIR) / "tests" / "end_to_end" /
               (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "zel");
        fs::copy_file(MG_HOST_PROGRAM, root / "bin" / "marlgate_host");
    }
    void TearDown() override { fs::remove_all(root); }

    std::string Host() const { return (root / "bin" / "marlgate_host").string(); }

    fs::path root;
};

TEST_F(HostRun, RunsFixtureLevelsForTheGivenFrames)
{
    RunResult fixtures = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/zel/zelfix.py testdata " +
                                 (root / "zel").string());
    ASSERT_EQ(fixtures.exitCode, 0) << fixtures.output;
    RunResult run = Execute(Host() + " --frames 30 --frame-time 0.02 second.zel");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Load complete"), std::string::npos) << run.output;
}

// Without "zlp.zlp" every file is a loose one; the empty pack index must not be walked.
TEST_F(HostRun, RunsWithoutAPackFile)
{
    RunResult fixtures = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/zel/zelfix.py testdata " +
                                 (root / "zel").string());
    ASSERT_EQ(fixtures.exitCode, 0) << fixtures.output;
    fs::remove(root / "zel" / "zlp.zlp");
    RunResult run = Execute(Host() + " --frames 3 mainmenu.zel");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Load complete"), std::string::npos) << run.output;
}

TEST_F(HostRun, MissingLevelEndsWithTheLoadersFatalError)
{
    RunResult fixtures = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/zel/zelfix.py testdata " +
                                 (root / "zel").string());
    ASSERT_EQ(fixtures.exitCode, 0) << fixtures.output;
    RunResult run = Execute(Host() + " --frames 5 nosuch.zel");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("Cannot locate nosuch.zel"), std::string::npos) << run.output;
}

TEST_F(HostRun, RefusesABadCommandLine)
{
    const char* lines[] = {"--frames many",
                           "--camera 1,2",
                           "--look-at 1,2,3,4",
                           "--fov 0",
                           "--fov 180",
                           "--screenshot-frame 0",
                           "--camera 5,5,5 --look-at 5,5,5",
                           "--screenshot-frame",
                           "--audio-out"};
    for (const char* line : lines) {
        RunResult run = Execute(Host() + " " + line);
        EXPECT_EQ(run.exitCode, 2) << line;
        EXPECT_NE(run.output.find("usage: marlgate_host"), std::string::npos) << run.output;
    }
}

TEST_F(HostRun, HelpPrintsTheUsage)
{
    for (const char* help : {" --help", " -h"}) {
        RunResult run = Execute(Host() + help);
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_NE(run.output.find("usage: marlgate_host [--frames N] [--frame-time SECONDS] [--camera X,Y,Z]"),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(run.output.find("unexpected argument"), std::string::npos) << run.output;
    }
}

// A name in packed data reaches no file outside the data folder, even one that is there.
TEST_F(HostRun, PackedDataNamesNoFileOutsideTheDataFolder)
{
    const std::string outside = "outside_" + std::to_string(getpid()) + ".zel";
    std::ofstream(root / "zel" / "master.rhu") << "String M \"m\"\n";
    std::ofstream(root / "zel" / "mainmenu.rhu") << "LoadZel ..\\..\\" << outside << "\nString A \"a\"\n";
    RunResult convert = Execute(std::string(MG_WEXLORN) + " " + (root / "zel").string());
    ASSERT_EQ(convert.exitCode, 0) << convert.output;
    fs::copy_file(root / "zel" / "mainmenu.zel", root.parent_path() / outside);
    RunResult run = Execute(Host() + " --frames 5");
    fs::remove(root.parent_path() / outside);
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_NE(run.output.find("files inside the data folder only"), std::string::npos) << run.output;
}

// The demo: its art generated, wexlorn converts the demo game's scripts in place, the host runs
// its first level and writes frame 60 beside the data folder; an independent reader finds the
// overlay's rectangles on the world layer's clear colour, and the chime in the sound of the run.
TEST_F(HostRun, RunsTheDemoGameConvertedByWexlorn)
{
    for (const auto& entry : fs::directory_iterator(MG_DATA_SOURCE_DIR))
        if (entry.path().extension() == ".rhu")
            fs::copy_file(entry.path(), root / "zel" / entry.path().filename());
    fs::copy_file(fs::path(MG_DATA_SOURCE_DIR) / "render.cfg", root / "render.cfg");
    RunResult art = Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/../scripts/demo_art.py " +
                            (root / "zel").string());
    ASSERT_EQ(art.exitCode, 0) << art.output;
    RunResult convert = Execute("cd '" + (root / "zel").string() + "' && " + MG_WEXLORN);
    ASSERT_EQ(convert.exitCode, 0) << convert.output;
    RunResult sounds =
        Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/demo_sounds.py " + (root / "zel").string());
    ASSERT_EQ(sounds.exitCode, 0) << sounds.output;
    const fs::path wav = root / "demo_sound.wav";
    RunResult run =
        Execute(Host() + " --frames 60 --frame-time 0.016666667 --screenshot-frame 60 --audio-out " + wav.string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Load complete"), std::string::npos) << run.output;
    // The engine's editable fields are declared as their types say: no start-up warning.
    EXPECT_EQ(run.output.find("Editable:"), std::string::npos) << run.output;
    const fs::path shot = root / "PCX_Cap_000000.tga";
    ASSERT_TRUE(fs::exists(shot));
    EXPECT_FALSE(fs::exists(root / "PCX_Cap_000001.tga")); // one frame only
    RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 5,5 200,100 200,300 440,300 320,300 119,100 120,100");
    EXPECT_EQ(pixels.output, "640 480\n5,5=182040\n200,100=FFFFFF\n200,300=FFFFFF\n440,300=FFFFFF\n"
                             "320,300=182040\n119,100=182040\n120,100=FFFFFF\n");

    // About a second of 44.1 kHz stereo (the mix starts with the level), not silent.
    const std::string oracle = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/dsound/wav_oracle.py ";
    RunResult info = Execute(oracle + "info " + wav.string());
    int rate = 0, channels = 0, width = 0;
    long frames = 0;
    ASSERT_EQ(std::sscanf(info.output.c_str(), "%d %d %d %ld", &rate, &channels, &width, &frames), 4) << info.output;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    EXPECT_NEAR(frames, 44100, 2000);
    RunResult peak = Execute(oracle + "peak " + wav.string() + " 0 " + std::to_string(frames));
    EXPECT_GT(std::atoi(peak.output.c_str()), 1000) << peak.output;
}

} // namespace
