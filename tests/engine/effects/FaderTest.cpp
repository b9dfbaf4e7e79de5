// The scene and keyed faders: their recorded fade sequences against goldens (to one frame past
// the end and what stays on the screen after), the jump when the held spans fill the life,
// keys of no length and a chain that loops through them, and running while the game is paused.
#include <gtest/gtest.h>

#include <vector>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GKeyedFader.h"
#include "engine/effects/GSceneFader.h"
#include "engine/render/CRenderer.h"

namespace {

std::string Colour(const CVector4& c)
{
    return Fixed(c.x, 2) + " " + Fixed(c.y, 2) + " " + Fixed(c.z, 2) + " " + Fixed(c.w, 2);
}

class FaderTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        // Seeding keeps the draw counter; whatever drew before must not shift the sequence.
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0xFADE);
        renderer = CRenderer::Create();
        ASSERT_NE(renderer, nullptr);
        renderer->ConfigureLayers(8);
        // The game stands still: only the pause-aware clock runs.
        CGameTimer::tFrameTime = 0.0f;
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        CRenderer::Shutdown();
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
    std::string Overlay()
    {
        int type = -1;
        CVector4 colour;
        renderer->GetLayerPostEffect(GSceneFader::kOverlayLayer, type, colour);
        return std::to_string(type) + " " + Colour(colour);
    }
    std::string Fade()
    {
        int mode = -1;
        const CVector4 colour = renderer->GetFade(mode);
        return std::to_string(mode) + " " + Colour(colour);
    }
    static rhu::ParticleDef Key(float r, float g, float b, float a, float r2, float g2, float b2, float a2, float min,
                                float max, bool fades, float style)
    {
        rhu::ParticleDef key = {};
        key.MinColor.Red = r, key.MinColor.Green = g, key.MinColor.Blue = b, key.MinColor.Alpha = a;
        key.MaxColor.Red = r2, key.MaxColor.Green = g2, key.MaxColor.Blue = b2, key.MaxColor.Alpha = a2;
        key.Lifespan.Min = min, key.Lifespan.Max = max, key.Lifespan.Bias = 1.0f;
        key.Facing = fades ? 1 : 0;
        key.Gravity = style;
        return key;
    }
    static GKeyedFader* MakeKeyed(rhu::ParticleDef* head)
    {
        FillData data;
        data.Word("pParticle", reinterpret_cast<unsigned long>(head));
        data.Float("DestroyFade.Red", 10.0f).Float("DestroyFade.Alpha", 20.0f).Int("DestroyStyle", 4);
        return static_cast<GKeyedFader*>(GObject::Create(GKeyedFader::ClassId, HGOBJECT(0), data.Get()));
    }
    CRenderer* renderer = nullptr;
};

TEST_F(FaderTest, SceneFaderSequenceRunsOneFramePastTheEndAndLeavesTheDeathColour)
{
    FillData data;
    data.Float("BirthFade.Alpha", 255.0f).Float("DeathFade.Red", 200.0f).Float("DeathFade.Blue", 100.0f);
    data.Float("IntroSpan", 0.5f).Float("ExtroSpan", 0.5f).Float("LifeSpan", 2.0f).Int("Style", 3);
    GObject* fader = GObject::Create(GSceneFader::ClassId, HGOBJECT(0), data.Get());
    std::string sequence;
    for (int frame = 0; frame < 12 && Alive(fader); ++frame) {
        RunFrame(0.25f);
        sequence += std::to_string(frame) + " " + Overlay() + (Alive(fader) ? "" : " gone") + "\n";
    }
    EXPECT_FALSE(Alive(fader));
    ExpectSceneGolden("scene_fader.txt", sequence);
}

TEST_F(FaderTest, SceneFaderWithHeldSpansFillingTheLifeJumpsWithoutBlending)
{
    for (float extro : {1.0f, 1.5f}) {
        FillData data;
        data.Float("BirthFade.Green", 50.0f).Float("DeathFade.Blue", 80.0f);
        data.Float("IntroSpan", 1.0f).Float("ExtroSpan", extro).Float("LifeSpan", 2.0f);
        GObject* fader = GObject::Create(GSceneFader::ClassId, HGOBJECT(0), data.Get());
        std::vector<std::string> seen;
        while (Alive(fader)) {
            RunFrame(0.25f);
            const std::string overlay = Overlay();
            if (seen.empty() || seen.back() != overlay)
                seen.push_back(overlay);
        }
        EXPECT_EQ(seen, (std::vector<std::string>{"0 0.00 50.00 0.00 0.00", "0 0.00 0.00 80.00 0.00"}));
    }
}

TEST_F(FaderTest, KeyedFaderSequencePassesKeysAndEndsOnTheDestroyFade)
{
    rhu::ParticleDef keys[3] = {Key(0, 0, 0, 0, 255, 255, 255, 255, 1.0f, 1.0f, true, 2.6f),
                                Key(9, 9, 9, 9, 9, 9, 9, 9, 0.5f, 0.5f, false, 7.0f),
                                Key(255, 0, 0, 255, 0, 0, 255, 0, 0.5f, 1.5f, true, 1.0f)};
    keys[0].pNextDef = &keys[1];
    keys[1].pNextDef = &keys[2];
    GKeyedFader* fader = MakeKeyed(&keys[0]);
    ASSERT_TRUE(Alive(fader));
    EXPECT_EQ(fader->LifeSpan, 1.0f); // no random draw for an empty range
    std::string sequence;
    for (int frame = 0; frame < 20 && Alive(fader); ++frame) {
        RunFrame(frame == 4 ? 0.9f : 0.3f); // one long frame passes a whole key
        sequence += std::to_string(frame) + " " + Fade() + (Alive(fader) ? "" : " gone") + "\n";
    }
    EXPECT_FALSE(Alive(fader));
    EXPECT_EQ(Fade(), "4 10.00 0.00 0.00 20.00");
    ExpectSceneGolden("keyed_fader.txt", sequence);
}

TEST_F(FaderTest, KeyedFaderWithoutKeysOrWithEmptyLoopingKeysNeitherHangsNorDivides)
{
    GKeyedFader* none = MakeKeyed(nullptr);
    RunFrame(0.1f);
    EXPECT_FALSE(Alive(none));

    rhu::ParticleDef loop[2] = {Key(0, 0, 0, 0, 100, 100, 100, 100, 0, 0, true, 1),
                                Key(0, 0, 0, 0, 50, 50, 50, 50, 0, 0, true, 1)};
    loop[0].pNextDef = &loop[1];
    loop[1].pNextDef = &loop[0];
    GKeyedFader* looping = MakeKeyed(&loop[0]);
    RunFrame(0.1f);
    ASSERT_TRUE(Alive(looping));
    EXPECT_EQ(looping->OOLifeSpan, 0.0f);
    const std::string fade = Fade();
    EXPECT_TRUE(fade == "1 100.00 100.00 100.00 100.00" || fade == "1 50.00 50.00 50.00 50.00") << fade;
}

} // namespace
