#include "core/heap/ZHeap.h"
#include "core/heap/ZHeapArena.h"

#include "../support/RunCommand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

namespace {

// A private arena over a buffer of our own, so block layouts are exact whatever else the
// process allocates.
class HeapArena : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory.assign(kSize / 4, 0xDEADBEEF);
        arena.Init(memory.data(), kSize);
    }
    static ZHeapBlock* HeaderOf(void* p) { return static_cast<ZHeapBlock**>(p)[-1]; }
    static unsigned long Gap(void* a, void* b)
    {
        return static_cast<unsigned long>(static_cast<char*>(b) - static_cast<char*>(a));
    }

    static constexpr unsigned long kSize = 1 << 20;
    std::vector<uint32_t> memory;
    ZHeapArena arena;
};

TEST_F(HeapArena, BlockSizesFollowTheEdgeTable)
{
    struct Case {
        unsigned long request, blockSize;
    };
    const Case cases[] = {{0, 16}, {1, 20}, {4, 20}, {5, 24}, {8192, 8208}, {8193, 8216}, {20000, 20020}};
    for (const Case& c : cases) {
        void* p = arena.Alloc(c.request);
        void* next = arena.Alloc(4);
        EXPECT_EQ(Gap(p, next), c.blockSize) << "zmalloc(" << c.request << ")";
        EXPECT_EQ(HeaderOf(p)->size, c.blockSize);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 4, 0u);
    }
    // The first block starts the arena and zero-byte blocks are still distinct.
    arena.Reset();
    EXPECT_NE(arena.Alloc(0), arena.Alloc(0));
}

TEST_F(HeapArena, SplitsOnlyWhenMoreThan24BytesAreLeft)
{
    // Carve a free hole of exactly 64 bytes between two live blocks.
    void* a = arena.Alloc(48); // block of 64
    void* fence = arena.Alloc(4);
    arena.Free(a);
    // 20 bytes need 40 of the 64 (block 36 + 4): 28 left over, split.
    void* split = arena.Alloc(20);
    EXPECT_EQ(split, a);
    EXPECT_EQ(HeaderOf(split)->size, 36UL);
    EXPECT_EQ(HeaderOf(split)->next->size, 28UL);
    arena.Free(split);
    arena.Reset();
    // 24 bytes take a block of 40 out of 64: exactly 24 left over, handed out whole.
    void* whole = arena.Alloc(24);
    EXPECT_EQ(whole, a);
    EXPECT_EQ(HeaderOf(whole)->size, 64UL);
    EXPECT_EQ(HeaderOf(whole)->next, HeaderOf(fence));
}

TEST_F(HeapArena, FreesMergeOnlyOnSearchOrReset)
{
    unsigned long before = arena.Available();
    EXPECT_EQ(before, kSize - 12 - 12);
    void* a = arena.Alloc(4000);
    void* b = arena.Alloc(4000);
    arena.Alloc(4000); // keeps a and b away from the big free tail
    void* fence = arena.Alloc(kSize - 3 * 4016 - 12 - 16 - 16);
    ASSERT_LT(arena.Available(), 4000UL);
    arena.Free(a);
    arena.Free(b);
    EXPECT_EQ(arena.Available(), 4016UL - 12); // still two blocks
    arena.Reset();
    EXPECT_EQ(arena.Available(), 2 * 4016UL - 12);
    arena.Free(fence);

    // A search merges too: a request larger than either hole is served from the pair.
    void* c = arena.Alloc(100);
    void* d = arena.Alloc(100);
    arena.Alloc(100);
    arena.Free(c);
    arena.Free(d);
    EXPECT_EQ(arena.Alloc(200), c);
}

TEST_F(HeapArena, FreeBelowTheRoverPullsItBack)
{
    void* low = arena.Alloc(64);
    arena.Alloc(64);
    arena.Alloc(64);
    arena.Free(low);
    // The freed block of 80 bytes serves a request needing at most 80 (60 + 20), not 64.
    EXPECT_EQ(arena.Alloc(60), low);
    arena.Free(low);
    EXPECT_NE(arena.Alloc(64), low);
}

TEST_F(HeapArena, AlignedBlocksAreAlignedAndFreeable)
{
    arena.Alloc(4); // moves the next header off a 16-byte boundary
    for (unsigned long alignment : {16UL, 32UL, 64UL, 4096UL}) {
        void* p = arena.AllocAlign(10, alignment);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << alignment;
        void* next = arena.Alloc(4);
        EXPECT_GE(Gap(p, next), 16UL + 16); // (10 + a) & ~(a - 1) leaves at least 16 bytes
        arena.Free(p);
        arena.Free(next);
    }
    void* tiny = arena.AllocAlign(5, 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tiny) % 4, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(arena.Alloc(1)) % 4, 0u);
}

using HeapArenaDeathTest = HeapArena;

TEST_F(HeapArenaDeathTest, RunningOutIsFatalWithExitCode3)
{
    EXPECT_EXIT(arena.Alloc(kSize), ::testing::ExitedWithCode(3), "Out of Game Memory!!");
    EXPECT_EXIT(arena.Alloc(0xFFFFFFF0UL), ::testing::ExitedWithCode(3), "Out of Game Memory!!");
    EXPECT_EXIT(
        {
            for (;;)
                arena.Alloc(100000);
        },
        ::testing::ExitedWithCode(3), "FATAL ERROR");
}

TEST(EngineHeap, ServesNewAndDeleteFromTheResourceSizedArena)
{
    int* p = new int[100];
    std::string* s = new std::string(1000, 'x');
    unsigned long start = GetHeapStart();
    EXPECT_EQ(GetHeapSize(), 64UL * 1024 * 1024);
    EXPECT_GE(reinterpret_cast<unsigned long>(p), start);
    EXPECT_LT(reinterpret_cast<unsigned long>(p), start + GetHeapSize());
    EXPECT_GE(reinterpret_cast<unsigned long>(s->data()), start);
    delete s;
    delete[] p;
    void* aligned = zmalloc_align(100, 64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    zfree(aligned);
    ResetHeapAllocation();
    EXPECT_GT(GetHeapAvailable(), 60UL * 1024 * 1024);
    TypedHeapPos pos;
    EXPECT_EQ(pos.First, -2);
}

TEST(EngineHeap, MissingSizeResourceIsFatal)
{
    const mgtest::CommandResult run = mgtest::RunCommand(std::string(MG_BINARY_DIR) + "/bin/core_heap_probe 2>&1");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_NE(run.output.find("Memory manager could not find memory size resource!"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[FATAL ERROR]"), std::string::npos) << run.output;
}

} // namespace

namespace {

// Threads of the platform layers and of the C++ runtime allocate through the same global new.
TEST(EngineHeap, ThreadsAllocatingAtOnceKeepTheArenaWhole)
{
    auto churn = [] {
        std::vector<std::string*> live;
        for (int i = 0; i < 20000; ++i) {
            live.push_back(new std::string(static_cast<size_t>(20 + i % 200), 'x'));
            if (live.size() > 50) {
                delete live.front();
                live.erase(live.begin());
            }
        }
        for (std::string* s : live)
            delete s;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(churn);
    for (std::thread& t : threads)
        t.join();
    ResetHeapAllocation();
    EXPECT_GT(GetHeapAvailable(), 60UL * 1024 * 1024);
}

} // namespace
