// The path finders' search core against the Boost Graph Library's astar_search in the same
// run, on the same grids and with the same estimate (3 x Manhattan distance in cells). Grids of
// 256 x 256 and 1024 x 1024 cells hold random obstacles or the walls of a maze with some of its
// walls knocked through; both sides walk the eight directions without cutting a corner past a
// wall, every step costing 3 (the core charges 3.001 for a turn, as the synchronous finder
// does). Each side answers the same start and goal pairs; it prints the nodes each expanded per
// second, the time per path (median of alternating runs) and the ratio peer / ours.
//   world_path_bench [RUNS]
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <mg_win32.h>
#include <random>
#include <utility>
#include <vector>

#include "BenchStats.h"
#include "engine/world/CPathSearch.h"

namespace {

// The node pool and cell lookup of a million cells and the peer's graph beside them.
const unsigned long kMemorySize[2] = {900UL * 1024 * 1024, 0};

struct Grid {
    int Side;
    std::vector<unsigned char> Wall;
    bool Blocked(int x, int y) const { return Wall[y * Side + x] != 0; }
};

Grid RandomObstacles(int side, std::mt19937& random)
{
    Grid grid{side, std::vector<unsigned char>(side * side)};
    std::bernoulli_distribution wall(0.3);
    for (unsigned char& cell : grid.Wall)
        cell = wall(random);
    return grid;
}

// A perfect maze of corridors one cell wide (depth-first carving), then one wall in ten
// knocked through so that routes have alternatives, as a level's streets do.
Grid MazeWalls(int side, std::mt19937& random)
{
    Grid grid{side, std::vector<unsigned char>(side * side, 1)};
    const int rooms = (side - 1) / 2;
    std::vector<int> stack{0};
    std::vector<char> seen(rooms * rooms);
    seen[0] = 1;
    grid.Wall[1 * side + 1] = 0;
    const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    while (!stack.empty()) {
        const int room = stack.back(), rx = room % rooms, ry = room / rooms;
        int options[4], count = 0;
        for (int k = 0; k < 4; ++k) {
            const int nx = rx + steps[k][0], ny = ry + steps[k][1];
            if (nx >= 0 && ny >= 0 && nx < rooms && ny < rooms && !seen[ny * rooms + nx])
                options[count++] = k;
        }
        if (!count) {
            stack.pop_back();
            continue;
        }
        const int k = options[random() % count];
        const int nx = rx + steps[k][0], ny = ry + steps[k][1];
        seen[ny * rooms + nx] = 1;
        grid.Wall[(2 * ry + 1 + steps[k][1]) * side + 2 * rx + 1 + steps[k][0]] = 0;
        grid.Wall[(2 * ny + 1) * side + 2 * nx + 1] = 0;
        stack.push_back(ny * rooms + nx);
    }
    std::bernoulli_distribution knock(0.1);
    for (int y = 1; y < side - 1; ++y)
        for (int x = 1; x < side - 1; ++x)
            if (grid.Wall[y * side + x] && (x % 2 == 0) != (y % 2 == 0) && knock(random))
                grid.Wall[y * side + x] = 0;
    return grid;
}

std::vector<std::pair<int, int>> Pairs(const Grid& grid, int count, std::mt19937& random)
{
    std::uniform_int_distribution<int> cell(0, grid.Side * grid.Side - 1);
    std::vector<std::pair<int, int>> pairs;
    while (static_cast<int>(pairs.size()) < count) {
        const int a = cell(random), b = cell(random);
        if (!grid.Wall[a] && !grid.Wall[b] && a != b)
            pairs.push_back(std::make_pair(a, b));
    }
    return pairs;
}

struct Totals {
    long long Expanded = 0;
    int Found = 0;
};

// Ours: the core the finders share, its steps allowed by the wall bitmap.
class CoreSide {
public:
    explicit CoreSide(const Grid& grid) : m_Grid(grid)
    {
        m_Search.SetGrid(0.0f, 0.0f, grid.Side, grid.Side, grid.Side * grid.Side);
        m_Marked.resize(grid.Side * grid.Side);
    }
    Totals Run(const std::vector<std::pair<int, int>>& pairs)
    {
        Totals totals;
        const int side = m_Grid.Side;
        auto accept = [this](int, PathGrid to) { return !m_Grid.Blocked(to.x, to.y); };
        for (const std::pair<int, int>& pair : pairs) {
            const PathGrid start = {static_cast<WORD>(pair.first % side), static_cast<WORD>(pair.first / side)};
            const PathGrid goal = {static_cast<WORD>(pair.second % side), static_cast<WORD>(pair.second / side)};
            m_Search.Begin(start, goal, m_Search.GetCapacity());
            while (CPathNode* node = m_Search.PopOpen()) {
                ++totals.Expanded;
                if (node->Cell == goal) {
                    m_Search.TurningPoints(node, m_Marked.data());
                    ++totals.Found;
                    break;
                }
                if (m_Search.Expand(node, true, 3.0f, 3.001f, accept) == CPathSearch::POOL_USED_UP)
                    break;
            }
        }
        return totals;
    }

private:
    const Grid& m_Grid;
    CPathSearch m_Search;
    std::vector<CPathNode*> m_Marked;
};

// The peer: the same cells and steps as an explicit graph.
struct Step {
    float Weight;
};
typedef boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Step> Graph;
typedef boost::graph_traits<Graph>::vertex_descriptor Vertex;

struct FoundGoal {};

class GoalVisitor : public boost::default_astar_visitor {
public:
    GoalVisitor(Vertex goal, long long& expanded) : m_Goal(goal), m_Expanded(expanded) {}
    void examine_vertex(Vertex v, const Graph&)
    {
        ++m_Expanded;
        if (v == m_Goal)
            throw FoundGoal();
    }

private:
    Vertex m_Goal;
    long long& m_Expanded;
};

class ManhattanEstimate : public boost::astar_heuristic<Graph, float> {
public:
    ManhattanEstimate(int side, Vertex goal) : m_Side(side), m_Goal(goal) {}
    float operator()(Vertex v) const
    {
        const int dx = static_cast<int>(v % m_Side) - static_cast<int>(m_Goal % m_Side);
        const int dy = static_cast<int>(v / m_Side) - static_cast<int>(m_Goal / m_Side);
        return 3.0f * static_cast<float>(abs(dx) + abs(dy));
    }

private:
    int m_Side;
    Vertex m_Goal;
};

class BoostSide {
public:
    explicit BoostSide(const Grid& grid) : m_Side(grid.Side)
    {
        std::vector<std::pair<int, int>> edges;
        std::vector<Step> weights;
        const int side = grid.Side;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                if (grid.Blocked(x, y))
                    continue;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if ((!dx && !dy) || nx < 0 || ny < 0 || nx >= side || ny >= side || grid.Blocked(nx, ny))
                            continue;
                        if (dx && dy && (grid.Blocked(x + dx, y) || grid.Blocked(x, y + dy)))
                            continue;
                        edges.push_back(std::make_pair(y * side + x, ny * side + nx));
                        weights.push_back(Step{3.0f});
                    }
                }
            }
        }
        m_Graph = Graph(boost::edges_are_sorted, edges.begin(), edges.end(), weights.begin(), side * side);
        m_Distance.resize(side * side);
        m_Cost.resize(side * side);
        m_Parent.resize(side * side);
        m_Colour.resize(side * side);
    }
    Totals Run(const std::vector<std::pair<int, int>>& pairs)
    {
        Totals totals;
        for (const std::pair<int, int>& pair : pairs) {
            const Vertex start = pair.first, goal = pair.second;
            try {
                boost::astar_search(
                    m_Graph, start, ManhattanEstimate(m_Side, goal),
                    boost::visitor(GoalVisitor(goal, totals.Expanded))
                        .weight_map(boost::get(&Step::Weight, m_Graph))
                        .distance_map(
                            boost::make_iterator_property_map(m_Distance.begin(), get(boost::vertex_index, m_Graph)))
                        .rank_map(boost::make_iterator_property_map(m_Cost.begin(), get(boost::vertex_index, m_Graph)))
                        .predecessor_map(
                            boost::make_iterator_property_map(m_Parent.begin(), get(boost::vertex_index, m_Graph)))
                        .color_map(
                            boost::make_iterator_property_map(m_Colour.begin(), get(boost::vertex_index, m_Graph))));
            } catch (const FoundGoal&) {
                ++totals.Found;
            }
        }
        return totals;
    }

