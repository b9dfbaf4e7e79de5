#pragma once
// Blood, debris and sparks: one emitter chain on a fixed step of 1/30 second sends particles
// flying ballistically; every so many of them is a colliding particle that lands on the
// terrain, leaves a decal and an effect object there and bounces or dies. The system can follow
// its parent's attach point or be ejected from it to carry on alone.
#include "core/math/CMatrix.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CEmbeddedFillData;
class CRendResource;
struct PrimVertex;

class GSplatterSystem : public GEffect {
    DECLARE_GOBJECT(GSplatterSystem, GEffect)

    enum { LANDING_CHOICES = 5 };

    GSplatterSystem();
    ~GSplatterSystem() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Eject(CRender* owner) override;
    bool Render() override;
    virtual void Pause(bool paused) { Paused = paused; }
    virtual void PrepareEmitter();

    void Splatter_SpawnHelper(ParticleStub* particle, rhu::ParticleDef* def);
    void ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float previousWeight, float s);
    void Interact(const CVector& point, float radius, float inner, float outer);
    void Interact(const CVector& push);

    rhu::EmitterDef* GetEmitter() const { return pEmitter; }
    void SetEmitter(rhu::EmitterDef* emitter) { pEmitter = emitter; }
    void SetParentAttach(DWORD point) { ParentAttach = point; }
    bool IsPaused() const { return Paused != 0; }
    int GetNumParticles() const { return Count; }
    ParticleStub* GetParticle(int i) const { return ppParticles[i]; }
    static bool IsColliding(const ParticleStub* particle) { return particle->pExtra == kCollidingMark; }
    // How many times the system has asked for its sound.
    int GetSoundRequests() const { return SoundRequests; }

    rhu::EmitterDef* pEmitter;
    rhu::EmitterDef* pEmitOverride;
    float BoundingBloat;
    DWORD ParentAttach;
    int UseMeshes;
    int CollidePhaseShift;
    int AutoAttach;
    int SelfRender;
    int SpawnEjected;
    int SelfOrient;
    CRendResource* pResource;
    DWORD RendPriority;
    DWORD SoundID;
    float FOWMode;
    CEmbeddedFillData* pDecal[LANDING_CHOICES];
    CEmbeddedFillData* pEffect[LANDING_CHOICES];
    float DecalFrequency;
    float DecalAccum;
    int BudgetChannel;

private:
    // A colliding particle is marked in the word other systems keep their extra record in.
    static void* const kCollidingMark;

    void StartStage(const rhu::EmitterDef* stage, bool fromEnd);
    CMatrix ComputeWorldMatrix();
    void SetUpOwnRender();
    bool IsVisible();
    bool StepParticle(ParticleStub* particle);
    bool Land(ParticleStub* particle);
    void CreateLandingObjects(const ParticleStub* particle);
    void EmitStep(const CMatrix& current, float frameTime);
    bool AdvanceStage();
    void Release(ParticleStub* particle);
    void Grow(int total);
    void RenderMeshes();
    void WriteParticle(const ParticleStub* particle, PrimVertex* vertices, const CVector& right, const CVector& up);

    int Paused;
    float StepAccumulator;
    float Countdown;
    float InnerStart, InnerEnd, OuterStart, OuterEnd;
    float Lifespan;
    float Age;
    float CountAccumulator;
    CMatrix PreviousMatrix;
    int PreviousFilled;
    int Count;
    int Capacity;
    ParticleStub** ppParticles;
    CRender RenderInstance;
    CVector WorldPosition;
    SoundStatus hSound;
    int Ejected;
    int OwnRenderSet;
    int SoundRequests;
};

// The same system, left out of a full save.
class GSplatterSystemNoSave : public GSplatterSystem {
    DECLARE_GOBJECT(GSplatterSystemNoSave, GSplatterSystem)
};
