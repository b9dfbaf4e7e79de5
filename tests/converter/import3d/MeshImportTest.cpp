// The Mesh command end to end: wexlorn converts the real LightWave models of the third-party
// test data, an independent Python reader decodes every strip of what it wrote and compares it
// with the source polygons and with what the Open Asset Import Library reads from the same
// files; models the import refuses are refused with its message; damaged models are refused
// with the file and place named and never misread, and leave the previous output intact.
#include "../../support/FileBytes.h"
#include "../../support/TestScratch.h"
#include "../../support/RunCommand.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using mgtest::CommandResult;
using mgtest::ReadFileBytes;
using mgtest::WriteFileBytes;

namespace {

const std::string Models = MG_TESTDATA_DIR "/lightwave/lwo2";
const std::string Oracle = MG_TESTS_DIR "/converter/import3d/mesh_oracle.py";

std::string Scratch() { return mgtest::NewScratchFolder("mesh_"); }

std::vector<std::string> ModelNames()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(Models.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".lwo") == 0)
                names.push_back(name.substr(0, name.size() - 4));
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The surfaces named "Default" that most of the models carry are refused by the import; the
// same model with that surface renamed (same length, so every chunk size holds) goes through.
std::string RenameDefault(std::string bytes)
{
    const std::string from("Default\0", 8), to("Surface\0", 8);
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 8))
        bytes.replace(at, 8, to);
    return bytes;
}

std::string LabelOf(const std::string& name)
{
    std::string label = "m_" + name;
    for (char& c : label)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return label;
}

class MeshImport : public testing::Test {
protected:
    void SetUp() override
    {
        struct stat info;
        if (stat(Models.c_str(), &info) != 0)
            GTEST_SKIP() << "no third-party models at " << Models;
    }

    // Converts one model (given as its bytes) in a folder of its own.
    CommandResult Convert(const std::string& folder, const std::string& name, const std::string& bytes)
    {
        mkdir(folder.c_str(), 0755);
        WriteFileBytes(folder + "/" + name + ".lwo", bytes);
        WriteFileBytes(folder + "/a.rhu", "NoCompression\nMesh " + LabelOf(name) + " " + name + ".lwo\n");
        return mgtest::RunCommand("cd '" + folder + "' && timeout 120 " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    }

    std::string Folder = Scratch();
};

// What the import makes of each model, as written and with its "Default" surface renamed.
const char* ExpectedRefusal(const std::string& model, bool renamed)
{
    static const std::map<std::string, const char*> asWritten = {
        {"boxuv", nullptr},
        {"uvtest", nullptr},
        {"Subdivision", "RHU only understands FACE polygons."},
        {"concave_polygon", "Cannot find parent surface...\ntest_Smoothing parented to test"},
    };
    static const std::map<std::string, const char*> withRenamed = {
        {"Subdivision", "RHU only understands FACE polygons."},
        {"concave_polygon", "Cannot find parent surface..."},
        // Every layer has a name of its own, so none is level of detail 0.
        {"hierarchy", "Expected to find layer data (LOD_0)"},
        {"hierarchy_smoothed", "Expected to find layer data (LOD_0)"},
    };
    const auto& table = renamed ? withRenamed : asWritten;
    const auto found = table.find(model);
    if (found != table.end())
        return found->second;
    return renamed ? nullptr : "Surface named \"Default\" is a bad thing";
}

TEST_F(MeshImport, RealModelsAgreeWithTheSourceAndWithAssimpOrAreRefusedWithTheirMessage)
{
    const std::vector<std::string> names = ModelNames();
    ASSERT_GE(names.size(), 30u);
    int converted = 0;
    for (const std::string& name : names) {
        for (bool renamed : {false, true}) {
            SCOPED_TRACE(name + (renamed ? " (Default renamed)" : ""));
            std::string bytes = ReadFileBytes(Models + "/" + name + ".lwo");
            if (renamed)
                bytes = RenameDefault(bytes);
            const std::string folder = Folder + "/" + name + (renamed ? "_r" : "");
            const CommandResult run = Convert(folder, name, bytes);
            if (const char* refusal = ExpectedRefusal(name, renamed)) {
                EXPECT_EQ(run.exitCode, 3) << run.output;
                EXPECT_NE(run.output.find(refusal), std::string::npos) << run.output;
                continue;
            }
            ASSERT_EQ(run.exitCode, 0) << run.output;
            const CommandResult check =
                mgtest::RunCommand(MG_PYTHON " " + Oracle + " '" + folder + "/a.zel' " + LabelOf(name) + " '" + folder +
                                   "/" + name + ".lwo' --assimp 2>&1");
            EXPECT_EQ(check.exitCode, 0) << check.output;
            EXPECT_NE(check.output.find("\"assimp\""), std::string::npos) << check.output;
            ++converted;
        }
    }
    EXPECT_GE(converted, 25);
}

// Image clips are found beside the object when their own path leads nowhere and become
// textures written with the mesh (the 512 x 512 image in the default 16 bits, or in the format
// of a Texture statement of the same label made before, which the mesh then uses); a clip that
// cannot be found is reported with the object that names it, and the conversion goes on.
TEST_F(MeshImport, ImageClipsAreLookedUpBesideTheObjectAndMissingOnesReported)
{
    const std::string folder = Folder + "/clips";
    mkdir(folder.c_str(), 0755);
    WriteFileBytes(folder + "/boxuv.png", ReadFileBytes(Models + "/boxuv.png"));
    CommandResult run = Convert(folder, "boxuv", ReadFileBytes(Models + "/boxuv.lwo"));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("not found"), std::string::npos) << run.output;
    const size_t image = 512 * 512;
    size_t written = ReadFileBytes(folder + "/a.zel").size();
    EXPECT_GT(written, 2 * image);
    EXPECT_LT(written, 3 * image);

