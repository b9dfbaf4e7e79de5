// Movers, projectiles, fence nodes and the camera object over a small level: a 21 x 21 terrain
// map with the section grid built over it, the game clock driven frame by frame.
#include <gtest/gtest.h>

#include <math.h>

#include <functional>
#include <memory>
#include <vector>

#include "../object/ObjectTestSupport.h"
#include "../object/PhysicalTestSupport.h"
#include "TerrainTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/world/CMover.h"
#include "engine/world/CPathFinder.h"
#include "engine/world/GFenceNode.h"
#include "engine/world/GMover.h"
#include "engine/world/GProjectile.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvCamera.h"
#include "engine/world/GmvWorld.h"

// Moves its parent Speed units a slice straight toward TargetVector; stops in the slice after
// it arrived, so that the arriving step is handed to the parent.
class TStepMover : public CMover {
    DECLARE_GOBJECT(TStepMover, CMover)

    void MoveTo(const CVector& target) override
    {
        TargetVector = target;
        AddFlag(FLAG_MOVING);
    }
    int ProcessTimeslice() override
    {
        ++Slices;
        const float dx = TargetVector.x - TimeslicePos.x, dy = TargetVector.y - TimeslicePos.y;
        const float length = sqrtf(dx * dx + dy * dy);
        if (length == 0.0f)
            Stop();
        else if (length <= Speed)
            TimeslicePos = CVector(TargetVector.x, TargetVector.y, TimeslicePos.z);
        else
            TimeslicePos += CVector(dx * Speed / length, dy * Speed / length, 0.0f);
        if (OnSlice)
            OnSlice(this);
        return 0;
    }

    int Slices;
    std::function<void(TStepMover*)> OnSlice;
};
IMPLEMENT_GOBJECT(TStepMover, 0x04808000)

// Counts its slices and moves the object 20 units along x in each.
class TJumpMover : public GMover {
    DECLARE_GOBJECT(TJumpMover, GMover)

    void ProcessTimeslice() override
    {
        ++Slices;
        Position.x += 20.0f;
    }
    int Slices;
};
IMPLEMENT_GOBJECT(TJumpMover, 0x04808000)

// Moves its parent Speed units a slice along the global path the level's path finder gives,
// asking again each slice while the search is in progress.
class TPathMover : public CMover {
    DECLARE_GOBJECT(TPathMover, CMover)

    void MoveTo(const CVector& target) override
    {
        TargetVector = target;
        pPath = nullptr;
        AddFlag(FLAG_MOVING);
    }
    int ProcessTimeslice() override
    {
        if (!pPath && !Ask())
            return 0;
        if (Next < 0) {
            Stop();
            return 0;
        }
        const CVector& to = pPath->pPoints[Next];
        const float dx = to.x - TimeslicePos.x, dy = to.y - TimeslicePos.y;
        const float length = sqrtf(dx * dx + dy * dy);
        if (length <= Speed) {
            TimeslicePos = CVector(to.x, to.y, TimeslicePos.z);
            --Next;
        } else {
            TimeslicePos += CVector(dx * Speed / length, dy * Speed / length, 0.0f);
        }
        return 0;
    }
    ~TPathMover() override { CPathFinder::FreePathStack(pPath); }

    CPathStack* pPath;
    int Next;

private:
    bool Ask()
    {
        EPathResult result = PATHRESULT_NOT_NOW;
        CPathFinder* finder = GSectionMgr::pThe->GetPathFinder();
        pPath = finder->GetGlobalPath(pPath, TimeslicePos, TargetVector, GPhysical::FromObject(GetParent()), result);
        if (result == PATHRESULT_IN_PROGRESS || result == PATHRESULT_NOT_NOW)
            return false;
        if (!pPath || result == PATHRESULT_NO_PATH) {
            Stop();
            return false;
        }
        Next = pPath->iTop;
        return true;
    }
};
IMPLEMENT_GOBJECT(TPathMover, 0x04808000)

