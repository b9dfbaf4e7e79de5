#pragma once
// A thick line of connected points that a line batch source hands to the line batch drawer,
// and the interface of such sources.
#include "core/math/CVector.h"

class CSegmentedLine {
public:
    CSegmentedLine();
    explicit CSegmentedLine(int capacity);
    CSegmentedLine(const CSegmentedLine& other);
    CSegmentedLine& operator=(const CSegmentedLine& other);
    ~CSegmentedLine() { Reset(); }

    // Empties and shows the line; the storage is kept when it already holds the capacity.
    void Set(int capacity, const CVector4* colour, float thickness);
    // False when the line is full or has no storage.
    bool AddPoint(const CVector* point);
    const CVector* GetPoint(int index) const { return index >= 0 && index < Count ? &pPoints[index] : nullptr; }
    int GetCount() const { return Count; }
    int GetCapacity() const { return Capacity; }
    bool IsEmpty() const { return Count == 0; }
    void Show() { Visible = 1; }
    void Hide() { Visible = 0; }
    bool IsVisible() const { return Visible != 0; }
    void SetColor(const CVector4& colour) { Colour = colour; }
    const CVector4& GetColor() const { return Colour; }
    void SetThickness(float thickness) { Thickness = thickness; }
    float GetThickness() const { return Thickness; }
    void Clear()
    {
        Count = 0;
        Visible = 1;
    }
    // Empties the line and releases its storage.
    void Reset();

private:
    int Capacity;
    int Count;
    unsigned char Visible;
    CVector4 Colour;
    float Thickness;
    CVector* pPoints;
};

// Where a line batch takes its lines from: a token of 0 means nothing to draw.
class CLineBatchSource {
public:
    virtual int BeginLines() = 0;
    virtual void EndLines(int token) = 0;
    virtual CSegmentedLine* NextLine(int token) = 0;

protected:
    ~CLineBatchSource() = default;
};
