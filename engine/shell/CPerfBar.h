#pragma once
// A named timing bar of the performance overlay: markers add performance-counter ticks to it,
// and every frame mark turns its ring of the last 120 values into its figures and its text.
#include <windows.h>

#include "core/math/CVector.h"
#include "engine/render/CRender.h"

// Figures of a ring of tick values, in seconds.
struct PerfFigures {
    float Last, Average, Minimum, Maximum;
};

class CPerfBar {
public:
    enum { kRingSize = 120, kTableSize = 32, kPaletteSize = 11, kNameRoom = 32, kTextRoom = 96 };
    // Flag 2: ticks accumulate in the ring entry until the frame mark advances it.
    enum { FLAG_ACCUMULATE = 0x04 };

    CPerfBar();
    CPerfBar(const char* name, float length, int colourIndex, int tableIndex, float value, float scale);
    CPerfBar(const char* name, float length, int colourIndex, int tableIndex, float value, float scale,
             int colourIndex2, float value2, int colourIndex3, float value3);
    ~CPerfBar();
    CPerfBar(const CPerfBar&) = delete;
    CPerfBar& operator=(const CPerfBar&) = delete;

    void SubmitValue(const __int64& ticks);
    // At the frame mark: advance an accumulating ring, update the figures and the text, and
    // start counting samples again.
    void MarkFrame();
    void SetFlags(unsigned long flags) { Flags = flags; }

    const char* GetName() const { return Name; }
    const char* GetText() const { return Text; }
    const PerfFigures& GetFigures() const { return Figures; }
    int GetSamples() const { return Samples; }
    const CVector4& GetColour() const { return Colour; }
    float GetLength() const { return Length; }
    float GetValue() const { return Value; }
    float GetScale() const { return Scale; }
    int GetTableIndex() const { return TableIndex; }
    CPerfBar* GetNext() const { return pNext; }
    CRender& GetRender() { return Render; }

    static CPerfBar* GetBar(int index) { return index >= 0 && index < kTableSize ? Table[index] : nullptr; }
    static CPerfBar* pRoot;

private:
    void Init(const char* name, float length, int colourIndex, int tableIndex, float value, float scale);
    void Advance();

    char Name[kNameRoom];
    char Text[kTextRoom];
    __int64 Ring[kRingSize];
    int Cursor;
    int Samples;
    __int64 Total;
    float RunningSum;
    CVector4 Colour, Colour2, Colour3;
    float Value2, Value3;
    float Scale, Value, Length;
    unsigned long Flags;
    int TableIndex;
    CPerfBar* pPrev;
    CPerfBar* pNext;
    PerfFigures Figures;
    CRender Render;

    static CPerfBar* Table[kTableSize];
};

// The figures of a ring of tick values with its cursor: last, the average and extremes of the
// entries other than the one at the cursor.
PerfFigures RingFigures(const __int64* ring, int size, int cursor, float secondsPerTick);
// A colour of the bar palette; the index is clamped to 0..10.
CVector4 PerfPaletteColour(int index);
