#pragma once
// Plays a simple animation: walks its triggers and shows the frame index of the key reached.
#include "engine/render/CAnimator.h"

class CSimpleAnimation;
struct SimpleKey;
struct Trigger;

class CSimpleAnimator : public CAnimator {
public:
    CSimpleAnimator();

    void Attach(CRender* render, CAnimation* animation, float speed, int* flagWord, int keepTime) override;
    void AttachAnimationData(CRender* render, unsigned long id, float speed, float weight, int* flagWord) override;
    void SetTimecode(CRender* render, unsigned long id, float time) override;
    void ReScaleAnimation(CRender* render, float speed) override;
    void DeleteAnimFlag(int* flagWord) override;
    CAnimation* GetAnimation() override;
    void Animate(CRender* render, int unused) override;
    bool DescribeAnimation(CRender* render, unsigned long id, float& speed, float& weight, float& time,
                           float& endTime) override;

    float GetTime() const { return Time; }
    float GetSpeed() const { return Speed; }

private:
    void WalkTriggers();

    float Time;
    float Speed;
    int FrameIndex;
    CSimpleAnimation* pAnimation;
    SimpleKey* pKey;
    SimpleKey* pKeyEnd;
    Trigger* pTrigger;
    int* pFlagWord;
};
