// Both path finders over ASCII mazes laid into a terrain map: '#' is a wall (passability 15,
// above the units' 0), 'S' and 'G' are the start and goal cells. The synchronous finder reads
// the passability itself; the time-sliced one sees walls only through the request's position
// filter, as its callers give it. Row r of a maze is y = r, column c is x = c.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <mg_win32.h>

#include <algorithm>
#include <memory>
#include <queue>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../object/ObjectTestSupport.h"
#include "../object/PhysicalTestSupport.h"
#include "TerrainTestSupport.h"
#include "engine/world/CPathFinder.h"
#include "engine/world/GPathFinder.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

namespace {

const int WALL = 15;
const DWORD ALL = 0xFFFFFFFF;

typedef std::vector<std::string> Maze;

// Blocks a position over a cell the terrain marks impassable, or outside every location.
class TerrainTest : public VVector {
public:
    BYTE Test(const CVector& p) override
    {
        LocationEntry* location = GmvWorld::GetLocation(p, ALL);
        return !location || GmvWorld::GetPassibilityIndex(location, p.x, p.y) > 0;
    }
};

struct Body {
    CollisionBlock Block;
    TCollidingResource Resource{nullptr};
};

struct Cell {
    int x, y;
};

class PathFinderTest : public ObjectTest {
protected:
    void SetUp() override
    {
        ObjectTest::SetUp();
        m_Filter.Add(&m_Terrain, 1);
    }
    void TearDown() override
    {
        ObjectTest::TearDown();
        m_Map.reset();
        MgSetVirtualClockStep(0);
    }
    static GSectionMgr& Grid() { return *GSectionMgr::pThe; }
    static CPathFinder& Finder() { return *Grid().GetPathFinder(); }

    // A fresh level holding the maze MARGIN cells in from every edge of its map, the margin
    // walled: the time-sliced finder keeps goals 3 units inside the world.
    void Load(const Maze& rows, float pathTime = 0.0f)
    {
        ResetWorld();
        m_Map.reset();
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create()->PathTime = pathTime;
        m_Maze = rows;
        const int width = Width() + 2 * MARGIN, height = Height() + 2 * MARGIN;
        m_Map.reset(new TestMap(width + 1, height + 1, 1, CVector(0.0f, 0.0f, 0.0f)));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (!Inside(x - MARGIN, y - MARGIN) || Wall(x - MARGIN, y - MARGIN))
                    m_Map->SetPassability(x, y, WALL);
        for (int y = 0; y < Height(); ++y) {
            for (int x = 0; x < Width(); ++x) {
                if (rows[y][x] == 'S')
                    m_Start = Centre(x, y);
                if (rows[y][x] == 'G' || rows[y][x] == 'g')
                    m_Goal = Centre(x, y);
            }
        }
        m_Map->Build();
        Grid().New(nullptr);
    }

    static const int MARGIN = 4;
    static CVector Centre(int x, int y) { return CVector(x + MARGIN + 0.5f, y + MARGIN + 0.5f, 0.0f); }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
    bool Wall(int x, int y) const { return m_Maze[y][x] == '#' || m_Maze[y][x] == 'g'; }
    int Width() const { return static_cast<int>(m_Maze[0].size()); }
    int Height() const { return static_cast<int>(m_Maze.size()); }

    // A small plotted unit: the terrain blocks it wherever its passability is exceeded.
    GPhysical* Unit(const CVector& at, WORD player = 2)
    {
        m_Bodies.emplace_back(new Body);
        Body& body = *m_Bodies.back();
        body.Block = CollisionBlock::Sphere(0.2f, 0x0F, NullVector, 0.2f);
        body.Resource.pData = body.Block.Get();
        GPhysical* unit = MakePhysical(&body.Resource, at, player);
        unit->EnableCollisions();
        return unit;
    }

    // A time-sliced finder over the loaded level; maxTime 0 searches without a time limit.
    GPathFinder* SlicedFinder(float maxTime, int controlCount = 1000, int maxNodes = 0)
    {
        FillData data;
        data.Int("MaxPathControlCount", controlCount).Int("MaxLocalPathControlCount", controlCount);
        data.Int("MaxNodes", maxNodes);
        GPathFinder* finder = static_cast<GPathFinder*>(GObject::Create(GPathFinder::ClassId, HGOBJECT(0), data.Get()));
        finder->MaxPathTime = maxTime;
        return finder;
    }

