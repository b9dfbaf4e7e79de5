// Skeletons and hierarchy animations end to end: wexlorn converts a hand-written LightWave
// scene (a root null, a body with three objects under it, an attach point and trigger, event
// and movement nulls), and an independent Python reader of the same scene and of the packed
// file checks masks, nodes, attach points, keys, packed rotations, triggers and fades. The real
// scenes of the third-party data that are of a newer version are refused, as are damaged
// scenes, with the file and line named and the previous output left as it was.
#include "../../support/FileBytes.h"
#include "../../support/TestScratch.h"
#include "../../support/RunCommand.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using mgtest::CommandResult;
using mgtest::ReadFileBytes;
using mgtest::WriteFileBytes;

namespace {

const std::string Scenes = MG_TESTDATA_DIR "/lightwave/lws";
const std::string SceneOracle = MG_TESTS_DIR "/converter/import3d/scene_oracle.py";
const std::string MakeLwo = MG_TESTS_DIR "/converter/import3d/make_lwo.py";

std::string Scratch() { return mgtest::NewScratchFolder("skel_"); }

// keys: "value time span" per key, each given tension, continuity and bias 0.
std::string Motion(const std::map<int, std::vector<std::string>>& channels, int post = 1)
{
    std::string text = "ObjectMotion\nNumChannels 9\n";
    for (int c = 0; c < 9; ++c) {
        const auto found = channels.find(c);
        const std::vector<std::string> keys =
            found == channels.end() ? std::vector<std::string>{"0 0 0"} : found->second;
        text += "Channel " + std::to_string(c) + "\n{ Envelope\n  " + std::to_string(keys.size()) + "\n";
        for (const std::string& key : keys)
            text += "  Key " + key + " 0 0 0 0 0 0\n";
        text += "  Behaviors 1 " + std::to_string(c == 0 ? post : 1) + "\n}\n";
    }
    return text;
}

std::string Object(const std::string& kind, const std::string& name, int parent,
                   const std::map<int, std::vector<std::string>>& channels, const std::string& extra = "")
{
    std::string text = kind == "null" ? "AddNullObject " + name + "\n" : "LoadObjectLayer 1 " + name + "\n";
    text += "ShowObject 7 -1 0.3 0.8 0.9\n";
    if (parent >= 0) {
        char item[16];
        snprintf(item, sizeof item, "%08X", 0x10000000 | parent);
        text += std::string("ParentItem ") + item + "\n";
    }
    return text + extra + Motion(channels) + "ShadowOptions 7\n\n";
}

// Object 0 is the root; 1 the body under it; the rest hang on the body, one attach point on
// the first "a". The body turns about its heading (TCB), the first "a" pitches (linear), the
// second banks in steps, "c" holds a constant heading.
std::string HandScene(const std::string& rootName = "root_3_9", int rootPost = 1)
{
    std::string text = "LWSC\n3\n\nFirstFrame 0\nLastFrame 12\nFrameStep 1\nFramesPerSecond 10\n\n";
    text += "AddNullObject " + rootName + "\n" + Motion({{0, {"0 0 0", "3 1.2 3"}}, {2, {"1 0 0"}}}, rootPost) +
            "ShadowOptions 7\n\n";
    text += Object("load", "Art/Guy/body2.lwo", 0, {{3, {"0 0 0", "0.5 0.6 0", "0.2 1.2 0"}}}, "ObjectDissolve 0.25\n");
    text += Object("load", "c.lwo", 1, {{0, {"2 0 0"}}, {3, {"0.3 0 0"}}});
    text += Object("load", "a.lwo", 1, {{2, {"1.5 0 0"}}, {4, {"0 0 0", "0.7 1.2 3"}}});
    text += Object("load", "a.lwo", 1, {{1, {"-1 0 0"}}, {5, {"0.1 0 0", "0.4 0.5 4"}}});
    text += Object("null", "attach_hand", 3, {{0, {"0.5 0 0"}}});
    text += Object("null", "trigger_SOUND_LOOP_4", 1, {});
    text += Object("null", "event_Boom", 1, {});
    text += Object("null", "movetrigger_Go_6", 1, {});
    text +=
        "AddLight\nLightName Light\nLightMotion\nNumChannels 9\nChannel 0\n{ Envelope\n  1\n  Key 0 0 0 0 0 0 0 0 0\n"
        "  Behaviors 1 1\n}\nShadowOptions 7\n";
    text += "AddCamera\nCameraName Camera\nCameraMotion\nNumChannels 1\nChannel 0\n{ Envelope\n  1\n"
            "  Key 0 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\nZoomFactor 3.2\n";
    return text;
}

class SceneImport : public testing::Test {
protected:
    void SetUp() override
    {
        mkdir((Folder + "/Art").c_str(), 0755);
        mkdir((Folder + "/Art/Guy").c_str(), 0755);
        Cube("Art/Guy/body2.lwo", 2.0);
        Cube("a.lwo", 1.0);
        Cube("c.lwo", 1.0);
    }

