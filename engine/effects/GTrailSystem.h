#pragma once
// A particle system whose path-style particles each drag a ribbon: every particle records its
// position into a ring of points at a fixed period, and the ribbons are drawn after the
// particles with their look taken from a chain of particle definitions.
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/TrailRibbon.h"

// The ring a particle's extra word holds.
struct TrailRing {
    int Filled;
    int Capacity;
    int Write;
    float Timer;
    TrailPoint* pPoints;
};

class GTrailSystem : public GParticleSystem {
    DECLARE_GOBJECT(GTrailSystem, GParticleSystem)

    GTrailSystem();
    ~GTrailSystem() override;

    bool Process() override;
    bool Render() override;
    void SpawnParticle(ParticleStub* particle) override;
    bool UpdateParticle(ParticleStub* particle, float accumulated) override;
    void DestroyParticle(ParticleStub* particle) override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    virtual void PrepareParticle();

    // The trail's definition chain; GetParticle(index) still names a live particle.
    using GParticleSystem::GetParticle;
    rhu::ParticleDef* GetParticle() const { return pParticle; }
    void SetParticle(rhu::ParticleDef* def)
    {
        pParticle = def;
        PrepareParticle();
    }
    int GetKeyCount() const { return KeyCount; }
    const TrailKey* GetKeys() const { return pKeys; }
    static const TrailRing* RingOf(const ParticleStub& particle) { return static_cast<TrailRing*>(particle.pExtra); }

    rhu::ParticleDef* pParticleOverride;
    rhu::ParticleDef* pParticle;
    float TrailSpan;
    float TrailPeriod;
    int Anchored;

private:
    void DrawRing(const TrailRing& ring, const CVector& view, float now);

    TrailKey* pKeys;
    int KeyCount;
};
