#pragma once
// A dynamic light whose colours, radius, attenuation and aperture run through a chain of
// particle definitions the way a particle's look does, so flashes and fires light the scene in
// step with their particles; it can start and stop a sound as its brightness crosses two
// thresholds. The definition's fields are read as light settings: lower colour → diffuse,
// upper colour → ambient, size → attenuation, lower scale → radius, absorption → aperture,
// facing bit 1 → on.
#include "engine/devices/GSoundSystem.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/GLight.h"

class GParticleLight : public GLight {
    DECLARE_GOBJECT(GParticleLight, GLight)

    GParticleLight();
    ~GParticleLight() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // Starts the current definition's stage and sets the light's type.
    void PrepareLight();

    rhu::ParticleDef* pParticleOverride;
    rhu::ParticleDef* pParticle;
    float Accumulated;
    float Age;
    float Lifespan;
    float InvLifespan;
    float Progress;
    int LearnRadius;
    int LightType;
    SoundStatus Sound;
    DWORD SoundID;
    float SoundOnIntensity;
    float SoundOffIntensity;
    float PreviousIntensity;

private:
    void StartStage();
    void PlaceLight();
    void SwitchSound();
};
