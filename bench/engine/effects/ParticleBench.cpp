// Usage: engine_particle_bench
// Nanoseconds per particle per frame to simulate one 1/30 s step of a particle system and build
// its quads, for 10,000, 100,000 and 1,000,000 live particles, beside a plain
// structure-of-arrays loop doing the same integration and writing the same quads (the floor).
// Quads go into one reused buffer of 64, the size the renderer grants per reservation.
#include <stdio.h>

#include <climits>
#include <cmath>
#include <vector>

#include "bench/BenchStats.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/PrimBatch.h"

namespace {

const int kQuads = 64;
PrimVertex g_Quads[kQuads * 4];

rhu::ParticleDef Def()
{
    rhu::ParticleDef def = {};
    def.MinColor.X = 200;
    def.MinColor.W = 255;
    def.MaxColor.X = 255;
    def.MaxColor.Y = 100;
    def.Size.X = def.Size.Y = 0.5f;
    def.Scale = rhu::RangeData{1.0f, 2.0f, 1.0f};
    def.MinDamp.X = def.MinDamp.Y = def.MinDamp.Z = 0.01f;
    def.MaxDamp.X = def.MaxDamp.Y = def.MaxDamp.Z = 0.02f;
    def.Gravity = 9.8f;
    def.Lifespan = rhu::RangeData{1000.0f, 1000.0f, 1.0f};
    def.Flags = rhu::PARDEF_ALPHA;
    return def;
}

// The particle system: one Process step, then every particle's quad.
double EngineFrame(GParticleSystem* system)
{
    return TimeOnce([&] {
        system->Process();
        CVector facing(0, 0, 0);
        const int n = system->GetNumParticles();
        for (int i = 0; i < n; ++i) {
            const ParticleStub& p = *system->GetParticle(i);
            GParticleSystem::BuildQuad(p, p.Position, facing, GParticleSystem::CurrentColour(p),
                                       g_Quads + 4 * (i & (kQuads - 1)));
        }
    });
}

struct Soa {
    std::vector<float> px, py, pz, vx, vy, vz, damp0, damp1, age, inv, scale, r0, r1, a;
    explicit Soa(int n)
        : px(n), py(n), pz(n), vx(n), vy(n), vz(n), damp0(n, 0.01f), damp1(n, 0.02f), age(n), inv(n, 0.001f),
          scale(n, 1.5f), r0(n, 200), r1(n, 255), a(n, 255)
    {
        for (int i = 0; i < n; ++i) {
            vx[i] = GlobalRandom.Rand(2.0f) - 1.0f;
            vy[i] = GlobalRandom.Rand(2.0f) - 1.0f;
            vz[i] = GlobalRandom.Rand(5.0f);
        }
    }
};

// The floor: the same damping, gravity and motion, and an axis-aligned quad of the lerped
// colour, over plain arrays.
double PlainFrame(Soa& s, int n)
{
    return TimeOnce([&] {
        const float step = kParticleStep, gravity = 9.8f, half = 0.5f;
        for (int i = 0; i < n; ++i) {
            s.age[i] += step;
            const float t = Clamp01(s.age[i] * s.inv[i]);
            const float keep = 1.0f - (s.damp0[i] + (s.damp1[i] - s.damp0[i]) * t);
            s.vx[i] *= keep;
            s.vy[i] *= keep;
            s.vz[i] = s.vz[i] * keep - gravity / 30.0f;
            s.px[i] += s.vx[i] / 30.0f;
            s.py[i] += s.vy[i] / 30.0f;
            s.pz[i] += s.vz[i] / 30.0f;
            const float red = s.r0[i] + (s.r1[i] - s.r0[i]) * t;
            const D3DCOLOR colour = D3DCOLOR(s.a[i]) << 24 | D3DCOLOR(red) << 16;
            const float w = s.scale[i] * half;
            PrimVertex* v = g_Quads + 4 * (i & (kQuads - 1));
            const float corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
            for (int c = 0; c < 4; ++c)
                v[c] = PrimVertex{s.px[i] + corners[c][0] * w, s.py[i] + corners[c][1] * w, s.pz[i], 0, 0, 0, colour,
                                  (corners[c][0] + 1) / 2,     (1 - corners[c][1]) / 2};
        }
    });
}

} // namespace

int main()
{
    GlobalRandom.Seed(0xBE7C);
    ParticleBudgetTable[0] = INT_MAX;
    CGameTimer::tFrameTime = kParticleStep;
    rhu::ParticleDef def = Def();
    rhu::EmitterDef emitter = {};
    emitter.ArpetureIn = rhu::RangeData{0.0f, 0.5f, 1.0f};
    emitter.ArpetureEx = rhu::RangeData{0.5f, 1.0f, 1.0f};
    emitter.Velocity = rhu::RangeData{2.0f, 5.0f, 1.0f};
    emitter.Period = rhu::RangeData{1000.0f, 1000.0f, 1.0f};
    emitter.Lifespan = rhu::RangeData{-1.0f, -1.0f, 1.0f};
    emitter.pParticle = &def;

    printf("32-bit build run under emulation: figures are pessimistic; compare the columns.\n");
    printf("%10s %14s %14s %8s\n", "particles", "system ns/p", "plain ns/p", "ratio");
    const int counts[] = {10000, 100000, 1000000};
    const int frames[] = {40, 10, 4};
    for (int k = 0; k < 3; ++k) {
        const int n = counts[k];
        GParticleSystem* system = GParticleSystem::Create();
        system->BoundingBloat = -1.0f;
        system->SetEmitter(&emitter);
        system->Pause(true);
        CMatrix identity;
        identity.SetIdentity();
        system->ForceSpawn(n, identity, identity, 0.0f, 0.0f);
        Soa soa(n);
        BenchTimes ours, plain;
        for (int f = 0; f < frames[k]; ++f) {
            ours.Add(EngineFrame(system));
            plain.Add(PlainFrame(soa, n));
        }
        const double a = ours.Median() * 1e9 / n, b = plain.Median() * 1e9 / n;
        printf("%10d %14.1f %14.1f %8.2f\n", system->GetNumParticles(), a, b, a / b);
        system->Destroy();
        GObject::DestroyObjects();
    }
    return 0;
}