    void Request(CPathData& request, GPhysical* owner, const CVector& from, const CVector& to, bool local = false)
    {
        request.pOwner = owner;
        request.pPositionFilter = &m_Filter;
        if (local)
            request.SetLocal(from, to, PATH_NEW);
        else
            request.SetGlobal(from, to, PATH_NEW);
    }

    // The points from the goal end (index 0) up, as cells.
    static std::string Cells(const CVector* points, int top)
    {
        std::ostringstream out;
        for (int i = 0; i <= top; ++i)
            out << (i ? " " : "") << static_cast<int>(floorf(points[i].x)) - MARGIN << ","
                << static_cast<int>(floorf(points[i].y)) - MARGIN;
        return out.str();
    }
    static std::string Cells(const CPath* path)
    {
        std::vector<CVector> points;
        for (int i = 0; path && i <= path->iTop; ++i)
            points.push_back(CVector(path->pPoints[i].x, path->pPoints[i].y, 0.0f));
        return Cells(points.data(), static_cast<int>(points.size()) - 1);
    }
    static std::string Cells(const CPathStack* path) { return path ? Cells(path->pPoints, path->iTop) : ""; }

    // Every leg between consecutive points is clear for the unit, sampled finely.
    void ExpectLegsClear(GPhysical* unit, const std::vector<CVector>& points)
    {
        for (size_t i = 1; i < points.size(); ++i)
            EXPECT_EQ(
                Grid().BlockedOnPathSegment(unit, points[i - 1], points[i], 0.05f, ALL, unit->GetHandle().Player()),
                HGOBJECT(0))
                << "leg " << i << " from " << points[i - 1].x << "," << points[i - 1].y << " to " << points[i].x << ","
                << points[i].y;
    }

    // The eight steps with no corner cut past a wall, on the maze alone.
    template <class Visit> void Steps(int x, int y, Visit visit) const
    {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if ((!dx && !dy) || nx < 0 || ny < 0 || nx >= Width() || ny >= Height() || Wall(nx, ny))
                    continue;
                if (dx && dy && (Wall(x + dx, y) || Wall(x, y + dy)))
                    continue;
                visit(nx, ny, dx && dy ? sqrtf(2.0f) : 1.0f);
            }
        }
    }

    // The shortest length between two cell centres (Dijkstra), negative without a route.
    float ShortestLength(Cell from, Cell to) const
    {
        std::vector<float> best(Width() * Height(), 1e30f);
        typedef std::pair<float, int> Item;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> open;
        best[from.y * Width() + from.x] = 0.0f;
        open.push(Item(0.0f, from.y * Width() + from.x));
        while (!open.empty()) {
            const Item item = open.top();
            open.pop();
            const int x = item.second % Width(), y = item.second / Width();
            if (item.first > best[item.second])
                continue;
            if (x == to.x && y == to.y)
                return item.first;
            Steps(x, y, [&](int nx, int ny, float cost) {
                float& b = best[ny * Width() + nx];
                if (item.first + cost < b) {
                    b = item.first + cost;
                    open.push(Item(b, ny * Width() + nx));
                }
            });
        }
        return -1.0f;
    }

    Maze RandomMaze(std::mt19937& random, int width, int height, double walls, Cell& start, Cell& goal)
    {
        std::bernoulli_distribution wall(walls);
        Maze rows(height, std::string(width, '.'));
        for (std::string& row : rows)
            for (char& c : row)
                c = wall(random) ? '#' : '.';
        std::uniform_int_distribution<int> x(0, width - 1), y(0, height - 1);
        start = {x(random), y(random)};
        do
            goal = {x(random), y(random)};
        while (goal.x == start.x && goal.y == start.y);
        rows[start.y][start.x] = 'S';
        rows[goal.y][goal.x] = 'G';
        return rows;
    }

    // Loads random levels until one joins its opposite corners, S and G.
    Maze LoadCornerToCorner(std::mt19937& random, int size, double walls, float pathTime = 0.0f)
    {
        for (;;) {
            Cell start, goal;
            Maze maze = RandomMaze(random, size, size, walls, start, goal);
            maze[start.y][start.x] = maze[goal.y][goal.x] = '.';
            maze[0][0] = 'S';
            maze[size - 1][size - 1] = 'G';
            Load(maze, pathTime);
            if (ShortestLength({0, 0}, {size - 1, size - 1}) > 0.0f)
                return maze;
        }
    }

    static std::vector<CVector> Points(const CPath* path)
    {
        std::vector<CVector> points;
        for (int i = path ? path->iTop : -1; i >= 0; --i)
            points.push_back(CVector(path->pPoints[i].x, path->pPoints[i].y, 0.0f));
        return points;
    }
    static std::vector<CVector> Points(const CPathStack* path)
    {
        std::vector<CVector> points;
        for (int i = path ? path->iTop : -1; i >= 0; --i)
            points.push_back(path->pPoints[i]);
        return points;
    }
    static float Length(const std::vector<CVector>& points)
    {
        float length = 0.0f;
        for (size_t i = 1; i < points.size(); ++i)
            length += sqrtf((points[i].x - points[i - 1].x) * (points[i].x - points[i - 1].x) +
                            (points[i].y - points[i - 1].y) * (points[i].y - points[i - 1].y));
        return length;
    }

    Maze m_Maze;
    std::unique_ptr<TestMap> m_Map;
    std::vector<std::unique_ptr<Body>> m_Bodies;
    TerrainTest m_Terrain;
    CZFilter<CVector> m_Filter;
    CVector m_Start, m_Goal;
};

