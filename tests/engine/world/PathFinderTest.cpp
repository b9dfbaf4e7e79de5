// Both path finders over ASCII mazes laid into a terrain map: '#' is a wall (passability 15,
// above the units' 0), 'S' and 'G' are the start and goal cells. The synchronous finder reads
// the passability itself; the time-sliced one sees walls only through the request's position
// filter, as its callers give it. Row r of a maze is y = r, column c is x = c.
#include <gtest/gtest.h>

#include <math.h>
#include <mg_win32.h>

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
    void Load(const Maze& rows)
    {
        ResetWorld();
        m_Map.reset();
        GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
        GmvWorld::Create();
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
                if (rows[y][x] == 'G')
                    m_Goal = Centre(x, y);
            }
        }
        m_Map->Build();
        Grid().New(nullptr);
    }

    static const int MARGIN = 4;
    static CVector Centre(int x, int y) { return CVector(x + MARGIN + 0.5f, y + MARGIN + 0.5f, 0.0f); }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
    bool Wall(int x, int y) const { return m_Maze[y][x] == '#'; }
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

} // namespace
