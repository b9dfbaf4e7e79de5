// The Map command's refusals: a map file that cannot be opened, has a wrong version, ends early
// or claims a size past the engine's limit stops the conversion naming the file, and the
// previous output stays as it was. (What a good map converts to is checked where the engine
// reads it back, in the terrain map tests.) Maps of texture-sharing files find their texture
// through its uniqueifier.
#include "ZelFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

using namespace zelfiles;
using mgtest::CommandResult;

namespace {

TEST(MapImport, DamagedMapFilesStopTheConversionNamingTheFile)
{
    const std::string folder = ScratchFolder();
    const std::string fixture =
        std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/orvelfix.py '" + folder + "' damaged";
    ASSERT_EQ(mgtest::RunCommand(fixture).exitCode, 0);
    auto convert = [&]() { return mgtest::RunCommand("cd '" + folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1"); };
    std::ofstream(folder + "/landscape.rhu") << "Map Landscape 2 landscape.map\n";
    const CommandResult good = convert();
    ASSERT_EQ(good.exitCode, 0) << good.output;
    const Bytes previous = ReadAll(folder + "/landscape.zel");
    ASSERT_FALSE(previous.empty());
    const struct {
        const char* file;
        const char* message;
    } cases[] = {
        {"wrongversion.map", "Incorrect orvel version, wrongversion.map"},
        {"truncated.map", "Map file truncated.map ends inside"},
        {"hugesize.map", "its size 5000 by 2 tiles is outside 1 to 1023 a side"},
        {"missing.map", "Unable to open file, missing.map."},
    };
    for (const auto& c : cases) {
        std::ofstream(folder + "/landscape.rhu") << "Map Landscape 2 " << c.file << "\n";
        const CommandResult run = convert();
        EXPECT_EQ(run.exitCode, 3) << c.file << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(ReadAll(folder + "/landscape.zel"), previous) << c.file;
        struct stat status;
        EXPECT_NE(stat((folder + "/landscape.zel.temp").c_str(), &status), 0) << c.file;
    }
}

// A texture-sharing file written byte by byte in Python: two maps whose texture name "Tiles"
// names a texture of another uniqueifier draw with the texture carrying theirs; a third finds
// its own by name. A file of another form type and a map whose uniqueifier no texture carries
// stop the conversion.
TEST(TambleMap, MapsFindTheirSharedTextureByUniqueifier)
{
    const std::string folder = ScratchFolder();
    const std::string fixture = std::string(MG_PYTHON) + " " MG_TESTS_DIR "/converter/import2d/tamblefix.py ";
    ASSERT_EQ(mgtest::RunCommand(fixture + "make '" + folder + "'").exitCode, 0);
    auto convert = [&](const char* file) {
        std::ofstream(folder + "/main.rhu") << "NoCompression\nTambleMap " << file << "\n";
        return mgtest::RunCommand("cd '" + folder + "' && " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    };
    const CommandResult run = convert("shared.tmb");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const CommandResult check = mgtest::RunCommand(fixture + "check '" + folder + "/main.zel' 2>&1");
    EXPECT_EQ(check.output, "MapA -> Tiles_000 0..3\nMapB -> Tiles_000 0..3\nMapC -> Own 0..3\n");
    const CommandResult other = convert("notmbl.tmb");
    EXPECT_EQ(other.exitCode, 3);
    EXPECT_NE(other.output.find("Bad RIFF open"), std::string::npos) << other.output;

    const CommandResult orphan = convert("orphan.tmb");
    EXPECT_EQ(orphan.exitCode, 3);
    EXPECT_NE(orphan.output.find("Could not find renamed (shared) texture with matching uniqueifier\nTiles\n"),
              std::string::npos)
        << orphan.output;
}

} // namespace
