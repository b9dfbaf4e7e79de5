#pragma once
// A directional light that lives for a while, fades towards the values of the light that
// follows it, creates that light and dies: chains of them change a level's light over time.
#include "engine/render/GDirectionalLight.h"

class CEmbeddedFillData;

class GChainLight : public GDirectionalLight {
    DECLARE_GOBJECT(GChainLight, GDirectionalLight)

    enum Phase { PHASE_ALIVE = 1, PHASE_DECAYING = 2, PHASE_NEXT_CREATED = 3 };

    GChainLight();

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    virtual void DoDeath();
    virtual void CreateNextLight();

    float GetDecayTime() const { return DecayTime; }
    int GetPhase() const { return CurrentPhase; }

    float LifeTime;
    float DecayTime;
    CEmbeddedFillData* pLinkData;

private:
    // A field of the next light: its own value, else its class default, else this light's.
    float NextValue(const char* name, float own) const;
    void Blend(float now);

    float EndTime;
    int CurrentPhase;
    float TargetIntensity;
    CVector TargetAmbient, TargetDiffuse, TargetRotation;
    float InverseDecay;
    float DecayStart;
};