// A maze whose only route turns four times: both finders keep just the turning points.
const Maze kWindingMaze = {
    "##########", "#S...#...#", "####.#.#.#", "#....#.#.#", "#.####.#.#", "#......#G#", "##########",
};
const char* const kWindingPoints = "8,5 8,1 6,1 6,5 1,5 1,3 4,3 4,1 1,1";

TEST_F(PathFinderTest, MazeGoldensKeepTheTurningPointsOfTheOnlyRoute)
{
    struct Case {
        const char* name;
        Maze maze;
        const char* points; // goal end first
    };
    const Case cases[] = {
        {"corridor", {"#######", "#S...G#", "#######"}, "5,1 1,1"},
        {"L", {"######", "#S...#", "####.#", "####G#", "######"}, "4,3 4,1 1,1"},
        {"winding", kWindingMaze, kWindingPoints},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.maze);
        GPhysical* unit = Unit(m_Start);
        EPathResult result = PATHRESULT_NOT_NOW;
        CPathStack* path = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
        EXPECT_EQ(result, PATHRESULT_FOUND);
        EXPECT_EQ(Cells(path), c.points);
        EXPECT_EQ(path->bPartial, 0);
        CPathFinder::FreePathStack(path);

        GPathFinder* sliced = SlicedFinder(0.0f);
        CPathData request;
        Request(request, unit, m_Start, m_Goal);
        sliced->GetPath(&request);
        EXPECT_EQ(request.iStatus, PATHSTATUS_FOUND);
        EXPECT_EQ(Cells(request.pPath), c.points);
        EXPECT_TRUE(request.bRenewed);
        EXPECT_FLOAT_EQ(request.PathLength(), Length(Points(request.pPath)));
        CPathData::FreePath(request.pPath);
    }
}