namespace {

const DWORD ALL = 0xFFFFFFFF;

class MoverTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        CGameTimer::tGameTime = 1.0f;
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
        m_Map.reset(new TestMap(21, 21, 1, CVector(0.0f, 0.0f, 0.0f)));
        for (int row = 0; row < 21; ++row)
            m_Map->SetPassability(15, row, 15); // a wall along x = 15
        m_Map->Build();
        GSectionMgr::pThe->New(nullptr);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        m_Map.reset();
        CGameTimer::tFrameTime = 0.0f;
    }
    // One frame of dt seconds on the game clock.
    static void Frame(float dt)
    {
        CGameTimer::tFrameTime = dt;
        CGameTimer::tGameTime += dt;
        GObject::ProcessObjects();
    }
    GPosRot* Thing(const CVector& at)
    {
        FillData data;
        data.Float("Locator.Position.X", at.x).Float("Locator.Position.Y", at.y);
        return static_cast<GPosRot*>(GObject::Create(GPosRot::ClassId, HGOBJECT(0), data.Get()));
    }
    static TStepMover* StepMover(GObject* parent, float speed)
    {
        TStepMover* mover = static_cast<TStepMover*>(parent->Create(TStepMover::ClassId, nullptr));
        mover->SetSpeed(speed);
        return mover;
    }
    std::unique_ptr<TestMap> m_Map;
};

// Frame times against the slices they run: the remainder carries into the next frame.
TEST_F(MoverTest, MovingMoverRunsWholeSlicesAndKeepsTheRemainder)
{
    struct Case {
        float Frames[3];
        int Slices[3];
    };
    const Case cases[] = {
        {{0.1f, 0.0f, 0.0f}, {3, 3, 3}},
        {{0.05f, 0.05f, 0.0f}, {1, 3, 3}},
        {{0.02f, 0.02f, 0.03f}, {0, 1, 2}},
        {{0.5f, 0.01f, 0.0f}, {15, 15, 15}},
    };
    for (const Case& c : cases) {
        GPosRot* thing = Thing(CVector(1.0f, 1.0f, 0.0f));
        TStepMover* mover = StepMover(thing, 0.01f);
        mover->MoveTo(CVector(19.0f, 1.0f, 0.0f));
        for (int i = 0; i < 3; ++i) {
            Frame(c.Frames[i]);
            EXPECT_EQ(mover->Slices, c.Slices[i]) << "frame " << i << " of " << c.Frames[0];
        }
        thing->Destroy();
    }
    GPosRot* thing = Thing(CVector(1.0f, 1.0f, 0.0f));
    TStepMover* mover = StepMover(thing, 1.0f);
    mover->MoveTo(CVector(19.0f, 1.0f, 0.0f));
    Frame(0.1f);
    EXPECT_NEAR(mover->TimeRemaining, 0.000001f, 1e-6f);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 4.0f);
}

TEST_F(MoverTest, StationaryMoverDiscardsItsTimeAndAPausedOneRunsNoSlices)
{
    GPosRot* thing = Thing(CVector(2.0f, 2.0f, 0.0f));
    TStepMover* mover = StepMover(thing, 1.0f);
    Frame(0.1f);
    EXPECT_EQ(mover->Slices, 0);
    EXPECT_EQ(mover->TimeRemaining, 0.0f);

    // Paused: no slices, but the auxiliary motion still moves the working position.
    CVector drift(1.0f, 0.0f, 0.0f);
    mover->MoveTo(CVector(10.0f, 2.0f, 0.0f));
    mover->AttachAuxiliaryMotion(&drift);
    mover->Pause(true);
    Frame(0.1f);
    EXPECT_EQ(mover->Slices, 0);
    EXPECT_FLOAT_EQ(mover->GetTimeslicePos().x, 3.0f);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 3.0f);
    // Clearing the auxiliary motion stops it.
    mover->ClearAuxiliaryMotion();
    Frame(0.1f);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 3.0f);
    mover->Pause(false);
    Frame(0.1f);
    EXPECT_EQ(mover->Slices, 3);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 6.0f);
}

