#pragma once
// Smoke, steam and dust: up to three emitter chains spawn particles that drift with gravity,
// damping, spin and the level's wind, fade out above a ceiling and are drawn as camera-facing
// quads. The system follows an object when told to, and destroys itself once its emitters are
// used up and its last particle has died.
#include "core/math/CMatrix.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/HGOBJECT.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

struct PrimVertex;

class GSmokeSystem : public GEffect {
    DECLARE_GOBJECT(GSmokeSystem, GEffect)

    enum { SLOTS = 3 };

    GSmokeSystem();
    ~GSmokeSystem() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    void PrepareEmitters();
    // Returns false when the particle died in this step.
    bool SimParticle(ParticleStub* particle, float seconds);
    void SmokeSpawnHelper(ParticleStub* particle, rhu::ParticleDef* def);
    // previousWeight: the share of last frame's placement; s: how far the stage has run.
    void ForceSpawn(int count, int slot, const CMatrix& previous, const CMatrix& current, float previousWeight, float s,
                    float presimulate);
    // Pushes particles within the radius away from the point, inner strength at the point and
    // outer strength at the radius.
    void Interact(const CVector& point, float radius, float inner, float outer);
    void Interact(const CVector& push);
    int GetNumParticles() const { return Count; }
    ParticleStub* GetParticle(int i) const { return ppParticles[i]; }
    void Follow(HGOBJECT object) { hFollow = object; }
    const CVector& GetWorldPosition() const { return WorldPosition; }

    // One emitter chain's running state.
    struct Slot {
        float Countdown; // seconds to the next emission
        float InnerStart, InnerEnd;
        float OuterStart, OuterEnd;
        float Lifespan; // of the current stage; below 0 for ever
        float Age;
        float Accumulator; // fractional particles owed
    };
    const Slot& GetSlot(int i) const { return Slots[i]; }

    rhu::EmitterDef* pEmitters[SLOTS];
    float CullRadius;
    DWORD AttachID;
    float Ceiling;
    float CeilingFade;
    DWORD RendPriority;
    int BudgetChannel;

private:
    void StartStage(Slot& slot, const rhu::EmitterDef* stage, bool fromEnd);
    bool RunSlot(int slot, float frameTime, const CMatrix& current);
    void Emit(int slot, float remaining, float frameTime, const CMatrix& current);
    CMatrix ComputeWorldMatrix();
    bool SimulateAll(float frameTime);
    void Release(ParticleStub* particle);
    void Grow(int total);
    void WriteParticle(const ParticleStub* particle, PrimVertex* vertices, const CVector& right, const CVector& up);

    CRender RenderInstance;
    HGOBJECT hFollow;
    CVector WorldPosition;
    float WindX, WindY;
    Slot Slots[SLOTS];
    int Count;
    int Capacity;
    ParticleStub** ppParticles;
    int FirstFrameDone;
    CMatrix PreviousMatrix;
};
