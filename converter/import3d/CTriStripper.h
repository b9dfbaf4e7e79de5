#pragma once
// Turns an indexed triangle list into one list of indices drawn as a single triangle strip:
// greedy strips chosen by how well they reuse a simulated first-in first-out vertex cache,
// joined by repeated vertices, with the vertices renumbered in order of first use.
#include <vector>

class CTriStripper {
public:
    // triangles holds three vertex indices per triangle, each below vertexCount.
    CTriStripper(int vertexCount, const std::vector<int>& triangles);

    // False (outputs untouched) when there is no triangle. cacheSize 0 simulates no cache.
    bool Build(int cacheSize, bool join, int maxStripLength);

    // The strip indices: new vertex numbers; with join off, -1 ends each strip.
    const std::vector<int>& Indices() const { return m_Indices; }
    // Entry k: the input vertex that got new number k, or -1 (3 entries per triangle).
    const std::vector<int>& NewToOld() const { return m_NewToOld; }
    int VertexCount() const { return m_VertexCount; }

private:
    struct Edge {
        int Start;
        int Neighbour = -1;
        int NeighbourEdge = -1;
    };
    struct Triangle {
        Edge Edges[3];
        bool Done = false;
        bool Taken = false;
    };
    struct Candidate {
        std::vector<int> Vertices;
        std::vector<int> Triangles;
        bool Valid = false;
    };

    void BuildAdjacency();
    void Grow(int triangle, int startEdge, int maxStripLength, Candidate& out);
    float Score(const std::vector<int>& vertices);
    void Feed(const std::vector<int>& vertices);
    void Renumber(const std::vector<int>& output, bool join);

    int m_VertexCount;
    int m_TriangleCount;
    const std::vector<int>& m_Input;
    std::vector<Triangle> m_Triangles;
    std::vector<int> m_Indices;
    std::vector<int> m_NewToOld;

    // The simulated cache: a vertex is held while it was pushed within the last m_CacheSize
    // pushes (a hit pushes nothing, so those pushes are all of distinct vertices).
    int m_CacheSize = 0;
    long long m_Pushes = 0;
    std::vector<long long> m_LastPush;
    // A candidate's trial pushes on top of the cache, told apart by generation.
    std::vector<long long> m_TrialPush;
    std::vector<unsigned> m_TrialGeneration;
    unsigned m_Generation = 0;
};
