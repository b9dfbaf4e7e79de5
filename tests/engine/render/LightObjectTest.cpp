// Light objects made from creation data: the light record each one fills, the type its class
// gives, how it follows moves, turns and edits, the spot light's learnt reach and the chain
// light's life, fade into its successor and death.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <d3d9_fake_adapter.h>

#include "ObjectTestSupport.h"
#include "RenderTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CoreMessages.h"
#include "engine/render/CLightTree.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/GChainLight.h"
#include "engine/render/GDirectionalLight.h"
#include "engine/render/GFadeLight.h"
#include "engine/render/GFogVolume.h"
#include "engine/render/GPointLight.h"
#include "engine/render/GSpotLight.h"
#include "engine/render/GStrobeLight.h"
#include "engine/render/LightHandles.h"

namespace {

LightRecord* Record(unsigned long handle) { return reinterpret_cast<LightRecord*>(handle); }

template <class T> T* Make(FillData& data)
{
    return static_cast<T*>(GObject::Create(T::ClassId, HGOBJECT(0), data.Get()));
}

template <class T> T Message()
{
    T message;
    message.MessageId = T::CMessageId;
    message.Priority = CMessage::DefaultPriority;
    return message;
}

GObject* FindLabelled(DWORD label)
{
    for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
        if (child->GetLabel() == label)
            return child;
    return nullptr;
}

void ExpectNear(const CVector& v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

class LightObjectTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        CGameTimer::tGameTime = 0.0f;
    }
};

TEST_F(LightObjectTest, TheAttenuationFollowsTheRadiusUnlessGiven)
{
    struct Case {
        float Radius, GivenX;
        CVector Expected;
    };
    // A light without a radius has no fall-off: a reciprocal root of 0 would reach the device.
    const Case cases[] = {{4.0f, 0.0f, CVector(0.0001f, 0.125f, 0.5f)},
                          {16.0f, 0.0f, CVector(0.0001f, 0.0625f, 0.25f)},
                          {0.0f, 0.0f, CVector(1.0f, 0.0f, 0.0f)},
                          {4.0f, 2.0f, CVector(2.0f, 0.0f, 0.0f)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Radius);
        FillData data;
        data.Float("Radius", c.Radius).Float("Attenuate.X", c.GivenX);
        GPointLight* light = Make<GPointLight>(data);
        ASSERT_NE(light, nullptr);
        ExpectNear(light->Attenuate, c.Expected.x, c.Expected.y, c.Expected.z);
        ExpectNear(Record(light->GetLightHandle())->Attenuation, c.Expected.x, c.Expected.y, c.Expected.z);
        EXPECT_EQ(Record(light->GetLightHandle())->Radius, c.Radius);
        light->Destroy();
    }
}

TEST_F(LightObjectTest, ARotationHoldingADirectionBecomesItsAnglesAndTheDirectionIsKept)
{
    struct Case {
        CVector Given;
        CVector Direction;
    };
    const Case cases[] = {{CVector(0, 0, 0), CVector(0, 0, -1)},
                          {CVector(3, 0, 0), CVector(1, 0, 0)},
                          {CVector(0, -2, 0), CVector(0, -1, 0)},
                          {CVector(0, 1, -1), CVector(0, 0.70710678f, -0.70710678f)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Given.x + 10 * c.Given.y + 100 * c.Given.z);
        FillData data;
        data.Float("Locator.Rotation.X", c.Given.x)
            .Float("Locator.Rotation.Y", c.Given.y)
            .Float("Locator.Rotation.Z", c.Given.z)
            .Float("Intensity", 1.0f);
        GDirectionalLight* light = Make<GDirectionalLight>(data);
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light->DirMode, 1);
        ExpectNear(light->NormVector, c.Direction.x, c.Direction.y, c.Direction.z);
        ExpectNear(Record(light->GetLightHandle())->Direction, c.Direction.x, c.Direction.y, c.Direction.z);
        // The angles it keeps turn a light the same way.
        CVector again;
        GLight::TranslateDirection(again, light->GetRot());
        ExpectNear(again, c.Direction.x, c.Direction.y, c.Direction.z, 0.01f);
        light->Destroy();
    }
}