    WriteFileBytes(folder + "/a.rhu", "NoCompression\nPIXELFORMAT NOALPHA=XXXXXXXXrrrrrrrrGGGGGGGGbbbbbbbb\n"
                                      "Texture boxuv_png boxuv.png\nMesh m_boxuv boxuv.lwo\n");
    run = mgtest::RunCommand("cd '" + folder + "' && timeout 120 " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    written = ReadFileBytes(folder + "/a.zel").size();
    EXPECT_GT(written, 4 * image);
    EXPECT_LT(written, 5 * image);

    const std::string bare = Folder + "/noclip";
    run = Convert(bare, "box_2uv_1unused", RenameDefault(ReadFileBytes(Models + "/box_2uv_1unused.lwo")));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("box_2uv_1unused.lwo: image clip any_texture not found"), std::string::npos)
        << run.output;
}

// Seeded damage of real models: flipped bytes, chunk and sub-chunk sizes past their parents,
// counts and indexes past their chunks, truncation. Every run either converts or ends with
// exit code 3 and a message naming the file; the output written before stays as it was.
TEST_F(MeshImport, DamagedModelsAreRefusedNamingTheFileAndLeaveThePreviousOutput)
{
    const char* const sources[] = {"boxuv", "uvtest", "UglyVertexColors", "box_2vc_1unused", "transparency"};
    std::mt19937 random(36);
    int refused = 0, runs = 0;
    for (const char* source : sources) {
        const std::string original = RenameDefault(ReadFileBytes(Models + "/" + source + ".lwo"));
        for (int round = 0; round < 16; ++round, ++runs) {
            std::string bytes = original;
            const size_t at = 12 + random() % (bytes.size() - 12);
            switch (round % 4) {
            case 0: // a flipped byte
                bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
                break;
            case 1: // a large big-endian word: chunk sizes, counts and indexes
                for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
                    bytes[at + i] = static_cast<char>(i < 2 ? 0x7F : random());
                break;
            case 2: // truncation
                bytes.resize(at);
                break;
            default: // a short word set high: sub-chunk sizes, vertex counts, VX indexes
                bytes[at] = static_cast<char>(0xFF);
                if (at + 1 < bytes.size())
                    bytes[at + 1] = static_cast<char>(random());
                break;
            }
            SCOPED_TRACE(std::string(source) + " round " + std::to_string(round));
            const std::string folder = Folder + "/damaged_" + std::to_string(runs);
            mkdir(folder.c_str(), 0755);
            const std::string previous = "previous output";
            WriteFileBytes(folder + "/a.zel", previous);
            const CommandResult run = Convert(folder, source, bytes);
            ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 3) << run.exitCode << "\n" << run.output;
            if (run.exitCode == 3) {
                ++refused;
                EXPECT_EQ(ReadFileBytes(folder + "/a.zel"), previous);
                const bool named = run.output.find(std::string(source) + ".lwo") != std::string::npos ||
                                   run.output.find("MESH: ") != std::string::npos;
                EXPECT_TRUE(named) << run.output;
            }
        }
    }
    EXPECT_GT(refused, runs / 3);
}

} // namespace