    // A cube of the given half size about its origin.
    void Cube(const std::string& name, double h)
    {
        char spec[600];
        snprintf(spec, sizeof spec,
                 "{\"surfaces\": [\"Skin\"], \"layers\": [{\"points\": [[-%g,-%g,-%g],[%g,-%g,-%g],[%g,%g,-%g],"
                 "[-%g,%g,-%g],[-%g,-%g,%g],[%g,-%g,%g],[%g,%g,%g],[-%g,%g,%g]], \"polys\": [[0,1,2,3],[4,7,6,5],"
                 "[0,4,5,1],[1,5,6,2],[2,6,7,3],[3,7,4,0]], \"surf\": [0,0,0,0,0,0]}]}",
                 h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h, h);
        WriteFileBytes(Folder + "/cube.json", spec);
        const CommandResult made = mgtest::RunCommand(MG_PYTHON " " + MakeLwo + " '" + Folder + "/" + name + "' '" +
                                                      Folder + "/cube.json' 2>&1");
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }

    CommandResult Convert(const std::string& script)
    {
        WriteFileBytes(Folder + "/a.rhu", "NoCompression\n" + script);
        return mgtest::RunCommand("cd '" + Folder + "' && timeout 120 " MG_BINARY_DIR "/bin/wexlorn 2>&1");
    }

    CommandResult Check(const std::string& skeleton, const std::string& animation, const std::string& scene,
                        const std::string& extra = "")
    {
        return mgtest::RunCommand(MG_PYTHON " " + SceneOracle + " check '" + Folder + "/a.zel' " + skeleton + " " +
                                  animation + " '" + Folder + "/" + scene + "' SOUND_LOOP=8 " + extra + " 2>&1");
    }

