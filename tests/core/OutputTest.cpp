#include "core/output/ZOutput.h"

#include <mg_win32.h>

#include <gtest/gtest.h>

#include <string>

namespace {

void Collect(const char* text, void* user) { *static_cast<std::string*>(user) += text; }

TEST(Output, PutsGoesToTheDebuggerOutputAndPrintfIsSilent)
{
    std::string captured;
    MgSetDebugOutputSink(Collect, &captured);
    EXPECT_EQ(_puts("hello"), 1);
    EXPECT_EQ(_printf("%d", 5), 0);
    JumpToDebugger();
    std::string longText(5000, 'y');
    _puts(longText.c_str()); // cut to the shared buffer, never past it
    MgSetDebugOutputSink(nullptr, nullptr);
    EXPECT_EQ(captured.substr(0, 6), "hello\n");
    EXPECT_EQ(captured.size(), 6u + kOutputBufferSize - 1);
}

TEST(OutputDeathTest, EngineFatalErrorShowsTheBoxAndExitsWith3)
{
    EXPECT_EXIT(vbail("Bad thing %d", 42), ::testing::ExitedWithCode(3), "\\[FATAL ERROR\\] Bad thing 42");
}

} // namespace
