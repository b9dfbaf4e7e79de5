#include "engine/shell/CPerfBar.h"

#include <cstdio>
#include <cstring>

#include "engine/shell/CPerfTracker.h"

CPerfBar* CPerfBar::pRoot;
CPerfBar* CPerfBar::Table[kTableSize];

PerfFigures RingFigures(const __int64* ring, int size, int cursor, float secondsPerTick)
{
    PerfFigures f;
    const int last = (cursor + size - 1) % size;
    f.Last = float(ring[last]) * secondsPerTick;
    __int64 sum = 0, low = ring[last], high = ring[last];
    for (int i = 0; i < size; ++i) {
        if (i == cursor)
            continue;
        sum += ring[i];
        low = ring[i] < low ? ring[i] : low;
        high = ring[i] > high ? ring[i] : high;
    }
    f.Average = float(sum) * secondsPerTick / float(size - 1);
    f.Minimum = float(low) * secondsPerTick;
    f.Maximum = float(high) * secondsPerTick;
    return f;
}

CVector4 PerfPaletteColour(int index)
{
    static const CVector4 palette[CPerfBar::kPaletteSize] = {
        CVector4(1, 1, 1, 1),    CVector4(1, 0, 0, 1),          CVector4(0, 1, 0, 1), CVector4(0, 0, 1, 1),
        CVector4(1, 1, 0, 1),    CVector4(0, 1, 1, 1),          CVector4(1, 0, 1, 1), CVector4(1, 0.5f, 0, 1),
        CVector4(0.5f, 0, 1, 1), CVector4(0.5f, 0.5f, 0.5f, 1), CVector4(0, 0, 0, 1),
    };
    index = index < 0 ? 0 : index >= CPerfBar::kPaletteSize ? CPerfBar::kPaletteSize - 1 : index;
    return palette[index];
}

CPerfBar::CPerfBar() { Init("Default", 100.0f, 0, -1, 1.0f, 1.0f); }

CPerfBar::CPerfBar(const char* name, float length, int colourIndex, int tableIndex, float value, float scale)
{
    Init(name, length, colourIndex, tableIndex, value, scale);
}

CPerfBar::CPerfBar(const char* name, float length, int colourIndex, int tableIndex, float value, float scale,
                   int colourIndex2, float value2, int colourIndex3, float value3)
{
    Init(name, length, colourIndex, tableIndex, value, scale);
    Colour2 = PerfPaletteColour(colourIndex2);
    Value2 = value2;
    Colour3 = PerfPaletteColour(colourIndex3);
    Value3 = value3;
}

void CPerfBar::Init(const char* name, float length, int colourIndex, int tableIndex, float value, float scale)
{
    std::snprintf(Name, sizeof Name, "%s", name ? name : "");
    Text[0] = '\0';
    std::memset(Ring, 0, sizeof Ring);
    Cursor = Samples = 0;
    Total = 0;
    RunningSum = 0.0f;
    Colour = Colour2 = Colour3 = PerfPaletteColour(colourIndex);
    Value2 = Value3 = 0.0f;
    Scale = scale;
    Value = value;
    Length = length;
    Flags = 0;
    Figures = PerfFigures{0, 0, 0, 0};
    TableIndex = -1;
    if (tableIndex >= 0 && tableIndex < kTableSize) {
        TableIndex = tableIndex;
        Table[tableIndex] = this;
    }
    pPrev = nullptr;
    pNext = pRoot;
    if (pRoot)
        pRoot->pPrev = this;
    pRoot = this;
}

CPerfBar::~CPerfBar()
{
    Render.Unlink();
    if (TableIndex >= 0 && Table[TableIndex] == this)
        Table[TableIndex] = nullptr;
    if (pPrev)
        pPrev->pNext = pNext;
    else if (pRoot == this)
        pRoot = pNext;
    if (pNext)
        pNext->pPrev = pPrev;
}

void CPerfBar::Advance()
{
    Cursor = (Cursor + 1) % kRingSize;
    Ring[Cursor] = 0;
}

void CPerfBar::SubmitValue(const __int64& ticks)
{
    Ring[Cursor] += ticks;
    ++Samples;
    Total += ticks;
    RunningSum += float(ticks);
    if (!(Flags & FLAG_ACCUMULATE))
        Advance();
}

void CPerfBar::MarkFrame()
{
    if (Flags & FLAG_ACCUMULATE)
        Advance();
    Figures = RingFigures(Ring, kRingSize, Cursor, CPerfTracker::OOPerfFreq);
    std::snprintf(Text, sizeof Text, "%s: %2.3fms - %dc", Name, double(Figures.Average * 1000.0f), Samples);
    Samples = 0;
}
