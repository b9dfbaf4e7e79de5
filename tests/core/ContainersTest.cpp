#include "core/containers/ZArray.h"
#include "core/containers/ZChain.h"
#include "core/containers/ZPtrArray.h"
#include "core/containers/ZxArray.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Pair {
    int a;
    float b;
};

TEST(Containers, ValueArrayAddsInsertsRemovesAndGrows)
{
    ZArray<int, 4> values;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(values.Add(i * 10), i);
    EXPECT_EQ(values.GetSize(), 10);
    EXPECT_EQ(values.InsertAt(0, -1), 0);
    EXPECT_EQ(values.InsertAt(11, 100), 11);
    EXPECT_EQ(values.InsertAt(13, 5), -1);
    EXPECT_EQ(values[0], -1);
    EXPECT_EQ(values[11], 100);
    values.RemoveAt(1, 3);
    EXPECT_EQ(values[1], 30);
    EXPECT_EQ(values.Find(90), 7);
    EXPECT_EQ(values.Find(1234), -1);
    values.RemoveAt(5, 1000); // clipped to the end
    EXPECT_EQ(values.GetSize(), 5);
    int sum = 0;
    for (int v : values)
        sum += v;
    EXPECT_EQ(sum, -1 + 30 + 40 + 50 + 60);

    ZArray<int, 4> copy = values;
    values.RemoveAll();
    EXPECT_EQ(copy.GetSize(), 5);
    EXPECT_TRUE(values.IsEmpty());

    // Adding an element of the array itself survives the growth that moves the storage.
    ZArray<int, 1> self;
    self.Add(7);
    self.Add(self[0]);
    EXPECT_EQ(self[1], 7);
}

TEST(Containers, OutOfRangeGivesAClearedNullSlot)
{
    CZArray<Pair> pairs;
    pairs.Add({1, 2.0f});
    EXPECT_EQ(pairs[-1].a, 0);
    pairs[5].a = 99; // writes land in the null slot, not outside the array
    EXPECT_EQ(pairs[5].a, 0);
    EXPECT_EQ(pairs.GetSize(), 1);
    pairs.SetAt(3, {4, 4.0f});
    EXPECT_EQ(pairs.GetSize(), 1);
    pairs.SetSize(3);
    EXPECT_EQ(pairs[2].a, 0);

    ZPtrArray<Pair> pointers;
    EXPECT_EQ(pointers[0], nullptr);
    pointers.Add(&pairs[0]);
    EXPECT_TRUE(pointers.Remove(&pairs[0]));
    EXPECT_FALSE(pointers.Remove(&pairs[0]));
}

struct Counted {
    explicit Counted(int* live) : live(live) { ++*live; }
    ~Counted() { --*live; }
    int* live;
};

TEST(Containers, OwningArrayDeletesWhatItHolds)
{
    int live = 0;
    {
        ZxArray<Counted, 8> owned;
        for (int i = 0; i < 20; ++i)
            owned.Add(new Counted(&live));
        EXPECT_EQ(live, 20);
        owned.RemoveAt(0);
        EXPECT_EQ(live, 19);
        Counted* kept = owned.Detach(0);
        EXPECT_EQ(owned.GetSize(), 18);
        delete kept;
        EXPECT_EQ(owned[100], nullptr);
        EXPECT_EQ(owned.Detach(100), nullptr);
    }
    EXPECT_EQ(live, 0);
}

// Registries fill static arrays from other static initialisers, in any order. The registrar
// here runs before the array's own definition: only constant initialisation keeps its entry.
extern ZPtrArray<const char> g_Registry;
struct Registers {
    Registers() { g_Registry.Add("early"); }
} g_Registers;
ZPtrArray<const char> g_Registry;

struct Linked {
    int id;
    Linked* pNext;
};

std::vector<int> ChainIds(Linked* first)
{
    std::vector<int> ids;
    for (Linked* item = first; item; item = item->pNext)
        ids.push_back(item->id);
    return ids;
}

TEST(Containers, ChainsKeepMakingOrderAndLetAnyItemLeave)
{
    Linked items[4] = {{0, &items[3]}, {1, &items[3]}, {2, &items[3]}, {3, &items[0]}};
    Linked* first = nullptr;
    for (Linked& item : items)
        ChainAppend(first, &item, &Linked::pNext);
    EXPECT_EQ(ChainIds(first), (std::vector<int>{0, 1, 2, 3}));
    ChainRemove(first, &items[0], &Linked::pNext);
    ChainRemove(first, &items[2], &Linked::pNext);
    EXPECT_EQ(ChainIds(first), (std::vector<int>{1, 3}));
    ChainRemove(first, &items[2], &Linked::pNext);
    ChainRemove(first, &items[3], &Linked::pNext);
    EXPECT_EQ(ChainIds(first), (std::vector<int>{1}));
    ChainRemove(first, &items[1], &Linked::pNext);
    EXPECT_EQ(first, nullptr);
}

TEST(Containers, StaticArraysAreReadyForStaticInitialisers)
{
    EXPECT_EQ(g_Registry.GetSize(), 1);
    EXPECT_STREQ(g_Registry[0], "early");
}

} // namespace
