// The section grid against brute force: every query's answer is compared with a scan of all
// objects, on a 64 x 64 level with objects of both plotter kinds moving across section borders.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "../object/ObjectTestSupport.h"
#include "../object/PhysicalTestSupport.h"
#include "TerrainTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/world/CCollisionPlotter.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/CPathFinder.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

namespace {

const HGOBJECT TERRAIN(0xFFFFFFFF);
const int WALL_COLUMN = 40;
const DWORD ALL = 0xFFFFFFFF;

// One collision block and the resource that shows it, kept alive for the object.
struct Body {
    CollisionBlock Block;
    TCollidingResource Resource{nullptr};
};

class SectionGridTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
        m_Map.reset(new TestMap(65, 65, 1, CVector(0.0f, 0.0f, 0.0f)));
        for (int row = 0; row < 65; ++row)
            m_Map->SetPassability(WALL_COLUMN, row, 15);
        m_Map->Build();
        Grid().New(nullptr);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        m_Map.reset();
    }
    static GSectionMgr& Grid() { return *GSectionMgr::pThe; }

    GPhysical* Add(bool sphere, float radius, const CVector& at, WORD player)
    {
        m_Bodies.emplace_back(new Body);
        Body& body = *m_Bodies.back();
        body.Block = sphere ? CollisionBlock::Sphere(radius, 0x03, NullVector, radius)
                            : CollisionBlock::Cylinder(radius, 0x03, 0.0f, 0.0f, 2.0f, 0.0f, radius);
        body.Resource.pData = body.Block.Get();
        GPhysical* object = MakePhysical(&body.Resource, at, player);
        object->EnableCollisions();
        m_Objects.push_back(object);
        return object;
    }

    // A cylinder standing off the object's position, turned with the object.
    GPhysical* AddOffset(float offsetX, float radius, const CVector& at, float yaw, WORD player)
    {
        m_Bodies.emplace_back(new Body);
        Body& body = *m_Bodies.back();
        body.Block = CollisionBlock::Cylinder(radius, 0x03, offsetX, 0.0f, 2.0f, 0.0f, radius);
        body.Block.Get()->PlotX = offsetX;
        body.Resource.pData = body.Block.Get();
        GPhysical* object = MakePhysical(&body.Resource, at, player);
        object->EnableCollisions();
        object->SetRot(CVector(0.0f, 0.0f, yaw));
        m_Objects.push_back(object);
        return object;
    }

    CVector RandomPlace(float margin = 2.0f)
    {
        std::uniform_real_distribution<float> place(margin, 64.0f - margin);
        return CVector(place(m_Random), place(m_Random), 0.0f);
    }

    // 50 objects, a third of them large enough for the multi plotter.
    void Populate()
    {
        std::uniform_real_distribution<float> radius(0.2f, 2.5f);
        std::uniform_int_distribution<int> player(1, 3);
        for (int i = 0; i < 50; ++i)
            Add(i % 2 == 0, i % 3 == 0 ? radius(m_Random) : 0.2f + radius(m_Random) * 0.3f, RandomPlace(),
                static_cast<WORD>(player(m_Random)));
    }

    // Moves every object a random distance of up to 6 units: many cross section borders.
    void Shuffle()
    {
        std::uniform_real_distribution<float> step(-6.0f, 6.0f);
        for (GPhysical* object : m_Objects) {
            CVector to = object->GetPos();
            to.x = std::min(62.0f, std::max(2.0f, to.x + step(m_Random)));
            to.y = std::min(62.0f, std::max(2.0f, to.y + step(m_Random)));
            object->SetPos(to);
        }
    }

    std::set<DWORD> Answer(const CZArray<HGOBJECT>& found)
    {
        std::set<DWORD> handles;
        for (int i = 0; i < found.GetSize(); ++i)
            EXPECT_TRUE(handles.insert(found[i]).second) << "an object is listed twice";
        return handles;
    }

    // The objects that block obj at pos, as the mask query defines blocking.
    std::set<DWORD> BlockersByScan(GPhysical* obj, const CVector& pos)
    {
        std::set<DWORD> found;
        for (GPhysical* other : m_Objects)
            if (other != obj && obj->CanCollide(other) && other->CanCollide() && other->CanCollide(obj) &&
                obj->IsCollision(other, &pos))
                found.insert(other->GetHandle());
        return found;
    }

    int LinkedEntries()
    {
        int count = 0;
        for (int row = 0; row < Grid().GetHeight(); ++row)
            for (int column = 0; column < Grid().GetWidth(); ++column)
                for (PlotEntry* entry = Grid().GetSection(column, row); entry; entry = entry->pNext)
                    ++count;
        return count;
    }

    void ExpectQueriesMatchScan(int rounds)
    {
        for (int round = 0; round < rounds; ++round) {
            const CVector centre = RandomPlace(0.0f);
            const float radius = std::uniform_real_distribution<float>(0.5f, 9.0f)(m_Random);
            std::set<DWORD> near, fat, inBox;
            for (GPhysical* object : m_Objects) {
                if (object->GetRangeSq(centre) <= radius * radius)
                    near.insert(object->GetHandle());
                if (object->GetFatRange(centre) <= radius)
                    fat.insert(object->GetHandle());
                const CVector& p = object->GetPos();
                if (fabsf(p.x - centre.x) <= radius && fabsf(p.y - centre.y) <= radius)
                    inBox.insert(object->GetHandle());
            }
            CZArray<HGOBJECT> found;
            Grid().GetHandles(found, centre, radius, nullptr, nullptr);
            EXPECT_EQ(Answer(found), near) << "radius query at " << centre.x << "," << centre.y << " r " << radius;
            CZArray<HGOBJECT> foundFat;
            Grid().GetHandlesEx(foundFat, centre, radius, nullptr, nullptr);
            EXPECT_EQ(Answer(foundFat), fat);
            // The box forms answer by whole sections: all inside the box, none far outside.
            CZArray<HGOBJECT> foundBox;
            Grid().GetHandles(foundBox, centre, radius, static_cast<CZFilter<HGOBJECT>*>(nullptr));
            const std::set<DWORD> box = Answer(foundBox);
            EXPECT_TRUE(std::includes(box.begin(), box.end(), inBox.begin(), inBox.end()));
            for (DWORD h : box) {
                GPhysical* object = GPhysical::FromObject(GObject::GetGobject(h));
                const float reach = radius + 2.0f + object->GetPlottingRadius();
                EXPECT_LE(fabsf(object->GetPos().x - centre.x), reach);
                EXPECT_LE(fabsf(object->GetPos().y - centre.y), reach);
            }

            GPhysical* mover = m_Objects[round % m_Objects.size()];
            const CVector pos = RandomPlace();
            const std::set<DWORD> blockers = BlockersByScan(mover, pos);
            const HGOBJECT hit = Grid().Blocked(mover, pos, ALL, 0);
            if (blockers.empty()) {
                const bool wall = static_cast<int>(pos.x) == WALL_COLUMN;
                EXPECT_EQ(DWORD(hit), wall ? DWORD(TERRAIN) : 0u) << "at " << pos.x << "," << pos.y;
            } else {
                EXPECT_EQ(blockers.count(hit), 1u) << "at " << pos.x << "," << pos.y;
            }
        }
    }

    std::mt19937 m_Random{20261211};
    std::unique_ptr<TestMap> m_Map;
    std::vector<std::unique_ptr<Body>> m_Bodies;
    std::vector<GPhysical*> m_Objects;
};

