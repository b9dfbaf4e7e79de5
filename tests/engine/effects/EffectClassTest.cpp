// The effect classes as the registry knows them: class flags, parent and derivation for every
// registered effect class, and the live definition editors and the static particle on the
// real object model.
#include <gtest/gtest.h>

#include <string>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GDefinitionEdit.h"
#include "engine/effects/GDynaDecal.h"
#include "engine/effects/GEmitterField.h"
#include "engine/effects/GParticleLight.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GStaticParticle.h"
#include "engine/object/ClassTypeEntry.h"
#include "engine/render/LightHandles.h"

namespace {

TEST(EffectClasses, RegistrationsCarryTheirFlagsParentsAndDerivation)
{
    const struct {
        const char* name;
        const char* parent;
        DWORD flags;
    } classes[] = {
        {"GParticleSystem", "GEffect", 0x08808000},
        {"GParticleSystemNoSave", "GParticleSystem", 0x04808000},
        {"GParticleSystemEx", "GParticleSystem", 0x88008000},
        {"GStaticParticle", "GEffect", 0x08808000},
        {"GStaticParticleNoSave", "GStaticParticle", 0x04808000},
        {"GStaticParticleEx", "GStaticParticle", 0x80808000},
        {"GWind", "GObject", 0x08008000},
        {"GEmitterEdit", "GPosRot", 0x86008000},
        {"GParticleEdit", "GPosRot", 0x86008000},
        {"GParticleLight", "GLight", 0x86008000},
        {"GTrailSystem", "GParticleSystem", 0x08008000},
        {"GTrailInstance", "GEffect", 0x00808000},
        {"GDynaDecal", "GEffect", 0x08008000},
        {"GTeamColorDecal", "GDynaDecal", 0x08008000},
        {"GUnitTrackDecal", "GDynaDecal", 0x08008000},
        {"GFootTrackDecal", "GDynaDecal", 0x04808000},
        {"GDecorDecal", "GDynaDecal", 0x8A008000},
        {"GParticleDecal", "GDynaDecal", 0x08008000},
        {"GParticleDecalEx", "GParticleDecal", 0x88008000},
        {"GParticleDecalNoSave", "GParticleDecal", 0x04808000},
        {"GBeam", "GEffect", 0x04808000},
        {"GSplatterSystem", "GEffect", 0x08808000},
        {"GSplatterSystemNoSave", "GSplatterSystem", 0x04808000},
        {"GTrailGlyph", "GEffect", 0x04808000},
        {"GKeyedMaterial", "GEffect", 0x04008000},
        {"GDebrisField", "GEffect", 0x86008000},
        {"GMeshLerper", "GEffect", 0x04808000},
        {"GSmokeSystem", "GEffect", 0x00808000},
        {"GEffectBudget", "GObject", 0x04808000},
        {"GEmitterField", "GDebrisField", 0x06008001},
        {"GOrbitalStrike", "GEffect", 0x84808000},
    };
    for (const auto& c : classes) {
        const DWORD id = CCRC32(c.name);
        ClassTypeEntry* entry = GObject::FindClassEntry(id);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry->Flags, c.flags) << c.name;
        // A team colour decal outside prototype building removes itself at once, and so does an
        // emitter field without its particle system record: they are looked at as the registry
        // builds prototypes, which also skips PostConstruction.
        const bool prototype = id == GTeamColorDecal::ClassId || id == GEmitterField::ClassId;
        GObject::EditableEvaluation = prototype ? 1 : 0;
        GObject* object = GObject::Create(id, HGOBJECT(0), nullptr);
        GObject::EditableEvaluation = 0;
        ASSERT_NE(object, nullptr) << c.name;
        EXPECT_EQ(object->GetParentClassId(), DWORD(CCRC32(c.parent))) << c.name;
        EXPECT_TRUE(object->IsDerivedFromClassId(id)) << c.name;
        // Every id up the chain answers true, through to GObject.
        for (DWORD up = CCRC32(c.parent); up != 0;) {
            EXPECT_TRUE(object->IsDerivedFromClassId(up)) << c.name;
            ClassTypeEntry* parent = GObject::FindClassEntry(up);
            if (!parent || up == DWORD(CCRC32("GObject")))
                break;
            GObject* probe = GObject::Create(up, HGOBJECT(0), nullptr);
            up = probe ? probe->GetParentClassId() : 0;
            if (probe)
                probe->Destroy();
        }
        object->Destroy();
        GObject::DestroyObjects();
    }
    GParticleSystemEx* ex = GParticleSystemEx::Create();
    EXPECT_TRUE(ex->IsDerivedFromClassId(GParticleSystem::ClassId));
    EXPECT_TRUE(ex->IsDerivedFromClassId(GEffect::ClassId));
    EXPECT_FALSE(ex->IsDerivedFromClassId(GParticleSystemNoSave::ClassId));
    EXPECT_FALSE(ex->IsDerivedFromClassId(GStaticParticle::ClassId));
    ex->Destroy();
    GObject::DestroyObjects();
}

