// The section grid against a scan of every object, in the same run. On a 512 x 512 unit level
// with 1,000, 10,000 and 65,000 objects (the handle table holds at most 65,533 objects, so the
// engine can never plot 100,000 at once) it prints the queries per second of radius queries and
// of stepped rays, each beside the brute-force scan that answers the same questions, with their
// ratio, and the cost per moved object of re-plotting, which should not follow the total.
#include <stdio.h>

#include <memory>
#include <random>
#include <vector>

#include "BenchStats.h"
#include "engine/object/GObject.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"
#include "tests/engine/object/PhysicalTestSupport.h"
#include "tests/engine/world/TerrainTestSupport.h"

namespace {

const int kSide = 512;
const float kQueryRadius = 6.0f;
const float kRayLength = 12.0f;
const float kRayStep = 0.5f;
const DWORD kAll = 0xFFFFFFFF;

struct Level {
    std::vector<GPhysical*> Objects;
    std::mt19937 Random{512};

    CVector Place()
    {
        std::uniform_real_distribution<float> across(2.0f, kSide - 2.0f);
        return CVector(across(Random), across(Random), 0.0f);
    }
};

// Brute force: every object's distance.
int ScanRadius(const Level& level, const CVector& centre, float radius)
{
    int found = 0;
    for (GPhysical* object : level.Objects)
        found += object->GetRangeSq(centre) <= radius * radius;
    return found;
}

// Brute force: at every sample of the ray, every object's collision test.
HGOBJECT ScanRay(const Level& level, GPhysical* caster, const CVector& from, const CVector& to)
{
    const CVector step = (to - from) * (kRayStep / kRayLength);
    CVector sample = from;
    for (int i = 0; i < static_cast<int>(kRayLength / kRayStep); ++i) {
        sample += step;
        for (GPhysical* other : level.Objects)
            if (other != caster && caster->IsCollision(other, &sample))
                return other->GetHandle();
    }
    return 0;
}

template <class F> double PerSecond(int count, F&& run)
{
    BenchTimes times;
    for (int repeat = 0; repeat < 3; ++repeat)
        times.Add(TimeOnce([&] {
            for (int i = 0; i < count; ++i)
                run(i);
        }));
    return count / times.Median();
}

void Measure(int count, TCollidingResource* resource)
{
    Level level;
    for (int i = 0; i < count; ++i)
        level.Objects.push_back(MakePhysical(resource, level.Place(), static_cast<WORD>(i % 10)));
    GPhysical* caster = level.Objects[0];
    GSectionMgr& grid = *GSectionMgr::pThe;

    std::vector<CVector> centres(200), ends(200);
    for (size_t i = 0; i < centres.size(); ++i) {
        centres[i] = level.Place();
        ends[i] = centres[i] + CVector(kRayLength * 0.6f, kRayLength * 0.8f, 0.0f);
        centres[i].z = ends[i].z = 0.5f;
    }
    CZArray<HGOBJECT> found;
    long gridTotal = 0, scanTotal = 0;
    const double gridArea = PerSecond(2000, [&](int i) {
        found.RemoveAll();
        grid.GetHandles(found, centres[i % 200], kQueryRadius, nullptr, nullptr);
        gridTotal += found.GetSize();
    });
    const int scanQueries = count >= 10000 ? 50 : 500;
    const double scanArea =
        PerSecond(scanQueries, [&](int i) { scanTotal += ScanRadius(level, centres[i % 200], kQueryRadius); });
    const double gridRay = PerSecond(500, [&](int i) {
        grid.BlockedOnRay(caster, centres[i % 200], ends[i % 200], kRayStep, kAll, 0, HGOBJECT(0), -2, nullptr);
    });
    const int scanRays = count >= 10000 ? 5 : 50;
    const double scanRay = PerSecond(scanRays, [&](int i) { ScanRay(level, caster, centres[i % 200], ends[i % 200]); });

    // Re-plotting: 1,000 objects each moved one unit.
    const int moves = 1000;
    BenchTimes moveTimes;
    for (int repeat = 0; repeat < 3; ++repeat)
        moveTimes.Add(TimeOnce([&] {
            for (int i = 0; i < moves; ++i) {
                GPhysical* object = level.Objects[(i * 7919) % count];
                CVector to = object->GetPos();
                to.x = to.x < kSide / 2 ? to.x + 1.0f : to.x - 1.0f;
                object->SetPos(to);
            }
        }));
    printf("%6d objects  radius: grid %9.0f/s  scan %9.0f/s  x%-7.1f  ray: grid %8.0f/s  scan %8.1f/s  x%-8.1f  "
           "move %.2f us/object\n",
           count, gridArea, scanArea, gridArea / scanArea, gridRay, scanRay, gridRay / scanRay,
           moveTimes.Median() / moves * 1e6);
    (void)gridTotal;
    (void)scanTotal;
    for (GPhysical* object : level.Objects)
        object->Destroy();
    GObject::DestroyObjects();
}

} // namespace

int main()
{
    GObject::InitEditableInfo();
    GObject::Create(GSectionMgr::ClassId, HGOBJECT(0), nullptr);
    GmvWorld::Create();
    TestMap map(kSide + 1, kSide + 1, 1, CVector(0.0f, 0.0f, 0.0f));
    map.Build();
    GSectionMgr::pThe->New(nullptr);
    CollisionBlock block = CollisionBlock::Sphere(0.5f, 0x03, NullVector, 0.5f);
    TCollidingResource resource(block.Get());
    printf("Section grid against a scan of every object (32-bit build under user emulation: absolute\n"
           "figures are pessimistic, the ratios hold)\n");
    for (int count : {1000, 10000, 65000})
        Measure(count, &resource);
    return 0;
}