TEST_F(SectionGridTest, TheGridCoversEveryLocationAndItsLastEdge)
{
    EXPECT_EQ(Grid().GetWidth(), 33);
    EXPECT_EQ(Grid().GetHeight(), 33);
    EXPECT_EQ(Grid().GetGridIndex(CVector(64.0f, 3.0f, 0.0f)), GridIndex(1 << 8 | 32));
    const CVector centre = Grid().GetGridIndexCenter(CVector(5.5f, 0.2f, 0.0f));
    EXPECT_EQ(centre, CVector(5.0f, 1.0f, 0.0f));
    EXPECT_EQ(Grid().GetPathGridCenter(CVector(5.9f, 2.1f, 0.0f)), CVector(5.5f, 2.5f, 0.0f));
    EXPECT_NE(Grid().GetPathFinder(), nullptr);
}

TEST_F(SectionGridTest, SmallObjectsTakeOneSectionLargeOnesEveryTouchedSection)
{
    GPhysical* small = Add(true, 0.8f, CVector(5.0f, 5.0f, 0.0f), 1);
    GPhysical* large = Add(true, 1.2f, CVector(10.0f, 10.0f, 0.0f), 1);
    EXPECT_NE(dynamic_cast<CSinglePlotter*>(small->pPlotter), nullptr);
    ASSERT_NE(dynamic_cast<CMultiPlotter*>(large->pPlotter), nullptr);
    // A circle of 1.2 around a section corner touches the four sections that meet there.
    EXPECT_EQ(static_cast<CMultiPlotter*>(large->pPlotter)->GetCount(), 4);
    EXPECT_EQ(Grid().GetPlottedCount(), 5);
    EXPECT_TRUE(small->bPlotted);

    // The nowhere position takes an object out until it is moved elsewhere.
    small->SetPos(NowhereVector);
    EXPECT_EQ(Grid().GetPlottedCount(), 4);
    EXPECT_FALSE(small->bPlotted);
    small->SetPos(CVector(7.0f, 7.0f, 0.0f));
    EXPECT_EQ(Grid().GetPlottedCount(), 5);

    // A new owner's handle reaches the entries.
    large->ChangePlayer(2);
    CZArray<HGOBJECT> found;
    Grid().GetHandles(found, CVector(10.0f, 10.0f, 0.0f), 0.5f, nullptr, nullptr);
    ASSERT_EQ(found.GetSize(), 1);
    EXPECT_EQ(DWORD(found[0]), DWORD(large->GetHandle()));
    EXPECT_EQ(found[0].Player(), 2);

    // Destroying leaves the grid at once.
    large->Destroy();
    m_Objects.erase(std::find(m_Objects.begin(), m_Objects.end(), large));
    EXPECT_EQ(Grid().GetPlottedCount(), 1);
}