// The auxiliary motion is turned with the object and refused where the grid says blocked.
TEST_F(MoverTest, AuxiliaryMotionTurnsWithTheObjectAndStopsAtTheWall)
{
    CollisionBlock block = CollisionBlock::Sphere(0.25f, 0x03, CVector(0.0f, 0.0f, 0.0f), 0.25f);
    TCollidingResource resource(block.Get());
    GPhysical* thing = MakePhysical(&resource, CVector(13.0f, 4.0f, 0.0f));
    ASSERT_TRUE(thing->bPlotted);
    thing->SetRot(CVector(0.0f, 0.0f, float(-M_PI / 2)));
    TStepMover* mover = StepMover(thing, 1.0f);
    mover->MoveTo(CVector(13.0f, 4.0f, 0.0f)); // moving, but already there
    CVector push(0.0f, -1.0f, 0.0f);
    mover->AttachAuxiliaryMotion(&push);
    Frame(0.01f);
    EXPECT_NEAR(mover->AuxiliaryOffset.x, 1.0f, 1e-5f);
    EXPECT_NEAR(mover->AuxiliaryOffset.y, 0.0f, 1e-5f);
    EXPECT_NEAR(thing->GetPos().x, 14.0f, 1e-5f);
    Frame(0.01f); // x = 15 is the wall
    EXPECT_NEAR(thing->GetPos().x, 14.0f, 1e-5f);
}

TEST_F(MoverTest, MoversKeepTheirObjectInsideTheWorld)
{
    GPosRot* thing = Thing(CVector(17.0f, 3.0f, 0.0f));
    TStepMover* mover = StepMover(thing, 50.0f);
    mover->MoveTo(CVector(40.0f, -9.0f, 0.0f));
    Frame(0.05f);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 20.0f - 0.01f);
    EXPECT_FLOAT_EQ(thing->GetPos().y, 0.01f);
}

TEST_F(MoverTest, GMoverStopsAfterOneSliceWhenAskedAndClipsWhenAsked)
{
    GPosRot* thing = Thing(CVector(1.0f, 5.0f, 0.0f));
    TJumpMover* mover = TJumpMover::Create();
    CMoverData data;
    data.pObject = thing;
    data.bClipToWorld = 1;
    mover->Attach(&data);
    EXPECT_EQ(data.pGMover, mover);

    Frame(0.2f); // stationary: the time goes
    EXPECT_EQ(mover->Slices, 0);
    EXPECT_EQ(mover->fSliceTime, 0.0f);

    data.State = 1 | CMoverData::STATE_STOP_AFTER_SLICE;
    Frame(0.2f);
    EXPECT_EQ(mover->Slices, 1);
    EXPECT_EQ(data.State, 1u);
    EXPECT_FLOAT_EQ(thing->GetPos().x, 20.0f - 0.01f);

    data.AddFlag(CMoverData::STATE_PAUSED);
    Frame(0.2f);
    EXPECT_EQ(mover->Slices, 1);
    data.ClearFlag(CMoverData::STATE_PAUSED);
    Frame(0.0f); // the carried 0.166667 s
    EXPECT_EQ(mover->Slices, 6);
    mover->Stop();
    EXPECT_TRUE(mover->Stationary());
}

// The wall at x = 15 has one gap near the top: the mover goes round through it and never
// stands on the wall.
TEST_F(MoverTest, MoverFollowsThePathFindersPathAroundTheWall)
{
    for (int row = 17; row < 20; ++row)
        m_Map->SetPassability(15, row, 0);
    CollisionBlock block = CollisionBlock::Sphere(0.25f, 0x03, CVector(0.0f, 0.0f, 0.0f), 0.25f);
    TCollidingResource resource(block.Get());
    GPhysical* unit = MakePhysical(&resource, CVector(5.5f, 5.5f, 0.0f));
    TPathMover* mover = static_cast<TPathMover*>(unit->Create(TPathMover::ClassId, nullptr));
    mover->SetSpeed(0.5f);
    mover->MoveTo(CVector(19.5f, 5.5f, 0.0f));
    LocationEntry* location = GmvWorld::GetFirstLocation();
    float highest = 0.0f;
    for (int frame = 0; frame < 400 && !mover->Stationary(); ++frame) {
        Frame(0.1f);
        const CVector& at = unit->GetPos();
        ASSERT_EQ(GmvWorld::GetPassibilityIndex(location, at.x, at.y), 0) << at.x << "," << at.y;
        highest = fmaxf(highest, at.y);
    }
    EXPECT_TRUE(mover->Stationary());
    ASSERT_NE(mover->pPath, nullptr);
    // The path ends where the finder put the goal: within the goal's cell.
    EXPECT_NEAR(unit->GetPos().x, 19.5f, 0.75f);
    EXPECT_NEAR(unit->GetPos().y, 5.5f, 0.75f);
    EXPECT_GE(highest, 17.0f) << "through the gap";
}

