// The render device's record pools: pages made on demand, freed all at once, reserved ahead.
#include <gtest/gtest.h>

#include "engine/render/CRecordPage.h"

namespace {

TEST(RecordPageTest, AllocatesPageByPage)
{
    CRecordPage pool;
    void* first = pool.Alloc();
    for (int i = 1; i < CRecordPage::kRecords; ++i)
        EXPECT_EQ(pool.Alloc(), static_cast<char*>(first) + i * CRecordPage::kRecordSize);
    void* spill = pool.Alloc();
    ASSERT_NE(pool.GetNext(), nullptr);
    EXPECT_EQ(pool.GetNext()->GetFreeMask(), 0xFFFFFFFEUL);
    EXPECT_EQ(pool.GetNext()->Alloc(), static_cast<char*>(spill) + CRecordPage::kRecordSize);
    pool.FreeAll();
    EXPECT_EQ(pool.Alloc(), first);
    pool.FreeChain();
    EXPECT_EQ(pool.GetNext(), nullptr);
}

TEST(RecordPageTest, BlockPagesReserveAhead)
{
    CBlockPage pages;
    EXPECT_EQ(pages.Reserve(0), 1);
    EXPECT_EQ(pages.Reserve(1), 1);
    EXPECT_EQ(pages.GetNext(), nullptr);
    EXPECT_EQ(pages.Reserve(3), 3);
    ASSERT_NE(pages.GetNext(), nullptr);
    EXPECT_EQ(pages.GetNext()->Count, 0u);
    EXPECT_EQ(pages.GetNext()->FreeMap[15], 0xFFFFFFFFUL);
    EXPECT_EQ(pages.Reserve(2), 3);
    pages.FreeChain();
    EXPECT_EQ(pages.GetNext(), nullptr);
}

} // namespace
