// Collision volumes as the converter writes them from a LightWave object's collision layer
// (built at build time by wexlorn from a generated model: a box-shaped wall and an octagonal
// post), loaded by the engine and asked the collision questions whose answers the shapes give.
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/CCylinderCollision.h"
#include "engine/world/CSimpleVolCollision.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

#include "core/names/CCRC32.h"

#include <gtest/gtest.h>

namespace {

struct Owner {
    Owner() : pos(0.0f, 0.0f, 0.0f), rot(0.0f, 0.0f, 0.0f) { render.Attach(&pos, &rot, nullptr, nullptr); }
    CVector pos;
    CVector rot;
    CRender render;
};

class MeshCollision : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CZelFile::LoadChunkCategories(0x11);
        File = new CZelFile;
        ASSERT_EQ(File->Load("meshcoll.zel"), 0);
    }
    static void TearDownTestSuite() { delete File; }

    static CCollisionData* Block()
    {
        auto* mesh = static_cast<rhu::CRendPCXMesh*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("Tower")));
        EXPECT_NE(mesh, nullptr);
        return mesh ? reinterpret_cast<CCollisionData*>(mesh->pCollisionData) : nullptr;
    }

    static CZelFile* File;
};

CZelFile* MeshCollision::File = nullptr;

TEST_F(MeshCollision, TheCollisionLayerBecomesAVolumeAndACylinderWithItsCategories)
{
    CCollisionData* block = Block();
    ASSERT_NE(block, nullptr);
    // A layer named COLLISION: plotted, colliding and on local paths.
    EXPECT_EQ(block->GetFlags() & 31u, 7u);
    CBaseCollision* wall = block->GetFirstShape();
    ASSERT_NE(dynamic_cast<CSimpleVolCollision*>(wall), nullptr);
    ASSERT_NE(wall->GetNext(), nullptr);
    EXPECT_NE(dynamic_cast<CCylinderCollision*>(wall->GetNext()), nullptr);
    EXPECT_EQ(wall->GetNext()->GetNext(), nullptr);
}

TEST_F(MeshCollision, PointsAndSegmentsMeetTheShapesWhereTheModelPutThem)
{
    CCollisionData* block = Block();
    ASSERT_NE(block, nullptr);
    Owner owner;
    const struct {
        CVector point;
        float radius;
        bool hit;
        const char* what;
    } points[] = {
        {{4.0f, 3.0f, 1.0f}, 0.1f, true, "inside the wall"},   {{4.0f, 6.0f, 1.0f}, 0.1f, false, "beside the wall"},
        {{4.0f, 3.0f, 5.0f}, 0.1f, false, "above the wall"},   {{-5.0f, 0.0f, 1.0f}, 0.1f, true, "inside the post"},
        {{-5.0f, 2.0f, 1.0f}, 0.1f, false, "beside the post"}, {{-5.0f, 1.5f, 1.0f}, 0.6f, true, "touching the post"},
    };
    for (const auto& p : points)
        EXPECT_EQ(block->IsCollision(&p.point, p.radius, nullptr, &owner.render), p.hit) << p.what;
    // A segment across the wall's south face (y = 2) from y = -5 to y = 10.
    const CVector a(4.0f, -5.0f, 1.0f), b(4.0f, 10.0f, 1.0f);
    EXPECT_NEAR(block->IsCollision(&a, &b, nullptr, &owner.render), 7.0f / 15.0f, 1e-3f);
    const CVector c(10.0f, -5.0f, 1.0f), d(10.0f, 10.0f, 1.0f);
    EXPECT_LT(block->IsCollision(&c, &d, nullptr, &owner.render), 0.0f);
}

} // namespace
