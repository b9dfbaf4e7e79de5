#pragma once
// A rectangle of terrain filled with the particles of one particle system: while the field is
// in view it spawns particles at random points at a rate that follows its area and the wind,
// and on coming into view it first simulates up to a cycle of emission so the area does not
// start empty. A field naming wake particles also serves the wake trackers of moving units.
#include "engine/effects/GDebrisField.h"
#include "engine/include/RhuTypes.h"

class CEmbeddedFillData;
class GParticleSystem;

class GEmitterField : public GDebrisField {
    DECLARE_GOBJECT(GEmitterField, GDebrisField)

    GEmitterField();
    ~GEmitterField() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Populate() override;
    void Depopulate() override;

    // Spawns count particles at random points of the field (shelves may drop some).
    void EmitBatch(int count);

    // The longest pre-simulation, whatever the level data says.
    static constexpr float kCycleTime = 7.5f;
    // Pre-simulation steps at most this long.
    static constexpr float kPreStep = 0.25f;
    // The particle budget channel of the field systems.
    static const int kBudgetChannel = 9;

    // First of the fields that name a wake particle.
    static GEmitterField* pFirstWake;

    CEmbeddedFillData* pParticleSystem;
    GParticleSystem* system;
    float HeightOffsetMin, HeightOffsetMax;
    float HeightOffsetPost;
    float Frequency;
    float Density;
    int IgnoreWind;
    int IgnoreGround;
    float HighShelf;
    int HighShelfMode; // 0 none, 1 drop the particle, 2 clamp onto the shelf
    float LowShelf;
    int LowShelfMode;
    float CycleTime;
    float invHalfWidth, invHalfHeight;
    float lastSeen;
    float emitCarry;
    rhu::ParticleDef* pWakeEffectRest;
    rhu::ParticleDef* pWakeEffectMobile;
    GEmitterField* nextWake;
    GEmitterField* prevWake;

private:
    // The particles due over dt at the field's rate, the fraction carried.
    int DueOver(float dt);
    void CreateSystem();
    void PreSimulate();
    bool ShelveHeight(float& z) const;
};