// Seeded random levels: each finder finds a path exactly when an independent search does,
// every leg of it is clear, and it is no longer than the estimate's weight allows.
TEST_F(PathFinderTest, RandomLevelsAgreeWithAnIndependentSearch)
{
    // Both searches weigh the Manhattan estimate by 3 against steps of at least 1 (sliced)
    // or 3 (synchronous), and a diagonal covers 2 of Manhattan: the search may overshoot
    // the optimum by that weight. Measured worst ratios stay well inside it.
    const float kSlicedBound = 6.0f, kSyncBound = 2.0f * 1.4143f;
    std::mt19937 random(24);
    int found = 0, unreachable = 0;
    float worstSliced = 0.0f, worstSync = 0.0f;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Cell start, goal;
        Load(RandomMaze(random, 36, 28, round % 3 == 0 ? 0.42 : 0.3, start, goal));
        const float optimum = ShortestLength(start, goal);
        GPhysical* unit = Unit(m_Start);

        EPathResult result = PATHRESULT_NOT_NOW;
        CPathStack* path = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
        CPathData request;
        Request(request, unit, m_Start, m_Goal);
        SlicedFinder(0.0f)->GetPath(&request);
        if (optimum < 0.0f) {
            ++unreachable;
            EXPECT_EQ(result, PATHRESULT_NO_PATH);
            EXPECT_EQ(path, nullptr);
            EXPECT_EQ(request.iStatus, PATHSTATUS_NO_PATH);
            EXPECT_EQ(request.pPath, nullptr);
            continue;
        }
        ++found;
        ASSERT_EQ(result, PATHRESULT_FOUND);
        ASSERT_EQ(request.iStatus, PATHSTATUS_FOUND);
        for (const std::vector<CVector>& points : {Points(path), Points(request.pPath)}) {
            EXPECT_FLOAT_EQ(points.front().x, m_Start.x);
            EXPECT_FLOAT_EQ(points.back().y, m_Goal.y);
            ExpectLegsClear(unit, points);
        }
        const float sync = Length(Points(path)), sliced = Length(Points(request.pPath));
        EXPECT_GE(sync, optimum - 1e-3f);
        EXPECT_LE(sync, kSyncBound * optimum + 1e-3f);
        EXPECT_LE(sliced, kSlicedBound * optimum + 1e-3f);
        worstSync = std::max(worstSync, sync / std::max(optimum, 1.0f));
        worstSliced = std::max(worstSliced, sliced / std::max(optimum, 1.0f));
        CPathFinder::FreePathStack(path);
        CPathData::FreePath(request.pPath);
    }
    EXPECT_GT(found, 5);
    EXPECT_GT(unreachable, 0);
    printf("worst length over optimum: synchronous %.3f, time-sliced %.3f\n", worstSync, worstSliced);
}

// A search spread over frames by the budget on a counter that moves on every read ends with
// the path one unlimited run finds, for both finders.
TEST_F(PathFinderTest, SlicedSearchesMatchOneRun)
{
    std::mt19937 random(7);
    const Maze maze = LoadCornerToCorner(random, 40, 0.3);
    GPhysical* unit = Unit(m_Start);
    CPathData whole;
    Request(whole, unit, m_Start, m_Goal);
    SlicedFinder(0.0f)->GetPath(&whole);
    ASSERT_EQ(whole.iStatus, PATHSTATUS_FOUND);

    MgSetVirtualClockStep(MG_PERF_FREQUENCY / 10000); // 0.1 ms a read
    GPathFinder* sliced = SlicedFinder(0.002f);
    CPathData request;
    Request(request, unit, m_Start, m_Goal);
    sliced->GetPath(&request);
    EXPECT_EQ(request.iStatus, PATHSTATUS_OUT_OF_TIME);
    EXPECT_EQ(sliced->GetCurrent(), &request);
    int frames = 1;
    for (; request.iStatus == PATHSTATUS_OUT_OF_TIME && frames < 10000; ++frames)
        sliced->Process();
    EXPECT_GT(frames, 5);
    EXPECT_EQ(request.iStatus, PATHSTATUS_FOUND);
    EXPECT_EQ(request.iSlices, 0);
    EXPECT_EQ(Cells(request.pPath), Cells(whole.pPath));
    CPathData::FreePath(request.pPath);
    CPathData::FreePath(whole.pPath);

    MgSetVirtualClockStep(0);
    EPathResult result = PATHRESULT_NOT_NOW;
    CPathStack* once = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
    ASSERT_EQ(result, PATHRESULT_FOUND);
    Load(maze, 0.002f);
    unit = Unit(m_Start);
    MgSetVirtualClockStep(MG_PERF_FREQUENCY / 10000);
    CPathStack* path = nullptr;
    frames = 0;
    do {
        Finder().ResetAbilityToPathAgain();
        path = Finder().GetGlobalPath(path, m_Start, m_Goal, unit, result);
    } while (result == PATHRESULT_IN_PROGRESS && ++frames < 10000);
    EXPECT_GT(frames, 5);
    EXPECT_EQ(result, PATHRESULT_FOUND);
    EXPECT_EQ(Cells(path), Cells(once));
    CPathFinder::FreePathStack(path);
    CPathFinder::FreePathStack(once);
}

