#include <mg_win32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
const char kTitle[] = "Great Games Use MORVIK";
const unsigned long kHeapWords[2] = {123456, 7};
} // namespace

extern "C" const MG_RESOURCE mg_host_resources[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kHeapWords, sizeof kHeapWords},
    {RT_STRING, MAKEINTRESOURCEA(128), kTitle, sizeof kTitle},
    {nullptr, nullptr, nullptr, 0},
};

namespace {

const char kScript[] = "Ifdef PCX";
MgResourceRegistrar g_Script("RhuDefaults", "ScriptResource", kScript, sizeof kScript);

TEST(Win32Resources, HostTableAndRegisteredResourcesAreFound)
{
    HRSRC heap = FindResourceA(nullptr, "MorvikMemorySize", "MorvikMemorySize");
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, heap), 8u);
    const unsigned long* words = static_cast<const unsigned long*>(LockResource(LoadResource(nullptr, heap)));
    EXPECT_EQ(words[0], 123456UL);
    FreeResource(LoadResource(nullptr, heap));

    // Names and types compare without regard to case, as on Windows.
    HRSRC script = FindResourceA(GetModuleHandleA(nullptr), "rhudefaults", "SCRIPTRESOURCE");
    ASSERT_NE(script, nullptr);
    EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(nullptr, script))), kScript);

    EXPECT_EQ(FindResourceA(nullptr, "RhuTypes", "ScriptResource"), nullptr);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(128), "ScriptResource"), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
}

TEST(Win32Resources, LoadStringCopiesAndCuts)
{
    char buffer[64];
    EXPECT_EQ(LoadStringA(nullptr, 128, buffer, sizeof buffer), static_cast<int>(strlen(kTitle)));
    EXPECT_STREQ(buffer, kTitle);
    EXPECT_EQ(LoadStringA(nullptr, 128, buffer, 6), 5);
    EXPECT_STREQ(buffer, "Great");
    EXPECT_EQ(LoadStringA(nullptr, 129, buffer, sizeof buffer), 0);
}

TEST(Win32Memory, GlobalAllocGivesZeroedWritableMemory)
{
    const SIZE_T size = 3 * 1024 * 1024 + 5;
    unsigned char* p = static_cast<unsigned char*>(GlobalAlloc(GMEM_FIXED, size));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0] | p[size - 1], 0);
    std::memset(p, 0xAB, size);
    EXPECT_EQ(GlobalFree(p), nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(-8)), nullptr);
}

TEST(Win32Clock, VirtualClockMovesOnlyWhenAdvanced)
{
    LARGE_INTEGER frequency, a, b;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, MG_PERF_FREQUENCY);
    MgUseVirtualClock(5000);
    QueryPerformanceCounter(&a);
    QueryPerformanceCounter(&b);
    EXPECT_EQ(a.QuadPart, 5000);
    EXPECT_EQ(b.QuadPart, 5000);
    MgAdvanceVirtualClock(MG_PERF_FREQUENCY / 60);
    QueryPerformanceCounter(&b);
    EXPECT_EQ(b.QuadPart - a.QuadPart, MG_PERF_FREQUENCY / 60);
    MgUseRealClock();
    QueryPerformanceCounter(&a);
    QueryPerformanceCounter(&b);
    EXPECT_GE(b.QuadPart, a.QuadPart);
    EXPECT_GT(a.QuadPart, 5000);
}

void Collect(const char* text, void* user) { *static_cast<std::string*>(user) += text; }

TEST(Win32Debug, DebugOutputGoesToTheSinkAndMessageBoxPrints)
{
    std::string captured;
    MgSetDebugOutputSink(Collect, &captured);
    OutputDebugStringA("one ");
    OutputDebugStringA("two");
    OutputDebugStringA(nullptr);
    MgSetDebugOutputSink(nullptr, nullptr);
    EXPECT_EQ(captured, "one two");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Out of Game Memory!!", "FATAL ERROR", MB_OK | MB_ICONINFORMATION), IDOK);
    OutputDebugStringA("to stderr");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[FATAL ERROR] Out of Game Memory!!\nto stderr");
}

} // namespace