TEST_F(SectionGridTest, QueriesEqualBruteForceBeforeAndAfterMoves)
{
    Populate();
    EXPECT_EQ(Grid().GetPlottedCount(), LinkedEntries());
    ExpectQueriesMatchScan(200);
    for (int move = 0; move < 5; ++move) {
        Shuffle();
        EXPECT_EQ(Grid().GetPlottedCount(), LinkedEntries());
        ExpectQueriesMatchScan(100);
    }
}

TEST_F(SectionGridTest, TurnedShapesStandingOffTheirObjectAreFoundWhereTheyStand)
{
    std::uniform_real_distribution<float> yaw(0.0f, 6.2831853f);
    for (int i = 0; i < 40; ++i)
        AddOffset(i % 2 ? 1.5f : 0.8f, i % 2 ? 1.2f : 0.6f, RandomPlace(), yaw(m_Random), 2);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Grid().GetPlottedCount(), LinkedEntries());
        for (int probe = 0; probe < 300; ++probe) {
            GPhysical* mover = m_Objects[probe % m_Objects.size()];
            const CVector pos = RandomPlace();
            const std::set<DWORD> blockers = BlockersByScan(mover, pos);
            const HGOBJECT hit = Grid().Blocked(mover, pos, ALL, 8);
            if (blockers.empty())
                EXPECT_EQ(DWORD(hit), 0u) << "at " << pos.x << "," << pos.y;
            else
                EXPECT_EQ(blockers.count(hit), 1u) << "at " << pos.x << "," << pos.y;
        }
        for (GPhysical* object : m_Objects)
            object->SetPosRot(RandomPlace(), CVector(0.0f, 0.0f, yaw(m_Random)));
    }
}

TEST_F(SectionGridTest, AreaQueriesFindNeighboursOnTheFarSideAndInsideOneSection)
{
    GPhysical* right = Add(true, 0.3f, CVector(2.5f, 1.0f, 0.0f), 1);
    CZArray<HGOBJECT> found;
    EXPECT_TRUE(Grid().GetHandles(found, CVector(1.9f, 1.0f, 0.0f), 1.0f, nullptr, nullptr));
    EXPECT_EQ(DWORD(found[0]), DWORD(right->GetHandle()));
    CZArray<HGOBJECT> inBox;
    EXPECT_TRUE(Grid().GetHandles(inBox, CVector(2.2f, 0.5f, 0.0f), CVector(2.8f, 1.5f, 0.0f), nullptr, nullptr));
    // An object at the end of one row of sections is no neighbour of the next row's start.
    GPhysical* edge = Add(true, 0.3f, CVector(64.5f - 0.6f, 3.0f, 0.0f), 1);
    CZArray<HGOBJECT> wrapped;
    Grid().GetHandles(wrapped, CVector(0.5f, 5.0f, 0.0f), 2.0f, nullptr, nullptr);
    for (int i = 0; i < wrapped.GetSize(); ++i)
        EXPECT_NE(DWORD(wrapped[i]), DWORD(edge->GetHandle()));
}