// The control count cuts a search off: with bPartial a path to the open cell nearest the
// goal, without it nothing and bRenewed clear; the node budget ends a search the same way.
TEST_F(PathFinderTest, CutOffSearchesEndWithAPartialPathOrNone)
{
    Load(kWindingMaze);
    GPhysical* unit = Unit(m_Start);
    struct Case {
        const char* name;
        float maxTime;
        int controlCount, maxNodes;
        bool partial;
        int status;
    };
    const Case cases[] = {
        {"time, partial", 0.002f, 3, 0, true, PATHSTATUS_CUT_OFF},
        {"time, dropped", 0.002f, 3, 0, false, PATHSTATUS_CUT_OFF},
        {"nodes, partial", 0.0f, 3, 12, true, PATHSTATUS_NODES_USED_UP},
        {"nodes, dropped", 0.0f, 3, 12, false, PATHSTATUS_NODES_USED_UP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MgSetVirtualClockStep(MG_PERF_FREQUENCY / 2000); // 0.5 ms a read: a few nodes a frame
        GPathFinder* finder = SlicedFinder(c.maxTime, c.controlCount, c.maxNodes);
        CPathData request;
        Request(request, unit, m_Start, m_Goal);
        request.bPartial = c.partial;
        finder->GetPath(&request);
        for (int frame = 0; frame < 10 && request.iStatus == PATHSTATUS_OUT_OF_TIME; ++frame)
            finder->Process();
        EXPECT_EQ(request.iStatus, c.status);
        EXPECT_EQ(finder->GetCurrent(), nullptr);
        EXPECT_EQ(request.iSlices, 0);
        EXPECT_EQ(request.bRenewed, c.partial ? 1 : 0);
        EXPECT_EQ(request.pPath != nullptr, c.partial);
        if (request.pPath) {
            const std::vector<CVector> points = Points(request.pPath);
            EXPECT_FLOAT_EQ(points.front().x, m_Start.x);
            EXPECT_NE(Cells(request.pPath).substr(0, 3), "8,5");
            ExpectLegsClear(unit, points);
        }
        CPathData::FreePath(request.pPath);
        finder->Destroy();
    }
}

// The synchronous finder's global budget ends a search of a wide open level whose goal is
// walled in: the path leads to the best cell, with the exact goal as point 0 and the flag.
TEST_F(PathFinderTest, SynchronousBudgetGivesAPartialPathToTheExactGoal)
{
    Maze maze(130, std::string(130, '.'));
    maze[2][2] = 'S';
    for (int i = 100; i <= 104; ++i)
        maze[100][i] = maze[104][i] = maze[i][100] = maze[i][104] = '#';
    maze[102][102] = 'G';
    Load(maze);
    GPhysical* unit = Unit(m_Start);
    EPathResult result = PATHRESULT_NOT_NOW;
    CPathStack* path = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
    EXPECT_EQ(result, PATHRESULT_BUDGET_USED);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->bPartial, 1);
    EXPECT_EQ(Finder().GetSearch().GetNodeCount(), +CPathFinder::GLOBAL_BUDGET);
    EXPECT_FLOAT_EQ(path->pPoints[0].x, m_Goal.x);
    EXPECT_FLOAT_EQ(path->pPoints[0].y, m_Goal.y);
    std::vector<CVector> points = Points(path);
    points.pop_back(); // the exact goal behind the wall
    ExpectLegsClear(unit, points);
    CPathFinder::FreePathStack(path);
}

