#pragma once
// One particle that does not move: a single quad at the object's position (or at an attach
// point of its parent) whose colour, size and orientation run through a chain of particle
// definitions; the end of the chain ends the effect.
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class GStaticParticle : public GEffect {
    DECLARE_GOBJECT(GStaticParticle, GEffect)

    GStaticParticle();

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;
    virtual void PrepareParticle();

    rhu::ParticleDef* GetParticle() const { return pParticle; }
    void SetParticle(rhu::ParticleDef* def) { pParticle = def; }
    DWORD GetParentAttach() const { return ParentAttach; }
    void SetParentAttach(DWORD attach) { ParentAttach = attach; }
    // The definition the particle is in; null once it has finished.
    rhu::ParticleDef* CurrentDefinition() const { return Particle.pDef; }

    rhu::ParticleDef* pParticleOverride;
    rhu::ParticleDef* pParticle;
    float BoundingBloat;
    float Accumulated;
    ParticleStub Particle;
    CVector4 FogTint;
    DWORD ParentAttach;
    float FOWMode;
    float ZOffset;
    DWORD RendPriority;
    CRender OwnRender;

private:
    // The end values drawn from the next definition: colour, scale and orientation.
    void SampleEnd(const rhu::ParticleDef& next);
    bool SetUpRender();
};

// Registered variants: the same particle under other class flags.
class GStaticParticleNoSave : public GStaticParticle {
    DECLARE_GOBJECT(GStaticParticleNoSave, GStaticParticle)
};

class GStaticParticleEx : public GStaticParticle {
    DECLARE_GOBJECT(GStaticParticleEx, GStaticParticle)
};
