#pragma once
// Drives the morph value and the tint of a resource on its own render instance: by hand, or
// moving with a velocity, an acceleration and a wind term, looping or bouncing between 0 and 1;
// the tint follows four keys along the way.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;

class GMeshLerper : public GEffect {
    DECLARE_GOBJECT(GMeshLerper, GEffect)

    enum { KEYS = 4 };
    enum LoopStyles { LOOP_NONE = 0, LOOP_WRAP = 1, LOOP_BOUNCE = 2 };

    GMeshLerper();
    ~GMeshLerper() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    float GetMaxLERP() const { return LastFrame; }
    void SetManualLERP(float value, int useManual)
    {
        ManualLERP = value;
        UseManual = useManual;
    }
    float GetPosition() const { return Current; }
    const CVector4& GetTint() const { return Tint; }
    CRender& GetRender() { return RenderInstance; }

    CRendResource* pResource;
    float LastFrame;
    float CullRadius;
    DWORD RendPriority;
    int UseManual;
    float ManualLERP;
    int LoopStyle;
    float LoopPos;
    float WindMin, WindMax, WindMinVelocity, WindMaxVelocity;
    float Velocity;
    float Accel;
    float TintTime[KEYS];
    float Red[KEYS], Green[KEYS], Blue[KEYS], Alpha[KEYS];

private:
    void ProcessState();
    float WindTerm() const;

    float Current;
    CVector4 Tint;
    CRender RenderInstance;
};