// A goal on a wall ('g') moves to the first free candidate: the time-sliced finder tries
// (+r, 0), (0, +r), (-r, 0), (0, -r), then the diagonals; the synchronous one walks the square
// ring from its low corner along +x, +y, -x, -y.
TEST_F(PathFinderTest, BlockedGoalsMoveToTheFirstFreeRingCell)
{
    struct Case {
        const char* name;
        Maze maze;
        const char* sliced; // the goal end's cell
        const char* sync;
    };
    const Case cases[] = {
        {"orthogonal first", {"S....", ".....", "..##.", "..g#.", "....."}, "2,4", "1,2"},
        {"only a diagonal", {"S.....", "......", "..##..", "..#g#.", "..###.", "......"}, "4,2", "4,2"},
        {"second ring", {"S......", ".......", "..###..", "..#g#..", "..###..", ".......", "......."}, "5,3", "1,1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.maze);
        GPhysical* unit = Unit(m_Start);
        CPathData request;
        Request(request, unit, m_Start, m_Goal);
        SlicedFinder(0.0f)->GetPath(&request);
        EXPECT_EQ(request.iStatus, PATHSTATUS_FOUND);
        EXPECT_EQ(Cells(request.pPath).substr(0, 3), c.sliced);
        CPathData::FreePath(request.pPath);
        EPathResult result = PATHRESULT_NOT_NOW;
        CPathStack* path = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
        EXPECT_EQ(result, PATHRESULT_FOUND);
        EXPECT_EQ(Cells(path).substr(0, 3), c.sync);
        CPathFinder::FreePathStack(path);
    }
}

// A global path of 150 units or more is stored; a later request starting and ending within 8
// units of its ends gets it back without a search.
TEST_F(PathFinderTest, LongPathsAreStoredAndReused)
{
    Load({"#" + std::string("S") + std::string(198, '.') + "G#"});
    GPhysical* unit = Unit(m_Start);
    GPathFinder* finder = SlicedFinder(0.0f);
    CPathData first;
    Request(first, unit, m_Start, m_Goal);
    finder->GetPath(&first);
    ASSERT_EQ(first.iStatus, PATHSTATUS_FOUND);
    EXPECT_FLOAT_EQ(first.PathLength(), 199.0f);
    ASSERT_NE(finder->GetStoredPath(0), nullptr);
    EXPECT_EQ(finder->GetStoredPath(1), nullptr);

    CPathData again;
    const CVector near(m_Start.x + 5.0f, m_Start.y, 0.0f), nearGoal(m_Goal.x - 6.0f, m_Goal.y, 0.0f);
    Request(again, unit, near, nearGoal);
    finder->GetPath(&again);
    EXPECT_EQ(again.iStatus, PATHSTATUS_REUSED);
    EXPECT_EQ(again.bRenewed, 1);
    ASSERT_NE(again.pPath, nullptr);
    EXPECT_FLOAT_EQ(again.pPath->pPoints[again.pPath->iTop].x, near.x);
    EXPECT_FLOAT_EQ(again.pPath->pPoints[0].x, nearGoal.x);

    CPathData farther;
    Request(farther, unit, CVector(m_Start.x + 20.0f, m_Start.y, 0.0f), nearGoal);
    finder->GetPath(&farther);
    EXPECT_EQ(farther.iStatus, PATHSTATUS_FOUND);
    for (CPathData* r : {&first, &again, &farther})
        CPathData::FreePath(r->pPath);

    // The synchronous finder hands another unit standing where the owner of a stored path
    // stands a copy of it, with its own start and goal.
    Load(kWindingMaze);
    GPhysical* owner = Unit(m_Start);
    GPhysical* other = Unit(m_Start);
    EPathResult result = PATHRESULT_NOT_NOW;
    CPathStack* stored = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, owner, result);
    ASSERT_EQ(result, PATHRESULT_FOUND);
    const CVector from(m_Start.x + 1.0f, m_Start.y, 0.0f);
    CPathStack* copy = Finder().GetGlobalPath(nullptr, from, m_Goal, other, result);
    EXPECT_EQ(result, PATHRESULT_REUSED);
    ASSERT_NE(copy, stored);
    EXPECT_EQ(Cells(copy), "8,5 8,1 6,1 6,5 1,5 1,3 4,3 4,1 2,1");
    EXPECT_EQ(copy->hOwner, other->GetHandle());
    CPathFinder::FreePathStack(copy);
    CPathFinder::FreePathStack(stored);
}