// ---- projectiles ----

class ProjectileTest : public MoverTest {
protected:
    GProjectile* Projectile(float lifeTime, float speed, CRendResource* resource = nullptr)
    {
        GProjectile* p =
            static_cast<GProjectile*>(MakePhysical(resource, CVector(0.0f, 0.0f, 0.0f), 1, GProjectile::ClassId));
        p->LifeTime = lifeTime;
        p->pMover = StepMover(p, speed);
        p->SetMover(p->pMover);
        return p;
    }
    static bool Alive(GObject* object) { return GObject::ObjectAt(object) == object; }
};

TEST_F(ProjectileTest, ExpiresInTheFirstFrameAfterItsLifetime)
{
    GProjectile* p = Projectile(0.5f, 0.1f);
    CProjectileInit init;
    init.Position = CVector(2.0f, 2.0f, 0.0f);
    init.Rotation = CVector(0.0f, 0.0f, 0.0f);
    init.TargetPoint = CVector(18.0f, 2.0f, 0.0f);
    CGameTimer::tGameTime = 8.0f; // exact in binary: 8.5 is the expiry
    p->Configure(init);
    EXPECT_EQ(p->Render.GetMergedPriority(), 0x4000800Fu);
    EXPECT_EQ(p->GetExpiry(), 8.5f);
    Frame(0.25f);
    Frame(0.25f);
    ASSERT_TRUE(Alive(p)) << "at the exact expiry time";
    EXPECT_FALSE(p->HasExpired());
    Frame(0.0f); // time stands still
    ASSERT_TRUE(Alive(p));
    Frame(0.01f);
    EXPECT_FALSE(Alive(p));

    // Expire brings the end to now: gone in the next frame in which time advances.
    GProjectile* q = Projectile(100.0f, 0.1f);
    q->Configure(init);
    Frame(0.1f);
    q->Expire();
    EXPECT_FALSE(static_cast<TStepMover*>(q->GetMover())->Moving());
    Frame(0.0f);
    EXPECT_TRUE(Alive(q));
    Frame(0.01f);
    EXPECT_FALSE(Alive(q));
}

// The default target point means "at the target object"; any other point, even the origin, is
// flown to as given.
TEST_F(ProjectileTest, InitSendsTheMoverToTheTargetObjectOrThePoint)
{
    GPosRot* target = static_cast<GPosRot*>(MakePhysical(nullptr, CVector(7.0f, 9.0f, 0.0f)));
    CProjectileInit init;
    init.Position = CVector(1.0f, 1.0f, 0.0f);
    init.Rotation = CVector(0.0f, 0.0f, 0.0f);
    init.Target = target->GetHandle();
    GProjectile* atObject = Projectile(1.0f, 0.5f);
    atObject->Configure(init);
    EXPECT_EQ(static_cast<CMover*>(atObject->pMover)->TargetVector, CVector(7.0f, 9.0f, 0.0f));
    EXPECT_EQ(atObject->hTarget, target->GetHandle());

    init.TargetPoint = CVector(0.0f, 0.0f, 0.0f);
    GProjectile* atPoint = Projectile(1.0f, 0.5f);
    atPoint->Configure(init);
    EXPECT_EQ(static_cast<CMover*>(atPoint->pMover)->TargetVector, CVector(0.0f, 0.0f, 0.0f));
}

TEST_F(ProjectileTest, WithoutAMoverItSleepsInsteadOfFlying)
{
    GProjectile* p = Projectile(1.0f, 0.5f);
    CProjectileInit init;
    init.Position = CVector(3.0f, 3.0f, 0.0f);
    init.Rotation = CVector(0.0f, 0.0f, 0.0f);
    init.TargetPoint = CVector(5.0f, 3.0f, 0.0f);
    p->Configure(init);
    p->Disable();
    EXPECT_EQ(p->GetPos(), NowhereVector);
    EXPECT_EQ(p->pChild, nullptr);
    EXPECT_TRUE(p->Asleep());
    p->Wakeup();
    Frame(5.0f);
    EXPECT_TRUE(Alive(p));
    EXPECT_TRUE(p->Asleep());
}