TEST_F(SectionGridTest, CoreHandleFilterTable)
{
    GPhysical* mine = Add(true, 0.3f, CVector(5.0f, 5.0f, 0.0f), 1);
    GPhysical* neutral = Add(true, 0.3f, CVector(5.0f, 5.2f, 0.0f), 0);
    GPhysical* spectator = Add(true, 0.3f, CVector(5.0f, 5.4f, 0.0f), 9);
    mine->SetHealth(1.0f);
    neutral->SetHealth(0.05f);
    spectator->SetHealth(1.0f);
    struct Case {
        DWORD flags;
        bool mine, neutral, spectator;
    } cases[] = {
        {0x00, true, true, true},  {0x01, true, false, false}, {0x02, false, true, true},  {0x04, true, false, true},
        {0x20, true, true, false}, {0x08, true, false, true},  {0x80, false, true, false}, {0x10, false, true, true},
    };
    for (const Case& c : cases) {
        CoreFilterData data = {1, c.flags, mine->GetHandle().Id(), 0};
        EXPECT_EQ(GSectionMgr::CoreHandleFilter(mine->GetHandle(), &data), c.mine) << std::hex << c.flags;
        EXPECT_EQ(GSectionMgr::CoreHandleFilter(neutral->GetHandle(), &data), c.neutral) << std::hex << c.flags;
        EXPECT_EQ(GSectionMgr::CoreHandleFilter(spectator->GetHandle(), &data), c.spectator) << std::hex << c.flags;
    }
    EXPECT_TRUE(GSectionMgr::CoreHandleFilter(mine->GetHandle(), nullptr));
    CZArray<HGOBJECT> found;
    CoreFilterData enemies = {2, 0x01 | 0x02, 0, 0};
    EXPECT_FALSE(Grid().GetHandles(found, CVector(5.0f, 5.0f, 0.0f), 3.0f, &GSectionMgr::CoreHandleFilter, &enemies));
}

TEST_F(SectionGridTest, RaysStopAtWallsAndObjects)
{
    GPhysical* walker = Add(true, 0.3f, CVector(30.0f, 10.0f, 0.0f), 1);
    CVector last;
    // The wall column is impassable: the ray stops on entering it.
    EXPECT_EQ(DWORD(Grid().BlockedOnRay(walker, CVector(35.0f, 10.0f, 1.0f), CVector(45.0f, 10.0f, 1.0f), 0.5f, ALL, 0,
                                        HGOBJECT(0), 1, &last)),
              DWORD(TERRAIN));
    EXPECT_EQ(last, CVector(39.5f, 10.0f, 1.0f));
    // Clear ground: the end is reached.
    EXPECT_EQ(DWORD(Grid().BlockedOnRay(walker, CVector(10.0f, 10.0f, 1.0f), CVector(20.0f, 12.0f, 1.0f), 0.5f, ALL, 0,
                                        HGOBJECT(0), 1, &last)),
              0u);
    EXPECT_EQ(last, CVector(20.0f, 12.0f, 1.0f));
    // An enemy on the way stops it; a friend does not count.
    GPhysical* enemy = Add(false, 0.5f, CVector(15.0f, 20.0f, 0.0f), 2);
    GPhysical* ally = Add(false, 0.5f, CVector(12.0f, 20.0f, 0.0f), 1);
    EXPECT_EQ(DWORD(Grid().BlockedOnRay(walker, CVector(10.0f, 20.0f, 1.0f), CVector(20.0f, 20.0f, 1.0f), 0.25f, ALL, 0,
                                        HGOBJECT(0), 1, &last)),
              DWORD(enemy->GetHandle()));
    EXPECT_LT(last.x, 15.0f - 0.5f);
    EXPECT_GT(last.x, 12.0f);
    (void)ally;
    // Below the ground counts as terrain; a ray of no length or step samples its end only.
    EXPECT_EQ(DWORD(Grid().BlockedOnRay(walker, CVector(5.0f, 5.0f, -1.0f), CVector(6.0f, 5.0f, -1.0f), 0.5f, ALL, 0,
                                        HGOBJECT(0), 1, &last)),
              DWORD(TERRAIN));
    EXPECT_EQ(DWORD(Grid().BlockedOnRay(walker, CVector(5.0f, 5.0f, 1.0f), CVector(6.0f, 5.0f, 1.0f), 0.0f, ALL, 0,
                                        HGOBJECT(0), 1, &last)),
              0u);
    EXPECT_TRUE(Grid().BlockedByBlackness(CVector(10.0f, 10.0f, 0.0f), CVector(70.0f, 10.0f, 0.0f), 1.0f));
    EXPECT_FALSE(Grid().BlockedByBlackness(CVector(10.0f, 10.0f, 0.0f), CVector(30.0f, 10.0f, 0.0f), 0.0f));
}

