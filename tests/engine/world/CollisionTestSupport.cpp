#include "CollisionTestSupport.h"

#include "core/names/CCRC32.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

namespace {
CZelFile* Shapes = nullptr;
CZelFile* Damaged = nullptr;

::testing::Environment* const Files = ::testing::AddGlobalTestEnvironment(new CollisionFiles);
} // namespace

void CollisionFiles::SetUp()
{
    CZelFile::LoadChunkCategories(0x11);
    Shapes = new CZelFile;
    ASSERT_EQ(Shapes->Load("shapes.zel"), 0);
    Damaged = new CZelFile;
    ASSERT_EQ(Damaged->Load("damaged.zel"), 0);
}

void CollisionFiles::TearDown()
{
    delete Shapes;
    delete Damaged;
}

CCollisionData* Block(const char* name)
{
    auto* block = static_cast<CCollisionData*>(CZelFixupManager::GetAddress(CCRC32::GetCRC(name)));
    EXPECT_NE(block, nullptr) << name;
    return block;
}
