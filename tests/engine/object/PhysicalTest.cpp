// Physical objects: their render instance set up at creation, collision through the resource's
// collision block, health, targets, collision notices and ranges that include both radii.
#include <math.h>

#include <vector>

#include "ObjectTestSupport.h"
#include "PhysicalTestSupport.h"
#include "TestClasses.h"
#include "core/math/C2DMath.h"
#include "engine/object/GTarget.h"
#include "engine/world/CCollisionData.h"

// Logs the collisions it is told of, and can take the other object down when told.
class TBumper : public GPhysical {
    DECLARE_GOBJECT(TBumper, GPhysical)

    bool OnCollision(HGOBJECT other, bool initiator) override
    {
        Log.push_back({GetHandle(), other, initiator});
        GObject* object = GObject::GetGobject(other);
        if (DestroyOther && object != nullptr)
            object->Destroy();
        return true;
    }

    struct Notice {
        DWORD self;
        DWORD other;
        bool initiator;
    };
    static std::vector<Notice> Log;
    bool DestroyOther;
};
IMPLEMENT_GOBJECT(TBumper, 0x80008000)
std::vector<TBumper::Notice> TBumper::Log;

namespace {

// A resource with one attach point, "Attach_Center", at a fixed place, and two nodes; it
// remembers what was hung on it.
class TPointedResource : public CRendResource {
public:
    int GetAttachPointCount() override { return 1; }
    unsigned long GetAttachPointCRC(int index) override { return index == 0 ? CCRC32::GetCRC("Attach_Center") : 0; }
    const CVector& GetAttachPoint(CRender*, CCRC32 point, int& found, CMatrix*) override
    {
        found = point == CCRC32::GetCRC("Attach_Center") ? 1 : 0;
        return found ? Centre : NullVector;
    }
    const CVector& GetAttachPoint(CRender*, int index, int& found, CMatrix*) override
    {
        found = index == 0 ? 1 : 0;
        return found ? Centre : NullVector;
    }
    int GetNodeCount() override { return 2; }
    void GetNodePos(int node, CVector& out) override { out = CVector(static_cast<float>(node), 0.0f, 0.0f); }
    CVector* Attach(CRender*, CRender* child, CCRC32 point, int) override
    {
        Child = child;
        Point = point;
        return nullptr;
    }