// Only one search waits at a time: another unit is refused unless the player rules let it
// take the finder; a waiting search not resumed for two frames is dropped.
TEST_F(PathFinderTest, SuspendedSearchesAndWhoMayTakeTheFinder)
{
    std::mt19937 random(3);
    LoadCornerToCorner(random, 40, 0.2, 0.002f);
    struct Case {
        const char* name;
        WORD waiting, asking;
        bool wokenAsker;
        EPathResult result;
    };
    const Case cases[] = {
        {"same player", 2, 2, false, PATHRESULT_NOT_NOW},
        {"the human player first", 2, 1, false, PATHRESULT_FOUND},
        {"the human player keeps it", 1, 2, true, PATHRESULT_NOT_NOW},
        {"a unit on screen first", 2, 3, true, PATHRESULT_FOUND},
        {"spectator last", 9, 2, false, PATHRESULT_FOUND},
        {"spectator to spectator", 9, 9, false, PATHRESULT_NOT_NOW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Away from the start: the asker's first step must not meet it.
        GPhysical* waiting = Unit(CVector(1.0f, 1.0f, 0.0f), c.waiting);
        GPhysical* asking = Unit(m_Start, c.asking);
        if (c.wokenAsker)
            asking->ScreenWake();
        MgSetVirtualClockStep(MG_PERF_FREQUENCY / 10000);
        Finder().ResetAbilityToPathAgain();
        EPathResult result = PATHRESULT_NOT_NOW;
        CPathStack* path = Finder().GetGlobalPath(nullptr, m_Start, m_Goal, waiting, result);
        ASSERT_EQ(result, PATHRESULT_IN_PROGRESS);
        EXPECT_EQ(Finder().GetPreviousPathID(), waiting->GetHandle());
        MgSetVirtualClockStep(0);
        Finder().ResetAbilityToPathAgain();
        path = Finder().GetLocalPath(nullptr, m_Start, m_Goal, asking, result);
        EXPECT_EQ(result, c.result);
        CPathFinder::FreePathStack(path);
        Finder().ClearPathId(waiting->GetHandle());
        asking->SetPos(CVector(1.0f, 1.0f, 0.0f)); // out of the next asker's way
    }

    GPhysical* unit = Unit(m_Start);
    MgSetVirtualClockStep(MG_PERF_FREQUENCY / 10000);
    EPathResult result = PATHRESULT_NOT_NOW;
    Finder().GetGlobalPath(nullptr, m_Start, m_Goal, unit, result);
    ASSERT_EQ(result, PATHRESULT_IN_PROGRESS);
    for (int frame = 0; frame < 2; ++frame) {
        Finder().ResetAbilityToPathAgain();
        EXPECT_EQ(Finder().GetPreviousPathID(), unit->GetHandle()) << frame;
    }
    Finder().ResetAbilityToPathAgain();
    EXPECT_EQ(Finder().GetPreviousPathID(), HGOBJECT(0));
}

// Requests the finders cannot serve end in order: an end outside the cells, no free cell
// anywhere, a level without locations.
TEST_F(PathFinderTest, RequestsBeyondTheGridEndInOrder)
{
    Load(kWindingMaze);
    GPhysical* unit = Unit(m_Start);
    const float nan = nanf("");
    struct Case {
        const char* name;
        CVector from, to;
        EPathResult sync;
        int sliced;
    };
    const Case cases[] = {
        {"start outside", CVector(-40.0f, 3.0f, 0.0f), m_Goal, PATHRESULT_NO_PATH, PATHSTATUS_NO_PATH},
        {"start not a number", CVector(nan, nan, 0.0f), m_Goal, PATHRESULT_NO_PATH, PATHSTATUS_NO_PATH},
        {"goal outside", m_Start, CVector(500.0f, -300.0f, 0.0f), PATHRESULT_NO_PATH, PATHSTATUS_FOUND},
        {"goal on the far edge", m_Start, CVector(18.0f, 15.0f, 0.0f), PATHRESULT_FOUND, PATHSTATUS_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EPathResult result = PATHRESULT_NOT_NOW;
        CPathStack* path = Finder().GetGlobalPath(nullptr, c.from, c.to, unit, result);
        EXPECT_EQ(result, c.sync);
        CPathFinder::FreePathStack(path);
        GPathFinder* finder = SlicedFinder(0.0f);
        CPathData request;
        Request(request, unit, c.from, c.to);
        finder->GetPath(&request);
        EXPECT_EQ(request.iStatus, c.sliced);
        EXPECT_EQ(finder->GetCurrent(), nullptr);
        if (request.pPath)
            ExpectLegsClear(unit, Points(request.pPath));
        CPathData::FreePath(request.pPath);
        finder->Destroy();
    }

    // Walls everywhere: the goal rings end at the grid's size.
    Load({"#g#"});
    unit = Unit(m_Goal);
    EPathResult result = PATHRESULT_NOT_NOW;
    EXPECT_EQ(Finder().GetGlobalPath(nullptr, m_Goal, m_Goal, unit, result), nullptr);
    EXPECT_EQ(result, PATHRESULT_NO_PATH);
    CPathData request;
    Request(request, unit, m_Goal, m_Goal);
    SlicedFinder(0.0f)->GetPath(&request);
    EXPECT_EQ(request.iStatus, PATHSTATUS_NO_PATH);
}

// Requests wait in arrival order; a stopped one leaves the queue with its path kept.
TEST_F(PathFinderTest, RequestsAreServedInArrivalOrder)
{
    Load(kWindingMaze);
    GPhysical* unit = Unit(m_Start);
    MgSetVirtualClockStep(MG_PERF_FREQUENCY / 10000);
    GPathFinder* finder = SlicedFinder(0.001f);
    CPathData first, second, third;
    for (CPathData* r : {&first, &second, &third})
        Request(*r, unit, m_Start, m_Goal);
    first.eCommand = second.eCommand = third.eCommand = PATH_REPLACE;
    finder->GetPath(&first);
    finder->GetPath(&second);
    finder->GetPath(&third);
    EXPECT_EQ(first.iStatus, PATHSTATUS_OUT_OF_TIME);
    EXPECT_EQ(second.iStatus, PATHSTATUS_QUEUED);
    EXPECT_EQ(third.iStatus, PATHSTATUS_QUEUED);
    finder->Stop(&second);
    EXPECT_FALSE(second.IsLinked());
    std::vector<CPathData*> done;
    for (int frame = 0; frame < 1000 && done.size() < 2; ++frame) {
        finder->Process();
        for (CPathData* r : {&first, &third})
            if (r->iStatus == PATHSTATUS_FOUND && std::find(done.begin(), done.end(), r) == done.end())
                done.push_back(r);
    }
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0], &first);
    EXPECT_EQ(second.iStatus, PATHSTATUS_QUEUED);
    EXPECT_EQ(second.pPath, nullptr);
    EXPECT_TRUE(finder->QueueIsEmpty());
    for (CPathData* r : {&first, &third})
        CPathData::FreePath(r->pPath);
}

