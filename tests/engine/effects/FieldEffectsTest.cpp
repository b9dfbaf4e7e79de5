// The decal and object fields over terrain maps built in memory: seeded runs in the wind
// against goldens, resting members that never move, fading out of the rectangle and coming
// back at a resting member, the guards for tiny populations, and the decals draped over the
// terrain cells as the renderer is handed them.
#include <gtest/gtest.h>

#include <math.h>

#include <memory>
#include <vector>

#include "SceneEffectsSupport.h"
#include "TerrainTestSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GDecalField.h"
#include "engine/effects/GObjectField.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvWorld.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class FieldEffectsTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0xF1E1D);
        // Looking down +Y from the origin with a 90-degree view.
        LoadEyeCamera(0, CVector(0.0f, 0.0f, 0.0f), CVector(0.0f, 1.0f, 0.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
        LoadProjection(0, projection);
        CGameTimer::tFrameTime = 1.0f / 30.0f;
        Recorded.clear();
        SetPrimitiveTrace(Record);
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        m_Maps.clear();
        CGameTimer::tFrameTime = 0.0f;
        ResetTransformState();
    }
    void MakeWorld() { GObject::Create(GmvWorld::ClassId, HGOBJECT(0), FillData().Get()); }
    TestMap& AddMap(int width, int height, int tileWidth, const CVector& origin)
    {
        m_Maps.emplace_back(new TestMap(width, height, tileWidth, origin));
        return *m_Maps.back();
    }
    // A wind that blows (x, y) from its first frame on.
    static void MakeWind(float x, float y)
    {
        FillData data;
        data.Float("Intensity.X", x).Float("Intensity.Y", y).Float("LERPBias", 1.0f);
        GObject::Create(GWind::ClassId, HGOBJECT(0), data.Get());
    }
    static FillData FieldData(const CVector& at, float width, float height, int population)
    {
        FillData data;
        data.Float("Locator.Position.X", at.x).Float("Locator.Position.Y", at.y).Float("Locator.Position.Z", at.z);
        data.Float("Width", width).Float("Height", height).Int("Population", population);
        data.Float("MinWeight", 0.1f).Float("MaxWeight", 0.5f).Float("FadeRate", 2.0f);
        data.Float("MinColor.Red", 100.0f).Float("MaxColor.Red", 200.0f).Float("MinColor.Alpha", 255.0f);
        data.Float("MaxColor.Alpha", 255.0f).Float("MaxColor.Green", 50.0f);
        return data;
    }
    static GDecalField* MakeDecals(const CVector& at, float width, float height, int population)
    {
        FillData data = FieldData(at, width, height, population);
        data.Float("MinWidth", 1.0f).Float("MaxWidth", 3.0f).Float("MinHeight", 2.0f).Float("MaxHeight", 4.0f);
        data.Float("ZOffset", 0.25f).Word("RendPriority", 0x60008003);
        return static_cast<GDecalField*>(GObject::Create(GDecalField::ClassId, HGOBJECT(0), data.Get()));
    }
    static GObjectField* MakeObjects(const CVector& at, float width, float height, int population)
    {
        FillData data = FieldData(at, width, height, population);
        data.Float("MobileRadius", 0.5f);
        return static_cast<GObjectField*>(GObject::Create(GObjectField::ClassId, HGOBJECT(0), data.Get()));
    }
    static std::string Describe(const DebrisUnit& unit, float fade)
    {
        return Fixed(unit.position.x) + " " + Fixed(unit.position.y) + " " + Fixed(unit.position.z) + " " +
               Fixed(unit.orientation[0]) + " " + Fixed(unit.orientation[1]) + " " + Fixed(unit.orientation[2]) + " " +
               Fixed(fade) + "\n";
    }
    std::vector<std::unique_ptr<TestMap>> m_Maps;
};

