#pragma once
// What a render instance plays its animations through. The render makes one from the first
// animation attached to it and frees it with KillAnimation(); its animation methods forward
// here one to one.
#include "core/math/CVector.h"
#include "engine/object/HGOBJECT.h"

class CAnimation;
class CRender;

class CAnimator {
public:
    virtual ~CAnimator() {}

    virtual void Attach(CRender* render, CAnimation* animation, float speed, int* flagWord, int keepTime) = 0;
    virtual void AttachOverlay(CRender*, CAnimation*, float, float, int*, unsigned long*, bool) {}
    virtual void AttachAnimationData(CRender* render, unsigned long id, float speed, float weight, int* flagWord) = 0;
    virtual void AttachWeight(CRender*, unsigned long, float) {}
    virtual void SetTimecode(CRender* render, unsigned long id, float time) = 0;
    virtual void ReScaleAnimation(CRender* render, float speed) = 0;
    virtual void DeleteAnimFlag(int* flagWord) = 0;
    virtual void KillAnimation(CRender*, unsigned long) {}
    virtual CAnimation* GetAnimation() = 0;
    virtual void Animate(CRender* render, int unused) = 0;
    virtual bool ApplyCachedPose(CRender*) { return false; }
    virtual bool RegisterAnimationMovementPointer(CVector*) { return false; }
    virtual bool RegisterAnimationMessageObject(HGOBJECT) { return false; }
    virtual bool DescribeAnimation(CRender* render, unsigned long id, float& speed, float& weight, float& time,
                                   float& endTime) = 0;
};

// The heap block of an animator goes back with it.
void DestroyAnimator(CAnimator* animator);
