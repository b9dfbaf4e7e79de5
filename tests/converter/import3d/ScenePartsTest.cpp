// The scene reader's envelopes and the rotation packing on their own: the real version 3 scene
// of the third-party data, and the envelopes of the newer scenes rewritten as version 3, are
// evaluated by the reader and by an independent Python evaluation of the same keys.
#include "../../support/RunCommand.h"
#include "../../support/TestScratch.h"
#include "FatalTest.h"

#include "converter/core/CDatabase.h"
#include "converter/import3d/CdbAnimation.h"
#include "converter/import3d/ClwScene.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

const std::string Scenes = MG_TESTDATA_DIR "/lightwave/lws";
const std::string Oracle = MG_TESTS_DIR "/converter/import3d/scene_oracle.py";

bool HaveScenes()
{
    struct stat info;
    return stat(Scenes.c_str(), &info) == 0;
}

std::string Scratch() { return mgtest::NewScratchFolder("scene_"); }

// Every envelope of every object at times before, across and after its keys, as
// "object channel time value" lines, checked by the Python evaluation.
std::string EvaluateAgainstOracle(const std::string& scenePath, const std::string& folder)
{
    CDatabase database;
    ClwScene scene(&database);
    scene.Load(scenePath.c_str(), false);
    EXPECT_FALSE(scene.Objects().empty()) << scenePath;
    const std::string ours = folder + "/ours.txt";
    std::ofstream out(ours);
    for (size_t o = 0; o < scene.Objects().size(); ++o)
        for (int c = 0; c < 9; ++c)
            for (int step = -15; step <= 75; ++step) {
                const float t = step / 15.0f;
                char line[128];
                snprintf(line, sizeof line, "%zu %d %.9g %.9g\n", o, c, t,
                         scene.Objects()[o]->Motion.Channels[c].Evaluate(t));
                out << line;
            }
    out.close();
    const mgtest::CommandResult check =
        mgtest::RunCommand(MG_PYTHON " " + Oracle + " eval '" + scenePath + "' '" + ours + "' 2>&1");
    EXPECT_EQ(check.exitCode, 0) << scenePath << "\n" << check.output;
    return check.output;
}

TEST(SceneEnvelopes, TheVersion3SceneEvaluatesAsTheReferenceDoes)
{
    if (!HaveScenes())
        GTEST_SKIP() << "no third-party scenes at " << Scenes;
    EvaluateAgainstOracle(Scenes + "/move_x_oldformat_6.lws", Scratch());
}

// The newer scenes' envelopes (TCB, linear, stepped spans; constant, repeat, offset repeat,
// oscillate, linear and reset behaviours) in a version 3 scene of their own.
TEST(SceneEnvelopes, NewerScenesEnvelopesInVersion3EvaluateAsTheReferenceDoes)
{
    if (!HaveScenes())
        GTEST_SKIP() << "no third-party scenes at " << Scenes;
    const char* sources[] = {"move_xz_spline",
                             "move_xz_linear",
                             "move_xz_stepped",
                             "move_x_post_repeat",
                             "move_x_post_offset_repeat",
                             "move_x_post_linear",
                             "move_x_post_reset",
                             "move_x_post_constant",
                             "move_y_pre_ofrep_post_osc"};
    const std::string folder = Scratch();
    for (const char* source : sources) {
        const std::string v3 = folder + "/" + source + ".lws";
        const mgtest::CommandResult made =
            mgtest::RunCommand(MG_PYTHON " " + Oracle + " v3 '" + Scenes + "/" + source + ".lws' '" + v3 + "' 2>&1");
        ASSERT_EQ(made.exitCode, 0) << made.output;
        EvaluateAgainstOracle(v3, folder);
    }
}

TEST(SceneEnvelopes, OutsideItsKeysAChannelHoldsByItsBehaviours)
{
    ClwChannel channel;
    channel.Keys = {{2.0f, 0.0f, 0, {}}, {4.0f, 1.0f, 3, {}}};
    EXPECT_FLOAT_EQ(channel.Evaluate(0.5f), 3.0f);
    // A single key at 0 holds for ever, rather than falling to 0 after it.
    ClwChannel constant;
    constant.Keys = {{-0.04f, 0.0f, 0, {}}};
    EXPECT_FLOAT_EQ(constant.Evaluate(1.5f), -0.04f);
    EXPECT_FLOAT_EQ(constant.Evaluate(-1.0f), -0.04f);
    const struct {
        int behaviour;
        float t, value;
    } after[] = {{0, 1.5f, 0.0f}, {1, 1.5f, 4.0f}, {2, 1.5f, 3.0f}, {3, 1.25f, 3.5f}, {4, 1.5f, 5.0f}, {5, 1.5f, 5.0f}};
    for (const auto& c : after) {
        channel.PostBehaviour = c.behaviour;
        EXPECT_NEAR(channel.Evaluate(c.t), c.value, 1e-5) << "behaviour " << c.behaviour;
    }
}

TEST(RotationPacking, TruncatesTowardZeroInTenBits)
{
    const float quarter = 3.1415927f / 2.0f;
    const struct {
        float angle;
        unsigned long packed;
    } cases[] = {{-0.001f, 0}, {2.0f * 3.1415927f - 0.001f, 1023}, {quarter, 255}, {-quarter, 769}, {0.0f, 0}};
    for (const auto& c : cases) {
        const float x[3] = {c.angle, 0.0f, 0.0f}, y[3] = {0.0f, c.angle, 0.0f}, z[3] = {0.0f, 0.0f, c.angle};
        EXPECT_EQ(PackRotation(x), c.packed) << c.angle;
        EXPECT_EQ(PackRotation(y), c.packed << 10) << c.angle;
        EXPECT_EQ(PackRotation(z), c.packed << 20) << c.angle;
    }
}

} // namespace
