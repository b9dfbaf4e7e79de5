#pragma once
// The emitter-driven particle effect: runs a chain of emitter stages that spawn particles from
// the shared pool, steps every particle through its chain of particle definitions at a fixed
// 30 steps per second on the game clock, and draws them as coloured quads batched by look. It
// hangs on its parent's render instance (optionally at an attach point) or draws through its
// own. Derived systems hook their own state onto each particle through the last three
// operations.
#include "core/math/CMatrix.h"
#include "engine/devices/GSoundSystem.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;
struct PrimVertex;

class GParticleSystem : public GEffect {
    DECLARE_GOBJECT(GParticleSystem, GEffect)

    GParticleSystem();
    ~GParticleSystem() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Eject(CRender* owner) override;
    bool Render() override;

    virtual void Pause(bool paused);
    virtual void PrepareEmitter();
    virtual void SpawnParticle(ParticleStub* particle);
    // True: the particle dies.
    virtual bool UpdateParticle(ParticleStub* particle, float accumulated);
    virtual void DestroyParticle(ParticleStub* particle);

    bool IsPaused() const { return Paused != 0; }
    rhu::EmitterDef* GetEmitter() const { return pEmitter; }
    void SetEmitter(rhu::EmitterDef* emitter)
    {
        pEmitter = emitter;
        PrepareEmitter();
    }
    void SetParentAttach(DWORD attach) { ParentAttach = attach; }
    DWORD GetParentAttach() const { return ParentAttach; }
    void SetFOWMode(float mode) { FOWMode = mode; }
    float GetFOWMode() const { return FOWMode; }
    int GetNumParticles() const { return ParticleCount; }
    ParticleStub* GetParticle(int index) const { return pParticles[index]; }
    void SetBoundingBloat(float bloat) { BoundingBloat = bloat; }

    // Spawns count particles (fewer under budget load) between the two emitter matrices.
    void ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float fraction, float progress);
    // The same with def as the first definition of the new particles.
    void ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float fraction, float progress,
                    rhu::ParticleDef* def);
    void Interact(const CVector& push);
    void Interact(const CVector& centre, float radius, float inner, float outer);

    // The particle's colour at its age (0..255 per component).
    static CVector4 CurrentColour(const ParticleStub& particle);
    // The four vertices of one particle's quad centred on position; facing holds the camera's
    // facing angles.
    static void BuildQuad(const ParticleStub& particle, const CVector& position, const CVector& facing,
                          const CVector4& colour, PrimVertex* out);

    // Sets the draw state of a batch of particles of this definition's look.
    static void BeginBatch(const rhu::ParticleDef& def, DWORD priority);
    // Where the viewport's camera stands and looks; false without one.
    static bool CameraEye(int viewport, CVector& eye, CVector& focus);
    // The camera's facing angles; false without a camera.
    static bool CameraFacing(int viewport, CVector& facing);
    // The rotation of the given Euler angles (no translation).
    static void RotationMatrix(const CVector& angles, CMatrix& out);

    static int ActiveSystems;
    static int ActiveParticles;

    rhu::EmitterDef* pEmitOverride;
    BYTE Paused;
    int BudgetChannel;
    CRender OwnRender;
    float PreProcess;
    rhu::EmitterDef* pEmitter;
    float BoundingBloat;
    float Accumulated;
    float EmitDelay;
    float ApertureIn, ApertureInNext;
    float ApertureEx, ApertureExNext;
    float StageLength;
    float StageTime;
    float FractionalCount;
    CVector WorldPosition;
    int AllowFlocking;
    float AltCollideHeight;
    CVector AltCollideNormal;
    int CollidePhaseShift;
    float CollideDirection;
    int ParticleCount;
    int Capacity;
    ParticleStub** pParticles;
    int EjectDeath;
    DWORD ParentAttach;
    int AutoAttach;
    int MatrixValid;
    CMatrix PreviousMatrix;
    int SpawnEjected;
    int SelfRender;
    int SelfOrient;
    float FOWMode;
    CRendResource* pResource;
    DWORD RendPriority;
    SoundStatus Sound;
    DWORD SoundID;

protected:
    // The system's world matrix, through the parent's attach point when there is one.
    void EmitterMatrix(CMatrix& out);

private:
    void SetUpOwnRender(CRendResource* resource);
    bool MayEmit();
    // One 1/30 s step; true when the system destroyed itself.
    bool Step(const CMatrix& current, float total, bool mayEmit, bool& emitted);
    // These return false when the particle died.
    bool AgeParticle(ParticleStub& p);
    bool MoveParticle(ParticleStub& p, const CVector& average);
    bool Collide(ParticleStub& p, float t);
    void KillParticle(int index);
    void PackParticles();
    void Emit(const CMatrix& current, float total, bool& emitted);
    // True when the emitter chain ended with no particle left and the system destroyed itself.
    bool AdvanceStage();
    void Grow(int needed);

    float WindX, WindY;
    bool Removed;
};

// Registered variants: the same system under other class flags.
class GParticleSystemNoSave : public GParticleSystem {
    DECLARE_GOBJECT(GParticleSystemNoSave, GParticleSystem)
};

class GParticleSystemEx : public GParticleSystem {
    DECLARE_GOBJECT(GParticleSystemEx, GParticleSystem)
};
