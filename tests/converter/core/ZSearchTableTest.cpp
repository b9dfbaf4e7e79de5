// The converter's hash index: first match wins, removal swaps the last pair in, and buckets
// grow 4 -> doubling -> +32.
#include "converter/core/ZSearchTable.h"

#include <gtest/gtest.h>

namespace {

int Values[200];

TEST(ZSearchTable, FindsTheFirstPairAndRefusesADuplicate)
{
    ZSearchTable table(255);
    EXPECT_EQ(table.Find(7), nullptr);
    EXPECT_FALSE(table.Add(7, &Values[0]));
    EXPECT_TRUE(table.Add(7, &Values[1]));
    EXPECT_EQ(table.Find(7), &Values[0]);
    // A pair with a null value does not count as holding the key.
    EXPECT_FALSE(table.Add(8, nullptr));
    EXPECT_FALSE(table.Add(8, &Values[2]));
    EXPECT_EQ(table.Find(8), nullptr);
}

TEST(ZSearchTable, RemoveTakesTheFirstPairAndMovesTheLastIntoItsPlace)
{
    ZSearchTable table(255);
    // Three pairs of one bucket; the first and the last share a key (the first is null).
    table.Add(0x105, nullptr);
    table.Add(0x205, &Values[1]);
    table.Add(0x105, &Values[2]);
    EXPECT_EQ(table.Find(0x105), nullptr);
    table.Remove(0x999);
    EXPECT_EQ(table.Find(0x205), &Values[1]);
    table.Remove(0x105);
    EXPECT_EQ(table.Find(0x105), &Values[2]);
    EXPECT_EQ(table.Find(0x205), &Values[1]);
    table.Remove(0x105);
    EXPECT_EQ(table.Find(0x105), nullptr);
}

TEST(ZSearchTable, BucketsGrowByDoublingThenBy32)
{
    ZSearchTable table(255);
    struct Step {
        int pairs;
        unsigned short capacity;
    };
    const Step steps[] = {{1, 4},   {4, 4},   {5, 8},   {8, 8},   {9, 16},  {17, 32},
                          {32, 32}, {33, 64}, {64, 64}, {65, 96}, {97, 128}};
    int added = 0;
    for (const Step& step : steps) {
        for (; added < step.pairs; ++added)
            table.Add(0x100u * (added + 1) + 3, &Values[added]);
        EXPECT_EQ(table.GetCapacity(3), step.capacity) << step.pairs << " pairs";
    }
    for (int i = 0; i < added; ++i)
        EXPECT_EQ(table.Find(0x100u * (i + 1) + 3), &Values[i]);
    EXPECT_EQ(table.GetCapacity(4), 0);
}

} // namespace
