// The keyed material on a physical parent: the override list it installs, frame by frame
// against a golden (keys stepped at 30 a second, long and short frames, scrolling), the list
// applied to a mesh material as the renderer does, the clamp of the override count, a single
// key that holds and ends, and an override that keeps time without drawing.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GKeyedMaterial.h"
#include "engine/object/GPhysical.h"

namespace {

class KeyedMaterialTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        // Seeding keeps the draw counter; whatever drew before must not shift the sequence.
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0x3A7);
        parent = GPhysical::Create();
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
    }
    static rhu::ParticleDef Key(float red, float alpha, float life, int facing, float scroll)
    {
        rhu::ParticleDef key = {};
        key.MinColor.Red = red, key.MaxColor.Red = red;
        key.MinColor.Alpha = key.MaxColor.Alpha = alpha;
        key.MinDamp.X = 0.0f, key.MaxDamp.X = 255.0f;
        key.MinSpin.Z = key.MaxSpin.Z = 1.0f;
        key.Lifespan.Min = key.Lifespan.Max = life;
        key.Facing = facing;
        key.Flocking.X = scroll;
        key.Flags = 0x02 | 0x04;
        return key;
    }
    GKeyedMaterial* Make(int count, rhu::ParticleDef* const* defs)
    {
        FillData data;
        data.Int("OvrCount", count);
        for (int i = 0; i < 4; ++i) {
            data.Word("OvrNames", 0x100 + i, 0, i).Word("OvrFlags", i == 1 ? 0x1F : 0, 0, i);
            data.Word("OvrDefs", reinterpret_cast<unsigned long>(defs[i]), 0, i);
        }
        return static_cast<GKeyedMaterial*>(parent->Create(GKeyedMaterial::ClassId, data.Get()));
    }
    bool Alive(GObject* object)
    {
        for (GObject* child = parent->pChild; child; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
    std::string Entries()
    {
        std::string text;
        const Material* list = parent->Render.GetMaterialList();
        for (const Material* m = list; m != nullptr; ++m) {
            char line[256];
            snprintf(line, sizeof line, "  %lX %08lX second %s angles %s colour %s %s uv %s %s\n", m->Name, m->Flags,
                     Fixed(m->Ambient.x, 3).c_str(), Fixed(m->Emissive.z, 3).c_str(), Fixed(m->Diffuse.x, 3).c_str(),
                     Fixed(m->Alpha, 3).c_str(), Fixed(m->UScroll, 3).c_str(), Fixed(m->VScroll, 3).c_str());
            text += line;
            if (m->Flags & Material::LAST_OVERRIDE)
                break;
        }
        return list ? text : "  none\n";
    }
    GPhysical* parent = nullptr;
};

TEST_F(KeyedMaterialTest, OverrideListFrameByFrameMatchesTheGolden)
{
    // Override 0: two keys blending red, then it ends. Override 1: a scrolling key of a
    // second's life. Override 2: keeps time without drawing.
    rhu::ParticleDef a[2] = {Key(0, 255, 0.1f, 1, 0.5f), Key(255, 0, 0.1f, 1, 1.5f)};
    a[0].pNextDef = &a[1];
    rhu::ParticleDef scroll = Key(100, 200, 0.25f, 3, 2.0f);
    rhu::ParticleDef hidden = Key(50, 50, 0.05f, 0, 0.0f);
    rhu::ParticleDef* defs[4] = {&a[0], &scroll, &hidden, nullptr};
    GKeyedMaterial* effect = Make(3, defs);
    std::string text;
    // Short frames step nothing on some frames; a long one steps several times.
    const float frames[] = {0.02f, 0.02f, 0.02f, 0.1f, 0.0334f, 0.0334f, 0.05f, 0.2f, 0.2f};
    for (float t : frames) {
        CGameTimer::tFrameTime = t;
        RunFrame(0.0f);
        text += "frame " + Fixed(t) + (Alive(effect) ? "" : " gone") + "\n" + Entries();
    }
    EXPECT_FALSE(Alive(effect));
    EXPECT_EQ(parent->Render.GetMaterialList(), nullptr);
    ExpectSceneGolden("keyed_material.txt", text);
}

TEST_F(KeyedMaterialTest, TheListOverridesTheNamedMaterialAsTheRendererAppliesIt)
{
    rhu::ParticleDef key = Key(255, 127.5f, 1.0f, 1, 0.25f);
    key.Flags = 0x02 | 0x08; // alpha and diffuse replaced
    rhu::ParticleDef* defs[4] = {&key, nullptr, nullptr, nullptr};
    Make(1, defs);
    CGameTimer::tFrameTime = 0.1f;
    RunFrame(0.0f);
    Material mesh = {};
    mesh.Name = 0x100;
    mesh.Diffuse = CVector(0.2f, 0.2f, 0.2f);
    mesh.Alpha = 1.0f;
    mesh.ApplyOverrides(parent->Render.GetMaterialList());
    EXPECT_NEAR(mesh.Diffuse.x, 1.0f, 1e-6f);
    EXPECT_NEAR(mesh.Alpha, 0.5f, 1e-6f);
    Material other = {};
    other.Name = 0x999;
    other.Alpha = 1.0f;
    other.ApplyOverrides(parent->Render.GetMaterialList());
    EXPECT_EQ(other.Alpha, 1.0f) << "a material of another name is left alone";
}

TEST_F(KeyedMaterialTest, SixOverridesActAsFourAndASingleKeyHoldsThenEnds)
{
    rhu::ParticleDef key = Key(255, 255, 0.2f, 1, 0.0f);
    rhu::ParticleDef* defs[4] = {&key, &key, &key, &key};
    GKeyedMaterial* effect = Make(6, defs);
    EXPECT_EQ(effect->OvrCount, 4);
    CGameTimer::tFrameTime = 0.1f;
    RunFrame(0.0f);
    const Material* list = parent->Render.GetMaterialList();
    ASSERT_NE(list, nullptr);
    EXPECT_NEAR(list[0].Diffuse.x, 1.0f, 1e-6f) << "one key shows its own colour";
    EXPECT_EQ(list[3].Flags & Material::LAST_OVERRIDE, Material::LAST_OVERRIDE);
    EXPECT_EQ(list[2].Flags & Material::LAST_OVERRIDE, 0u);
    RunFrame(0.0f);
    EXPECT_TRUE(Alive(effect));
    RunFrame(0.0f);
    EXPECT_FALSE(Alive(effect));
    EXPECT_EQ(parent->Render.GetMaterialList(), nullptr);
}

TEST_F(KeyedMaterialTest, KeysOfNoLifeAndHugeFramesNeitherHangNorDivide)
{
    rhu::ParticleDef loop[2] = {Key(255, 255, 0.0f, 1, 0.0f), Key(0, 255, 0.0f, 1, 0.0f)};
    loop[0].pNextDef = &loop[1];
    loop[1].pNextDef = &loop[0];
    rhu::ParticleDef* defs[4] = {&loop[0], nullptr, nullptr, nullptr};
    GKeyedMaterial* effect = Make(1, defs);
    CGameTimer::tFrameTime = 1.0e7f;
    RunFrame(0.0f);
    ASSERT_TRUE(Alive(effect));
    const Material* list = parent->Render.GetMaterialList();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list[0].Diffuse.x == 0.0f || list[0].Diffuse.x == 1.0f);
    EXPECT_EQ(effect->Clock, 0.0f);
}

} // namespace
