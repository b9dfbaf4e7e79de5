// The beam on the real object model: its three-phase envelope, lifetimes cut short by elapsed
// time, the drawn segment and texture repeat, the one follow-up object of a chain (immortal
// or not), and the band quad it hands the renderer.
#include <gtest/gtest.h>

#include <string>

#include "SceneEffectsSupport.h"
#include "engine/effects/GBeam.h"
#include "engine/object/CFillData.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

class BeamTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        Recorded.clear();
        CGameTimer::tGameTime = 100.0f;
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
    }
    // Lifetime 4 s, waxing 1 s and waning 1 s; width keys 0, 2, 2, 0 and lead red 0, 100,
    // 200, 50.
    static FillData Envelope(float wax = 1.0f)
    {
        FillData data;
        data.Float("Lifetime", 4.0f).Float("WaxDuration", wax).Float("WaneDuration", 1.0f);
        const float width[] = {0.0f, 2.0f, 2.0f, 0.0f}, red[] = {0.0f, 100.0f, 200.0f, 50.0f};
        for (int k = 0; k < 4; ++k)
            data.Float("Width", width[k], k).Float("LeadColorRed", red[k], k).Float("TrailColorAlpha", 255.0f, k);
        return data;
    }
    static GBeam* Make(FillData& data)
    {
        return static_cast<GBeam*>(GObject::Create(GBeam::ClassId, HGOBJECT(0), data.Get()));
    }
    static void At(float time)
    {
        CGameTimer::tGameTime = time;
        GObject::ProcessObjects();
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
};

TEST_F(BeamTest, TheEnvelopeWaxesHoldsAndWanes)
{
    FillData data = Envelope();
    GBeam* beam = Make(data);
    const struct {
        float time, width, red;
    } cases[] = {
        {100.5f, 1.0f, 50.0f},  // half way through waxing
        {101.0f, 2.0f, 100.0f}, // full from the wax end
        {102.0f, 2.0f, 150.0f}, // half way through full
        {103.5f, 1.0f, 125.0f}, // half way through waning
    };
    for (const auto& c : cases) {
        At(c.time);
        EXPECT_FLOAT_EQ(beam->CurrentWidth(), c.width) << c.time;
        EXPECT_FLOAT_EQ(beam->LeadColour().x, c.red) << c.time;
    }
    At(104.0f);
    EXPECT_FALSE(Alive(beam));

    // No waxing: the first phase is empty and the beam starts at its wax-end keys.
    FillData sudden = Envelope(0.0f);
    GBeam* at = Make(sudden);
    EXPECT_EQ(at->Rate[0], 0.0f);
    At(104.0f);
    EXPECT_FLOAT_EQ(at->CurrentWidth(), 2.0f);
    // Time gone beyond the whole lifetime puts every phase at the start: the beam ends at once.
    at->SetLifetime(4.0f, 5.0f);
    EXPECT_EQ(at->WaxEnd, at->Start);
    EXPECT_EQ(at->WaneStart, at->Start);
    EXPECT_EQ(at->End, at->Start);
    EXPECT_TRUE(at->IsDead());
    GObject::ProcessObjects();
    EXPECT_FALSE(Alive(at));
}

TEST_F(BeamTest, TheSegmentAndTextureRepeatFollowTheirScales)
{
    const struct {
        float segment, texture;
        float length, repeat;
    } cases[] = {
        {0.0f, 0.0f, 10.0f, 1.0f},  // the whole beam, texture once
        {4.0f, 2.0f, 4.0f, 2.0f},   // four units from the trail point, texture every two
        {-4.0f, 2.0f, 4.0f, -2.0f}, // from the front point back
        {25.0f, 5.0f, 10.0f, 2.0f}, // longer than the beam: the whole length
    };
    for (const auto& c : cases) {
        FillData data = Envelope();
        data.Float("SegmentScale", c.segment).Float("TextureScale", c.texture);
        GBeam* beam = Make(data);
        beam->SetEndPoints(CVector(10, 0, 0), CVector(0, 0, 0));
        EXPECT_FLOAT_EQ(beam->SegmentLength, c.length) << c.segment;
        EXPECT_FLOAT_EQ(beam->TextureRepeat, c.repeat) << c.segment;
        EXPECT_FLOAT_EQ(beam->Centre.x, 5.0f);
    }
}

TEST_F(BeamTest, AChainMakesOneFollowUpThatTakesTheEndPoints)
{
    FillData next = Envelope();
    CEmbeddedFillData chain;
    chain.ClassId = GBeam::ClassId;
    chain.LabelId = 77;
    chain.pData = next.Get();
    chain.Player = 0;
    FillData data = Envelope();
    data.Word("pChainData", reinterpret_cast<unsigned long>(&chain));
    GBeam* beam = Make(data);
    beam->SetEndPoints(CVector(1, 2, 3), CVector(4, 5, 6));
    beam->Immortalize();
    At(104.0f);
    At(105.0f);
    At(106.0f);
    // Immortal: still there, with exactly one follow-up.
    EXPECT_TRUE(Alive(beam));
    GBeam* follow = static_cast<GBeam*>(beam->GetChained());
    ASSERT_NE(follow, nullptr);
    int beams = 0;
    for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
        beams += child->IsDerivedFromClassId(GBeam::ClassId);
    EXPECT_EQ(beams, 2);
    EXPECT_EQ(follow->GetLabel(), 77u);
    CVector lead;
    follow->GetLeadPos(lead);
    EXPECT_EQ(lead.z, 3.0f);
    // Eject makes it mortal again.
    beam->Eject(beam->GetOwner());
    At(106.5f);
    EXPECT_FALSE(Alive(beam));
}

TEST_F(BeamTest, TheBandIsOneCameraFacingQuadWithItsEndColours)
{
    GmvCamera* camera = GmvCamera::Create();
    camera->SetEye(CVector(5.0f, 0.0f, 20.0f));
    camera->SetFocus(CVector(5.0f, 0.0f, 0.0f));
    FillData data = Envelope();
    data.Float("TextureScale", 5.0f);
    GBeam* beam = Make(data);
    beam->SetEndPoints(CVector(10, 0, 0), CVector(0, 0, 0));
    At(101.5f);
    SetPrimitiveTrace(Record);
    beam->Render();
    SetPrimitiveTrace(nullptr);
    ExpectSceneGolden("beam_band.txt", Recorded);
    // Seen end-on the band has no width: nothing is drawn.
    camera->SetEye(CVector(20.0f, 0.0f, 0.0f));
    camera->SetFocus(CVector(0.0f, 0.0f, 0.0f));
    Recorded.clear();
    SetPrimitiveTrace(Record);
    beam->Render();
    EXPECT_EQ(Recorded, "");
}

} // namespace