// A new search joined to the request's existing path: followed after the new points (2) or
// before them (3), sequence numbers counting the searches; PopStack hands points out from the
// start end and frees the path with the last.
TEST_F(PathFinderTest, MergedPathsAndPopStack)
{
    Load({"S...X...G"});
    GPhysical* unit = Unit(m_Start);
    GPathFinder* finder = SlicedFinder(0.0f);
    const CVector middle = Centre(4, 0);
    struct Case {
        EPathCommand command;
        const char* cells;
        short lastSequence;
    };
    const Case cases[] = {
        {PATH_REPLACE, "4,0 0,0", 1},
        {PATH_THEN_OLD, "8,0 4,0 4,0 0,0", -1},
        {PATH_OLD_FIRST, "4,0 0,0 8,0 4,0", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        CPathData request;
        Request(request, unit, middle, m_Goal);
        finder->GetPath(&request);
        ASSERT_EQ(request.iStatus, PATHSTATUS_FOUND);
        request.SetGlobal(m_Start, middle, c.command);
        finder->GetPath(&request);
        ASSERT_EQ(request.iStatus, PATHSTATUS_FOUND);
        EXPECT_EQ(Cells(request.pPath), c.cells);
        EXPECT_EQ(request.pPath->pPoints[c.command == PATH_THEN_OLD ? request.pPath->iTop : 0].Sequence,
                  c.lastSequence);
        EXPECT_FLOAT_EQ(request.PathLength(), Length(Points(request.pPath)));
        CPathData::FreePath(request.pPath);
    }

    CPathData request;
    Request(request, unit, m_Start, m_Goal);
    request.eCommand = PATH_REPLACE;
    finder->GetPath(&request);
    CPath* path = request.pPath;
    ASSERT_EQ(path->iTop, 1);
    CVector point;
    bool local = true;
    ASSERT_TRUE(CPathData::PopStack(request.pPath, point, local));
    EXPECT_FLOAT_EQ(point.x, m_Start.x);
    EXPECT_FALSE(local);
    ASSERT_TRUE(CPathData::PopStack(request.pPath, point, local));
    EXPECT_FLOAT_EQ(point.x, m_Goal.x);
    EXPECT_EQ(request.pPath, nullptr);
    EXPECT_FALSE(CPathData::PopStack(request.pPath, point, local));
}

} // namespace