TEST_F(SectionGridTest, CallbackRayAndPathSegments)
{
    GPhysical* walker = Add(true, 0.3f, CVector(30.0f, 30.0f, 0.0f), 1);
    CRaycastData ray;
    EXPECT_EQ(ray.Start, NowhereVector);
    ray.pCaster = walker;
    ray.Start = CVector(38.0f, 30.0f, 1.0f);
    ray.End = CVector(44.0f, 30.0f, 1.0f);
    ray.Step = 1.0f;
    ray.Mask = ALL;
    int calls = 0;
    ray.User = reinterpret_cast<DWORD>(&calls);
    auto stop = [](CRaycastData& data) {
        ++*reinterpret_cast<int*>(data.User);
        return true;
    };
    EXPECT_TRUE(Grid().BlockedOnRay(stop, ray));
    EXPECT_EQ(DWORD(ray.Hit), DWORD(TERRAIN));
    EXPECT_EQ(ray.Last, CVector(39.0f, 30.0f, 1.0f));
    EXPECT_EQ(calls, 1);
    ray.Start = CVector(10.0f, 30.0f, 1.0f);
    ray.End = CVector(20.0f, 30.0f, 1.0f);
    EXPECT_FALSE(Grid().BlockedOnRay(stop, ray));
    EXPECT_EQ(ray.Last, ray.End);
    EXPECT_EQ(DWORD(ray.Hit), 0u);

    // Player -1 lets terrain pass; a player given reports it.
    EXPECT_EQ(DWORD(Grid().BlockedOnPathSegment(walker, CVector(35.0f, 30.0f, 0.0f), CVector(45.0f, 30.0f, 0.0f), 0.5f,
                                                ALL, -1)),
              0u);
    EXPECT_EQ(DWORD(Grid().BlockedOnPathSegment(walker, CVector(35.0f, 30.0f, 0.0f), CVector(45.0f, 30.0f, 0.0f), 0.5f,
                                                ALL, 1)),
              DWORD(TERRAIN));
    EXPECT_TRUE(Grid().BlockedByTerrain(walker, CVector(39.9f, 30.0f, 0.0f), false));
    EXPECT_FALSE(Grid().BlockedByTerrain(walker, CVector(35.0f, 30.0f, 0.0f), false));
    EXPECT_TRUE(Grid().BlockedByTerrainAndObject(0, CVector(39.9f, 20.0f, 0.0f), 0.3f, false, nullptr));
    EXPECT_FALSE(Grid().BlockedByTerrainAndObject(0, CVector(20.5f, 20.0f, 0.0f), 0.3f, false, nullptr));
    EXPECT_TRUE(Grid().BlockedByTerrainAndObject(0, CVector(30.2f, 30.0f, 0.0f), 0.3f, false, &walker->Render));
    EXPECT_TRUE(walker->CanGoHere(CVector(20.0f, 20.0f, 0.0f)));
    EXPECT_FALSE(walker->CanGoHere(CVector(40.5f, 20.0f, 0.0f)));
    EXPECT_FALSE(walker->CanGoHere(CVector(80.0f, 20.0f, 0.0f)));
}

// A position filter that blocks everything and counts what it was asked.
class CountingBlocker : public VVector {
public:
    BYTE Test(const CVector&) override
    {
        ++Calls;
        return 1;
    }
    int Calls = 0;
};

class ExcludeOne : public VHandleOffset {
public:
    explicit ExcludeOne(HGOBJECT h) : Excluded(h) {}
    BYTE Test(const HandleOffset& value) override { return value.Handle == Excluded; }
    HGOBJECT Excluded;
};

