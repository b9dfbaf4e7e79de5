// Attachable and animatable objects: hanging on another object's attach point and coming off
// it, and playing rows of an animation table as base animations and overlays.
#include <gtest/gtest.h>

#include "AnimationTestSupport.h"
#include "ObjectTestSupport.h"
#include "PhysicalTestSupport.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/GAnimatable.h"
#include "engine/render/CRendDynamicSkeleton.h"
#include "engine/render/CRenderer.h"

namespace {

GAnimatable* MakeAnimatable(CRendResource* resource, CAnimTable* table, const CVector& position)
{
    FillData data;
    data.Raw("pResource", &resource, 4);
    data.Raw("pDefaultAnimTable", &table, 4);
    data.Float("Locator.Position.X", position.x).Float("Locator.Position.Y", position.y);
    return static_cast<GAnimatable*>(GObject::Create(GAnimatable::ClassId, HGOBJECT(1), data.Get()));
}

// An animation table as stored: rows of variants.
class TestTable {
public:
    explicit TestTable(const std::vector<std::vector<CAnimation*>>& rows)
    {
        for (const auto& row : rows) {
            Rows.emplace_back(2 + row.size(), 0);
            Rows.back()[0] = static_cast<unsigned long>(row.size()) | (row.empty() ? 0 : 1UL << 16);
            for (size_t v = 0; v < row.size(); ++v)
                Rows.back()[1 + v] = reinterpret_cast<unsigned long>(row[v]);
        }
        Top.assign(2 + rows.size(), 0);
        Top[0] = static_cast<unsigned long>(rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            Top[1 + r] = reinterpret_cast<unsigned long>(Rows[r].data());
    }
    CAnimTable* Get() { return reinterpret_cast<CAnimTable*>(Top.data()); }

private:
    std::vector<std::vector<unsigned long>> Rows;
    std::vector<unsigned long> Top;
};

class AnimatableTest : public ObjectTest {
protected:
    CollisionBlock sphere = CollisionBlock::Sphere(0.5f, 0, CVector(0, 0, 0), 1.0f);
    TCollidingResource ball{sphere.Get()};
};

TEST_F(AnimatableTest, RegistersBelowGPhysicalAndTakesItsAnimationTableAsEditable)
{
    EXPECT_EQ(GObject::FindClassEntry(GAttachable::ClassId)->Flags, 0x00008000u);
    EXPECT_EQ(GObject::FindClassEntry(GAttachable::ClassId)->pParent, GObject::FindClassEntry(GPhysical::ClassId));
    EXPECT_EQ(GObject::FindClassEntry(GAnimatable::ClassId)->pParent, GObject::FindClassEntry(GAttachable::ClassId));
    TestTable table({});
    GAnimatable* object = MakeAnimatable(&ball, table.Get(), CVector(0, 0, 0));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->pDefaultAnimTable, table.Get());
    EXPECT_EQ(object->CurrentRow, -1);
}

TEST_F(AnimatableTest, AnAttachedObjectStandsOnItsPointAndComesOffWhereItWas)
{
    TestSkeleton arm({{&ball, {{CVector(0, 2, 0), "Hand", -1}}}}, nullptr);
    GPhysical* holder = MakePhysical(arm.Get(), CVector(5, 5, 0));
    GAnimatable* held = MakeAnimatable(&ball, nullptr, CVector(40, 40, 0));
    held->AttachMeTo(holder, false, CCRC32::GetCRC("Hand"), true, false);
    EXPECT_EQ(held->IsAttached(), holder);
    EXPECT_EQ(held->GetParent(), holder);
    EXPECT_EQ(held->Render.IsLinked(), 0);
    ++CRenderer::FrameNumber;
    EXPECT_FLOAT_EQ(held->GetPos().x, 5.0f);
    EXPECT_FLOAT_EQ(held->GetPos().y, 7.0f);
    holder->SetPos(CVector(10, 5, 0));
    ++CRenderer::FrameNumber;
    EXPECT_FLOAT_EQ(held->GetPos().x, 10.0f);
    EXPECT_EQ(held->DetachMe(true, false), holder);
    EXPECT_EQ(held->IsAttached(), nullptr);
    EXPECT_EQ(held->GetParent(), GObject::GetRoot());
    EXPECT_FLOAT_EQ(held->GetPos().x, 10.0f);
    EXPECT_FLOAT_EQ(held->GetPos().y, 7.0f);
    EXPECT_NE(held->Render.IsLinked(), 0);
}

TEST_F(AnimatableTest, RowsOfTheTablePlayAsBaseAnimationsAndOverlays)
{
    AnimSpec spec;
    spec.KeyTimes = {0.0f, 1.0f};
    TestAnimation a(spec), b(spec);
    TestTable table({{a.Get(), b.Get()}, {}});
    GAnimatable* object = MakeAnimatable(&ball, table.Get(), CVector(0, 0, 0));

    int variant = 1;
    EXPECT_EQ(object->GetActionAnim(0, variant), b.Get());
    variant = -1;
    CAnimation* chosen = object->GetActionAnim(0, variant);
    ASSERT_TRUE(variant == 0 || variant == 1);
    EXPECT_EQ(chosen, variant == 0 ? a.Get() : b.Get());
    variant = 0;
    EXPECT_EQ(object->GetActionAnim(1, variant), nullptr); // an empty row
    EXPECT_EQ(object->GetActionAnim(2, variant), nullptr); // beyond the table

    variant = 0;
    EXPECT_TRUE(object->ApplyAnim(0, variant, 0.0f, 0, false, true));
    float speed = 0, weight = 0, time = 0, end = 0;
    ASSERT_TRUE(object->Render.DescribeAnimation(0, speed, weight, time, end));
    EXPECT_FLOAT_EQ(speed, 0.01f); // too slow a speed is raised
    EXPECT_FALSE(object->ApplyAnim(1, variant, 1.0f, 0, false, false)) << "locked";
    // The base animation ends: the next frame unlocks the object.
    object->TriggerWord = int(0x80000000);
    object->Process();
    EXPECT_FALSE(object->Locked);
    EXPECT_EQ(object->TriggerWord, 0);

    // The root-movement message marks a move animation.
    CAnimMoveMessage move;
    move.MessageId = CAnimMoveMessage::CMessageId;
    EXPECT_TRUE(object->OnReceiveMessage(&move));
    EXPECT_TRUE(object->MoveAnim);

    // Overlays take the highest free slot above the reserve; an ended one is freed, a
    // repeating one started again.
    object->SetOverlayReserveIndex(3);
    EXPECT_TRUE(object->ApplyOverlay(0, 0, 0.5f, 1.0f, false, false));
    EXPECT_TRUE(object->ApplyOverlay(0, 1, 0.5f, 1.0f, true, false));
    EXPECT_FALSE(object->ApplyOverlay(0, 0, 0.5f, 1.0f, false, false)) << "no free slot above the reserve";
    EXPECT_EQ(object->Overlays[5].Row, 0);
    EXPECT_EQ(object->Overlays[4].Row, 0);
    const unsigned long repeatId = object->Overlays[4].AnimId;
    EXPECT_NE(object->Overlays[5].AnimId, 0u);
    object->Overlays[5].Trigger = int(0x80000000);
    object->Overlays[4].Trigger = int(0x80000000);
    object->Process();
    EXPECT_EQ(object->Overlays[5].Row, -1);
    EXPECT_EQ(object->Overlays[4].Row, 0);
    EXPECT_NE(object->Overlays[4].AnimId, repeatId);
    object->KillAnimation(true);
    EXPECT_EQ(object->Render.GetAnimator(), nullptr);
}

} // namespace
