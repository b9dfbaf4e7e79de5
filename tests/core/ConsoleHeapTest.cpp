// The converter's side: the engine heap's calls over the C heap and the console fatal error.
#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <unistd.h>

namespace {

TEST(ConsoleHeap, MapsOntoTheCHeap)
{
    void* a = zmalloc(0);
    void* b = zmalloc(0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    void* aligned = zmalloc_align(100, 64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    zfree(a);
    zfree(b);
    zfree(aligned);
    zfree(nullptr);
    ResetHeapAllocation();
}

TEST(ConsoleHeapDeathTest, FatalErrorPrintsAndExitsWith3)
{
    EXPECT_EXIT(
        {
            // The message goes to stdout; send it where the death test looks.
            dup2(2, 1);
            vbail("Cannot open %s\n", "x.rhu");
        },
        ::testing::ExitedWithCode(3), "Cannot open x.rhu");
    EXPECT_EXIT(zmalloc(0xFFFFFFF0UL), ::testing::ExitedWithCode(3), "Out of Game Memory!!");
}

} // namespace