TEST_F(SectionGridTest, FindClearPositionTriesOneRingOfEightAndFilters)
{
    GPhysical* walker = Add(true, 0.3f, CVector(20.0f, 20.0f, 0.0f), 1);
    CVector pos(20.0f, 20.0f, 0.0f);
    EXPECT_TRUE(Grid().FindClearPosition(pos, walker, nullptr, nullptr, 1.0f, 1.0f));
    EXPECT_EQ(pos, CVector(20.0f, 20.0f, 0.0f));
    CountingBlocker blocker;
    CZFilter<CVector> positions;
    positions.Add(&blocker, 1);
    EXPECT_FALSE(Grid().FindClearPosition(pos, walker, nullptr, &positions, 1.0f, 1.0f));
    EXPECT_EQ(blocker.Calls, 1 + 8);

    // A handle filter passes over the objects it excludes and stops at the others.
    GPhysical* crate = Add(true, 0.5f, CVector(25.0f, 25.0f, 0.0f), 2);
    ExcludeOne notCrate(crate->GetHandle());
    CZFilter<HandleOffset> handles;
    handles.Add(&notCrate, 1);
    EXPECT_EQ(DWORD(Grid().Blocked(walker, CVector(25.0f, 25.0f, 0.0f), &handles, nullptr)), 0u);
    ExcludeOne none(HGOBJECT(0));
    CZFilter<HandleOffset> everything;
    everything.Add(&none, 1);
    EXPECT_EQ(DWORD(Grid().Blocked(walker, CVector(25.0f, 25.0f, 0.0f), &everything, nullptr)),
              DWORD(crate->GetHandle()));
    CVector moved(25.0f, 25.0f, 0.0f);
    EXPECT_TRUE(Grid().FindClearPosition(moved, walker, &everything, nullptr, 2.0f, 0.0f));
    EXPECT_NE(moved, CVector(25.0f, 25.0f, 0.0f));
    EXPECT_EQ(DWORD(Grid().Blocked(walker, CVector(90.0f, 25.0f, 0.0f), nullptr, nullptr)), DWORD(TERRAIN));
}

TEST_F(SectionGridTest, ReservationsHoldFiveSecondsOfGameTime)
{
    CGameTimer::tGameTime = 100.0f;
    Grid().MarkOccupied(HGOBJECT(0x10001), 7);
    Grid().MarkOccupied(HGOBJECT(0x10001), 8); // one reservation per owner
    EXPECT_FALSE(Grid().IsMarkedOccupied(7));
    Grid().MarkOccupied(HGOBJECT(0x20001), 8); // a key has one owner
    CGameTimer::tGameTime = 104.9f;
    EXPECT_TRUE(Grid().IsMarkedOccupied(8));
    Grid().UnMarkOccupied(HGOBJECT(0x20001));
    EXPECT_FALSE(Grid().IsMarkedOccupied(8));
    Grid().MarkOccupied(HGOBJECT(0x20001), 9);
    CGameTimer::tGameTime = 109.95f;
    EXPECT_FALSE(Grid().IsMarkedOccupied(9));
    CGameTimer::tGameTime = 0.0f;
}

TEST_F(SectionGridTest, DeleteEmptiesTheGridAndObjectsReplotIntoTheNextOne)
{
    GPhysical* object = Add(true, 1.5f, CVector(20.0f, 20.0f, 0.0f), 1);
    Add(true, 0.5f, CVector(21.0f, 20.0f, 0.0f), 1);
    Grid().Delete();
    EXPECT_FALSE(Grid().HasGrid());
    CZArray<HGOBJECT> found;
    EXPECT_FALSE(Grid().GetHandles(found, CVector(20.0f, 20.0f, 0.0f), 5.0f, nullptr, nullptr));
    object->SetPos(CVector(22.0f, 20.0f, 0.0f)); // no grid: nothing happens
    Grid().New(nullptr);
    for (GPhysical* each : m_Objects)
        each->SetPos(each->GetPos());
    EXPECT_EQ(Grid().GetPlottedCount(), LinkedEntries());
    EXPECT_TRUE(Grid().GetHandles(found, CVector(20.0f, 20.0f, 0.0f), 5.0f, nullptr, nullptr));
    EXPECT_EQ(found.GetSize(), 2);
}

TEST_F(SectionGridTest, ArcsAroundAnotherObject)
{
    GPhysical* a = Add(true, 0.5f, CVector(10.0f, 10.0f, 0.0f), 1);
    GPhysical* b = Add(true, 0.5f, CVector(10.0f, 20.0f, 0.0f), 1);
    float first, second;
    ASSERT_TRUE(a->GetArc(first, second, b));
    // The two headings straddle the heading towards b, as wide as the summed radii seen at 10.
    const float half = asinf(1.0f / 10.0f);
    float width = second - first;
    if (width < 0.0f)
        width += 2.0f * static_cast<float>(M_PI);
    EXPECT_NEAR(width, 2.0f * half, 1e-4f);
    b->SetPos(CVector(10.5f, 10.0f, 0.0f));
    EXPECT_FALSE(a->GetArc(first, second, b));
    EXPECT_EQ(first, 0.0f);
    EXPECT_EQ(second, 0.0f);
}

} // namespace