// Each slice asks the section grid what the projectile's sphere meets there: a projectile aimed
// at a cylinder hits it on the first slice the shapes overlap; one aimed past it never does.
TEST_F(ProjectileTest, HitsWhatTheCollisionShapesSay)
{
    CollisionBlock targetBlock = CollisionBlock::Cylinder(1.0f, 0x03, 0.0f, 0.0f, 2.0f, 0.0f, 1.0f);
    TCollidingResource targetResource(targetBlock.Get());
    GPhysical* target = MakePhysical(&targetResource, CVector(10.0f, 5.0f, 0.0f), 2);
    target->EnableCollisions();
    CollisionBlock shotBlock = CollisionBlock::Sphere(0.25f, 0x03, CVector(0.0f, 0.0f, 1.0f), 0.25f);
    TCollidingResource shotResource(shotBlock.Get());

    struct Case {
        float AimY;
        bool Hits;
    };
    for (const Case& c : {Case{5.0f, true}, Case{8.0f, false}}) {
        GProjectile* p = Projectile(10.0f, 0.5f, &shotResource);
        TStepMover* mover = static_cast<TStepMover*>(p->pMover);
        HGOBJECT hit(0);
        CVector where;
        mover->OnSlice = [&](TStepMover* m) {
            const HGOBJECT h = GSectionMgr::pThe->Blocked(p, m->GetTimeslicePos(), ALL, 0);
            if (h == target->GetHandle() && hit == 0) {
                hit = h;
                where = m->GetTimeslicePos();
                m->Stop();
            }
        };
        CProjectileInit init;
        init.Position = CVector(2.0f, c.AimY, 0.0f);
        init.Rotation = CVector(0.0f, 0.0f, 0.0f);
        init.TargetPoint = CVector(14.0f, c.AimY, 0.0f);
        p->Configure(init);
        for (int i = 0; i < 20; ++i)
            Frame(0.1f);
        EXPECT_EQ(hit != 0, c.Hits) << c.AimY;
        if (c.Hits)
            EXPECT_FLOAT_EQ(where.x, 9.0f); // 8.5 is 1.5 away, beyond the summed radii 1.25
        else
            EXPECT_FLOAT_EQ(p->GetPos().x, 14.0f);
        p->Destroy();
    }
}

// ---- fences ----

class FenceTest : public ObjectTest {
protected:
    GFenceNode* Node(int index, float x, float y)
    {
        FillData data;
        data.Int("Index", index).Float("Locator.Position.X", x).Float("Locator.Position.Y", y);
        return static_cast<GFenceNode*>(GObject::Create(GFenceNode::ClassId, HGOBJECT(0), data.Get()));
    }
    static std::vector<GFenceNode*> List()
    {
        std::vector<GFenceNode*> out;
        for (GFenceNode* n = GFenceNode::GetNode(nullptr); n; n = GFenceNode::GetNode(n))
            out.push_back(n);
        return out;
    }
};

TEST_F(FenceTest, PointsOutsideMoveOntoTheNearestPlaceOfTheFence)
{
    struct Case {
        CVector In, Out;
    };
    Node(0, 0, 0);
    CVector p(20.0f, 20.0f, 3.0f);
    Node(1, 10, 0);
    GFenceNode::FencePoint(p); // two nodes: no fence yet
    EXPECT_EQ(p, CVector(20.0f, 20.0f, 3.0f));
    Node(2, 0, 10);
    const Case triangle[] = {
        {{2, 2, 7}, {2, 2, 7}},  {{10, 10, 7}, {5, 5, 7}},  {{-3, -4, 7}, {0, 0, 7}},    {{5, -2, 0}, {5, 0, 0}},
        {{-1, 5, 0}, {0, 5, 0}}, {{12, -1, 0}, {10, 0, 0}}, {{0, 10.5f, 0}, {0, 10, 0}}, {{4, 4, 0}, {4, 4, 0}},
    };
    for (const Case& c : triangle) {
        CVector q = c.In;
        GFenceNode::FencePoint(q);
        EXPECT_NEAR(q.x, c.Out.x, 1e-5f) << c.In.x << "," << c.In.y;
        EXPECT_NEAR(q.y, c.Out.y, 1e-5f) << c.In.x << "," << c.In.y;
        EXPECT_EQ(q.z, c.Out.z);
    }
}

