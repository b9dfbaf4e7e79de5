#include "engine/shell/CPerfTracker.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/names/CCRC32.h"
#include "engine/render/CRendResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/shell/CPerfBar.h"
#include "engine/world/GmvCamera.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

__int64 Now()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

CPerfTracker s_PerfTracker;

// Where the report and its bars go on the overlay, in virtual-screen pixels.
const float kLeft = 8.0f, kBarsTop = 40.0f, kLine = 12.0f, kBarLength = 200.0f, kBarHeight = 8.0f;
const float kFullFramesPerSecond = 60.0f;

} // namespace

CPerfTracker* CPerfTracker::pThe = &s_PerfTracker;
float CPerfTracker::OOPerfFreq = 1.0f / float(CPerfTracker::QueryFrequency());

__int64 CPerfTracker::QueryFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

CPerfTracker::CPerfTracker()
    : Showing(false), FrameRing{}, FrameCursor(0), PrevMark(0), FrameCount(0), TotalSeconds(0), FramesPerSecond(0),
      AverageFrameTime(0), CoreTicks{}, CoreCount{}, AltData{-1.0f, -1.0f, -1.0f, -1.0f}, VIFStart(0), VIFTicks(0),
      VSyncStart(0), VSyncSeconds(0), TraceCount(0), Depth(0), MaxDepth(0), Report{}, ReportPos(kLeft, 8.0f, 0),
      ReportRot(0, 0, 0), LinePos(0, 0, 0)
{
    ReportRender.Attach(&ReportPos, &ReportRot, nullptr, nullptr);
    ReportRender.SetPriority(0xFFF0);
    LineRender.Attach(&LinePos, &ReportRot, nullptr, nullptr);
    LineRender.SetPriority(0xFFF0);
}

CPerfTracker::~CPerfTracker() { Hide(); }

void CPerfTracker::AccumCore(int index, __int64 ticks)
{
    if (index < 0 || index >= kCores)
        return;
    CoreTicks[index] += ticks;
    ++CoreCount[index];
}

void CPerfTracker::ClearCore()
{
    for (int i = 0; i < kCores; ++i) {
        CoreTicks[i] = 0;
        CoreCount[i] = 0;
    }
}

int CPerfTracker::BeginTrace(unsigned long nameKey)
{
    if (TraceCount >= kTraceRoom)
        return -1;
    const int entry = TraceCount++;
    ++Depth;
    if (Depth > MaxDepth)
        MaxDepth = Depth;
    Trace[entry] = TraceEntry{nameKey, Depth, 0};
    return entry;
}

void CPerfTracker::EndTrace(int entry, __int64 ticks)
{
    if (entry < 0 || entry >= TraceCount)
        return;
    Trace[entry].Duration = ticks;
    if (Depth > 0)
        --Depth;
}

void CPerfTracker::MarkVIFStart() { VIFStart = Now(); }
void CPerfTracker::MarkVIFStop() { VIFTicks = Now() - VIFStart; }
void CPerfTracker::MarkVSyncStart() { VSyncStart = Now(); }
void CPerfTracker::MarkVSyncStop() { VSyncSeconds = float(Now() - VSyncStart) * OOPerfFreq; }

void CPerfTracker::MarkFrame()
{
    for (CPerfBar* bar = CPerfBar::pRoot; bar; bar = bar->GetNext())
        bar->MarkFrame();
    const __int64 now = Now();
    const __int64 elapsed = PrevMark ? now - PrevMark : 0;
    FrameRing[FrameCursor] = elapsed;
    FrameCursor = (FrameCursor + 1) % kRingSize;
    PrevMark = now;
    TotalSeconds += float(elapsed) * OOPerfFreq;
    ++FrameCount;
    const PerfFigures frame = RingFigures(FrameRing, kRingSize, FrameCursor, OOPerfFreq);
    AverageFrameTime = frame.Average;
    FramesPerSecond = frame.Average > 0.0f ? 1.0f / frame.Average : 0.0f;
    TraceCount = 0;
    Depth = 0;
    CVector camera(0, 0, 0);
    if (GmvCamera::pThe)
        camera = GmvCamera::pThe->GetPos();
    const float ms = OOPerfFreq * 1000.0f;
    std::snprintf(Report, sizeof Report,
                  "%#05.2ft %#05.2fd %#05.2fe %#05.2fm %#05.2fs %d %d\n%2.0ffp %1.2fms %1.2f,%1.2f,%1.2fxyz",
                  double(float(CoreTicks[0]) * ms), double(float(CoreTicks[1]) * ms), double(float(CoreTicks[2]) * ms),
                  double(float(CoreTicks[3]) * ms), double(float(CoreTicks[4]) * ms), CoreCount[3], CoreCount[4],
                  double(FramesPerSecond), double(AverageFrameTime * 1000.0f), double(camera.x), double(camera.y),
                  double(camera.z));
}