TEST_F(FieldEffectsTest, DecalsBlowInTheWindAndRestingOnesStay)
{
    MakeWind(3.0f, 1.0f);
    GDecalField* field = MakeDecals(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 6);
    RunFrame();
    ASSERT_NE(field->decals, nullptr);
    std::vector<DebrisUnit> start(field->units, field->units + 6);
    std::string text;
    for (int frame = 1; frame <= 120; ++frame) {
        RunFrame();
        if (frame % 30 == 0) {
            text += "frame " + std::to_string(frame) + "\n";
            for (int i = 0; i < 6; ++i)
                text += Describe(field->units[i], field->decals[i].fade);
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(field->units[i].position.x, start[i].position.x) << "resting decal " << i;
        EXPECT_EQ(field->units[i].orientation[2], start[i].orientation[2]) << "resting decal " << i;
    }
    ExpectSceneGolden("decal_field_wind.txt", text);
}

TEST_F(FieldEffectsTest, ObjectsRollInTheWindAndRestingOnesStandUpright)
{
    MakeWind(0.0f, -4.0f);
    GObjectField* field = MakeObjects(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 6);
    RunFrame();
    ASSERT_NE(field->objects, nullptr);
    std::vector<DebrisUnit> start(field->units, field->units + 6);
    std::string text;
    for (int frame = 1; frame <= 120; ++frame) {
        RunFrame();
        if (frame % 30 == 0) {
            text += "frame " + std::to_string(frame) + "\n";
            for (int i = 0; i < 6; ++i)
                text += Describe(field->units[i], field->objects[i].fade);
        }
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(field->units[i].position.x, start[i].position.x) << "resting object " << i;
        EXPECT_EQ(field->units[i].orientation[0], 0.0f) << "resting object " << i;
        EXPECT_EQ(field->units[i].orientation[1], 0.0f) << "resting object " << i;
        EXPECT_TRUE(field->objects[i].render.IsLinked()) << "resting object " << i;
    }
    for (int i = 3; i < 6; ++i)
        EXPECT_EQ(field->objects[i].render.GetPos(), &field->units[i].position) << "mobile object " << i;
    ExpectSceneGolden("object_field_wind.txt", text);
}

// A member pushed out of the rectangle fades at FadeRate (2 per second: 15 frames) and comes
// back at a resting member's place, fully opaque; a calm wind starts no gust meanwhile.
TEST_F(FieldEffectsTest, MembersOutsideTheRectangleFadeAndComeBackAtARestingOne)
{
    MakeWind(0.0f, 0.0f);
    GDecalField* decals = MakeDecals(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 4);
    GObjectField* objects = MakeObjects(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 4);
    RunFrame();
    decals->units[3].position.x = 6.0f;
    objects->units[2].position.y = 50.0f;
    int frames = 0;
    for (; frames < 30 && decals->decals[3].fade == 1.0f; ++frames)
        RunFrame();
    EXPECT_EQ(frames, 1);
    for (; frames < 30 && decals->decals[3].fade < 1.0f; ++frames) {
        EXPECT_NEAR(objects->objects[2].colour.w, objects->objects[2].fade, 1e-6f) << "alpha follows the fade";
        RunFrame();
    }
    EXPECT_GE(frames, 15);
    EXPECT_LE(frames, 17);
    // Decals take the resting one's place and angle; objects its place, MobileRadius above.
    auto restingIndex = [](const DebrisUnit* units, const DebrisUnit& unit) {
        for (int i = 0; i < 2; ++i)
            if (units[i].position.x == unit.position.x && units[i].position.y == unit.position.y)
                return i;
        return -1;
    };
    const int decalRest = restingIndex(decals->units, decals->units[3]);
    ASSERT_GE(decalRest, 0);
    EXPECT_EQ(decals->units[3].orientation[2], decals->units[decalRest].orientation[2]);
    const int objectRest = restingIndex(objects->units, objects->units[2]);
    ASSERT_GE(objectRest, 0);
    EXPECT_EQ(objects->units[2].position.z, objects->units[objectRest].position.z + 0.5f);
    EXPECT_EQ(objects->objects[2].fade, 1.0f);
    EXPECT_EQ(objects->objects[2].gustTime, 0.0f);
}

// Fewer than two members leaves nothing to pick from: no gust, no move, no division by zero.
// Without a wind the decals stand still too.
TEST_F(FieldEffectsTest, TinyPopulationsAndNoWindMoveNothing)
{
    GDecalField* calm = MakeDecals(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 4);
    RunFrame();
    calm->units[3].position.x = 6.0f;
    const std::vector<DebrisUnit> still(calm->units, calm->units + 4);
    for (int frame = 0; frame < 60; ++frame)
        RunFrame();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(calm->units[i].position.x, still[i].position.x) << "no wind, decal " << i;
    EXPECT_EQ(calm->decals[3].fade, 1.0f);

    MakeWind(4.0f, 0.0f);
    GDecalField* decal = MakeDecals(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 1);
    GObjectField* object = MakeObjects(CVector(0.0f, 60.0f, 0.0f), 10.0f, 8.0f, 1);
    RunFrame();
    ASSERT_NE(decal->decals, nullptr);
    ASSERT_NE(object->objects, nullptr);
    decal->units[0].position.x = 6.0f;
    object->units[0].position.x = 6.0f;
    const float objectZ = object->units[0].position.z;
    for (int frame = 0; frame < 60; ++frame)
        RunFrame();
    EXPECT_EQ(decal->units[0].position.x, 6.0f);
    EXPECT_EQ(decal->decals[0].fade, 1.0f);
    EXPECT_EQ(object->units[0].position.x, 6.0f);
    EXPECT_EQ(object->units[0].position.z, objectZ);
    EXPECT_EQ(object->objects[0].gustTime, 0.0f);
}

// Two locations side by side and one long map: a decal over their border is draped on both
// (the later location first), the cells' split flags choose the diagonals, and a decal wider
// than twenty cells is drawn over twenty columns only.
TEST_F(FieldEffectsTest, DecalsDrapeOverTheCellsOfEveryLocationTheyCover)
{
    MakeWorld();
    TestMap& west = AddMap(11, 11, 2, CVector(0.0f, 40.0f, 0.0f));
    TestMap& east = AddMap(11, 11, 2, CVector(20.0f, 40.0f, 0.0f));
    for (int row = 0; row < 11; ++row)
        for (int column = 0; column < 11; ++column) {
            west.Cell(column, row).Height = static_cast<short>(16 * column);
            east.Cell(column, row).Height = static_cast<short>(8 * row);
            east.Cell(column, row).Flags = static_cast<unsigned char>((column + row) % 2 ? 0x08 : 0);
        }
    west.Build();
    east.Build();
    GDecalField* field = MakeDecals(CVector(20.0f, 50.0f, 0.0f), 4.0f, 4.0f, 2);
    RunFrame();
    ASSERT_NE(field->decals, nullptr);
    DebrisUnit& unit = field->units[0];
    unit.position = CVector(20.0f, 50.0f, 0.0f);
    unit.orientation[2] = 0.5f;
    field->decals[0].width = 3.0f;
    field->decals[0].height = 2.0f;
    field->units[1].position = CVector(500.0f, 500.0f, 0.0f); // over no location
    Recorded.clear();
    field->Render();
    ExpectSceneGolden("decal_field_drape.txt", Recorded);

    TestMap& wide = AddMap(41, 5, 1, CVector(-20.0f, 80.0f, 0.0f));
    wide.Build();
    unit.position = CVector(0.0f, 82.0f, 0.0f);
    unit.orientation[2] = 0.0f;
    field->decals[0].width = 40.0f;
    field->decals[0].height = 1.0f;
    Recorded.clear();
    field->Render();
    // Three rows, so two gaps of twenty columns: 19 cells of two triangles each.
    EXPECT_EQ(Count(Recorded, "StartPrimitive"), 2 * 19 * 2);
}

} // namespace
