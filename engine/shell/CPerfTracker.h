#pragma once
// The performance overlay: marked once per main-loop turn, it keeps a ring of the last 120
// frame times, five core accumulators, four extra figures and the frame's hierarchical trace,
// and while showing is on it draws its report and every timing bar over the last layer.
#include <windows.h>

#include "core/math/CVector.h"
#include "engine/render/CRender.h"

class CPerfTracker {
public:
    enum { kRingSize = 120, kCores = 5, kAltData = 4, kTraceRoom = 10240, kReportRoom = 256 };

    struct TraceEntry {
        unsigned long NameKey;
        int Depth;
        __int64 Duration;
    };

    CPerfTracker();
    ~CPerfTracker();
    CPerfTracker(const CPerfTracker&) = delete;
    CPerfTracker& operator=(const CPerfTracker&) = delete;

    void MarkFrame();
    // Draws the bars and the report into the current layer when showing, else takes them off.
    void RenderReport();
    void ShowPerformance(bool show) { Showing = show; }
    void TogglePerformance() { Showing = !Showing; }
    bool IsShowing() const { return Showing; }

    void AccumAltData1(float value) { AltData[0] += value; }
    void AccumAltData2(float value) { AltData[1] += value; }
    void AccumAltData3(float value) { AltData[2] += value; }
    void AccumAltData4(float value) { AltData[3] += value; }
    void ClearAltData1() { AltData[0] = -1.0f; }
    void ClearAltData2() { AltData[1] = -1.0f; }
    void ClearAltData3() { AltData[2] = -1.0f; }
    void ClearAltData4() { AltData[3] = -1.0f; }
    float GetAltData(int index) const { return index >= 0 && index < kAltData ? AltData[index] : 0.0f; }
    float GetAltData1() const { return AltData[0]; }

    void AccumCore(int index, __int64 ticks);
    void ClearCore();
    __int64 GetCoreTicks(int index) const { return index >= 0 && index < kCores ? CoreTicks[index] : 0; }
    int GetCoreCount(int index) const { return index >= 0 && index < kCores ? CoreCount[index] : 0; }

    // The trace entry a hierarchical marker starts, -1 once the frame's trace is full.
    int BeginTrace(unsigned long nameKey);
    void EndTrace(int entry, __int64 ticks);
    int GetTraceCount() const { return TraceCount; }
    const TraceEntry* GetTrace(int entry) const { return entry >= 0 && entry < TraceCount ? &Trace[entry] : nullptr; }
    int GetMaxDepth() const { return MaxDepth; }

    void MarkVIFStart();
    void MarkVIFStop();
    void MarkVSyncStart();
    void MarkVSyncStop();
    __int64 GetVIFTicks() const { return VIFTicks; }
    float GetVSyncSeconds() const { return VSyncSeconds; }

    static __int64 QueryFrequency();

    int GetFrameCount() const { return FrameCount; }
    float GetFramesPerSecond() const { return FramesPerSecond; }
    float GetAverageFrameTime() const { return AverageFrameTime; }
    const char* GetReport() const { return Report; }
    CRender& GetReportRender() { return ReportRender; }

    static CPerfTracker* pThe;
    static float OOPerfFreq;

private:
    void DrawBar(float x, float y, float length, float fill, const CVector4& colour);
    void Hide();

    bool Showing;
    __int64 FrameRing[kRingSize];
    int FrameCursor;
    __int64 PrevMark;
    int FrameCount;
    float TotalSeconds;
    float FramesPerSecond;
    float AverageFrameTime;
    __int64 CoreTicks[kCores];
    int CoreCount[kCores];
    float AltData[kAltData];
    __int64 VIFStart, VIFTicks, VSyncStart;
    float VSyncSeconds;
    TraceEntry Trace[kTraceRoom];
    int TraceCount;
    int Depth;
    int MaxDepth;
    char Report[kReportRoom];
    CRender ReportRender;
    CVector ReportPos, ReportRot;
    // One render shows every bar's text in turn, each on its own line.
    CRender LineRender;
    CVector LinePos;
};
