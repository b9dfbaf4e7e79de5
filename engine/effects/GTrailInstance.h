#pragma once
// A single ribbon that follows its object, or an attach point of its parent: the head is
// recorded into a ring of points every (load-scaled) period, the newest point follows the head
// each frame, and the ribbon is drawn as a camera-facing strip whose look comes from a chain
// of particle definitions. Ejected from its parent, the ribbon stays where it was and fades
// out over its span.
#include "engine/effects/TrailRibbon.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;

class GTrailInstance : public GEffect {
    DECLARE_GOBJECT(GTrailInstance, GEffect)

    GTrailInstance();
    ~GTrailInstance() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Eject(CRender* owner) override;
    bool Render() override;
    virtual void Pause(bool paused) { Paused = paused ? 1 : 0; }
    virtual void PrepareTrail();

    bool IsPaused() const { return Paused != 0; }
    rhu::ParticleDef* GetTrail() const { return pTrail; }
    void SetTrail(rhu::ParticleDef* trail) { pTrail = trail; }
    float GetFOWMode() const { return FOWMode; }
    void SetFOWMode(float mode) { FOWMode = mode; }
    int GetKeyCount() const { return KeyCount; }
    int GetCapacity() const { return Capacity; }
    int GetFilled() const { return Filled; }
    float GetEffectivePeriod() const { return EffectivePeriod; }
    const TrailPoint& GetPoint(int index) const { return pPoints[index]; }
    int GetWriteIndex() const { return WriteIndex; }

    BYTE Paused;
    rhu::ParticleDef* pTrailOverride;
    float Accumulated;
    float Countdown;
    CVector Head;
    float RemainingLife; // -1: unlimited
    TrailPoint* pPoints;
    int Capacity;
    int WriteIndex;
    int Filled;
    float FOWMode;
    DWORD ParentAttach;
    int AutoAttach;
    DWORD RendPriority;
    float CullRadius;
    int SelfRender;
    CRendResource* pResource;
    CRender OwnRender;
    rhu::ParticleDef* pTrail;
    float TrailSpan;
    float TrailPeriod;
    float EffectivePeriod;
    int Anchored;
    CVector LastRecorded;
    int Started;
    int SecondRecorded;
    TrailKey* pKeys;
    int KeyCount;
    int BudgetChannel;

private:
    void SetUpRender();
    void FollowHead();
    void Record(float now);
    bool RingFull() const;
    float FirstTime;
};