void CPerfTracker::Hide()
{
    ReportRender.Unlink();
    for (CPerfBar* bar = CPerfBar::pRoot; bar; bar = bar->GetNext())
        bar->GetRender().Unlink();
}

// A frame of the bar's full length and its filled part, as screen rectangles.
void CPerfTracker::DrawBar(float x, float y, float length, float fill, const CVector4& colour)
{
    fill = fill < 0.0f ? 0.0f : fill > 1.0f ? 1.0f : fill;
    const CVector4 shades[2] = {CVector4(64, 64, 64, 255),
                                CVector4(colour.x * 255, colour.y * 255, colour.z * 255, colour.w * 255)};
    const float widths[2] = {length, length * fill};
    // The filled part lies nearer, so it sorts after the frame.
    const float depths[2] = {0.1f, 0.0f};
    for (int i = 0; i < 2; ++i) {
        if (widths[i] <= 0.0f)
            continue;
        StartPrimitive(0);
        SetPrimitiveColor(shades[i]);
        AddPrimitiveVertex(CVector(x, y, depths[i]));
        AddPrimitiveVertex(CVector(x + widths[i], y, depths[i]));
        AddPrimitiveVertex(CVector(x + widths[i], y + kBarHeight, depths[i]));
        AddPrimitiveVertex(CVector(x, y + kBarHeight, depths[i]));
        EndPrimitive();
    }
}

void CPerfTracker::RenderReport()
{
    if (!Showing || !(AverageFrameTime > 0.0f)) {
        Hide();
        return;
    }
    // The font is taken for this draw only: the file that holds it may go before the next, and
    // the tracker outlives the engine heap its workspaces come from.
    CRendResource* font = static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("TheFont")));
    ReportRender.Attach(font, 0);
    ReportRender.AttachText(Report);
    LineRender.Attach(font, 0);
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, 0x10, nullptr);
    SetPrimitivePriority(0xFFF00000);
    const float ms = AverageFrameTime * 1000.0f;
    const float fps = FramesPerSecond / kFullFramesPerSecond;
    DrawBar(kLeft, kBarsTop, kBarLength, fps, CVector4(1.0f - fps, fps, 0, 1));
    DrawBar(kLeft, kBarsTop + kLine, kBarLength, std::sqrt(ms) / 15.0f, CVector4(1, 1, 0, 1));
    float y = kBarsTop + 2 * kLine;
    for (CPerfBar* bar = CPerfBar::pRoot; bar; bar = bar->GetNext(), y += kLine) {
        const float value = bar->GetValue() > 0.0f ? bar->GetValue() : 1.0f;
        const float fill = bar->GetFigures().Average * 1000.0f * bar->GetScale() / value;
        DrawBar(kLeft, y, bar->GetLength(), fill, bar->GetColour());
    }
    EndPrimitives();
    ReportRender.CoreRender();
    y = kBarsTop + 2 * kLine;
    for (CPerfBar* bar = CPerfBar::pRoot; bar; bar = bar->GetNext(), y += kLine) {
        LinePos = CVector(kLeft + bar->GetLength() + 8.0f, y, 0);
        LineRender.AttachText(bar->GetText());
        LineRender.CoreRender();
    }
    ReportRender.DetachResource();
    LineRender.DetachResource();
}
