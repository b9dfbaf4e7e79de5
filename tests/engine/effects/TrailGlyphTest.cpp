// The trail glyph behind a parent with two attach points moving along X: its ring of links,
// its key table and the ribbon it hands the renderer (recorded as text) against a golden; the
// trail running out after the parent lets it go, anchored and paused glyphs, and settings that
// leave no ring.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "engine/effects/GTrailGlyph.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/PrimBatch.h"

namespace {

std::string Recorded;

void Record(const char* line)
{
    Recorded += line;
    Recorded += "\n";
}

// Two attach points, one unit either side of the render's position along Y.
class TTwoPointResource : public CRendResource {
public:
    const CVector& GetAttachPoint(CRender* render, CCRC32 point, int& found, CMatrix* matrix) override
    {
        found = point == CCRC32("Left") || point == CCRC32("Right");
        Point = *render->GetPos();
        if (found)
            Point.y += point == CCRC32("Left") ? 1.0f : -1.0f;
        if (matrix)
            matrix->SetIdentity();
        return Point;
    }
    CVector Point;
};

class TrailGlyphTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        Recorded.clear();
        SetPrimitiveTrace(Record);
        CGameTimer::tGameTime = 10.0f;
        FillData data;
        data.Word("pResource", reinterpret_cast<unsigned long>(&resource));
        parent = static_cast<GPhysical*>(GObject::Create(GPhysical::ClassId, HGOBJECT(0), data.Get()));
        defs[0] = Def(255, 0, 0.4f, 1.0f, 1.0f, 0.5f);
        defs[1] = Def(0, 255, 0.6f, 1.5f, 1.0f, 0.25f);
        defs[0].pNextDef = &defs[1];
    }
    void TearDown() override
    {
        SetPrimitiveTrace(nullptr);
        ObjectTest::TearDown();
        CGameTimer::tFrameTime = 0.0f;
    }
    static rhu::ParticleDef Def(float red, float blue, float length, float life, float shrinkA, float shrinkB)
    {
        rhu::ParticleDef def = {};
        def.MinColor.Red = red, def.MinColor.Blue = blue, def.MinColor.Alpha = 255.0f;
        def.MaxColor.Red = red, def.MaxColor.Blue = blue;
        def.MinDamp.X = 0.0f, def.MaxDamp.X = 1.0f;
        def.Scale.Min = shrinkA, def.Scale.Max = shrinkB;
        def.Lifespan.Min = length, def.Lifespan.Max = life;
        def.Flags = 4;
        return def;
    }
    GTrailGlyph* MakeGlyph(FillData& extra, GObject* owner)
    {
        extra.Word("pTrail", reinterpret_cast<unsigned long>(&defs[0]));
        extra.Float("TrailSpan", 1.0f).Float("TrailPeriod", 0.25f).Float("TrailScale", 1.0f);
        extra.Int("GlyphSegments", 2).Word("GlyphID", static_cast<unsigned long>(CCRC32("Left")), 0, 0);
        extra.Word("GlyphID", static_cast<unsigned long>(CCRC32("Right")), 0, 1)
            .Float("GlyphU", 0.0f, 0)
            .Float("GlyphU", 1.0f, 1);
        extra.Word("RendPriority", 0x60008001);
        return static_cast<GTrailGlyph*>(owner->Create(GTrailGlyph::ClassId, extra.Get()));
    }
    // One frame: the parent moves one unit along X, the clock runs 1/8 s (exact in binary, so
    // link steps fall on whole frames), the glyph draws.
    void Step(GTrailGlyph* glyph, bool draw = true)
    {
        parent->Position.x += 1.0f;
        CGameTimer::tFrameTime = 0.125f;
        CGameTimer::tGameTime += 0.125f;
        RunFrame(0.125f);
        if (draw && glyph->GetOwner())
            glyph->Render();
    }
    static bool Alive(GObject* object)
    {
        for (GObject* child = GObject::GetRoot()->pChild; child; child = child->pNext)
            if (child == object)
                return true;
        return false;
    }
    static std::string Describe(const GTrailGlyph& glyph)
    {
        std::string text = "keys " + std::to_string(glyph.keyCount) + "\n";
        for (int k = 0; k < glyph.keyCount; ++k) {
            const GTrailGlyph::Key& key = glyph.keys[k];
            text += "  A " + Fixed(key.colourA[0], 2) + " " + Fixed(key.colourA[2], 2) + " " +
                    Fixed(key.colourA[3], 2) + " V " + Fixed(key.vA, 3) + " " + Fixed(key.vB, 3) + " shrink " +
                    Fixed(key.shrinkA, 3) + " " + Fixed(key.shrinkB, 3) + " life " + Fixed(key.life, 3) + "\n";
        }
        text += "ring " + std::to_string(glyph.capacity) + " newest " + std::to_string(glyph.newest) + " count " +
                std::to_string(glyph.linkCount) + "\n";
        for (int i = 0; i <= glyph.linkCount; ++i) {
            const int slot = (glyph.newest - glyph.linkCount + i + glyph.capacity) % glyph.capacity;
            const GTrailGlyph::Link& link = glyph.links[slot];
            text += "  " + Fixed(link.points[0].x, 2) + "," + Fixed(link.points[0].y, 2) + " " +
                    Fixed(link.points[1].x, 2) + "," + Fixed(link.points[1].y, 2) + " stamp " + Fixed(link.stamp, 2) +
                    "\n";
        }
        return text;
    }
    TTwoPointResource resource;
    GPhysical* parent = nullptr;
    rhu::ParticleDef defs[2];
};

