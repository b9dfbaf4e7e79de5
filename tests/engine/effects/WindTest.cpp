// The level wind: its seeded random walk against a golden table, the pull back to the base
// when nothing varies, the guard against legs of no length, and the singleton's lifetime.
#include <gtest/gtest.h>

#include <math.h>

#include "SceneEffectsSupport.h"
#include "core/names/CRandom.h"
#include "engine/effects/GWind.h"

namespace {

class WindTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GlobalRandom.Seed(0x5EED);
        CGameTimer::tFrameTime = 1.0f / 30.0f;
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
    }
    static GWind* MakeWind(FillData& data)
    {
        return static_cast<GWind*>(GObject::Create(GWind::ClassId, HGOBJECT(0), data.Get()));
    }
    static FillData Gusty()
    {
        FillData data;
        data.Float("Intensity.X", 2.0f).Float("Intensity.Y", -1.0f).Float("Intensity.Z", 0.25f);
        data.Float("Variance", 1.5f).Float("VarBias", 1.0f).Float("VarBiasRange", 0.5f);
        data.Float("LERPBias", 2.0f).Float("LERPBiasRange", 1.0f);
        data.Float("LERPTime", 2.0f).Float("LERPTimeRange", 1.0f);
        data.Float("Intensity2.X", 0.5f).Float("Variance2", 3.0f).Float("VarBias2", 0.5f);
        data.Float("LERPBias2", 0.5f).Float("LERPTime2", 0.5f).Float("LERPTimeRange2", 0.25f);
        return data;
    }
};

TEST_F(WindTest, RegistrationAndEditableList) { ExpectSceneGolden("wind_class.txt", DescribeClass(GWind::ClassId)); }

TEST_F(WindTest, SeededRunMatchesTheGoldenTable)
{
    FillData data = Gusty();
    GWind* wind = MakeWind(data);
    ASSERT_NE(wind, nullptr);
    EXPECT_EQ(GWind::pThe, wind);
    std::string table = "frame wind.x wind.y wind.z speed dir.x dir.y heading\n";
    for (int frame = 1; frame <= 600; ++frame) {
        wind->Process();
        if (frame % 10 != 0 && frame > 3)
            continue;
        table += std::to_string(frame) + " " + Fixed(wind->wind.x) + " " + Fixed(wind->wind.y) + " " +
                 Fixed(wind->wind.z) + " " + Fixed(wind->speed) + " " + Fixed(wind->direction.x) + " " +
                 Fixed(wind->direction.y) + " " + Fixed(wind->heading) + "\n";
    }
    ExpectSceneGolden("wind_600.txt", table);
}

TEST_F(WindTest, FirstProcessStartsALegForBothLayersAndKeepsTheWind)
{
    FillData data = Gusty();
    GWind* wind = MakeWind(data);
    EXPECT_FLOAT_EQ(wind->speed, sqrtf(4.0f + 1.0f + 0.0625f));
    wind->Process();
    EXPECT_EQ(wind->layer1.elapsed, 0.0f);
    EXPECT_EQ(wind->layer2.elapsed, 0.0f);
    // Current keeps its value on the frame a leg starts: layer 2 starts from nothing.
    EXPECT_EQ(wind->wind.x, 2.0f);
    EXPECT_EQ(wind->wind.y, -1.0f);
    EXPECT_FLOAT_EQ(wind->speed, sqrtf(5.0f));
    EXPECT_FLOAT_EQ(wind->direction.x, 2.0f / sqrtf(5.0f));
    EXPECT_FLOAT_EQ(wind->heading, atan2f(2.0f, 1.0f));
    EXPECT_GE(wind->layer1.exponent, 0.1f);
    EXPECT_EQ(wind->layer1.to.z, 0.25f);
}

TEST_F(WindTest, ZeroVarianceConvergesToTheSumOfTheBases)
{
    FillData data;
    data.Float("Intensity.X", 3.0f).Float("Intensity.Y", 4.0f).Float("Intensity.Z", 1.0f);
    data.Float("LERPBias", 1.0f).Float("LERPTime", 1.0f).Float("LERPTimeRange", 0.5f);
    data.Float("Intensity2.X", -1.0f).Float("Intensity2.Y", 2.0f).Float("Intensity2.Z", 0.5f);
    data.Float("LERPBias2", 3.0f).Float("LERPBiasRange2", 2.0f).Float("LERPTime2", 2.0f);
    GWind* wind = MakeWind(data);
    for (int frame = 0; frame < 300; ++frame)
        wind->Process();
    EXPECT_NEAR(wind->wind.x, 2.0f, 1e-5f);
    EXPECT_NEAR(wind->wind.y, 6.0f, 1e-5f);
    EXPECT_NEAR(wind->wind.z, 1.5f, 1e-5f);
    EXPECT_NEAR(wind->speed, sqrtf(40.0f), 1e-4f);
    EXPECT_NEAR(wind->heading, atan2f(2.0f, -6.0f), 1e-5f);
}

TEST_F(WindTest, CalmAndDegenerateSettingsStayFinite)
{
    // No settings at all: every leg has no length and the exponent would be 0.
    FillData data;
    GWind* wind = MakeWind(data);
    for (int frame = 0; frame < 30; ++frame) {
        wind->Process();
        EXPECT_EQ(wind->layer1.period, 0.001f);
        EXPECT_EQ(wind->layer1.exponent, 0.1f);
    }
    EXPECT_EQ(wind->speed, 0.0f);
    EXPECT_EQ(wind->direction.x, 0.0f);
    EXPECT_FALSE(isnan(wind->heading));

    // A negative time with no range: a new leg on almost every frame, never a stall.
    wind->Destroy();
    FillData negative;
    negative.Float("Intensity.X", 1.0f).Float("Variance", 1.0f).Float("VarBias", 1.0f).Float("LERPTime", -2.0f);
    wind = MakeWind(negative);
    for (int frame = 0; frame < 30; ++frame) {
        wind->Process();
        EXPECT_EQ(wind->layer1.elapsed, 0.0f);
        EXPECT_TRUE(isfinite(wind->wind.x));
    }
}

TEST_F(WindTest, DestroyingAnyWindClearsTheSingleton)
{
    FillData data = Gusty();
    GWind* first = MakeWind(data);
    GWind* second = MakeWind(data);
    EXPECT_EQ(GWind::pThe, first);
    // The second one runs inert: nobody reads it and its state stays zero.
    second->Process();
    EXPECT_EQ(second->wind.x, 0.0f);
    second->Destroy();
    EXPECT_EQ(GWind::pThe, nullptr);
    first->Destroy();
    EXPECT_EQ(GWind::pThe, nullptr);
    GWind* third = MakeWind(data);
    EXPECT_EQ(GWind::pThe, third);
}

} // namespace
