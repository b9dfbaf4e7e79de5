// The small effect objects in scenarios: culling overrides with and without a parent, turning
// towards the wind the short way, morph loops, empty batches, released attachments, the
// auto-detailer's pass flags, and the shell pass putting back every field it lends itself.
#include <gtest/gtest.h>

#include <functional>

#include "ObjectTestSupport.h"
#include "SceneEffectsSupport.h"
#include "engine/effects/GOrbitalStrike.h"
#include "engine/effects/GEffectBudget.h"
#include "engine/effects/GLightningBolt.h"
#include "engine/effects/GRainSystem.h"
#include "engine/effects/GSmokeSystem.h"
#include "engine/effects/GSplatterSystem.h"
#include "engine/effects/EffectModifiers.h"
#include "engine/effects/GAutoDetailer.h"
#include "engine/effects/GEffectBatch.h"
#include "engine/effects/GMeshLerper.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/Material.h"

namespace {

const float kDegree = 3.14159265f / 180.0f;

class SmallEffectsTest : public ObjectTest {
protected:
    void TearDown() override
    {
        CGameTimer::tFrameTime = 0;
        ObjectTest::TearDown();
    }
    static bool Alive(GObject* object)
    {
        for (GObject* o = GObject::GetRoot()->pChild; o; o = o->pNext)
            if (o == object || o->IsChild(object))
                return true;
        return false;
    }
};

TEST_F(SmallEffectsTest, Scenarios)
{
    struct Scenario {
        const char* name;
        std::function<void()> run;
    } scenarios[] = {
        {"cull override without a parent goes and changes nothing",
         [] {
             GCullOverride* cull = GCullOverride::Create();
             cull->CullRadius = 5;
             RunFrame();
             EXPECT_FALSE(Alive(cull));
         }},
        {"cull override sets the parent's radius, or never-culled for a radius below 0",
         [] {
             for (float radius : {7.5f, -1.0f}) {
                 GPhysical* parent = GPhysical::Create();
                 GCullOverride* cull = GCullOverride::Create();
                 cull->SetParent(parent);
                 cull->CullRadius = radius;
                 RunFrame();
                 EXPECT_FALSE(Alive(cull));
                 if (radius >= 0) {
                     EXPECT_EQ(parent->Render.GetCullRadius(), radius);
                     EXPECT_FALSE(parent->Render.GetFlags() & CRender::FLAG_NEVER_CULLED);
                 } else {
                     EXPECT_TRUE(parent->Render.GetFlags() & CRender::FLAG_NEVER_CULLED);
                 }
                 parent->Destroy();
             }
         }},
        {"wind affector at 170 degrees with the wind at -170 turns the short way, no further than rate x time",
         [] {
             GWind* wind = GWind::Create();
             GPhysical* parent = GPhysical::Create();
             GWindAffector* affector = GWindAffector::Create();
             affector->SetParent(parent);
             affector->Rate = 1.0f;
             parent->SetRot(CVector(0, 0, 170 * kDegree));
             GWind::pThe->heading = -170 * kDegree;
             CGameTimer::tFrameTime = 0.1f;
             EXPECT_FALSE(affector->Process());
             EXPECT_NEAR(parent->GetRot().z, 170 * kDegree + 0.1f, 1e-5f) << "up through 180, not down";
             EXPECT_EQ(affector->GetOwner(), &parent->Render);
             for (int i = 0; i < 10; ++i)
                 affector->Process();
             EXPECT_NEAR(parent->GetRot().z, 190 * kDegree, 1e-5f) << "stops at the wind";
             parent->Destroy();
             wind->Destroy();
         }},
        {"wind affector without a parent goes",
         [] {
             GWindAffector* affector = GWindAffector::Create();
             EXPECT_TRUE(affector->Process());
         }},
        {"mesh lerper with loop style 1 and loop position 0.5 stays between 0.5 and 1",
         [] {
             GMeshLerper* lerper = GMeshLerper::Create();
             lerper->LoopStyle = GMeshLerper::LOOP_WRAP;
             lerper->LoopPos = 0.5f;
             lerper->Velocity = 0.7f;
             lerper->LastFrame = 4;
             CGameTimer::tFrameTime = 0.1f;
             float lowest = 1, highest = 0;
             for (int i = 0; i < 60; ++i) {
                 ASSERT_FALSE(lerper->Process());
                 if (i > 10) {
                     lowest = std::min(lowest, lerper->GetPosition());
                     highest = std::max(highest, lerper->GetPosition());
                 }
             }
             EXPECT_GE(lowest, 0.5f);
             EXPECT_LT(lowest, 0.6f);
             EXPECT_LT(highest, 1.0f);
             EXPECT_GT(highest, 0.9f);
             EXPECT_FLOAT_EQ(lerper->GetRender().GetLerpValue(), lerper->GetPosition() * 4);
             lerper->Destroy();
         }},
        {"mesh lerper bouncing turns round at both ends; without a loop it goes past 1",
         [] {
             GMeshLerper* bounce = GMeshLerper::Create();
             bounce->LoopStyle = GMeshLerper::LOOP_BOUNCE;
             bounce->Velocity = 0.4f;
             bounce->TintTime[1] = bounce->TintTime[2] = bounce->TintTime[3] = 1;
             bounce->Red[1] = 1;
             CGameTimer::tFrameTime = 1.0f;
             bounce->Process();
             bounce->Process();
             bounce->Process();
             EXPECT_FLOAT_EQ(bounce->GetPosition(), 0.999f);
             EXPECT_FLOAT_EQ(bounce->Velocity, -0.4f);
             EXPECT_NEAR(bounce->GetTint().x, 0.999f, 1e-6f) << "the tint follows its keys";
             bounce->Destroy();
             GMeshLerper* once = GMeshLerper::Create();
             once->Velocity = 0.6f;
             EXPECT_FALSE(once->Process());
             EXPECT_FALSE(once->Process());
             EXPECT_TRUE(once->Process()) << "outside 0..1 without a loop";
         }},
        {"effect batch with every slot empty goes on its first pass",
         [] {
             GEffectBatch* batch = GEffectBatch::Create();
             RunFrame();
             EXPECT_FALSE(Alive(batch));
         }},
        {"soft attach with no parent is released and goes",
         [] {
             GSoftAttach* attach = GSoftAttach::Create();
             EXPECT_FALSE(attach->Process());
             attach->Render();
             EXPECT_TRUE(attach->Released);
             EXPECT_TRUE(attach->Process());
         }},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        s.run();
        ResetWorld();
        CGameTimer::tFrameTime = 0;
    }
}

TEST_F(SmallEffectsTest, AutoDetailerPassFlags)
{
    struct Case {
        int effect;
        unsigned long flags;
        int program;
    } cases[] = {
        {0xFFFF, Material::HIDDEN, 0},
        {0x1, Material::REPLACE_TEXTURE, 0},
        {0x2, Material::REPLACE_ALPHA, 0},
        {0x4, Material::NO_DEPTH_WRITE, 0},
        {0x38, Material::ADDITIVE | Material::NO_CULL | Material::NO_DEPTH_TEST, 0},
        {0x40, 0x80000, 0},
        {0x80, 0x20000, 0},
        {0x101, Material::REPLACE_TEXTURE | 0x20000, 1},
        {0x200, 0x20000, 2},
        {0x300, 0x20000, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GAutoDetailer::PassFlags(c.effect), c.flags) << std::hex << c.effect;
        EXPECT_EQ(GAutoDetailer::PassProgram(c.effect), c.program) << std::hex << c.effect;
    }
    GAutoDetailer* detailer = GAutoDetailer::Create();
    detailer->Effect[2] = 0x1;
    detailer->Effect[7] = 0x202;
    detailer->PassDepth = 0.25f;
    ASSERT_EQ(detailer->FillPasses(), 2);
    const Material* passes = detailer->GetPasses();
    EXPECT_EQ(passes[0].Flags, Material::REPLACE_TEXTURE);
    EXPECT_EQ(passes[1].Flags, Material::REPLACE_ALPHA | 0x20000 | Material::LAST_OVERRIDE);
    ASSERT_NE(passes[1].Effect, nullptr);
    EXPECT_EQ(passes[1].Effect->Name, static_cast<unsigned long>(CCRC32("Effect_Shell")));
    EXPECT_EQ(passes[1].Effect->VScroll, 0.25f);
}

// What the resource saw while the shell pass had it draw.
struct Seen {
    CVector Position, Rotation;
    CVector4 Colour;
    Material* Materials;
    unsigned long Priority;
    int Calls = 0;
};

class RecordingResource : public CRendResource {
public:
    void Render(CRender* render) override
    {
        seen.Position = *render->GetPos();
        seen.Rotation = *render->GetRot();
        seen.Colour = *render->GetColour();
        seen.Materials = render->GetMaterialList();
        seen.Priority = render->GetMergedPriority();
        ++seen.Calls;
    }
    Seen seen;
};

TEST_F(SmallEffectsTest, ShellPassDrawsWithItsOwnFieldsAndPutsEveryOneBack)
{
    RecordingResource resource;
    CVector position(1, 2, 3), rotation(0.1f, 0.2f, 0.3f), offset(4, 5, 6);
    CVector4 colour(0.5f, 0.5f, 0.5f, 1);
    Material ownMaterials[1] = {}, shellMaterials[1] = {};
    CRender render;
    render.Attach(&position, &rotation, &colour, &offset);
    render.SetResource(&resource);
    render.Attach(ownMaterials);
    render.SetPriority(0x1234);
    render.SetSortModifier(-7);

    GShellPass* shell = GShellPass::Create();
    shell->pMaterials = shellMaterials;
    shell->PositionOffset = CVector(0, 0, 1);
    shell->RotationOffset = CVector(0, 0, 0.5f);
    shell->Colour = CVector4(1, 0, 0, 0.5f);
    shell->ShellPriority = 0x9000;
    shell->SortModifier = 0x8003;
    render.Attach(shell);

    EXPECT_FALSE(shell->Render());
    ASSERT_EQ(resource.seen.Calls, 1);
    EXPECT_EQ(resource.seen.Position, CVector(1, 2, 4));
    EXPECT_EQ(resource.seen.Rotation, CVector(0.1f, 0.2f, 0.8f));
    EXPECT_EQ(resource.seen.Colour, CVector4(1, 0, 0, 0.5f));
    EXPECT_EQ(resource.seen.Materials, shellMaterials);
    EXPECT_EQ(resource.seen.Priority, 0x90008003ul) << "the shell's 16-bit modifier is the stored one";

    EXPECT_EQ(render.GetPos(), &position);
    EXPECT_EQ(render.GetRot(), &rotation);
    EXPECT_EQ(render.GetColour(), &colour);
    EXPECT_EQ(render.GetOffset(), &offset);
    EXPECT_EQ(render.GetMaterialList(), ownMaterials);
    EXPECT_EQ(render.GetPriority(), 0x1234);
    EXPECT_EQ(render.GetSortModifier(), -7);
    EXPECT_EQ(position, CVector(1, 2, 3));

    shell->Replace = 1;
    EXPECT_TRUE(shell->Render()) << "replace hides the owner's own drawing";
    render.Detach(shell);
    render.SetResource(nullptr);
}

} // namespace

namespace {

// Names, class flags and editable lists: the contract with the converter's creation data.
TEST(EffectSystemClasses, RegistrationsMatchTheGolden)
{
    const DWORD classes[] = {
        GEffectBudget::ClassId, GSmokeSystem::ClassId,   GSplatterSystem::ClassId, GSplatterSystemNoSave::ClassId,
        GRainSystem::ClassId,   GLightningBolt::ClassId, GShellPass::ClassId,      GCullOverride::ClassId,
        GSoftAttach::ClassId,   GWindAffector::ClassId,  GColorizer::ClassId,      GEffectBatch::ClassId,
        GMeshLerper::ClassId,   GAutoDetailer::ClassId,  GGridRender::ClassId,     GOrbitalStrike::ClassId};
    std::string text;
    for (DWORD id : classes)
        text += DescribeClass(id);
    ExpectSceneGolden("effect_system_classes.txt", text);
}

} // namespace
