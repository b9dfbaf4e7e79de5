#pragma once

class CzParser;

// The distances at which the mesh conversion switches level of detail, by LOD index. Until
// the first LodMap statement only LOD 0 is kept, at any distance.
class CLodList {
public:
    CLodList() { m_Distances[0] = 1.0e36f; }

    static const int MaxLods = 64;

    // Replaces the whole table from a LodMap statement's "index, distance" pairs.
    void Parse(CzParser& parser, int node);

    float Distance(int index) const { return m_Distances[index]; }

private:
    float m_Distances[MaxLods] = {};
};

extern CLodList g_LodList;
