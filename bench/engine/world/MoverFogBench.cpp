// Movers and the fog of war, each against a plain loop doing the same work in the same run.
// Movers: 1,000 and 10,000 positioned objects, each with a child mover stepping it toward a
// target, through one 0.1 s frame (three slices each); the peer steps plain position arrays the
// same three times. Fog: 100 and 1,000 viewers of sight 6 plotted into a 256 x 256 grid; the
// peer fills the same discs testing every square of each disc's box with a square root. Both
// print microseconds per frame (median of the runs), the ratio peer / ours, and the growth of
// each side from the small count to the large one, which is 10 when the cost is linear.
//   world_mover_bench [RUNS]
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <random>
#include <vector>

#include "BenchStats.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPosRot.h"
#include "engine/world/CMover.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"
#include "tests/engine/world/TerrainTestSupport.h"

// Steps its parent 0.1 units a slice toward TargetVector.
class BenchMover : public CMover {
    DECLARE_GOBJECT(BenchMover, CMover)

    void MoveTo(const CVector& target) override
    {
        TargetVector = target;
        AddFlag(FLAG_MOVING);
    }
    int ProcessTimeslice() override
    {
        const float dx = TargetVector.x - TimeslicePos.x, dy = TargetVector.y - TimeslicePos.y;
        const float length = sqrtf(dx * dx + dy * dy);
        if (length > 0.1f)
            TimeslicePos += CVector(dx * 0.1f / length, dy * 0.1f / length, 0.0f);
        return 0;
    }
};
IMPLEMENT_GOBJECT(BenchMover, 0x04808000)

namespace {

const int kSide = 256;
const float kFrame = 0.1f;

struct Pair {
    double Ours, Peer;
};

void ClearTree()
{
    GObject::DestroyInhibit = 0;
    while (GObject* child = GObject::GetRoot()->pChild)
        child->Destroy();
}

Pair Movers(int count, int runs)
{
    std::mt19937 random(124);
    std::uniform_real_distribution<float> place(10.0f, 240.0f);
    std::vector<CVector> from, to;
    for (int i = 0; i < count; ++i) {
        from.push_back(CVector(place(random), place(random), 0.0f));
        to.push_back(CVector(place(random), place(random), 0.0f));
    }
    BenchTimes ours, peer;
    for (int run = 0; run < runs; ++run) {
        ClearTree();
        for (int i = 0; i < count; ++i) {
            GPosRot* thing = static_cast<GPosRot*>(GObject::Create(GPosRot::ClassId, HGOBJECT(0), nullptr));
            thing->SetPos(from[i]);
            BenchMover* mover = static_cast<BenchMover*>(thing->Create(BenchMover::ClassId, nullptr));
            mover->MoveTo(to[i]);
        }
        CGameTimer::tFrameTime = kFrame;
        ours.Add(TimeOnce([] { GObject::ProcessObjects(); }));

        std::vector<CVector> at = from;
        std::vector<float> left(count, 0.0f);
        peer.Add(TimeOnce([&] {
            for (int i = 0; i < count; ++i) {
                left[i] += kFrame;
                while (left[i] > 0.033333f) {
                    left[i] -= 0.033333f;
                    const float dx = to[i].x - at[i].x, dy = to[i].y - at[i].y;
                    const float length = sqrtf(dx * dx + dy * dy);
                    if (length > 0.1f)
                        at[i] += CVector(dx * 0.1f / length, dy * 0.1f / length, 0.0f);
                }
                if (at[i].x > 250.0f)
                    at[i].x = 250.0f; // the world's clip
            }
        }));
    }
    ClearTree();
    return {ours.Median(), peer.Median()};
}

Pair Fog(GFOWManager* fow, int viewers, int runs)
{
    std::mt19937 random(120);
    std::uniform_real_distribution<float> place(0.0f, float(kSide));
    std::vector<CVector> eyes;
    for (int i = 0; i < viewers; ++i)
        eyes.push_back(CVector(place(random), place(random), 0.0f));
    std::vector<float> grid(kSide * kSide, -1.0f);
    BenchTimes ours, peer;
    for (int run = 0; run < runs; ++run) {
        CGameTimer::tGameTime += kFrame;
        ours.Add(TimeOnce([&] {
            for (CVector& eye : eyes)
                fow->PlotFOW(6.0f, eye);
        }));
        const float until = CGameTimer::tGameTime + 3.5f;
        peer.Add(TimeOnce([&] {
            for (const CVector& eye : eyes) {
                const float R = 7.5f;
                const int x0 = std::max(0, int(eye.x - R)), x1 = std::min(kSide - 1, int(eye.x + R));
                const int y0 = std::max(0, int(eye.y - R)), y1 = std::min(kSide - 1, int(eye.y + R));
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x) {
                        const float d =
                            sqrtf((x + 0.5f - eye.x) * (x + 0.5f - eye.x) + (y + 0.5f - eye.y) * (y + 0.5f - eye.y));
                        float& v = grid[y * kSide + x];
                        if (d <= 6.0f)
                            v = until;
                        else if (d <= R && v < 0.0f)
                            v = 0.0001f;
                    }
            }
        }));
    }
    return {ours.Median(), peer.Median()};
}

void Report(const char* what, const char* unit, int small, int large, const Pair& a, const Pair& b)
{
    printf("%-7s %6d %-8s ours %10.1f us/frame  peer %10.1f us/frame  peer/ours %.2f\n", what, small, unit,
           a.Ours * 1e6, a.Peer * 1e6, a.Peer / a.Ours);
    printf("%-7s %6d %-8s ours %10.1f us/frame  peer %10.1f us/frame  peer/ours %.2f\n", what, large, unit,
           b.Ours * 1e6, b.Peer * 1e6, b.Peer / b.Ours);
    printf("%-7s growth x%d: ours %.2f  peer %.2f  (10 is linear)\n", what, large / small, b.Ours / a.Ours,
           b.Peer / a.Peer);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? atoi(argv[1]) : 7;
    GObject::InitEditableInfo();
    GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
    GmvWorld::Create();
    TestMap map(kSide + 1, kSide + 1, 1, CVector(0.0f, 0.0f, 0.0f));
    map.Build();
    GSectionMgr::pThe->New(nullptr);

    const Pair m1 = Movers(1000, runs), m2 = Movers(10000, runs);
    Report("movers", "movers", 1000, 10000, m1, m2);

    GFOWManager* fow = GFOWManager::Create();
    const Pair f1 = Fog(fow, 100, runs), f2 = Fog(fow, 1000, runs);
    Report("fog", "viewers", 100, 1000, f1, f2);
    return 0;
}
