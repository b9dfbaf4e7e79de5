#pragma once
// A decal whose colour, size and texture run through a chain of particle definitions, as a
// static particle's do; the end of the chain ends it. Particle decals count against a cap per
// renderer frame. Locked tweens reuse one random number through the whole chain.
#include "engine/effects/GDynaDecal.h"

class GParticleDecal : public GDynaDecal {
    DECLARE_GOBJECT(GParticleDecal, GDynaDecal)

    GParticleDecal();
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Process() override;
    bool Render() override;
    virtual void PrepareParticle();

    rhu::ParticleDef* CurrentDefinition() const { return Particle.pDef; }

    rhu::ParticleDef* pParticleOverride;
    rhu::ParticleDef* pParticle;
    float ForceWidth, ForceHeight;
    ParticleStub Particle;
    float Accumulated;
    float LockColorTween, LockScaleTween, LockSpinTween;
    int ColorTween, ScaleTween, SpinTween; // the generator's draws, kept when locked

private:
    // A unit draw for one tween: the stored one when locked, else a fresh one (stored).
    float Draw(float lock, int& stored);
    void SampleEnd(const rhu::ParticleDef& def);
    void EnterDefinition(rhu::ParticleDef* def);
};

// Registered variants: the same decal under other class flags.
class GParticleDecalEx : public GParticleDecal {
    DECLARE_GOBJECT(GParticleDecalEx, GParticleDecal)
};

class GParticleDecalNoSave : public GParticleDecal {
    DECLARE_GOBJECT(GParticleDecalNoSave, GParticleDecal)
};