TEST_F(TrailGlyphTest, ARingKeyTableAndRibbonBehindAParentMovingAlongX)
{
    FillData data;
    GTrailGlyph* glyph = MakeGlyph(data, parent);
    std::string text;
    for (int frame = 0; frame < 12; ++frame) {
        Recorded.clear();
        Step(glyph);
        if (frame == 5 || frame == 11)
            text += "== frame " + std::to_string(frame) + "\n" + Recorded;
    }
    EXPECT_EQ(glyph->GetOwner(), &parent->Render);
    ExpectSceneGolden("trail_glyph.txt", Describe(*glyph) + text);
}

TEST_F(TrailGlyphTest, AfterItsParentLetsGoTheTrailRunsOutThenTheGlyphDies)
{
    FillData data;
    GTrailGlyph* glyph = MakeGlyph(data, parent);
    for (int frame = 0; frame < 6; ++frame)
        Step(glyph);
    const int count = glyph->linkCount;
    parent->Destroy();
    Recorded.clear();
    Step(glyph);
    EXPECT_TRUE(Alive(glyph));
    EXPECT_FLOAT_EQ(glyph->DeathTimer, 0.875f);
    EXPECT_EQ(glyph->linkCount, count) << "no links are added while it runs out";
    EXPECT_NE(Recorded.find("EndPrimitive\n"), std::string::npos) << "the old links are still drawn";
    for (int frame = 0; frame < 20 && Alive(glyph); ++frame)
        Step(glyph);
    EXPECT_FALSE(Alive(glyph));
}

TEST_F(TrailGlyphTest, AnchoredAndPausedGlyphsStopGrowing)
{
    FillData anchored;
    anchored.Int("Anchored", 1);
    GTrailGlyph* glyph = MakeGlyph(anchored, parent);
    for (int frame = 0; frame < 30; ++frame)
        Step(glyph);
    EXPECT_LE(glyph->newest, glyph->keyCount - 1);
    EXPECT_LT(glyph->linkCount, glyph->capacity);
    const float stamp = glyph->links[0].stamp;

    FillData data;
    GTrailGlyph* paused = MakeGlyph(data, parent);
    for (int frame = 0; frame < 8; ++frame)
        Step(paused);
    paused->Pause(true);
    const int count = paused->linkCount;
    Recorded.clear();
    for (int frame = 0; frame < 4; ++frame)
        Step(paused);
    EXPECT_EQ(paused->linkCount, count);
    EXPECT_NE(Recorded.find("EndPrimitive\n"), std::string::npos) << "a paused glyph keeps drawing";
    EXPECT_EQ(glyph->links[0].stamp, stamp);
}

TEST_F(TrailGlyphTest, SettingsWithoutARingOrKeysDrawNothingAndNeverOverrun)
{
    struct Case {
        float span, period, life;
        int segments;
    };
    // No span, no period, a span shorter than one period (a ring of one slot would overrun at
    // the second link), too many points, keys of no length or life.
    const Case cases[] = {{0.0f, 0.2f, 1.0f, 2},
                          {1.0f, 0.0f, 1.0f, 2},
                          {0.1f, 0.2f, 1.0f, 2},
                          {1.0f, 0.2f, 1.0f, 40},
                          {1.0f, 0.2f, 0.0f, 2}};
    for (const Case& c : cases) {
        defs[0].Lifespan.Min = defs[0].Lifespan.Max = c.life;
        FillData data;
        data.Float("TrailSpan", c.span).Float("TrailPeriod", c.period).Int("GlyphSegments", c.segments);
        data.Word("pTrail", reinterpret_cast<unsigned long>(&defs[0])).Float("TrailScale", 1.0f);
        GTrailGlyph* glyph = static_cast<GTrailGlyph*>(parent->Create(GTrailGlyph::ClassId, data.Get()));
        for (int frame = 0; frame < 12; ++frame)
            Step(glyph);
        EXPECT_LE(glyph->keyCount, glyph->capacity);
        EXPECT_TRUE(glyph->capacity == 0 || glyph->capacity >= 2);
        glyph->Destroy();
    }
}

TEST_F(TrailGlyphTest, ADeathTimerInTheDataGivesAShortLifeWithoutGrowth)
{
    FillData data;
    data.Float("DeathTimer", 0.3f);
    GTrailGlyph* glyph = MakeGlyph(data, parent);
    for (int frame = 0; frame < 2; ++frame) {
        Step(glyph);
        ASSERT_EQ(parent->pChild, glyph) << "alive for 0.3 s";
        EXPECT_EQ(glyph->started, 0);
    }
    Step(glyph, false);
    EXPECT_EQ(parent->pChild, nullptr);
}

} // namespace
