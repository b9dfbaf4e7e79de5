// The editor pointer over real ground: the world point under the pointer is where its ray meets
// the terrain, "put on ground" lowers the selection onto it, and a z move keeps a carried
// object's height above the ground it crosses.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "../object/ObjectTestSupport.h"
#include "TerrainTestSupport.h"
#include "engine/devices/COSInput.h"
#include "engine/frontend/GVeskPointer.h"
#include "engine/object/GPosRot.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/world/GmvWorld.h"

// Objects the editor can pick: positioned, with a handle.
class GGroundCrate : public GPosRot {
    DECLARE_GOBJECT(GGroundCrate, GPosRot)
};
IMPLEMENT_GOBJECT(GGroundCrate, 0x80008000)

namespace {

class VeskGround : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        ResetTransformState();
        GmvWorld::WORLD2TILE = 0.5f;
        GObject::Create(GmvWorld::ClassId, HGOBJECT(0), nullptr);
        // Flat ground at height 0 with a raised block (3 units) over its upper-right part.
        map.reset(new TestMap(21, 21, 1, CVector(0.0f, 0.0f, 0.0f)));
        for (int row = 10; row < 21; ++row)
            for (int column = 10; column < 21; ++column)
                map->Cell(column, row).Height = 48;
        map->Build();
        // A camera above the ground looking down at a slant, so the ray's slope matters.
        LoadEyeCamera(0, CVector(4.0f, -6.0f, 20.0f), CVector(8.0f, 8.0f, 0.0f));
        CMatrix projection;
        projection.Perspective(3.14159265f / 2, 640.0f / 480.0f, 1.0f, 100.0f);
        LoadProjection(0, projection);
        editor = GVeskPointer::Create();
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        map.reset();
        GmvWorld::WORLD2TILE = 0.0f;
        ResetTransformState();
    }

    GPosRot* MakeObject(const CVector& at)
    {
        GPosRot* object = GGroundCrate::Create();
        object->SetPos(at);
        return object;
    }

    // Puts the pointer on the screen over a ground point.
    void PointAt(const CVector& ground)
    {
        float invW = 0.0f;
        const CVector screen = World2Screen(0, ground, invW);
        ASSERT_GT(screen.x, 0.0f);
        ASSERT_LT(screen.x, 640.0f);
        ASSERT_GT(screen.y, 0.0f);
        ASSERT_LT(screen.y, 480.0f);
        editor->SetPos(CVector(screen.x, screen.y, 0.0f));
    }

    void MoveBy(float dx, float dy)
    {
        CInputData input = {};
        std::memcpy(&input.Words[0], &dx, 4);
        std::memcpy(&input.Words[1], &dy, 4);
        editor->Input_UpdatePosition(&input);
    }

    std::unique_ptr<TestMap> map;
    GVeskPointer* editor = nullptr;
};

TEST_F(VeskGround, TheWorldPointIsWhereThePointersRayMeetsTheGround)
{
    for (const CVector& ground : {CVector(6.0f, 5.0f, 0.0f), CVector(14.0f, 12.0f, 3.0f)}) {
        PointAt(ground);
        MoveBy(0.0f, 0.0f);
        EXPECT_NEAR(editor->WorldPos.x, ground.x, 0.05f);
        EXPECT_NEAR(editor->WorldPos.y, ground.y, 0.05f);
        EXPECT_NEAR(editor->WorldPos.z, ground.z, 0.05f);
    }
}

TEST_F(VeskGround, PutOnGroundAndZMoveFollowTheTerrain)
{
    GPosRot* low = MakeObject(CVector(4.0f, 4.0f, 7.0f));
    GPosRot* high = MakeObject(CVector(15.0f, 15.0f, 9.0f));
    editor->Select(low->GetHandle());
    editor->Select(high->GetHandle());
    editor->Input_ZLock(nullptr);
    EXPECT_FLOAT_EQ(low->GetPos().z, 0.0f);
    EXPECT_FLOAT_EQ(high->GetPos().z, 3.0f);
    // With an object menu open nothing moves.
    editor->DeSelect();
    low->SetPos(CVector(4.0f, 4.0f, 7.0f));
    editor->Select(low->GetHandle());
    editor->bMenuOpen = 1;
    editor->Input_ZLock(nullptr);
    EXPECT_FLOAT_EQ(low->GetPos().z, 7.0f);
    editor->bMenuOpen = 0;

    // Carried with z move on from the low ground onto the block, it keeps its 7 units above
    // the ground.
    editor->ComputeOffsets();
    editor->Input_ShiftDown(nullptr);
    editor->Input_ZMoveBegin(nullptr);
    PointAt(CVector(15.0f, 15.0f, 3.0f));
    MoveBy(0.0f, 0.0f);
    EXPECT_NEAR(low->GetPos().x, 15.0f, 0.05f);
    EXPECT_NEAR(low->GetPos().z, 10.0f, 0.05f);
}

} // namespace