TEST_F(LightObjectTest, EachClassGivesItsTypeAndOnlyTheLivingOnesShine)
{
    struct Case {
        DWORD ClassId;
        int Type;
        bool LitAfterAFrame;
    };
    const Case cases[] = {{GDirectionalLight::ClassId, LightRecord::TYPE_DIRECTIONAL, true},
                          {GChainLight::ClassId, LightRecord::TYPE_DIRECTIONAL, true},
                          {GPointLight::ClassId, LightRecord::TYPE_POINT, true},
                          {GSpotLight::ClassId, LightRecord::TYPE_SPOT, true},
                          {GStrobeLight::ClassId, LightRecord::TYPE_NONE, false},
                          {GFadeLight::ClassId, LightRecord::TYPE_POINT, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Type);
        FillData data;
        data.Float("Intensity", 0.5f).Float("difC.Red", 200.0f).Int("Priority", 3).Int("ViewportIndex", 2);
        data.Word("Name", CCRC32::GetCRC("Sun"));
        GLight* light = static_cast<GLight*>(GObject::Create(c.ClassId, HGOBJECT(0), data.Get()));
        ASSERT_NE(light, nullptr);
        LightRecord* record = Record(light->GetLightHandle());
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->Type, c.Type);
        EXPECT_FALSE(record->Flags & LightRecord::FLAG_ENABLED); // made off, lit by its frame
        EXPECT_EQ(record->Intensity, 0.5f);
        EXPECT_EQ(record->Diffuse.x, 200.0f);
        EXPECT_EQ(record->Priority, 3);
        EXPECT_EQ(record->Viewport, 2);
        EXPECT_EQ(record->Name, CCRC32::GetCRC("Sun"));
        RunFrame();
        EXPECT_EQ((record->Flags & LightRecord::FLAG_ENABLED) != 0, c.LitAfterAFrame);
        light->Destroy();
        RunFrame();
    }
}

TEST_F(LightObjectTest, AFogVolumeIsAFogLightOfItsColourAndDistances)
{
    FillData data;
    data.Float("Start", 10.0f).Float("End", 90.0f).Float("Color.Red", 40.0f).Float("Color.Blue", 80.0f);
    data.Int("Priority", 7).Int("ViewportIndex", 1);
    GFogVolume* fog = Make<GFogVolume>(data);
    ASSERT_NE(fog, nullptr);
    LightRecord* record = Record(fog->GetLightHandle());
    EXPECT_EQ(record->Type, LightRecord::TYPE_FOG);
    EXPECT_TRUE(record->Flags & LightRecord::FLAG_ENABLED);
    ExpectNear(record->Attenuation, 10.0f, 90.0f, 0.0f);
    ExpectNear(record->Diffuse, 40.0f, 0.0f, 80.0f);
    EXPECT_EQ(record->Priority, 7);
    EXPECT_EQ(record->Viewport, 1);
    fog->Destroy();
}

TEST_F(LightObjectTest, MovesTurnsAndEditsReachTheLight)
{
    FillData data;
    data.Float("Intensity", 1.0f).Int("DirMode", 1);
    GPointLight* light = Make<GPointLight>(data);
    ASSERT_NE(light, nullptr);
    LightRecord* record = Record(light->GetLightHandle());
    CSetPosMessage move = Message<CSetPosMessage>();
    move.Pos = CVector(4, 5, 6);
    EXPECT_TRUE(light->ReceiveMessage(&move));
    ExpectNear(record->Position, 4, 5, 6);
    CSetRotMessage turn = Message<CSetRotMessage>();
    turn.Rot = CVector(1.5707963f, 0, 1.5707963f);
    EXPECT_TRUE(light->ReceiveMessage(&turn));
    ExpectNear(record->Direction, 1, 0, 0, 0.01f);
    // The editor changed fields: they are read again, the type stays.
    light->Intensity = 0.25f;
    light->specC = CVector(1, 2, 3);
    CVeskUpdateMessage update = Message<CVeskUpdateMessage>();
    EXPECT_TRUE(light->ReceiveMessage(&update));
    EXPECT_EQ(record->Intensity, 0.25f);
    ExpectNear(record->Specular, 1, 2, 3);
    EXPECT_EQ(record->Type, LightRecord::TYPE_POINT);
    light->Destroy();
}

