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
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

    // The demo game as scripts/demo.sh lays it out: its art generated, its scripts converted by
    // wexlorn in place, its display settings beside the data folder.
    void ConvertDemo()
    {
        for (const auto& entry : fs::directory_iterator(MG_DATA_SOURCE_DIR))
            if (entry.path().extension() == ".rhu")
                fs::copy_file(entry.path(), root / "zel" / entry.path().filename());
        fs::copy_file(fs::path(MG_DATA_SOURCE_DIR) / "render.cfg", root / "render.cfg");
        RunResult art = Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/../scripts/demo_art.py " +
                                (root / "zel").string());
        ASSERT_EQ(art.exitCode, 0) << art.output;
        RunResult font =
            Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/demo_menu.py " + (root / "zel").string());
        ASSERT_EQ(font.exitCode, 0) << font.output;
        RunResult convert = Execute("cd '" + (root / "zel").string() + "' && " + MG_WEXLORN);
        ASSERT_EQ(convert.exitCode, 0) << convert.output;
    }

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
                           "--audio-out",
                           "--input-script",
                           "--input-script --headless"};
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
// its first level with the demo's input script and writes frame 70 beside the data folder; an
// independent reader finds the banner and the menu on the world layer's clear colour, the
// focused button, the cursor where the script's keys moved it, and the chime in the sound.
TEST_F(HostRun, RunsTheDemoGameConvertedByWexlorn)
{
    ConvertDemo();
    if (HasFatalFailure())
        return;
    const fs::path wav = root / "demo_sound.wav";
    RunResult run = Execute(Host() + " --headless --frames 70 --frame-time 0.016666667 --screenshot-frame 70" +
                            " --input-script " + MG_DATA_SOURCE_DIR + "/demo.input --audio-out " + wav.string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Load complete"), std::string::npos) << run.output;
    for (const char* line : {"demo: frame 10 right, cursor at 40,420\n", "demo: frame 22 up, cursor at 80,400\n",
                             "demo: frame 41 Ctrl+R home, cursor at 20,420\n", "demo: frame 60 typed 'h'\n"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    EXPECT_EQ(run.output.find("no trigger"), std::string::npos) << run.output;
    // The engine's editable fields are declared as their types say: no start-up warning.
    EXPECT_EQ(run.output.find("Editable:"), std::string::npos) << run.output;
    const fs::path shot = root / "PCX_Cap_000000.tga";
    ASSERT_TRUE(fs::exists(shot));
    EXPECT_FALSE(fs::exists(root / "PCX_Cap_000001.tga")); // one frame only
    RunResult pixels =
        Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " + shot.string() +
                " 5,5 200,100 119,100 120,100 225,155 225,200 320,300 440,300 30,430 50,430 225,360 260,398 310,398");
    // The banner, the menu with "Load" focused (white) after the first Down, the other buttons
    // and the difficulty choice dark blue, the sunlit terrain beside the menu (440,300), the
    // cursor one step right of home, and the bar's gold-tinted checker filled to 40 of 100: 80
    // of its 200 pixels, ending at 300.
    EXPECT_EQ(pixels.output, "640 480\n5,5=182040\n200,100=FFFFFF\n119,100=182040\n120,100=FFFFFF\n"
                             "225,155=293873\n225,200=FFFFFF\n320,300=293873\n440,300=3E3D1C\n30,430=182040\n"
                             "50,430=FFFFFF\n225,360=293873\n260,398=9B902D\n310,398=182040\n");
    // The focused button's label "Load" in the menu font, dark blue on white: the L's stem and the
    // white beside it, the o's left stroke and its hole.
    RunResult glyphs = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 297,213 301,213 309,214 313,214");
    EXPECT_EQ(glyphs.output, "640 480\n297,213=1A1F4D\n301,213=FFFFFF\n309,214=1A1F4D\n313,214=FFFFFF\n");

    // 70 frames of 44.1 kHz stereo (the mix starts with the level), not silent.
    const std::string oracle = std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/dsound/wav_oracle.py ";
    RunResult info = Execute(oracle + "info " + wav.string());
    int rate = 0, channels = 0, width = 0;
    long frames = 0;
    ASSERT_EQ(std::sscanf(info.output.c_str(), "%d %d %d %ld", &rate, &channels, &width, &frames), 4) << info.output;
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    EXPECT_NEAR(frames, 44100 * 70 / 60, 2000);
    RunResult peak = Execute(oracle + "peak " + wav.string() + " 0 " + std::to_string(frames));
    EXPECT_GT(std::atoi(peak.output.c_str()), 1000) << peak.output;
}

// On a display the host's one window both shows the presented frames and is where the keys come
// from: under a virtual X display, the Right arrow pressed in the game window (by xdotool, through
// the X server) moves the demo's cursor off its home corner, as a capture of the screen shows.
TEST_F(HostRun, OnADisplayTheWindowShowsTheFramesAndTakesTheKeys)
{
    for (const char* tool : {"xvfb-run", "xdotool", "xwd"})
        if (Execute(std::string("command -v ") + tool).exitCode != 0)
            GTEST_SKIP() << tool << " is not installed";
    if (!fs::exists("/usr/bin/convert"))
        GTEST_SKIP() << "needs ImageMagick";
    ConvertDemo();
    if (HasFatalFailure())
        return;
    RunResult run = Execute("xvfb-run -a -s '-screen 0 640x480x24' bash " + std::string(MG_TESTS_DIR) +
                            "/end_to_end/host_on_display.sh " + Host() + " " + root.string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // The banner drawn by the renderer, and the background where the cursor started.
    EXPECT_NE(run.output.find("120,100=FFFFFF 30,430=182040"), std::string::npos) << run.output;
}

// A damaged line of an input script is reported with the file and line and the run goes on; a
// script that cannot be read stops the host before it starts.
TEST_F(HostRun, InputScriptLinesAreCheckedAndAMissingScriptRefused)
{
    RunResult fixtures = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/engine/zel/zelfix.py testdata " +
                                 (root / "zel").string());
    ASSERT_EQ(fixtures.exitCode, 0) << fixtures.output;
    const fs::path script = root / "bad.input";
    std::ofstream(script) << "frame 2 tap SPACE\nframe 3 jump\nframe 4 down NOKEY\nframe 5 tap ESCAPE\n";
    RunResult run = Execute(Host() + " --headless --frames 6 --input-script " + script.string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find(script.string() + ":2: unknown command \"jump\"; line skipped"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find(script.string() + ":3: unknown key \"NOKEY\"; line skipped"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Load complete"), std::string::npos) << run.output;

    RunResult missing = Execute(Host() + " --headless --frames 6 --input-script " + (root / "none.input").string());
    EXPECT_EQ(missing.exitCode, 2) << missing.output;
    EXPECT_NE(missing.output.find("cannot read the input script"), std::string::npos) << missing.output;
}

} // namespace

// The demo opens with its video: a frame of it is on the screen half a second in, matching the
// frame FFmpeg decodes there; when the video ends the player requests the menu level, which is
// on the screen at two seconds.
TEST_F(HostRun, TheDemoOpensWithItsVideoAndGoesOnToTheMenu)
{
    for (const auto& entry : fs::directory_iterator(MG_DATA_SOURCE_DIR))
        if (entry.path().extension() == ".rhu")
            fs::copy_file(entry.path(), root / "zel" / entry.path().filename());
    fs::copy_file(fs::path(MG_DATA_SOURCE_DIR) / "render.cfg", root / "render.cfg");
    const std::string zel = (root / "zel").string();
    ASSERT_EQ(Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/../scripts/demo_art.py " + zel).exitCode,
              0);
    ASSERT_EQ(Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/demo_menu.py " + zel).exitCode, 0);
    RunResult convert = Execute("cd '" + zel + "' && " + MG_WEXLORN);
    ASSERT_EQ(convert.exitCode, 0) << convert.output;
    RunResult video = Execute(std::string("bash ") + MG_DATA_SOURCE_DIR + "/demo_video.sh " + zel);
    ASSERT_EQ(video.exitCode, 0) << video.output;

    const fs::path shot = root / "PCX_Cap_000000.tga";
    RunResult during =
        Execute(Host() + " --headless --frames 31 --frame-time 0.016666667 --screenshot-frame 31 intro.zel");
    EXPECT_EQ(during.exitCode, 0) << during.output;
    ASSERT_TRUE(fs::exists(shot)) << during.output;
    RunResult match = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/dshow/video_oracle.py match " +
                              zel + "/intro.avi " + shot.string());
    int best = -1;
    float err = 0, p99 = 0, next = 0;
    ASSERT_EQ(std::sscanf(match.output.c_str(), "best=%d err=%f p99=%f next=%f", &best, &err, &p99, &next), 4)
        << match.output;
    EXPECT_EQ(best, 15) << "video frames come every other game frame from the first: frame 31 shows the 16th";
    // The fractal's fine detail loses most to the filtered draw over the screen.
    EXPECT_LT(err, 8.0f) << match.output;
    EXPECT_GT(next, 2 * err) << match.output;

    fs::remove(shot);
    RunResult after =
        Execute(Host() + " --headless --frames 120 --frame-time 0.016666667 --screenshot-frame 120 intro.zel");
    EXPECT_EQ(after.exitCode, 0) << after.output;
    ASSERT_TRUE(fs::exists(shot)) << after.output;
    RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 5,5 200,100");
    EXPECT_EQ(pixels.output, "640 480\n5,5=182040\n200,100=FFFFFF\n") << "the menu level: " << after.output;
}

// A typed key cancels the opening video: the player hears it through the level's input device,
// stops, and the menu level loads in the frames after the key, long before the video's end.
TEST_F(HostRun, ATypedKeyCancelsTheVideoAndTheMenuFollows)
{
    ConvertDemo();
    const std::string zel = (root / "zel").string();
    RunResult video = Execute(std::string("bash ") + MG_DATA_SOURCE_DIR + "/demo_video.sh " + zel);
    ASSERT_EQ(video.exitCode, 0) << video.output;
    const fs::path script = root / "cancel.input";
    std::ofstream(script) << "frame 10 text x\n";
    auto loads = [](const std::string& output) {
        int count = 0;
        for (size_t at = output.find("Load complete"); at != std::string::npos;
             at = output.find("Load complete", at + 1))
            ++count;
        return count;
    };
    // Up to the key the video plays; by frame 12 the menu has loaded.
    RunResult before = Execute(Host() + " --headless --frames 10 --frame-time 0.016666667 --input-script " +
                               script.string() + " intro.zel");
    EXPECT_EQ(before.exitCode, 0) << before.output;
    EXPECT_EQ(loads(before.output), 1) << before.output;
    const fs::path shot = root / "PCX_Cap_000000.tga";
    RunResult after = Execute(Host() + " --headless --frames 12 --frame-time 0.016666667 --screenshot-frame 12 " +
                              "--input-script " + script.string() + " intro.zel");
    EXPECT_EQ(after.exitCode, 0) << after.output;
    EXPECT_EQ(loads(after.output), 2) << after.output;
    ASSERT_TRUE(fs::exists(shot)) << after.output;
    RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 5,5 200,100");
    EXPECT_EQ(pixels.output, "640 480\n5,5=182040\n200,100=FFFFFF\n") << "the menu level: " << after.output;
}

// The demo's cinematic level: its recorded script starts on load and slides the block from the
// middle to the left (at 0.5 s) and the right (1 s), then plays its second pass timed from the
// end of the first (left at 1.5 s). Screenshots show the block's stone tower where it stands.
TEST_F(HostRun, TheCinemaLevelsRecordedScriptSlidesTheBlockTwice)
{
    ConvertDemo();
    const fs::path shot = root / "PCX_Cap_000000.tga";
    const std::string background = "182040";
    const struct {
        int frame;
        const char* stands; // left, middle or right
    } cases[] = {{20, "middle"}, {45, "left"}, {75, "right"}, {105, "left"}};
    for (const auto& c : cases) {
        fs::remove(shot);
        const std::string n = std::to_string(c.frame);
        RunResult run = Execute(Host() + " --headless --frames " + n + " --frame-time 0.016666667 --screenshot-frame " +
                                n + " --camera 0,-70,10 --look-at 0,0,10 cinema.zel");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                                   shot.string() + " 230,220 330,220 430,220");
        std::istringstream lines(pixels.output);
        std::string size, left, middle, right;
        lines >> size >> size >> left >> middle >> right;
        const std::string where = std::string(c.stands);
        EXPECT_EQ(left.substr(8) != background, where == "left") << "frame " << n << ": " << pixels.output;
        EXPECT_EQ(middle.substr(8) != background, where == "middle") << "frame " << n << ": " << pixels.output;
        EXPECT_EQ(right.substr(8) != background, where == "right") << "frame " << n << ": " << pixels.output;
    }
}

// The demo's figure level: the converted skeleton stands lit by its level's light (a mesh
// without light draws black) and swings its arms, so frames 1 and 40 differ where they pass.
TEST_F(HostRun, TheFigureLevelShowsTheLitFigureSwingingItsArms)
{
    ConvertDemo();
    const fs::path shot = root / "PCX_Cap_000000.tga";
    auto pixels = [&](int frame) {
        fs::remove(shot);
        const std::string n = std::to_string(frame);
        RunResult run = Execute(Host() + " --headless --frames " + n + " --frame-time 0.016666667 --screenshot-frame " +
                                n + " --camera 0,-5,1.2 --look-at 0,0,1 figure.zel");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " + shot.string() +
                       " 320,280 250,145 392,145 425,320")
            .output;
    };
    const std::string first = pixels(1), later = pixels(40);
    // The torso, lit; the left arm swung into view at 250,145 by frame 40, the right one out
    // of 392,145; the dark blue clear colour where no arm is. The level's particle system has
    // thrown its sparks past 425,320 by frame 40.
    EXPECT_EQ(first, "640 480\n320,280=945F30\n250,145=182040\n392,145=472F1A\n425,320=182040\n");
    EXPECT_EQ(later, "640 480\n320,280=945F30\n250,145=412B18\n392,145=182040\n425,320=FFFFFF\n");
}

// The demo's fog-of-war level as the main command shows it: by frame 90 the walker stands on the
// ground in the middle of what it uncovered, drawn in front of the hills behind it; the ground it
// never saw stays dark and the clear colour shows round the map.
TEST_F(HostRun, TheFogLevelShowsTheWalkerInTheGroundItUncovered)
{
    ConvertDemo();
    const fs::path shot = root / "PCX_Cap_000000.tga";
    RunResult run = Execute(Host() + " --headless --frames 90 --frame-time 0.033333 --screenshot-frame 90" +
                            " --camera 12,-4,34 --look-at 12,12,0 fogwalk.zel");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(fs::exists(shot)) << run.output;
    RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 306,230 305,240 330,235 440,180 100,100");
    unsigned walker[2] = {}, seen = 0, unseen = 0, clear = 0;
    ASSERT_EQ(std::sscanf(pixels.output.c_str(), "640 480\n306,230=%x\n305,240=%x\n330,235=%x\n440,180=%x\n100,100=%x",
                          &walker[0], &walker[1], &seen, &unseen, &clear),
              5)
        << pixels.output;
    auto r = [](unsigned c) { return int(c >> 16 & 0xFF); };
    auto g = [](unsigned c) { return int(c >> 8 & 0xFF); };
    auto b = [](unsigned c) { return int(c & 0xFF); };
    // The post's stone is red; the sand round it bright, the never-seen ground nearly black.
    for (unsigned c : walker)
        EXPECT_TRUE(r(c) > 150 && g(c) < r(c) / 2 && b(c) < r(c) / 2) << pixels.output;
    EXPECT_TRUE(r(seen) > 150 && g(seen) > 150) << pixels.output;
    EXPECT_LT(r(unseen) + g(unseen) + b(unseen), 120) << pixels.output;
    EXPECT_EQ(clear, 0x182040u) << pixels.output;
}

// The demo's effects level from above the map's near edge: by frame 60 the fountain's sparks
// glow white, the embers' ribbons are blue, the scorch decal lies dark red on the ground and
// the puddle decal green, and the beam's band runs white to magenta across them.
TEST_F(HostRun, TheEffectsLevelShowsParticlesTrailsDecalsAndABeam)
{
    ConvertDemo();
    const fs::path shot = root / "PCX_Cap_000000.tga";
    RunResult run = Execute(Host() + " --headless --frames 60 --frame-time 0.033333 --screenshot-frame 60" +
                            " --camera 12,-6,16 --look-at 12,11,0 effects.zel");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(fs::exists(shot)) << run.output;
    RunResult pixels = Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " +
                               shot.string() + " 205,180 393,185 520,250 240,120 430,272");
    unsigned spark = 0, ribbon = 0, scorch = 0, puddle = 0, beam = 0;
    ASSERT_EQ(std::sscanf(pixels.output.c_str(), "640 480\n205,180=%x\n393,185=%x\n520,250=%x\n240,120=%x\n430,272=%x",
                          &spark, &ribbon, &scorch, &puddle, &beam),
              5)
        << pixels.output;
    auto r = [](unsigned c) { return int(c >> 16 & 0xFF); };
    auto g = [](unsigned c) { return int(c >> 8 & 0xFF); };
    auto b = [](unsigned c) { return int(c & 0xFF); };
    EXPECT_TRUE(r(spark) > 230 && g(spark) > 230) << pixels.output;
    EXPECT_TRUE(b(ribbon) > 200 && r(ribbon) < 100) << pixels.output;
    EXPECT_TRUE(r(scorch) > 50 && g(scorch) < 30 && b(scorch) < 30) << pixels.output;
    EXPECT_TRUE(g(puddle) > 2 * r(puddle) && g(puddle) > b(puddle)) << pixels.output;
    EXPECT_TRUE(r(beam) > 230 && b(beam) > 230 && g(beam) < r(beam)) << pixels.output;
}

// The demo's weather level as the main command shows it at frame 60: the dark blue clear above
// the hills, the grey smoke over the chimney, the green slope in front, pale rain streaks over
// the clear to the right of the map, and the midges' saturated yellow glow at the chimney's foot.
TEST_F(HostRun, TheWeatherLevelShowsSmokeRainAndMidgesOverTheHills)
{
    ConvertDemo();
    const fs::path shot = root / "PCX_Cap_000000.tga";
    RunResult run = Execute(Host() + " --headless --frames 60 --frame-time 0.033333 --screenshot-frame 60" +
                            " --camera 12,-6,9 --look-at 12,12,2 weather.zel");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(fs::exists(shot)) << run.output;
    // Fixed points, then two areas sampled every other pixel: the rain's and the midges'.
    std::string points = " 100,100 320,50 350,200 330,220 300,420";
    for (int y = 320; y < 470; y += 2)
        for (int x = 500; x < 600; x += 2)
            points += " " + std::to_string(x) + "," + std::to_string(y);
    for (int y = 256; y < 290; y += 2)
        for (int x = 260; x < 320; x += 2)
            points += " " + std::to_string(x) + "," + std::to_string(y);
    RunResult pixels =
        Execute(std::string(MG_PYTHON) + " " + MG_TESTS_DIR + "/compat/d3d9/tga_pixels.py " + shot.string() + points);
    ASSERT_EQ(pixels.exitCode, 0) << pixels.output;
    std::istringstream lines(pixels.output);
    std::string size;
    std::getline(lines, size);
    EXPECT_EQ(size, "640 480");
    std::vector<unsigned> colours;
    std::vector<std::pair<int, int>> at;
    for (std::string line; std::getline(lines, line);) {
        int x = 0, y = 0;
        unsigned c = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%d=%x", &x, &y, &c), 3) << line;
        at.emplace_back(x, y);
        colours.push_back(c);
    }
    ASSERT_GE(colours.size(), 5u);
    auto r = [](unsigned c) { return int(c >> 16 & 0xFF); };
    auto g = [](unsigned c) { return int(c >> 8 & 0xFF); };
    auto b = [](unsigned c) { return int(c & 0xFF); };
    EXPECT_EQ(colours[0], 0x182040u);
    EXPECT_EQ(colours[1], 0x182040u);
    for (int i : {2, 3}) // smoke: grey, a touch of blue at most
        EXPECT_TRUE(r(colours[i]) > 120 && std::abs(r(colours[i]) - g(colours[i])) < 8 &&
                    b(colours[i]) >= r(colours[i]) - 8)
            << std::hex << colours[i];
    EXPECT_TRUE(g(colours[4]) > r(colours[4]) && g(colours[4]) > b(colours[4])) << std::hex << colours[4];
    int rain = 0, midges = 0;
    for (size_t i = 5; i < colours.size(); ++i) {
        const unsigned c = colours[i];
        if (at[i].second >= 320)
            rain += r(c) > 200 && g(c) > 200 && b(c) > 200;
        else
            midges += r(c) == 255 && g(c) == 255 && b(c) < 230;
    }
    EXPECT_GE(rain, 3) << "rain streaks over the clear";
    EXPECT_GE(midges, 3) << "the midges' glow";
}
