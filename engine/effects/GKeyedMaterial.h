#pragma once
// Animates up to four materials of the parent's mesh. Each override names a material and
// follows its own chain of keys read from particle definitions, stepped at a fixed 30 steps a
// second; colour, second colour, angles and texture offset blend between keys and reach the
// parent's render instance as its material override list. When every chain has run out the
// list is removed and the effect ends.
#include "engine/include/RhuTypes.h"
#include "engine/render/GEffect.h"
#include "engine/render/Material.h"

class GKeyedMaterial : public GEffect {
    DECLARE_GOBJECT(GKeyedMaterial, GEffect)

    GKeyedMaterial();

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // The key OvrDefs[index] becomes current.
    virtual void PrepareParticle(int index);

    enum { kMaxOverrides = 4 };
    static constexpr float kStep = 1.0f / 30.0f;

    // One override's animation: values at the key's start and end, its clock and its scroll.
    struct OverrideState {
        float StartColour[4];
        float EndColour[4];
        DWORD Spare0[2];
        float StartSecond[3];
        float EndSecond[3];
        float StartAngles[3];
        float EndAngles[3];
        float Life;
        float OOLife;
        float Elapsed;
        DWORD Spare1[3];
        float ScrollU, ScrollV;
        DWORD Spare2;
        rhu::ParticleDef* pKey; // null: the override has ended
        DWORD Spare3;
    };

    int OvrCount;
    DWORD OvrNames[kMaxOverrides];
    DWORD OvrEffects[kMaxOverrides];
    DWORD OvrFlags[kMaxOverrides];
    rhu::ParticleDef* OvrDefs[kMaxOverrides];
    OverrideState State[kMaxOverrides];
    float Clock; // time not yet stepped
    Material Entries[kMaxOverrides];
    int Mode; // >= 1: the list goes to the parent; otherwise -1 list ready, 0 none

private:
    void ReadKeyInto(const rhu::ParticleDef& key, OverrideState& state);
    void PrepareKey(OverrideState& state, rhu::ParticleDef* key);
    bool AnyRunning() const;
    void Step();
    void StepOverride(OverrideState& state);
    int BuildEntries();
    void BuildEntry(int index, Material& entry);
};
static_assert(sizeof(GKeyedMaterial::OverrideState) == 33 * 4, "an override's state is 33 words");
static_assert(sizeof(Material) == 23 * 4, "an override entry is the renderer's 23-word material");
