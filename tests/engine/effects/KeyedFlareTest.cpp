// The keyed flare on a physical parent's render: the primitive calls it hands the renderer
// (recorded as text) for facings along and against the camera's axis, bands tested against
// the blend of the band before them, the visibility gate, and its life with its parent.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "engine/effects/GKeyedFlare.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

class KeyedFlareTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        Recorded.clear();
        SetPrimitiveTrace(Record);
        camera = GmvCamera::Create();
        camera->SetEye(CVector(0.0f, -20.0f, 0.0f));
        camera->SetFocus(CVector(0.0f, 0.0f, 0.0f));
        parent = GPhysical::Create();
        parent->SetPos(CVector(0.0f, 0.0f, 0.0f));
        parent->Render.SetHackFloat1(1.0f);
        parent->Render.SetHackFloat2(2.0f);
        // Band A covers keys from -1 to -0.5, B from 0.5 to 1; C sits behind A and is met
        // only through A's blend, which lies in 0 to 1.
        bands[0] = Band(-1.0f, -0.5f, 1 | 4, 100.0f);
        bands[1] = Band(0.5f, 1.0f, 0, 50.0f);
        bands[2] = Band(0.0f, 1.0f, 1 | 4 | 0x10, 25.0f);
        bands[0].pNextDef = &bands[1];
        bands[1].pNextDef = &bands[2];
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
    }
    static rhu::ParticleDef Band(float from, float to, unsigned long flags, float red)
    {
        rhu::ParticleDef band = {};
        band.Lifespan.Min = from, band.Lifespan.Max = to;
        band.MinColor.Red = red, band.MinColor.Alpha = 255.0f;
        band.MaxColor.Red = red, band.MaxColor.Green = 200.0f, band.MaxColor.Alpha = 128.0f;
        band.Scale.Min = 1.0f, band.Scale.Max = 2.0f;
        band.MinDamp.X = 1.0f, band.MinDamp.Y = 0.5f;
        band.MaxDamp.X = 2.0f, band.MaxDamp.Y = 1.0f;
        band.MaxSpin.Z = 1.0f;
        band.Facing = 4;
        band.Gravity = 1.0f;
        band.Flags = flags;
        return band;
    }
    GKeyedFlare* MakeFlare(const CVector& offset, rhu::ParticleDef* head)
    {
        FillData data;
        data.Word("pParticle", reinterpret_cast<unsigned long>(head));
        data.Float("Offset.X", offset.x).Float("Offset.Y", offset.y).Float("Offset.Z", offset.z);
        data.Word("RendPriority", 0x60008005);
        GObject* flare = parent->Create(GKeyedFlare::ClassId, data.Get());
        return static_cast<GKeyedFlare*>(flare);
    }
    GmvCamera* camera = nullptr;
    GPhysical* parent = nullptr;
    rhu::ParticleDef bands[3];
};

TEST_F(KeyedFlareTest, BandsDrawnForFacingsAroundTheCameraAxisMatchTheGolden)
{
    struct Case {
        const char* name;
        CVector offset;
    };
    // The camera looks along +Y; facings along it, against it and across it.
    const Case cases[] = {{"along", CVector(0, 1, 0)},
                          {"nearly against", CVector(0.05f, -1, 0.02f)},
                          {"slanted", CVector(0.3f, 1.0f, 0.2f)},
                          {"across", CVector(1, 0, 0)}};
    std::string text;
    for (const Case& c : cases) {
        GKeyedFlare* flare = MakeFlare(c.offset, &bands[0]);
        RunFrame(0.0f);
        ASSERT_EQ(flare->GetOwner(), &parent->Render);
        Recorded.clear();
        flare->Render();
        text += std::string("== ") + c.name + "\n" + Recorded;
        flare->Destroy();
    }
    ExpectSceneGolden("keyed_flare.txt", text);
}

// Straight against the axis the key is -1: band A at its start, then C through A's blend of 0.
// (The quad's turn about a facing along the axis is arbitrary, so only the bands are checked.)
TEST_F(KeyedFlareTest, AFacingStraightAgainstTheAxisDrawsTheFirstBandAndTheOneBehindIt)
{
    GKeyedFlare* flare = MakeFlare(CVector(0, -1, 0), &bands[0]);
    RunFrame(0.0f);
    Recorded.clear();
    flare->Render();
    EXPECT_NE(Recorded.find("SetPrimitiveColor 100.000 0.000 0.000 255.000\n"), std::string::npos) << Recorded;
    EXPECT_NE(Recorded.find("SetPrimitiveColor 25.000 0.000 0.000 255.000\n"), std::string::npos) << Recorded;
    EXPECT_EQ(Recorded.find("SetPrimitiveColor 50."), std::string::npos) << Recorded;
}

TEST_F(KeyedFlareTest, NothingIsDrawnWhileHiddenAndTheFlareDiesWithItsParentOrWithoutBands)
{
    GKeyedFlare* flare = MakeFlare(CVector(0, 1, 0), &bands[0]);
    RunFrame(0.0f);
    parent->Render.SetHackFloat1(0.0f);
    Recorded.clear();
    flare->Render();
    EXPECT_EQ(Recorded, "");

    GKeyedFlare* bare = MakeFlare(CVector(0, 1, 0), nullptr);
    RunFrame(0.0f);
    EXPECT_EQ(parent->pChild, flare);
    EXPECT_EQ(flare->pNext, nullptr) << "the flare without bands is gone";
    (void)bare;

    // The parent going takes the flare off its render; alone it destroys itself.
    flare->SetParent(nullptr);
    parent->Destroy();
    RunFrame(0.0f);
    for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
        EXPECT_NE(child->GetClassId(), GKeyedFlare::ClassId);
}

} // namespace