private:
    int m_Side;
    Graph m_Graph;
    std::vector<float> m_Distance, m_Cost;
    std::vector<Vertex> m_Parent;
    std::vector<boost::default_color_type> m_Colour;
};

void Measure(const char* name, const Grid& grid, int paths, int runs, std::mt19937& random)
{
    const std::vector<std::pair<int, int>> pairs = Pairs(grid, paths, random);
    CoreSide ours(grid);
    BoostSide peer(grid);
    BenchTimes ourTimes, peerTimes;
    Totals ourTotals, peerTotals;
    for (int run = 0; run < runs; ++run) {
        ourTimes.Add(TimeOnce([&] { ourTotals = ours.Run(pairs); }));
        peerTimes.Add(TimeOnce([&] { peerTotals = peer.Run(pairs); }));
    }
    const double ourTime = ourTimes.Median(), peerTime = peerTimes.Median();
    printf("%-22s %5d paths  ours: %6.3f ms/path %8.0f knodes/s (%d found)   astar_search: %6.3f ms/path %8.0f "
           "knodes/s (%d found)   ratio %.2f\n",
           name, paths, ourTime * 1e3 / paths, ourTotals.Expanded / ourTime / 1e3, ourTotals.Found,
           peerTime * 1e3 / paths, peerTotals.Expanded / peerTime / 1e3, peerTotals.Found, peerTime / ourTime);
    fflush(stdout);
}

} // namespace

extern "C" const MG_RESOURCE mg_host_resources[] = {
    {"MorvikMemorySize", "MorvikMemorySize", kMemorySize, sizeof kMemorySize},
    {nullptr, nullptr, nullptr, 0},
};

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? atoi(argv[1]) : 3;
    std::mt19937 random(2024);
    printf("median of %d alternating runs; ratio = astar_search time / ours (above 1: ours faster)\n", runs);
    Measure("256x256 obstacles", RandomObstacles(256, random), 200, runs, random);
    Measure("256x256 maze", MazeWalls(256, random), 100, runs, random);
    Measure("1024x1024 obstacles", RandomObstacles(1024, random), 20, runs, random);
    Measure("1024x1024 maze", MazeWalls(1024, random), 10, runs, random);
    return 0;
}