    CVector Centre = CVector(1.0f, 2.0f, 3.0f);
    CRender* Child = nullptr;
    unsigned long Point = 0;
};

class PhysicalTest : public ObjectTest {
protected:
    // Plotting radius 0.5 (no categories), a sphere of radius 1 at the owner.
    CollisionBlock unitSphere = CollisionBlock::Sphere(0.5f, 0, CVector(0.0f, 0.0f, 0.0f), 1.0f);
    // Plotting radius 0.25 (plotted and colliding), a cylinder of radius 0.5 from 0 to 2 high.
    CollisionBlock post =
        CollisionBlock::Cylinder(0.25f, COLLISIONDATA_PLOT | COLLISIONDATA_COLLIDE, 0.0f, 0.0f, 2.0f, 0.0f, 0.5f);
    // Plotting radius 0.25 (no categories), a sphere of radius 0.5.
    CollisionBlock smallSphere = CollisionBlock::Sphere(0.25f, 0, CVector(0.0f, 0.0f, 0.0f), 0.5f);
    TCollidingResource sphereResource{unitSphere.Get()};
    TCollidingResource smallResource{smallSphere.Get()};
    TCollidingResource postResource{post.Get()};
};

TEST_F(PhysicalTest, RegistersBelowGPosRotWithABitOfItsOwn)
{
    EXPECT_EQ(GObject::FindClassEntry(GPhysical::ClassId)->Flags, 0x00408000u);
    EXPECT_EQ(GObject::FindClassEntry(GPhysical::ClassId)->pParent, GObject::FindClassEntry(GPosRot::ClassId));
    EXPECT_EQ(GPhysical::RttiCode & GPosRot::RttiCode, GPosRot::RttiCode);
    EXPECT_NE(GPhysical::RttiCode, GPosRot::RttiCode);

    EXPECT_EQ(GPhysical::FromObject(GPosRot::Create()), nullptr) << "positioned, not physical";
    EXPECT_EQ(GPhysical::FromObject(GTarget::Create()), nullptr);
    GPhysical* physical = GPhysical::Create();
    EXPECT_EQ(GPhysical::FromObject(physical), physical);
    EXPECT_EQ(GPosRot::FromObject(physical), physical);
}

// The operations physical objects add follow GPosRot's in the table, in this order.
TEST_F(PhysicalTest, AddedOperationsFollowGPosRotsInOrder)
{
    const unsigned long last = VirtualSlot(&GPosRot::GetDwimIndex);
    const unsigned long added[] = {VirtualSlot(&GPhysical::GetRenderHeight),
                                   VirtualSlot(static_cast<CVector (GPhysical::*)(int)>(&GPhysical::GetAttachPos)),
                                   VirtualSlot(&GPhysical::AttachRender),
                                   VirtualSlot(&GPhysical::DetachRender),
                                   VirtualSlot(&GPhysical::IsSelectable),
                                   VirtualSlot(static_cast<float (GPhysical::*)()>(&GPhysical::GetHealth)),
                                   VirtualSlot(&GPhysical::AddHealth),
                                   VirtualSlot(static_cast<bool (GPhysical::*)(GPhysical*)>(&GPhysical::CanCollide)),
                                   VirtualSlot(static_cast<bool (GPhysical::*)()>(&GPhysical::CanCollide)),
                                   VirtualSlot(&GPhysical::GetBlockageFlags),
                                   VirtualSlot(&GPhysical::GetCollisionFlags),
                                   VirtualSlot(&GPhysical::OnCollision),
                                   VirtualSlot(&GPhysical::UpdateTarget)};
    for (unsigned long i = 0; i < sizeof added / sizeof added[0]; ++i)
        EXPECT_EQ(added[i], last + 1 + i) << i;
    EXPECT_EQ(VirtualSlot(static_cast<CVector (GPhysical::*)(CCRC32)>(&GPhysical::GetAttachPos)),
              VirtualSlot(static_cast<CVector (GPosRot::*)(CCRC32)>(&GPosRot::GetAttachPos)))
        << "an override keeps its slot";
}

TEST_F(PhysicalTest, EditableFieldsFollowThoseOfGPosRot)
{
    GPhysical* object = GPhysical::Create();
    ZPtrArray<EditableInfo, 64> list;
    object->GetEditableInfoList(list);
    ASSERT_EQ(list.GetSize(), 15);
    EXPECT_STREQ(list[8]->Name, "Locator.Viewports");
    const char* names[] = {"pResource", "Health", "MaxHealth", "PermanentDamage", "HasDebugObj", "PassibilityIndex"};
    const char* types[] = {"CRendResource *", "float", "float", "float", "int", "DWORD"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(list[9 + i]->Name, names[i]);
        EXPECT_STREQ(list[9 + i]->TypeName, types[i]);
        EXPECT_EQ(list[9 + i]->Flags, EDITABLE_FROM_FILLDATA);
    }

    // Both are stored in the 4 bytes their type names give, so neither draws the warning of a
    // one-byte field; the passibility index is the low 8 bits of its DWORD.
    for (int i = 4; i < 6; ++i)
        EXPECT_EQ(list[9 + i]->Size, 4u) << names[i];
    object->SetEditDataValue("0x1FF", list[14]);
    EXPECT_EQ(object->GetPassibilityIndex(), 0xFF);
}

TEST_F(PhysicalTest, ALiveObjectsRenderShowsItsResourceAtItsPlaceInTheScene)
{
    FillData data;
    CRendResource* resource = &postResource;
    data.Raw("pResource", &resource, 4).Int("Locator.Viewports", 0x23).Float("Locator.Position.X", 4.0f);
    TBumper* object = static_cast<TBumper*>(GObject::Create(TBumper::ClassId, HGOBJECT(3), data.Get()));
    ASSERT_NE(object, nullptr);

    EXPECT_EQ(object->Render.GetResource(), &postResource);
    EXPECT_EQ(object->pAttachedResource, &postResource);
    EXPECT_EQ(object->Render.GetPos(), &object->Position);
    EXPECT_EQ(object->Render.GetRot(), &object->Rotation);
    EXPECT_EQ(object->Render.GetViewport(), 3);
    EXPECT_EQ(static_cast<DWORD>(object->Render.GetSelectable()), static_cast<DWORD>(object->GetHandle()));
    EXPECT_EQ(object->Render.GetParent(), object);
    EXPECT_STREQ(object->Render.GetParentClassName(), "TBumper");
    EXPECT_NE(object->Render.IsLinked(), 0);
    EXPECT_FLOAT_EQ(object->GetPlottingRadius(), 0.25f);
    EXPECT_NE(object->IsSelectable(), 0);
    EXPECT_EQ(GPhysical::Create()->IsSelectable(), 0) << "GPhysical itself gets no handle";

    // Moving the object moves what its render tests: the render reads the object's position.
    object->SetPos(CVector(10.0f, 0.0f, 0.0f));
    const CVector near(10.5f, 0.0f, 1.0f);
    EXPECT_TRUE(object->IsCollision(&near, 0.1f));
}

TEST_F(PhysicalTest, CollisionFlagsComeFromTheBlockAndDecideWhetherItCanCollide)
{
    struct Case {
        unsigned long flags;
        bool canCollide;
    };
    const Case cases[] = {
        {COLLISIONDATA_PLOT, false},
        {COLLISIONDATA_PLOT | COLLISIONDATA_COLLIDE, true},
        {COLLISIONDATA_SPECIAL, true},
        {COLLISIONDATA_LOCALPATH | COLLISIONDATA_GLOBALPATH, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        CollisionBlock block = CollisionBlock::Sphere(1.0f, c.flags, CVector(0.0f, 0.0f, 0.0f), 1.0f);
        TCollidingResource resource(block.Get());
        GPhysical* object = MakePhysical(&resource, CVector(0.0f, 0.0f, 0.0f));
        EXPECT_EQ(object->GetCollisionFlags(), c.flags);
        object->EnableCollisions();
        EXPECT_EQ(object->CanCollide(), c.canCollide);
        EXPECT_TRUE(object->CanCollide(object));
        object->DisableCollisions();
        EXPECT_FALSE(object->CanCollide());
        object->Destroy();
    }
    GPhysical* bare = MakePhysical(nullptr, CVector(0.0f, 0.0f, 0.0f));
    bare->EnableCollisions();
    EXPECT_EQ(bare->GetCollisionFlags(), 0u);
    EXPECT_FALSE(bare->CanCollide());
    const CVector origin(0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(bare->IsCollision(&origin, 10.0f)) << "nothing collides without a block";
}

TEST_F(PhysicalTest, CollisionTestsPlaceTheBlockAtTheObjectOrWhereAsked)
{
    GPhysical* a = MakePhysical(&sphereResource, CVector(0.0f, 0.0f, 0.0f));
    GPhysical* b = MakePhysical(&sphereResource, CVector(2.0f, 0.0f, 0.0f));
    GPhysical* c = MakePhysical(&sphereResource, CVector(1.5f, 0.0f, 0.0f));

    EXPECT_FALSE(a->IsCollision(b)) << "spheres exactly touching do not collide";
    EXPECT_TRUE(a->IsCollision(c));
    const CVector shifted(0.5f, 0.0f, 0.0f);
    EXPECT_TRUE(a->IsCollision(b, &shifted));
    EXPECT_EQ(a->Render.GetPos(), &a->Position) << "the test position is not kept";

    const CVector point(0.0f, 1.5f, 0.0f);
    EXPECT_FALSE(a->IsCollision(&point, 0.5f));
    EXPECT_TRUE(a->IsCollision(&point, 0.6f));

    const fRECT touching = {0.5f, -0.5f, 3.0f, 0.5f};
    const fRECT apart = {1.5f, -0.5f, 3.0f, 0.5f};
    EXPECT_TRUE(a->IsCollision(touching));
    EXPECT_FALSE(a->IsCollision(apart));

    const CVector from(-3.0f, 0.0f, 0.0f);
    const CVector to(1.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(a->IsCollision(&from, &to), 0.5f);
    const CVector above(-3.0f, 0.0f, 5.0f);
    const CVector aboveEnd(1.0f, 0.0f, 5.0f);
    EXPECT_FLOAT_EQ(a->IsCollision(&above, &aboveEnd), -1.0f);
    EXPECT_FALSE(a->IsCollision(static_cast<GPhysical*>(nullptr)));
}

TEST_F(PhysicalTest, AttachPointsAndNodesComeFromTheResource)
{
    TPointedResource pointed;
    GPhysical* object = MakePhysical(&pointed, CVector(7.0f, 8.0f, 9.0f));
    EXPECT_EQ(object->GetAttachPointCount(), 1);
    EXPECT_EQ(object->GetAttachPointCRC(0), CCRC32::GetCRC("Attach_Center"));
    EXPECT_EQ(object->GetAttachPos(CCRC32("Attach_Center")), CVector(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(object->GetAttachPos(0), CVector(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(object->GetNodeCount(), 2);
    CVector node;
    object->GetNodePos(1, node);
    EXPECT_EQ(node, CVector(1.0f, 0.0f, 0.0f));

    CVector centre;
    object->GetCenterPos(centre, true);
    EXPECT_EQ(centre, CVector(1.0f, 2.0f, 3.0f));
    object->GetCenterPos(centre, false);
    EXPECT_EQ(centre, CVector(1.0f, 2.0f, 9.0f));
    MakePhysical(nullptr, CVector(4.0f, 5.0f, 6.0f))->GetCenterPos(centre, true);
    EXPECT_EQ(centre, CVector(4.0f, 5.0f, 6.0f)) << "no centre point: the position";
    EXPECT_EQ(object->GetRenderCenter(), CVector(7.0f, 8.0f, 0.0f));

    // A render hung on the object leaves the scene: it is drawn with its holder.
    GPhysical* hung = MakePhysical(&sphereResource, CVector(0.0f, 0.0f, 0.0f));
    ASSERT_NE(hung->Render.IsLinked(), 0);
    object->AttachRender(CCRC32::GetCRC("Attach_Hand"), &hung->Render);
    EXPECT_EQ(hung->Render.IsLinked(), 0);
    EXPECT_EQ(pointed.Child, &hung->Render);
    EXPECT_EQ(pointed.Point, CCRC32::GetCRC("Attach_Hand"));
    EXPECT_TRUE(object->DetachRender(CCRC32("Attach_Hand")));
    EXPECT_EQ(pointed.Child, nullptr);
}

TEST_F(PhysicalTest, HealingStopsAtMaximumLessPermanentDamage)
{
    GPhysical* object = GPhysical::Create();
    object->SetMaxHealth(100.0f);
    object->PermanentDamage = 20.0f;
    object->SetHealth(90.0f);
    object->AddHealth(50.0f);
    EXPECT_FLOAT_EQ(object->GetHealth(), 80.0f);
    object->AddHealth(-200.0f);
    EXPECT_FLOAT_EQ(object->GetHealth(), -120.0f) << "harm has no floor";
    object->AddMaxHealth(10.0f);
    float health;
    float maxHealth;
    object->GetHealth(health, maxHealth);
    EXPECT_FLOAT_EQ(health, -120.0f);
    EXPECT_FLOAT_EQ(maxHealth, 110.0f);

    FillData data;
    data.Float("Health", 5.0f).Float("MaxHealth", 6.0f).Float("PermanentDamage", 1.0f);
    GPhysical* stored = static_cast<GPhysical*>(GObject::Create(GPhysical::ClassId, 0, data.Get()));
    stored->AddHealth(3.0f);
    EXPECT_FLOAT_EQ(stored->GetHealth(), 5.0f);
    EXPECT_FLOAT_EQ(stored->GetPermanentDamage(), 1.0f);
}

TEST_F(PhysicalTest, MarksAndFlagAccessors)
{
    GPhysical* object = GPhysical::Create();
    EXPECT_FALSE(object->IsGUnit());
    object->SetGDecor();
    EXPECT_TRUE(object->IsGDecor());
    EXPECT_FALSE(object->IsGUnit());
    object->SetGUnit();
    EXPECT_TRUE(object->IsGUnit());
    object->SetPhysicalFlags(0x0C);
    object->OrPhysicalFlags(0x01);
    object->AndPhysicalFlags(0x05);
    EXPECT_EQ(object->GetPhysicalFlags(), 0x05);
    object->SetPassibilityIndex(7);
    EXPECT_EQ(object->GetPassibilityIndex(), 7);
    EXPECT_EQ(object->GetBlockageFlags(), 0u);
    EXPECT_EQ(object->GetRenderHeight(), 0.0f);
}

TEST_F(PhysicalTest, TargetsAreFollowedWhileTheyExist)
{
    GPhysical* hunter = GPhysical::Create();
    GPhysical* prey = MakePhysical(&sphereResource, CVector(3.0f, 4.0f, 5.0f), 2, TBumper::ClassId);
    hunter->hTarget = prey->GetHandle();
    hunter->UpdateTarget();
    EXPECT_EQ(hunter->TargetPos, CVector(3.0f, 4.0f, 5.0f));
    EXPECT_EQ(hunter->ValidTarget(), prey);

    GTarget* marker = GTarget::Create();
    marker->SetPos(CVector(1.0f, 1.0f, 1.0f));
    hunter->hTarget = marker->GetHandle();
    hunter->UpdateTarget();
    EXPECT_EQ(hunter->TargetPos, CVector(1.0f, 1.0f, 1.0f)) << "any positioned object is followed";
    EXPECT_EQ(hunter->ValidTarget(), nullptr) << "but only a physical one is a valid target";

    marker->Destroy();
    hunter->UpdateTarget();
    EXPECT_EQ(static_cast<DWORD>(hunter->hTarget), 0u);
    EXPECT_EQ(hunter->TargetPos, CVector(1.0f, 1.0f, 1.0f));
}

TEST_F(PhysicalTest, CollisionNoticesGoToBothSidesInitiatorFirst)
{
    TBumper::Log.clear();
    TBumper* a = static_cast<TBumper*>(MakePhysical(&sphereResource, CVector(0.0f, 0.0f, 0.0f), 1, TBumper::ClassId));
    TBumper* b = static_cast<TBumper*>(MakePhysical(&sphereResource, CVector(1.0f, 0.0f, 0.0f), 2, TBumper::ClassId));
    const DWORD ha = a->GetHandle();
    const DWORD hb = b->GetHandle();

    a->NotifyCollision(b->GetHandle());
    ASSERT_EQ(TBumper::Log.size(), 2u);
    EXPECT_EQ(TBumper::Log[0].self, ha);
    EXPECT_EQ(TBumper::Log[0].other, hb);
    EXPECT_TRUE(TBumper::Log[0].initiator);
    EXPECT_EQ(TBumper::Log[1].self, hb);
    EXPECT_EQ(TBumper::Log[1].other, ha);
    EXPECT_FALSE(TBumper::Log[1].initiator);

    TBumper::Log.clear();
    a->NotifyCollision(HGOBJECT(0xFFFFFFFF));
    ASSERT_EQ(TBumper::Log.size(), 1u) << "no other object";
    EXPECT_TRUE(TBumper::Log[0].initiator);

    // The other side is not told after the initiator destroyed it.
    TBumper::Log.clear();
    a->DestroyOther = true;
    a->NotifyCollision(b->GetHandle());
    EXPECT_EQ(TBumper::Log.size(), 1u);
    EXPECT_EQ(GObject::GetGobject(hb), nullptr);
}

// Ranges are measured flat between the two positions and include both plotting radii.
TEST_F(PhysicalTest, RangesWithFatnessIncludeBothRadii)
{
    GPhysical* a = MakePhysical(&sphereResource, CVector(0.0f, 0.0f, 0.0f)); // radius 0.5
    GPhysical* b = MakePhysical(&smallResource, CVector(3.0f, 0.0f, 9.0f));  // radius 0.25

    // 0.5 + 0.25 + 2.25 is exactly the distance 3.
    EXPECT_FALSE(a->IsInRangeWithFatness(b, 2.25f));
    EXPECT_TRUE(a->IsInRangeWithFatnessXY(b, 2.25f));
    EXPECT_TRUE(a->IsInRangeWithFatness(b, 2.26f));
    EXPECT_FALSE(a->IsInRangeWithFatnessXY(b, 2.24f));
    EXPECT_FALSE(a->IsInRangeWithFatness(b, 1.5f, nullptr, nullptr, 1.0f)) << "the given radius replaces the other's";
    EXPECT_TRUE(a->IsInRangeWithFatnessXY(b, 1.5f, nullptr, nullptr, 1.0f));

    const CVector from(1.0f, 0.0f, 0.0f);
    const CVector to(5.0f, 0.0f, 0.0f);
    EXPECT_TRUE(a->IsInRangeWithFatness(b, 1.26f, &from));
    EXPECT_FALSE(a->IsInRangeWithFatness(b, 2.26f, nullptr, &to));

    EXPECT_FLOAT_EQ(a->GetRangeWithFatness(b), 2.25f);
    EXPECT_FLOAT_EQ(a->GetRangeWithFatness(b, &from, &to), 3.25f);
    EXPECT_FLOAT_EQ(a->GetFatRange(CVector(0.0f, 4.0f, -7.0f)), 3.5f);
    EXPECT_FLOAT_EQ(a->GetFatRange(CVector(0.0f, 4.0f, 0.0f), &from), sqrtf(17.0f) - 0.5f);
}

} // namespace
