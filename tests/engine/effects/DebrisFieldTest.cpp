// The debris field: populating when its sphere comes into the camera's view and freeing the
// units when it leaves (with the wider sphere while populated), the scatter inside the
// rectangle or ellipse, the recomputed radius, and the lines it hands the renderer.
#include <gtest/gtest.h>

#include <math.h>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GDebrisField.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

class DebrisFieldTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        // Seeding keeps the draw counter; whatever drew before must not shift the sequence.
        GlobalRandom.counter = 0;
        GlobalRandom.Seed(0xDEB);
        // Looking down +Y from the origin with a 90-degree view.
        LoadEyeCamera(0, CVector(0.0f, 0.0f, 0.0f), CVector(0.0f, 1.0f, 0.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2.0f, 1.0f, 1.0f, 1000.0f);
        LoadProjection(0, projection);
        Recorded.clear();
        SetPrimitiveTrace(Record);
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        ResetTransformState();
    }
    static GDebrisField* Make(const CVector& at, float width, float height, int rounded, int population)
    {
        FillData data;
        data.Float("Locator.Position.X", at.x).Float("Locator.Position.Y", at.y).Float("Locator.Position.Z", at.z);
        data.Float("Width", width).Float("Height", height).Int("Rounded", rounded).Int("Population", population);
        data.Float("Radius", 999.0f).Word("RendPriority", 0x60008002);
        return static_cast<GDebrisField*>(GObject::Create(GDebrisField::ClassId, HGOBJECT(0), data.Get()));
    }
};

TEST_F(DebrisFieldTest, ItPopulatesInViewAndFreesTheUnitsOutOfIt)
{
    GDebrisField* field = Make(CVector(0.0f, 100.0f, 0.0f), 8.0f, 6.0f, 0, 5);
    EXPECT_FLOAT_EQ(field->Radius, 5.0f) << "the stored radius is recomputed";
    RunFrame(0.0f);
    ASSERT_EQ(field->Populated, 1);
    ASSERT_NE(field->units, nullptr);
    const CVector first = field->units[0].position;
    RunFrame(0.0f);
    EXPECT_EQ(field->units[0].position.x, first.x) << "a field in view keeps its units";

    // The view's edge at this distance is x = 100. Just out of view of the plain sphere (radius
    // 5) the wider one (6.25) keeps a populated field populated, but does not populate it.
    const struct {
        float x;
        int populated;
    } moves[] = {{105.6f, 1}, {108.0f, 0}, {105.6f, 0}, {90.0f, 1}};
    for (const auto& move : moves) {
        field->Position.x = move.x;
        RunFrame(0.0f);
        EXPECT_EQ(field->Populated, move.populated) << move.x;
        EXPECT_EQ(field->units != nullptr, move.populated == 1) << move.x;
    }
    EXPECT_NE(field->units[0].position.x, first.x) << "re-entering the view scatters new units";
}

TEST_F(DebrisFieldTest, UnitsStayInsideTheRectangleOrTheEllipse)
{
    for (int rounded : {0, 1}) {
        GDebrisField* field = Make(CVector(10.0f, 200.0f, 0.0f), 40.0f, 20.0f, rounded, 400);
        EXPECT_FLOAT_EQ(field->Radius, rounded ? 20.0f : 0.5f * sqrtf(2000.0f));
        RunFrame(0.0f);
        ASSERT_NE(field->units, nullptr);
        bool outsideEllipse = false;
        for (int i = 0; i < 400; ++i) {
            const float u = (field->units[i].position.x - 10.0f) / 20.0f;
            const float v = (field->units[i].position.y - 200.0f) / 10.0f;
            ASSERT_LE(fabsf(u), 1.0f + 1e-5f);
            ASSERT_LE(fabsf(v), 1.0f + 1e-5f);
            outsideEllipse |= u * u + v * v > 1.0f + 1e-4f;
        }
        EXPECT_EQ(outsideEllipse, rounded == 0);
        field->Destroy();
    }
}

TEST_F(DebrisFieldTest, UnitsAreDrawnAsShortWhiteLines)
{
    GDebrisField* empty = Make(CVector(0.0f, 50.0f, 0.0f), 4.0f, 4.0f, 0, 0);
    GDebrisField* negative = Make(CVector(0.0f, 50.0f, 0.0f), 4.0f, 4.0f, 0, -3);
    GDebrisField* field = Make(CVector(0.0f, 50.0f, 0.0f), 4.0f, 4.0f, 0, 2);
    RunFrame(0.0f);
    EXPECT_EQ(empty->Populated, 1);
    EXPECT_EQ(negative->Populated, 1);
    Recorded.clear();
    empty->Render();
    negative->Render();
    EXPECT_EQ(Recorded, "");
    field->Render();
    ExpectSceneGolden("debris_field.txt", Recorded);
}

} // namespace
