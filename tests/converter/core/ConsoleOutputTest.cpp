// Console output gated by verbosity, and the fatal error that prints once and exits with 3.
#include "converter/core/ConsoleOutput.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct VerbosityGuard {
    int saved = VerboseLevel;
    ~VerbosityGuard() { VerboseLevel = saved; }
};

TEST(VerbosePrintf, PrintsOnlyUpToTheVerbosityLevel)
{
    VerbosityGuard guard;
    VerboseLevel = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(VerbosePrintf(1, "one %d\n", 1), 0);
    EXPECT_EQ(VerbosePrintf(3, "three\n"), 0);
    EXPECT_EQ(VerbosePrintf(0, "zero %s\n", "shown"), 11);
    VerboseLevel = 2;
    EXPECT_EQ(VerbosePrintf(2, "two\n"), 4);
    EXPECT_EQ(VerbosePrintf(3, "three\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "zero shown\ntwo\n");
}

TEST(VerbosePrintfDeathTest, FatalErrorPrintsItsMessageOnceAndExitsWith3)
{
    // Both console streams go where the death test looks; the message must stand there once.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            vbail("Cannot create output file!\n%s", "out.zel");
        },
        testing::ExitedWithCode(3), "^Cannot create output file!\nout\\.zel$");
}

} // namespace
