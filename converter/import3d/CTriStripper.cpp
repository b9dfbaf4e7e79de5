#include "converter/import3d/CTriStripper.h"

#include <algorithm>
#include <unordered_map>

CTriStripper::CTriStripper(int vertexCount, const std::vector<int>& triangles)
    : m_VertexCount(vertexCount), m_TriangleCount(static_cast<int>(triangles.size() / 3)), m_Input(triangles)
{
}

// Every edge a -> b is linked with the first earlier open edge b -> a; an edge without a partner
// is opened. An edge found stays open, so a third triangle on the same edge links to the first.
// The first open edge of each direction is kept in a table: the same answer as a scan of the
// open edges in the order they were added.
void CTriStripper::BuildAdjacency()
{
    m_Triangles.assign(m_TriangleCount, Triangle());
    std::unordered_map<unsigned long long, int> open;
    open.reserve(static_cast<size_t>(m_TriangleCount) * 3);
    auto key = [](int a, int b) {
        return static_cast<unsigned long long>(static_cast<unsigned>(a)) << 32 | static_cast<unsigned>(b);
    };
    for (int t = 0; t < m_TriangleCount; ++t)
        for (int i = 0; i < 3; ++i)
            m_Triangles[t].Edges[i].Start = m_Input[3 * t + i];
    for (int t = 0; t < m_TriangleCount; ++t) {
        for (int i = 0; i < 3; ++i) {
            const int a = m_Input[3 * t + i];
            const int b = m_Input[3 * t + (i + 1) % 3];
            auto found = open.find(key(b, a));
            if (found == open.end()) {
                open.emplace(key(a, b), 3 * t + i);
                continue;
            }
            const int other = found->second / 3, otherEdge = found->second % 3;
            Edge& mine = m_Triangles[t].Edges[i];
            mine.Neighbour = other;
            mine.NeighbourEdge = otherEdge;
            Edge& theirs = m_Triangles[other].Edges[otherEdge];
            theirs.Neighbour = t;
            theirs.NeighbourEdge = i;
        }
    }
}

// Grows the strip that starts with edge startEdge of a free triangle: each step crosses the
// edge between the last two vertices emitted, which alternates between the edges before and
// after the entry edge, and emits the far corner of the triangle across it.
void CTriStripper::Grow(int triangle, int startEdge, int maxStripLength, Candidate& out)
{
    out.Vertices.clear();
    out.Triangles.clear();
    const Triangle& first = m_Triangles[triangle];
    out.Vertices.push_back(first.Edges[startEdge].Start);
    out.Vertices.push_back(first.Edges[(startEdge + 1) % 3].Start);
    m_Triangles[triangle].Taken = true;
    out.Triangles.push_back(triangle);
    out.Vertices.push_back(first.Edges[(startEdge + 2) % 3].Start);
    int current = triangle, cross = (startEdge + 1) % 3;
    bool before = true;
    while (static_cast<int>(out.Vertices.size()) < maxStripLength) {
        const Edge& edge = m_Triangles[current].Edges[cross];
        const int next = edge.Neighbour;
        if (next < 0 || m_Triangles[next].Taken || m_Triangles[next].Done)
            break;
        const int entry = edge.NeighbourEdge;
        m_Triangles[next].Taken = true;
        out.Triangles.push_back(next);
        out.Vertices.push_back(m_Triangles[next].Edges[(entry + 2) % 3].Start);
        current = next;
        cross = before ? (entry + 2) % 3 : (entry + 1) % 3;
        before = !before;
    }
    for (int t : out.Triangles)
        m_Triangles[t].Taken = false;
    out.Valid = true;
}

float CTriStripper::Score(const std::vector<int>& vertices)
{
    if (vertices.empty())
        return 0.0f;
    if (++m_Generation == 0) {
        std::fill(m_TrialGeneration.begin(), m_TrialGeneration.end(), 0u);
        m_Generation = 1;
    }
    long long pushes = m_Pushes;
    int hits = 0;
    for (int v : vertices) {
        const long long last = m_TrialGeneration[v] == m_Generation ? m_TrialPush[v] : m_LastPush[v];
        if (m_CacheSize > 0 && last > 0 && last > pushes - m_CacheSize) {
            ++hits;
            continue;
        }
        m_TrialPush[v] = ++pushes;
        m_TrialGeneration[v] = m_Generation;
    }
    return static_cast<float>(hits) / static_cast<float>(vertices.size());
}

