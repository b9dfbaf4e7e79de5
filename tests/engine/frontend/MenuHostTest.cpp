// Menus as a game runs them: a test level with menu templates converted by wexlorn, run by the
// host with scripted keys and mouse, checked through the host's frame trace of the overlay.
#include "../../support/RunCommand.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

mgtest::CommandResult Execute(const std::string& command) { return mgtest::RunCommand(command + " 2>&1"); }

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The trace by frame: each frame's header line and instance lines.
std::map<int, std::string> Frames(const std::string& trace)
{
    std::map<int, std::string> frames;
    std::istringstream in(trace);
    std::string line;
    int frame = 0;
    while (std::getline(in, line)) {
        if (line.rfind("frame ", 0) == 0)
            frame = std::stoi(line.substr(6));
        frames[frame] += line + "\n";
    }
    return frames;
}

// The text drawn in the focused colour (red in the fixture), or "" when none.
std::string Focused(const std::string& frame)
{
    std::istringstream in(frame);
    std::string line;
    while (std::getline(in, line))
        if (line.find("colour 1.00,0.00,0.00,1.00") != std::string::npos) {
            const size_t text = line.find("text \"");
            return text == std::string::npos ? "" : line.substr(text + 6 + 7, line.size() - text - 6 - 7 - 1);
        }
    return "";
}

class MenuHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::path(MG_BINARY_DIR) / "tests" / "engine" / "frontend" /
               (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "zel");
        fs::copy_file(MG_HOST_PROGRAM, root / "bin" / "marlgate_host");
        for (const char* name : {"master.rhu", "menutest.rhu", "level1.rhu"})
            fs::copy_file(fs::path(MG_MENU_FIXTURES) / name, root / "zel" / name);
        auto art =
            Execute(std::string(MG_PYTHON) + " " + MG_DATA_SOURCE_DIR + "/demo_menu.py " + (root / "zel").string());
        ASSERT_EQ(art.exitCode, 0) << art.output;
        auto convert = Execute("cd '" + (root / "zel").string() + "' && " + MG_WEXLORN);
        ASSERT_EQ(convert.exitCode, 0) << convert.output;
    }
    void TearDown() override { fs::remove_all(root); }

    mgtest::CommandResult Run(const char* script, int frames)
    {
        return Execute((root / "bin" / "marlgate_host").string() + " --headless --frame-time 0.016666667 --frames " +
                       std::to_string(frames) + " --input-script " + MG_MENU_FIXTURES + "/" + script + " --trace " +
                       (root / "trace.txt").string() + " menutest.zel");
    }

    fs::path root;
};

TEST_F(MenuHost, KeysNavigateCancelRefocusesAndStartLoadsTheNextLevel)
{
    auto run = Run("keys.input", 20);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The item whose command names no page is refused by name and never focused.
    EXPECT_NE(run.output.find("Menu: item \"Broken\" refused: its command names no menu template"), std::string::npos)
        << run.output;
    const std::string trace = ReadFile(root / "trace.txt");
    std::map<int, std::string> frames = Frames(trace);
    EXPECT_EQ(Focused(frames[2]), "Load");
    EXPECT_EQ(Focused(frames[3]), "Start");
    EXPECT_EQ(Focused(frames[5]), "Load");
    EXPECT_EQ(Focused(frames[7]), "Cancel"); // the page "Load" opened
    EXPECT_EQ(frames[7].find("Start\""), std::string::npos) << frames[7];
    EXPECT_EQ(Focused(frames[9]), "Load"); // back, with the earlier item focused
    EXPECT_NE(frames[9].find("Start\""), std::string::npos) << frames[9];
    EXPECT_EQ(frames[9].find("Cancel\""), std::string::npos) << frames[9];
    EXPECT_EQ(Focused(frames[15]), "Start");
    EXPECT_NE(frames[16].find("level menutest.zel"), std::string::npos);
    EXPECT_NE(frames[18].find("level level1.zel"), std::string::npos) << frames[18];
    // The whole trace against the reviewed one.
    EXPECT_EQ(trace, ReadFile(fs::path(MG_MENU_FIXTURES) / "keys.trace"));
}

TEST_F(MenuHost, ThePointerHoversAndClicksAButton)
{
    auto run = Run("mouse.input", 8);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::map<int, std::string> frames = Frames(ReadFile(root / "trace.txt"));
    EXPECT_EQ(Focused(frames[2]), "Load");
    EXPECT_NE(frames[3].find("pos 120.0,120.0"), std::string::npos) << frames[3]; // the pointer moved
    EXPECT_EQ(Focused(frames[4]), "Load");
    EXPECT_EQ(Focused(frames[6]), "Cancel"); // the click opened the page
}

} // namespace