// A concave fence (a U open to +y) with more nodes than a fixed array of 128 would hold: points
// in the notch are outside and go to its nearest wall; of two equally near places the earlier edge wins.
TEST_F(FenceTest, ConcaveFencesOfAnyLengthKeepTheNotchOutside)
{
    const float u[][2] = {{0, 0}, {9, 0}, {9, 9}, {6, 9}, {6, 3}, {3, 3}, {3, 9}, {0, 9}};
    int index = 0;
    for (int k = 0; k < 8; ++k) {
        const float* a = u[k];
        const float* b = u[(k + 1) % 8];
        for (int s = 0; s < 20; ++s) // 160 nodes along the same outline
            Node(index++, a[0] + (b[0] - a[0]) * s / 20.0f, a[1] + (b[1] - a[1]) * s / 20.0f);
    }
    struct Case {
        CVector In, Out;
    };
    const Case cases[] = {
        {{1, 8, 0}, {1, 8, 0}},          {{8, 1, 0}, {8, 1, 0}},     {{4, 6, 0}, {3, 6, 0}},  {{5.5f, 8, 0}, {6, 8, 0}},
        {{4.5f, 3.2f, 0}, {4.5f, 3, 0}}, {{4.5f, 12, 0}, {6, 9, 0}}, {{-2, 4, 0}, {0, 4, 0}},
    };
    for (const Case& c : cases) {
        CVector q = c.In;
        GFenceNode::FencePoint(q);
        EXPECT_NEAR(q.x, c.Out.x, 1e-4f) << c.In.x << "," << c.In.y;
        EXPECT_NEAR(q.y, c.Out.y, 1e-4f) << c.In.x << "," << c.In.y;
    }
}

TEST_F(FenceTest, ListKeepsIndexOrderAndRenumbersAfterAnEdit)
{
    GFenceNode* a = Node(5, 0, 0);
    GFenceNode* b = Node(2, 1, 0);
    GFenceNode* c = Node(5, 2, 0); // equal index: after the earlier one
    GFenceNode* d = Node(9, 3, 0);
    EXPECT_EQ(List(), (std::vector<GFenceNode*>{b, a, c, d}));
    EXPECT_EQ(a->RenderedIndex, GFenceNode::NOT_RENDERED);
    EXPECT_FALSE(c->Render());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(List()[i]->Index, i);
    b->Index = 7; // the editor moves b to the end
    b->Render();
    EXPECT_EQ(List(), (std::vector<GFenceNode*>{a, c, d, b}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(List()[i]->Index, i);
        EXPECT_EQ(List()[i]->RenderedIndex, i);
    }
    a->Destroy();
    EXPECT_EQ(List(), (std::vector<GFenceNode*>{c, d, b}));
    EXPECT_EQ(GFenceNode::pRoot, c);
}

// ---- the camera object ----

TEST_F(ObjectTest, CameraEyeFocusDirectionAndTheLiveCamera)
{
    GmvCamera* first = GmvCamera::Create();
    first->SetEye(CVector(1, 2, 3));
    first->SetFocus(CVector(1, 6, 0));
    EXPECT_EQ(first->GetPos(), CVector(1, 2, 3));
    CVector d;
    first->GetUnitDirectionVector(d);
    EXPECT_NEAR(d.x, 0.0f, 1e-6f);
    EXPECT_NEAR(d.y, 0.8f, 1e-6f);
    EXPECT_NEAR(d.z, -0.6f, 1e-6f);
    first->SetFocus(CVector(1, 2, 3));
    first->GetUnitDirectionVector(d);
    EXPECT_EQ(d, CVector(0, 0, 0));

    GmvCamera* second = GmvCamera::Create();
    EXPECT_EQ(GmvCamera::pThe, second);
    first->Destroy();
    EXPECT_EQ(GmvCamera::pThe, second) << "an older camera going leaves the newer one live";
    second->Destroy();
    EXPECT_EQ(GmvCamera::pThe, nullptr);
}

} // namespace
