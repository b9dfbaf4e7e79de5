#include "engine/render/CSegmentedLine.h"

#include <algorithm>
#include <new>

CSegmentedLine::CSegmentedLine()
    : Capacity(0), Count(0), Visible(1), Colour(1, 1, 1, 1), Thickness(0.03f), pPoints(nullptr)
{
}

CSegmentedLine::CSegmentedLine(int capacity) : CSegmentedLine()
{
    if (capacity > 0 && (pPoints = new (std::nothrow) CVector[size_t(capacity)]))
        Capacity = capacity;
}

CSegmentedLine::CSegmentedLine(const CSegmentedLine& other) : CSegmentedLine() { *this = other; }

// Copies member by member, the points into storage of its own.
CSegmentedLine& CSegmentedLine::operator=(const CSegmentedLine& other)
{
    if (this == &other)
        return *this;
    Set(other.Capacity, &other.Colour, other.Thickness);
    for (int i = 0; i < other.Count && i < Capacity; ++i)
        pPoints[i] = other.pPoints[i];
    Count = std::min(other.Count, Capacity);
    Visible = other.Visible;
    return *this;
}

void CSegmentedLine::Set(int capacity, const CVector4* colour, float thickness)
{
    Count = 0;
    Visible = 1;
    // Storage smaller than asked for is never kept: points past its end would be written.
    if (pPoints && Capacity < capacity)
        Reset();
    if (!pPoints && capacity > 0 && (pPoints = new (std::nothrow) CVector[size_t(capacity)]))
        Capacity = capacity;
    if (colour)
        Colour = *colour;
    Thickness = thickness;
}

bool CSegmentedLine::AddPoint(const CVector* point)
{
    if (!pPoints || !point || Count >= Capacity)
        return false;
    pPoints[Count++] = *point;
    return true;
}

void CSegmentedLine::Reset()
{
    delete[] pPoints;
    pPoints = nullptr;
    Capacity = Count = 0;
}