TEST_F(LightObjectTest, ASpotLightSitsBackAlongItsDirectionAndLearnsItsReachFromItsHeight)
{
    FillData data;
    data.Float("Locator.Rotation.Z", -1.0f) // a direction: straight down
        .Float("LookAt", 4.0f)
        .Float("cosA", 0.5f)
        .Int("LearnRadius", 1)
        .Float("Radius", 3.0f);
    GSpotLight* spot = Make<GSpotLight>(data);
    ASSERT_NE(spot, nullptr);
    LightRecord* record = Record(spot->GetLightHandle());
    EXPECT_EQ(record->Aperture, 0.5f);
    ExpectNear(record->Position, 0, 0, 4); // four units above the point lit
    EXPECT_EQ(record->Radius, 3.0f);
    CSetPosMessage move = Message<CSetPosMessage>();
    move.Pos = CVector(2, 3, 10);
    EXPECT_TRUE(spot->ReceiveMessage(&move));
    EXPECT_FLOAT_EQ(spot->Radius, 21.0f);
    EXPECT_FLOAT_EQ(record->Radius, 21.0f);
    ExpectNear(record->Position, 2, 3, 14);
    spot->Destroy();
}

TEST_F(LightObjectTest, AChainLightFadesIntoItsSuccessorCreatesItAndDies)
{
    FillData next;
    next.Float("Intensity", 0.0f).Float("ambC.Red", 100.0f).Float("difC.Green", 50.0f).Float("LifeTime", 0.0f);
    next.Int("DirMode", 1);
    EmbeddedRecordForTest link = {0, GDirectionalLight::ClassId, CCRC32::GetCRC("Dusk"), next.Get(), 0};
    FillData data;
    data.Float("Intensity", 1.0f).Float("LifeTime", 2.0f).Float("DecayTime", 1.0f).Int("DirMode", 1);
    const void* linkPointer = &link;
    data.Raw("pLinkData", &linkPointer, 4);
    GChainLight* chain = Make<GChainLight>(data);
    ASSERT_NE(chain, nullptr);
    LightRecord* record = Record(chain->GetLightHandle());
    HGOBJECT handle = chain->GetHandle();

    struct Step {
        float Time;
        int Phase;
        float Intensity, AmbientRed;
    };
    // Full values until two seconds; the fade starts with the frame after and takes a second.
    const Step steps[] = {{1.0f, 1, 1.0f, 0.0f},  {2.0f, 1, 1.0f, 0.0f},    {2.5f, 2, 1.0f, 0.0f},
                          {3.0f, 2, 0.5f, 50.0f}, {3.25f, 2, 0.25f, 75.0f}, {3.5f, 2, 0.0f, 100.0f}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Time);
        CGameTimer::tGameTime = s.Time;
        RunFrame();
        EXPECT_EQ(chain->GetPhase(), s.Phase);
        EXPECT_NEAR(record->Intensity, s.Intensity, 1e-5f);
        EXPECT_NEAR(record->Ambient.x, s.AmbientRed, 1e-3f);
    }
    EXPECT_EQ(chain->Intensity, 1.0f); // the object's own fields keep their values
    EXPECT_EQ(FindLabelled(CCRC32::GetCRC("Dusk")), nullptr);
    CGameTimer::tGameTime = 3.75f;
    RunFrame();
    EXPECT_EQ(chain->GetPhase(), 3);
    GObject* dusk = FindLabelled(CCRC32::GetCRC("Dusk"));
    ASSERT_NE(dusk, nullptr);
    EXPECT_TRUE(dusk->IsDerivedFromClassId(GDirectionalLight::ClassId));
    EXPECT_EQ(static_cast<GLight*>(dusk)->ambC.x, 100.0f);
    CGameTimer::tGameTime = 3.8f;
    RunFrame();
    RunFrame();
    EXPECT_EQ(GObject::GetGobject(handle), nullptr);
}