class DefinitionEditTest : public ObjectTest {};

TEST_F(DefinitionEditTest, TheWorkingCopyShowsTheDefinitionAndWritesChangesBack)
{
    rhu::ParticleDef def = {};
    def.MinColor.X = 12.0f;
    def.Gravity = 9.8f;
    GParticleEdit* edit = GParticleEdit::Create();
    edit->pParticle = &def;
    edit->Process();
    EXPECT_EQ(edit->Part.MinColor.X, 12.0f);
    edit->Part.Gravity = 3.0f;
    edit->Process();
    EXPECT_EQ(def.Gravity, 3.0f);
    // Without a definition the write-back stops and the copy keeps its values.
    edit->pParticle = nullptr;
    edit->Part.Gravity = 1.0f;
    edit->Process();
    EXPECT_EQ(def.Gravity, 3.0f);
    EXPECT_EQ(edit->Part.Gravity, 1.0f);

    rhu::EmitterDef emitter = {};
    emitter.Count.Max = 7.0f;
    GEmitterEdit* emit = GEmitterEdit::Create();
    emit->pEmitter = &emitter;
    emit->Process();
    EXPECT_EQ(emit->Emit.Count.Max, 7.0f);
    emit->Emit.Count.Max = 9.0f;
    emit->Process();
    EXPECT_EQ(emitter.Count.Max, 9.0f);
}

TEST_F(DefinitionEditTest, EditorsListTheirFieldsForTheConverter)
{
    ExpectSceneGolden("particle_edit_class.txt", DescribeClass(GParticleEdit::ClassId));
    ExpectSceneGolden("emitter_edit_class.txt", DescribeClass(GEmitterEdit::ClassId));
    ExpectSceneGolden("particle_system_class.txt", DescribeClass(GParticleSystem::ClassId));
    ExpectSceneGolden("static_particle_class.txt", DescribeClass(GStaticParticle::ClassId));
}

TEST_F(DefinitionEditTest, AStaticParticleEndsWithItsDefinitionChain)
{
    GlobalRandom.Seed(7);
    rhu::ParticleDef second = {};
    second.Lifespan = rhu::RangeData{2.0f, 2.0f, 1.0f};
    rhu::ParticleDef first = {};
    first.Lifespan = rhu::RangeData{1.0f, 1.0f, 1.0f};
    first.pNextDef = &second;
    GStaticParticle* particle = GStaticParticle::Create();
    particle->SetParticle(&first);
    particle->PrepareParticle();
    EXPECT_EQ(particle->BoundingBloat, 2.0f);
    CGameTimer::tFrameTime = 0.5f;
    int frames = 0;
    bool alive = true;
    while (alive && frames < 20) {
        GObject::ProcessObjects();
        ++frames;
        alive = false;
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            alive = alive || child == particle;
    }
    CGameTimer::tFrameTime = 0.0f;
    // 3 s of frame time ends the chain; the particle goes in the frame that crosses it.
    EXPECT_EQ(frames, 7);
}

TEST_F(DefinitionEditTest, AParticleLightIsLitOnlyByFacingDefinitionsAndEndsWithItsChain)
{
    rhu::ParticleDef dark = {};
    dark.Lifespan = rhu::RangeData{0.5f, 0.5f, 1.0f};
    rhu::ParticleDef lit = {};
    lit.Lifespan = rhu::RangeData{0.5f, 0.5f, 1.0f};
    lit.Facing = 1;
    lit.MinColor.X = 200.0f;
    lit.MaxColor.Z = 40.0f;
    lit.Scale.Min = 8.0f;
    lit.Size.X = 1.0f;
    lit.pNextDef = &dark;
    GParticleLight* light = GParticleLight::Create();
    light->pParticleOverride = &lit;
    auto frame = [](float seconds) {
        CGameTimer::tFrameTime = seconds;
        GObject::ProcessObjects();
    };
    auto alive = [&] {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == light)
                return true;
        return false;
    };
    frame(0.2f);
    unsigned long handle = light->GetLightHandle();
    EXPECT_TRUE(LightIsEnabled(handle));
    // Lerped toward the next definition by the stage's progress.
    EXPECT_NEAR(light->GetDiffuse().x, 200.0f * (1.0f - light->Progress), 1e-3);
    EXPECT_EQ(light->Radius, 8.0f * (1.0f - light->Progress));
    frame(0.5f);
    EXPECT_TRUE(alive());
    EXPECT_FALSE(LightIsEnabled(handle));
    frame(0.5f);
    EXPECT_FALSE(alive());
    CGameTimer::tFrameTime = 0.0f;
}

} // namespace
