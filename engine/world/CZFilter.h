#pragma once
// Filters the spatial queries take: a short list of tests, each paired with the answer that
// makes the filter act (exclude an object, block a position).
#include "core/math/CVector.h"
#include "engine/object/HGOBJECT.h"

// What a handle filter sees: the plotted object and the centre being tested.
struct HandleOffset {
    HGOBJECT Handle;
    CVector Centre;
};

template <class T> class CZFilterTest {
public:
    virtual ~CZFilterTest() {}
    virtual BYTE Test(const T& value) = 0;
};

typedef CZFilterTest<HandleOffset> VHandleOffset;
typedef CZFilterTest<CVector> VVector;

template <class T> class CZFilter {
public:
    static const int MAX_FILTERS = 10;

    CZFilter() : Count(0) {}
    // False when the list is full.
    bool Add(CZFilterTest<T>* test, BYTE match)
    {
        if (Count >= MAX_FILTERS)
            return false;
        pTests[Count] = test;
        Match[Count++] = match;
        return true;
    }
    // True when some test gives its paired answer.
    bool Matches(const T& value) const
    {
        for (int i = 0; i < Count; ++i)
            if (pTests[i]->Test(value) == Match[i])
                return true;
        return false;
    }

    int Count;
    CZFilterTest<T>* pTests[MAX_FILTERS];
    BYTE Match[MAX_FILTERS];
};
