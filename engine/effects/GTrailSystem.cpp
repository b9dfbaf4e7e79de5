#include "engine/effects/GTrailSystem.h"

#include "engine/effects/EffectObjects.h"
#include "core/heap/ZHeap.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GTrailSystem, 0x08008000)

GTrailSystem::GTrailSystem()
{
    if (EditableEvaluation != 0)
        return;
    pKeys = nullptr;
    KeyCount = 0;
    PrepareParticle();
}

GTrailSystem::~GTrailSystem()
{
    if (EditableEvaluation != 0)
        return;
    // The base gives the records back without its hooks: the rings go first.
    for (int i = 0; i < ParticleCount; ++i)
        DestroyParticle(pParticles[i]);
    zfree(pKeys);
}

int GTrailSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GParticleSystem::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "pParticleOverride", "ParticleDef*", pParticleOverride, kResolvedPointerFlags);
    AddEditable(cursor, "TrailSpan", "float", TrailSpan);
    AddEditable(cursor, "TrailPeriod", "float", TrailPeriod);
    AddEditable(cursor, "Anchored", "int", Anchored);
    return count + 5;
}

void GTrailSystem::PrepareParticle() { KeyCount = BuildTrailKeys(pParticle, TrailSpan, TrailPeriod, pKeys); }

void GTrailSystem::SpawnParticle(ParticleStub* particle)
{
    particle->pExtra = nullptr;
    if (KeyCount < 2 || !particle->pDef || !(particle->pDef->Flags & rhu::PARDEF_PATHSTYLE))
        return;
    TrailRing* ring = static_cast<TrailRing*>(zmalloc(sizeof(TrailRing)));
    ring->Filled = 0;
    ring->Capacity = KeyCount;
    ring->Write = 0;
    ring->Timer = 0.0f;
    ring->pPoints = static_cast<TrailPoint*>(zmalloc(static_cast<unsigned long>(KeyCount) * sizeof(TrailPoint)));
    particle->pExtra = ring;
}

bool GTrailSystem::UpdateParticle(ParticleStub* particle, float accumulated)
{
    TrailRing* ring = static_cast<TrailRing*>(particle->pExtra);
    if (!ring)
        return false;
    ring->Timer -= kParticleStep;
    if (ring->Timer > 0.0f)
        return false;
    ring->Timer += TrailPeriod;
    // An anchored ribbon stays where it was laid once its ring is full.
    if (Anchored && (ring->Write >= ring->Capacity - 1 || ring->Write >= KeyCount - 1))
        return false;
    TrailPoint& point = ring->pPoints[ring->Write];
    point.Position = particle->Position;
    // A particle spawned from outside the system's step has no step time yet.
    point.Time = CGameTimer::GameTime() - (accumulated == kNeverRun ? 0.0f : accumulated);
    const int prev = (ring->Write + ring->Capacity - 1) % ring->Capacity;
    const int before = (prev + ring->Capacity - 1) % ring->Capacity;
    if (ring->Filled > 0)
        AimTrailPoint(ring->pPoints[prev], point, ring->Filled > 2 ? &ring->pPoints[before] : nullptr);
    if (ring->Filled < ring->Capacity - 1)
        ++ring->Filled;
    ring->Write = (ring->Write + 1) % ring->Capacity;
    return false;
}

void GTrailSystem::DestroyParticle(ParticleStub* particle)
{
    TrailRing* ring = static_cast<TrailRing*>(particle->pExtra);
    if (!ring)
        return;
    zfree(ring->pPoints);
    zfree(ring);
    particle->pExtra = nullptr;
}

bool GTrailSystem::Process()
{
    if (GParticleSystem::Process())
        return true;
    if (pParticleOverride) {
        pParticle = pParticleOverride;
        pParticleOverride = nullptr;
        PrepareParticle();
    }
    return false;
}

void GTrailSystem::DrawRing(const TrailRing& ring, const CVector& view, float now)
{
    const int m = ring.Filled < KeyCount ? ring.Filled : KeyCount;
    if (m < 2)
        return;
    const int first = (ring.Write - m + ring.Capacity) % ring.Capacity;
    // An anchored ribbon keeps its look from where it started; a free one from its head.
    const bool anchored = Anchored != 0;
    DrawTrailRing(
        ring.pPoints, ring.Capacity, first, m, pKeys, KeyCount,
        [m, anchored](int j, const TrailPoint&) { return anchored ? j : m - 1 - j; }, view, now);
}

bool GTrailSystem::Render()
{
    GParticleSystem::Render();
    CVector view;
    if (KeyCount < 2 || !TrailViewDirection(Viewport, view))
        return false;
    const float now = CGameTimer::GameTime();
    // Every ribbon takes its draw state from the head key's definition.
    bool began = false;
    for (int i = 0; i < ParticleCount; ++i) {
        const TrailRing* ring = RingOf(*pParticles[i]);
        if (!ring || ring->Filled < 2)
            continue;
        if (!began)
            BeginTrailDrawing(*pKeys[0].pDef, RendPriority);
        began = true;
        DrawRing(*ring, view, now);
    }
    if (began)
        EndPrimitives();
    return false;
}
