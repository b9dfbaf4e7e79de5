// The performance overlay: bars, markers, the trace, the frame figures and report text on a
// virtual clock, and the overlay's bars and figures in a screenshot.
#include <gtest/gtest.h>

#include <mg_win32.h>

#include "RenderResourceSupport.h"
#include "engine/shell/CPerfBar.h"
#include "engine/shell/CPerfMarker.h"
#include "engine/shell/CPerfTracker.h"
#include "engine/zel/CZelFile.h"

namespace {

const LONGLONG kMs = MG_PERF_FREQUENCY / 1000;

class PerfOverlayTest : public RenderResourceTest {
protected:
    void SetUp() override
    {
        RenderResourceTest::SetUp();
        MgUseVirtualClock(MG_PERF_FREQUENCY);
        CPerfTracker::pThe->ClearCore();
    }
    void TearDown() override
    {
        CPerfTracker::pThe->ShowPerformance(false);
        CPerfTracker::pThe->ClearCore();
        RenderResourceTest::TearDown();
    }
    // Frame marks a fixed time apart fill the frame ring.
    static void MarkFrames(int count, LONGLONG ticks)
    {
        for (int i = 0; i < count; ++i) {
            MgAdvanceVirtualClock(ticks);
            CPerfTracker::pThe->MarkFrame();
        }
    }
};

TEST_F(PerfOverlayTest, BarsMarkersAndTrace)
{
    CPerfTracker& tracker = *CPerfTracker::pThe;
    tracker.ClearAltData1();
    tracker.AccumAltData1(500);
    EXPECT_EQ(tracker.GetAltData1(), 499.0f);

    CPerfBar bar("Physics", 100.0f, 2, 5, 10.0f, 1.0f);
    EXPECT_EQ(CPerfBar::GetBar(5), &bar);
    {
        CPerfMarker empty;
        empty.StartTiming(6); // no bar in slot 6: nothing is timed
        MgAdvanceVirtualClock(3 * kMs);
    }
    {
        CPerfMarker marker;
        marker.StartTiming(5);
        MgAdvanceVirtualClock(2 * kMs);
    }
    EXPECT_EQ(bar.GetSamples(), 1);
    MarkFrames(1, kMs);
    EXPECT_FLOAT_EQ(bar.GetFigures().Maximum, 0.002f);
    EXPECT_EQ(std::string(bar.GetText()).substr(0, 9), "Physics: ");
    EXPECT_EQ(bar.GetSamples(), 0);

    {
        CPerfMarker core;
        core.StartCore(0);
        MgAdvanceVirtualClock(kMs);
    }
    EXPECT_EQ(tracker.GetCoreTicks(0), kMs);
    EXPECT_EQ(tracker.GetCoreCount(0), 1);
    MarkFrames(1, kMs);
    EXPECT_EQ(std::string(tracker.GetReport()).substr(0, 39), "01.00t 00.00d 00.00e 00.00m 00.00s 0 0\n");

    // The frame's trace holds 10,240 entries; the next marker records nothing.
    for (int i = 0; i < CPerfTracker::kTraceRoom; ++i) {
        CPerfMarker m;
        m.StartHier(static_cast<unsigned long>(i + 1));
    }
    CPerfMarker beyond;
    beyond.StartHier(99999);
    beyond.EndTiming();
    EXPECT_EQ(tracker.GetTraceCount(), CPerfTracker::kTraceRoom);
    EXPECT_EQ(tracker.GetMaxDepth(), 1);
    MarkFrames(1, kMs);
    EXPECT_EQ(tracker.GetTraceCount(), 0);
}

// Ring figures: the entry at the cursor is left out of the average and the extremes.
TEST_F(PerfOverlayTest, RingFigures)
{
    __int64 ring[CPerfBar::kRingSize] = {};
    for (int i = 0; i < CPerfBar::kRingSize; ++i)
        ring[i] = 10;
    ring[7] = 1000; // the cursor's entry
    ring[6] = 40;   // the last
    ring[3] = 1;
    const PerfFigures f = RingFigures(ring, CPerfBar::kRingSize, 7, 1.0f);
    EXPECT_EQ(f.Last, 40.0f);
    EXPECT_FLOAT_EQ(f.Average, (117 * 10 + 40 + 1) / 119.0f);
    EXPECT_EQ(f.Minimum, 1.0f);
    EXPECT_EQ(f.Maximum, 40.0f);
}

// At 30 frames a second the frames-per-second bar is half full; the report text is drawn with
// the font; a bar of the list sits on its line below.
TEST_F(PerfOverlayTest, OverlayShowsBarsAndFigures)
{
    WriteFixtures();
    CZelFile file;
    ASSERT_EQ(file.Load("sprites.zel"), 0);
    CPerfBar bar("Logic", 100.0f, 1, 4, 10.0f, 1.0f);
    for (int i = 0; i < 2 * CPerfTracker::kRingSize; ++i) {
        CPerfMarker marker;
        marker.StartTiming(4);
        MgAdvanceVirtualClock(5 * kMs);
        marker.EndTiming();
        MgAdvanceVirtualClock(LONGLONG(MG_PERF_FREQUENCY / 30) - 5 * kMs);
        CPerfTracker::pThe->MarkFrame();
    }
    EXPECT_NEAR(CPerfTracker::pThe->GetFramesPerSecond(), 30.0f, 0.01f);
    CPerfTracker::pThe->ShowPerformance(true);
    // Bars start at x 8: frames per second at y 40..48 (half of 200 filled), frame time at
    // 52..60 (sqrt(33.3) / 15 of 200 filled: 77 pixels), "Logic" at 64..72 (5 ms of 10: 50).
    const std::string out = Frame("50,44 150,44 50,56 120,56 30,68 80,68 12,12");
    EXPECT_EQ(out, Expect({{"50,44", "7F7F00"},
                           {"150,44", "404040"},
                           {"50,56", "FFFF00"},
                           {"120,56", "404040"},
                           {"30,68", "FF0000"},
                           {"80,68", "404040"},
                           {"12,12", "FFFFFF"}}));
}

} // namespace
