// Culling and submitting a scene: renders spread over a 1,000 by 1,000 unit field, seen by a
// camera looking straight down at about 1% of it. For 1,000, 10,000 and 100,000 renders it
// prints the microseconds per frame of the scene tree's cull-and-draw beside a brute-force
// frustum test of every render's box in the same run, and their ratio. Both submit the same
// renders; the tree's cost should follow the visible renders, not the total.
#include <stdio.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "engine/render/COctTree.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

namespace {

// Counts what is submitted to it, the least a drawing resource does.
class CountingResource : public CRendResource {
public:
    void Render(CRender*) override { ++Submitted; }
    unsigned long Submitted = 0;
};

const float kField = 1000.0f;
const float kHeight = 100.0f;

using Clock = std::chrono::steady_clock;

void LoadCameraOverField()
{
    CMatrix camera;
    camera.LookAt(CVector(kField / 2, kField / 2, kHeight), CVector(kField / 2, kField / 2, 0), CVector(0, 1, 0));
    for (int row = 0; row < 4; ++row)
        camera.m[4 * row + 2] = -camera.m[4 * row + 2];
    LoadCamera(0, camera);
    // The ground seen spans 1% of the field at the camera's height.
    const float aspect = 640.0f / 480.0f;
    const float halfHeight = std::sqrt(0.01f * kField * kField / aspect) / 2;
    CMatrix projection;
    projection.Perspective(2 * std::atan(halfHeight / kHeight), aspect, 1.0f, 1000.0f);
    for (int row = 0; row < 4; ++row)
        projection.m[4 * row + 1] = -projection.m[4 * row + 1];
    LoadProjection(0, projection);
}

struct Scene {
    std::vector<CVector> Positions;
    CRender* Renders;
    int Count;
};

void BuildScene(Scene& scene, int count, CRendResource* resource)
{
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> across(0.0f, kField), up(0.0f, 10.0f);
    scene.Count = count;
    scene.Positions.resize(count);
    scene.Renders = new CRender[count];
    for (int i = 0; i < count; ++i) {
        scene.Positions[i] = CVector(across(random), across(random), up(random));
        CRender& r = scene.Renders[i];
        r.Attach(&scene.Positions[i], nullptr, nullptr, nullptr);
        r.SetCullRadius(1.0f);
        r.Attach(resource, 0);
        r.Link();
    }
    COctTree::Rebuild();
}

void FreeScene(Scene& scene)
{
    for (int i = 0; i < scene.Count; ++i)
        scene.Renders[i].Unlink();
    delete[] scene.Renders;
    COctTree::EmptyAll();
}

// Every render of the display list tested against the frustum by its box.
void BruteForce(const ViewFrustum& frustum)
{
    for (CRender* r = CRender::FirstRender.GetListNext(); r; r = r->GetListNext()) {
        const CVector& p = *r->GetPos();
        const float radius = r->GetCullRadius();
        if (COctTree::BoxVisible(frustum, CVector(p.x - radius, p.y - radius, p.z - radius),
                                 CVector(p.x + radius, p.y + radius, p.z + radius)))
            r->Display();
    }
}

template <class F> double MicrosecondsPerFrame(F frame)
{
    int frames = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    do {
        frame();
        ++frames;
        elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    } while (elapsed < 300000.0 || frames < 5);
    return elapsed / frames;
}

} // namespace

int main()
{
    LoadCameraOverField();
    CRenderer::CurrentResViewport = 0;
    ViewFrustum frustum;
    COctTree::BuildFrustum(0, 0.0f, 0.0f, 640.0f, 480.0f, frustum);

    printf("%9s %9s %14s %14s %8s\n", "renders", "visible", "tree us/frame", "brute us/frame", "ratio");
    for (int count : {1000, 10000, 100000}) {
        CountingResource resource;
        Scene scene;
        BuildScene(scene, count, &resource);
        resource.Submitted = 0;
        COctTree::CullAndDraw(0, frustum);
        const unsigned long visible = resource.Submitted;
        resource.Submitted = 0;
        BruteForce(frustum);
        if (resource.Submitted != visible) {
            printf("the tree submitted %lu renders, brute force %lu\n", visible, resource.Submitted);
            return 1;
        }
        const double tree = MicrosecondsPerFrame([&] { COctTree::CullAndDraw(0, frustum); });
        const double brute = MicrosecondsPerFrame([&] { BruteForce(frustum); });
        printf("%9d %9lu %14.2f %14.2f %7.1fx\n", count, visible, tree, brute, brute / tree);
        FreeScene(scene);
    }
    return 0;
}
