// Fifty smoke systems and a rain system over a level for 600 frames: milliseconds a frame
// (simulation and drawing into the frame's effect list) with the budget presets in force
// against the same scene with budgets no scene reaches. The budget must keep the frame cheaper.
// Under emulation the full size takes long: "effects_bench FRAMES SYSTEMS" runs a smaller one.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "../../BenchStats.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GEffectBudget.h"
#include "engine/effects/GRainSystem.h"
#include "engine/effects/GSmokeSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GObject.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

namespace {

int kSystems = 50;
int kFrames = 600;

rhu::RangeData Range(float min, float max) { return rhu::RangeData{min, max, 1.0f}; }

struct Scene {
    rhu::ParticleDef Puff;
    rhu::EmitterDef Plume;
    std::vector<GSmokeSystem*> Smoke;
    GRainSystem* Rain = nullptr;

    Scene()
    {
        memset(&Puff, 0, sizeof Puff);
        Puff.MinColor.X = Puff.MinColor.Y = Puff.MinColor.Z = Puff.MinColor.W = 180;
        Puff.MaxColor = Puff.MinColor;
        Puff.Size.X = Puff.Size.Y = Puff.Size.Z = 0.5f;
        Puff.Scale = Range(0.5f, 1.0f);
        Puff.MinDamp.X = Puff.MinDamp.Y = Puff.MinDamp.Z = 0.02f;
        Puff.MaxDamp = Puff.MinDamp;
        Puff.Lifespan = Range(2.0f, 3.0f);
        Puff.Gravity = -0.5f;
        Puff.Flags = 2;
        memset(&Plume, 0, sizeof Plume);
        Plume.ArpetureEx = Range(0.2f, 0.4f);
        Plume.Velocity = Range(1.0f, 2.0f);
        Plume.Period = Range(-1, -1);
        Plume.Count = Range(30, 30);
        Plume.Lifespan = Range(-1, -1);
        Plume.pParticle = &Puff;
        for (int i = 0; i < kSystems; ++i) {
            GSmokeSystem* smoke = GSmokeSystem::Create();
            smoke->Position = CVector(float(i % 10) * 3.0f, float(i / 10) * 3.0f, 0.0f);
            smoke->pEmitters[0] = &Plume;
            smoke->CullRadius = 5;
            smoke->BudgetChannel = i % 2;
            smoke->PrepareEmitters();
            Smoke.push_back(smoke);
        }
        Rain = GRainSystem::Create();
    }
    ~Scene()
    {
        for (GSmokeSystem* smoke : Smoke)
            smoke->Destroy();
        Rain->Destroy();
    }
    // Seconds for all frames; the live particles at the end.
    double Run(int& particles)
    {
        CRenderDevice& device = CRenderer::GetDevice();
        const double seconds = TimeOnce([&] {
            for (int frame = 0; frame < kFrames; ++frame) {
                CGameTimer::tFrameTime = 1.0f / 30;
                for (GSmokeSystem* smoke : Smoke)
                    smoke->Process();
                device.BeginFrame();
                device.BeginLayer(0);
                SelectViewport(0);
                for (GSmokeSystem* smoke : Smoke)
                    smoke->Render();
                Rain->Render();
                device.EndLayer();
                device.EndFrame();
            }
        });
        particles = 0;
        for (GSmokeSystem* smoke : Smoke)
            particles += smoke->GetNumParticles();
        return seconds;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        kFrames = atoi(argv[1]) > 0 ? atoi(argv[1]) : kFrames;
    if (argc > 2)
        kSystems = atoi(argv[2]) > 0 ? atoi(argv[2]) : kSystems;
    // The object model builds its classes' prototypes first; objects made before it run none
    // of their constructors' set-up.
    GObject::InitEditableInfo();
    GlobalRandom.Seed(1);
    CRenderer* renderer = CRenderer::Create();
    if (renderer == nullptr || renderer->Init(nullptr, 0, 0) != 0) {
        fprintf(stderr, "effects_bench: no render device\n");
        return 1;
    }
    const fRECT full = {0, 0, 1, 1};
    renderer->ConfigureLayers(8);
    renderer->DefineLayer(0, RenderLayer::ENABLED, full, CVector4(0, 0, 0, 0), 1.0f);
    LoadEyeCamera(0, CVector(13.5f, -20.0f, 15.0f), CVector(13.5f, 6.0f, 0.0f));
    CMatrix projection;
    projection.Perspective(60.0f * 3.14159265f / 180.0f, 640.0f / 480.0f, 1.0f, 1000.0f);
    LoadProjection(0, projection);

    // Peer: budgets no scene reaches.
    for (int c = 0; c < BUDGET_CHANNELS; ++c)
        ParticleBudgetTable[c] = 1000000000;
    int unlimitedParticles = 0;
    double unlimited;
    {
        Scene scene;
        unlimited = scene.Run(unlimitedParticles);
    }
    // Ours: the budget object's default presets.
    GEffectBudget* budget = GEffectBudget::Create();
    budget->SelectPreset(0);
    int limitedParticles = 0;
    double limited;
    {
        Scene scene;
        limited = scene.Run(limitedParticles);
    }
    printf("effects: %d smoke systems and rain, %d frames (32-bit build under emulation: pessimistic)\n", kSystems,
           kFrames);
    printf("  without budget limits (peer): %.3f ms/frame, %d particles live at the end\n",
           unlimited * 1000.0 / kFrames, unlimitedParticles);
    printf("  with budget limits (ours):    %.3f ms/frame, %d particles live at the end\n", limited * 1000.0 / kFrames,
           limitedParticles);
    printf("  ratio ours/peer: %.3f\n", limited / unlimited);
    budget->Destroy();
    return 0;
}