// The centre pixel of a flat square facing +z, drawn by the lit basic shader with its world
// centre at (x, 0, 0.5) under the light set the frame's tree gives that place.
uint32_t LitCentre(CRenderDevice& device, float x)
{
    IDirect3DDevice9* d = device.GetDevice();
    device.SetDefaultRenderStates();
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ApplyLightSet(d, CLightTree::The().FindLightSet(0, CVector(x, 0, 0)), true, 0);
    float c[19 * 4] = {};
    c[3] = 1.0f;                                                  // c0.w
    const float world[12] = {1, 0, 0, x, 0, 1, 0, 0, 0, 0, 1, 0}; // c4-c6: rows
    std::memcpy(&c[4 * 4], world, sizeof world);
    c[12 * 4 + 0] = c[13 * 4 + 1] = c[14 * 4 + 2] = c[15 * 4 + 3] = 1.0f; // on screen as given
    for (int i = 0; i < 4; ++i)
        c[16 * 4 + i] = c[17 * 4 + i] = 1.0f; // white diffuse and ambient material
    d->SetVertexShaderConstantF(0, c, 19);
    EXPECT_TRUE(device.SelectShader(ShaderSlot(kFamilyBasic, true)));
    const float quad[4][8] = {{-1, -1, 0.5f, 0, 0, 1, 0, 0},
                              {1, -1, 0.5f, 0, 0, 1, 1, 0},
                              {-1, 1, 0.5f, 0, 0, 1, 0, 1},
                              {1, 1, 0.5f, 0, 0, 1, 1, 1}};
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 32);
    IDirect3DSurface9* back = nullptr;
    d->GetRenderTarget(0, &back);
    D3DLOCKED_RECT locked;
    back->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    const uint32_t pixel = static_cast<const uint32_t*>(locked.pBits)[32 * locked.Pitch / 4 + 32];
    back->UnlockRect();
    back->Release();
    return pixel;
}

// A level's sun and a red lamp limited to x of 5 and beyond, made from creation data and run
// for a frame: left of the limit the ground takes the sun alone, right of it the lamp adds its
// light as the Lambert formula with the lamp's attenuation says.
TEST_F(LightObjectTest, LightObjectsLightAMeshAsTheirLightSetSays)
{
    FakeAdapter::Configure(FakeAdapter::Default());
    ScopedGameFolder game("light_objects_lit", "width: 64\nheight: 64\nwindowed:\n");
    CRenderDevice device;
    ASSERT_EQ(device.Init(nullptr, CRenderDevice::FLAG_POINT_LIGHTS), 0);
    FillData sunData;
    sunData.Float("Locator.Rotation.Y", 0.8f).Float("Locator.Rotation.Z", 0.6f).Float("Intensity", 1.0f);
    sunData.Float("difC.Blue", 200.0f).Float("ambC.Red", 20.0f).Float("ambC.Green", 20.0f).Float("ambC.Blue", 20.0f);
    GDirectionalLight* sun = Make<GDirectionalLight>(sunData);
    FillData lampData;
    lampData.Float("Locator.Position.X", 6.0f).Float("Locator.Position.Z", 4.5f).Float("Intensity", 1.0f);
    lampData.Float("difC.Red", 255.0f).Float("Radius", 16.0f).Int("NoCull", 1);
    lampData.Float("MinX", 5.0f).Int("LimitLeft", 1);
    GPointLight* lamp = Make<GPointLight>(lampData);
    ASSERT_TRUE(sun && lamp);
    RunFrame();
    RebuildFrameLightTable(CRenderDevice::FLAG_POINT_LIGHTS, true);
    const int aliases[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    CLightTree::The().Build(aliases, CRenderDevice::FLAG_POINT_LIGHTS);

    // Lit per vertex: the square's corners are a unit away from under the lamp on x and y and
    // four units below it, and the centre takes their value.
    const float d = std::sqrt(1.0f + 1.0f + 16.0f);
    const float lampRed = 255.0f * (4.0f / d) / (0.0001f + 0.0625f * d + 0.25f * d * d);
    struct Case {
        float X;
        float Red, Green, Blue;
    };
    const Case cases[] = {{3.0f, 20.0f, 20.0f, 20.0f + 200.0f * 0.6f}, {6.0f, 20.0f + lampRed, 20.0f, 140.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.X);
        const uint32_t pixel = LitCentre(device, c.X);
        EXPECT_NEAR(float((pixel >> 16) & 0xFF), c.Red, 2.0f);
        EXPECT_NEAR(float((pixel >> 8) & 0xFF), c.Green, 2.0f);
        EXPECT_NEAR(float(pixel & 0xFF), c.Blue, 2.0f);
    }
    CLightTree::The().Free();
    ForgetAppliedLightSet();
    sun->Destroy();
    lamp->Destroy();
    RunFrame();
    RebuildFrameLightTable(0, true);
    device.Shutdown();
}

} // namespace