void CTriStripper::Feed(const std::vector<int>& vertices)
{
    for (int v : vertices) {
        const long long last = m_LastPush[v];
        if (m_CacheSize > 0 && last > 0 && last > m_Pushes - m_CacheSize)
            continue;
        m_LastPush[v] = ++m_Pushes;
    }
}

bool CTriStripper::Build(int cacheSize, bool join, int maxStripLength)
{
    if (m_TriangleCount < 1)
        return false;
    m_CacheSize = cacheSize;
    m_Pushes = 0;
    m_LastPush.assign(m_VertexCount, 0);
    m_TrialPush.assign(m_VertexCount, 0);
    m_TrialGeneration.assign(m_VertexCount, 0);
    m_Generation = 0;
    BuildAdjacency();

    // A candidate changes only when one of its own triangles joins a chosen strip (done only
    // grows, and growth stops at the same places otherwise), so candidates are kept between
    // passes and grown again only then.
    std::vector<Candidate> candidates(static_cast<size_t>(m_TriangleCount) * 3);
    std::vector<std::vector<int>> users(m_TriangleCount);
    std::vector<int> output;
    int remaining = m_TriangleCount;
    while (remaining > 0) {
        int best = -1;
        float bestScore = 0.0f;
        size_t bestLength = 0;
        for (int t = 0; t < m_TriangleCount; ++t) {
            if (m_Triangles[t].Done)
                continue;
            for (int e = 0; e < 3; ++e) {
                Candidate& candidate = candidates[3 * t + e];
                if (!candidate.Valid) {
                    Grow(t, e, maxStripLength, candidate);
                    for (int member : candidate.Triangles)
                        users[member].push_back(3 * t + e);
                }
                // Only a longer candidate can replace the best, so shorter ones need no score.
                if (candidate.Vertices.size() <= bestLength)
                    continue;
                const float score = Score(candidate.Vertices);
                if (score >= bestScore) {
                    best = 3 * t + e;
                    bestScore = score;
                    bestLength = candidate.Vertices.size();
                }
            }
        }
        if (best < 0)
            break;
        const Candidate chosen = candidates[best];
        output.insert(output.end(), chosen.Vertices.begin(), chosen.Vertices.end());
        output.push_back(-1);
        for (int t : chosen.Triangles) {
            m_Triangles[t].Done = true;
            --remaining;
            for (int user : users[t])
                candidates[user].Valid = false;
            users[t].clear();
        }
        Feed(chosen.Vertices);
    }
    Renumber(output, join);
    return true;
}

void CTriStripper::Renumber(const std::vector<int>& output, bool join)
{
    std::vector<int> newNumber(m_VertexCount, -1);
    m_NewToOld.assign(static_cast<size_t>(m_TriangleCount) * 3, -1);
    int next = 0;
    auto number = [&](int v) {
        if (newNumber[v] < 0) {
            newNumber[v] = next;
            m_NewToOld[next++] = v;
        }
        return newNumber[v];
    };
    m_Indices.clear();
    const size_t end = output.empty() ? 0 : output.size() - 1; // without the final terminator
    if (!join) {
        for (size_t i = 0; i < end; ++i)
            m_Indices.push_back(output[i] < 0 ? -1 : number(output[i]));
        return;
    }
    bool afterTerminator = false;
    int previous = -1, stripLength = 0;
    for (size_t i = 0; i < end; ++i) {
        const int v = output[i];
        if (v < 0) {
            m_Indices.push_back(newNumber[previous]);
            if (stripLength % 2)
                m_Indices.push_back(newNumber[previous]);
            afterTerminator = true;
            stripLength = 0;
            continue;
        }
        if (afterTerminator)
            m_Indices.push_back(number(v));
        m_Indices.push_back(number(v));
        afterTerminator = false;
        previous = v;
        ++stripLength;
    }
}