    std::string Folder = Scratch();
};

TEST_F(SceneImport, HandWrittenSceneGivesTheSkeletonAndAnimationTheReferenceComputes)
{
    WriteFileBytes(Folder + "/guy.lws", HandScene());
    CommandResult run = Convert("Skeleton Guy guy.lws\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    CommandResult check = Check("Guy", "guy_lws", "guy.lws");
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_NE(check.output.find("skeleton 8 nodes, 4 channels, 13 keys, 4 triggers"), std::string::npos)
        << check.output;

    // A repeating root loops the animation; no fade frames in the root's name use the scene's.
    WriteFileBytes(Folder + "/loop.lws", HandScene("Root", 2));
    run = Convert("Skeleton Guy loop.lws NoAnim\nAnimation Loop loop.lws Guy\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    check = Check("Guy", "Loop", "loop.lws", "NOANIM=1");
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

TEST_F(SceneImport, NewerAndOlderRealScenesAreRefusedWithTheirVersion)
{
    struct stat info;
    if (stat(Scenes.c_str(), &info) != 0)
        GTEST_SKIP() << "no third-party scenes at " << Scenes;
    int refused = 0;
    if (DIR* dir = opendir(Scenes.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".lws") != 0 || name == "move_x_oldformat_6.lws")
                continue;
            SCOPED_TRACE(name);
            const std::string bytes = ReadFileBytes(Scenes + "/" + name);
            const std::string version = bytes.substr(5, 1);
            WriteFileBytes(Folder + "/s.lws", bytes);
            const CommandResult run = Convert("SuperSkeleton S s.lws\n");
            EXPECT_EQ(run.exitCode, 3) << run.output;
            EXPECT_NE(run.output.find("Incorrect Lightwave Scene File version!\nFile is v" + version +
                                      " and we expect v3\ns.lws(2)"),
                      std::string::npos)
                << run.output;
            ++refused;
        }
        closedir(dir);
    }
    EXPECT_EQ(refused, 13);
    // The version 3 scene reads; it has no root object for a skeleton.
    WriteFileBytes(Folder + "/s.lws", ReadFileBytes(Scenes + "/move_x_oldformat_6.lws"));
    const CommandResult run = Convert("SuperSkeleton S s.lws\n");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_NE(run.output.find("Error: s.lws : No root object specified."), std::string::npos) << run.output;
}

TEST_F(SceneImport, DamagedScenesAreRefusedNamingTheFileAndLeaveThePreviousOutput)
{
    const std::string good = HandScene();
    WriteFileBytes(Folder + "/guy.lws", good);
    ASSERT_EQ(Convert("Skeleton Guy guy.lws\n").exitCode, 0);
    const std::string before = ReadFileBytes(Folder + "/a.zel");

    auto replace = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    std::string many = "LWSC\n3\nLastFrame 2\nAddNullObject root\n" + Motion({}) + "ShadowOptions 7\n";
    many += Object("load", "a.lwo", 0, {});
    for (int i = 0; i < 32; ++i)
        many += Object("load", "c.lwo", 1, {});
    const struct {
        const char* what;
        std::string scene;
        const char* message;
    } cases[] = {
        {"cut in an envelope", good.substr(0, good.find("Key 3 1.2") + 6), "Unexpected end of file"},
        {"a word for a number", replace("Key 3 1.2 3", "Key three 1.2 3"),
         "Expected a number for a key value, found \"three\".\nguy.lws(16)"},
        {"ten channels", replace("NumChannels 9", "NumChannels 10"),
         "Expected Motion Path to always contain precicely 9 channels of data.\nguy.lws(11)"},
        {"parented to a light", replace("ParentItem 10000000", "ParentItem 20000000"),
         "RHU doesn't understand objects parented to a light."},
        {"no root", replace("AddNullObject root_3_9", "AddNullObject base"), "No root object specified."},
        {"two objects under the root",
         replace("ParentItem 10000001\nObjectMotion", "ParentItem 10000000\nObjectMotion"),
         "Root object has invalid # of child objects.\nExpected 1 but got 2."},
        {"its own parent", replace("ParentItem 10000000", "ParentItem 10000001"), "is its own parent"},
        {"keys out of order", replace("Key 0.2 1.2 0", "Key 0.2 0.3 0"), "Key times must grow from key to key"},
        {"channel past the motion", replace("Channel 8", "Channel 9"), "Channel 9 is outside"},
        {"a very long word for a number",
         replace("LoadObjectLayer 1 c.lwo", "LoadObjectLayer " + std::string(100000, '7') + " c.lwo"),
         "Expected a whole number for the layer number"},
        {"not a scene", "FORM\n", "does not start with LWSC"},
        {"33 animated objects", many, "Skeleton Node Mask bit overflow - cannot have more than 32 channels of anim"},
        {"a mesh that is missing", replace("c.lwo", "gone.lwo"), "gone.lwo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(Folder + "/guy.lws", c.scene);
        const CommandResult run = Convert("Skeleton Guy guy.lws\n");
        EXPECT_EQ(run.exitCode, 3) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(ReadFileBytes(Folder + "/a.zel"), before);
    }
    const CommandResult missing = Convert("Skeleton Guy nowhere.lws\n");
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.output.find("Couldn't open file, 'nowhere.lws'."), std::string::npos) << missing.output;
}

} // namespace
