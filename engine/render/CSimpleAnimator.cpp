#include "engine/render/CSimpleAnimator.h"

#include <windows.h>

#include "core/heap/ZHeap.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CRender.h"

void DestroyAnimator(CAnimator* animator)
{
    if (!animator)
        return;
    animator->~CAnimator();
    zfree(animator);
}

CSimpleAnimator::CSimpleAnimator()
    : Time(-1.0f), Speed(1.0f), FrameIndex(-1), pAnimation(nullptr), pKey(nullptr), pKeyEnd(nullptr), pTrigger(nullptr),
      pFlagWord(nullptr)
{
}

// A record refused at load keeps no keys and plays nothing.
void CSimpleAnimator::Attach(CRender*, CAnimation* animation, float speed, int* flagWord, int)
{
    CSimpleAnimation* simple = static_cast<CSimpleAnimation*>(animation);
    if (!simple || !simple->IsPlayable())
        return;
    pAnimation = simple;
    Time = -1.0f;
    Speed = speed;
    FrameIndex = -1;
    pKey = simple->pKeys + (simple->NoKeys > 1 ? 1 : 0);
    pKeyEnd = simple->pKeys + simple->NoKeys;
    pTrigger = simple->pTriggers;
    pFlagWord = flagWord;
}

void CSimpleAnimator::AttachAnimationData(CRender*, unsigned long, float speed, float, int* flagWord)
{
    Speed = speed;
    pFlagWord = flagWord;
}

void CSimpleAnimator::SetTimecode(CRender*, unsigned long, float time)
{
    if (pAnimation)
        Time = time;
}

void CSimpleAnimator::ReScaleAnimation(CRender*, float speed) { Speed = speed; }

void CSimpleAnimator::DeleteAnimFlag(int* flagWord)
{
    if (pFlagWord == flagWord)
        pFlagWord = nullptr;
}

CAnimation* CSimpleAnimator::GetAnimation() { return pAnimation; }

bool CSimpleAnimator::DescribeAnimation(CRender*, unsigned long, float&, float& weight, float& time, float& endTime)
{
    if (!pAnimation)
        return false;
    weight = 1.0f;
    time = Time;
    endTime = pAnimation->EndTime;
    return true;
}

void CSimpleAnimator::WalkTriggers()
{
    while (pTrigger && Time >= pTrigger->Time) {
        const Trigger& t = *pTrigger++;
        switch (t.Type) {
        case Trigger::STOP_ANIMATION:
            Speed = 0.0f;
            [[fallthrough]];
        case Trigger::SET_ANIMATION_FLAG:
            if (pFlagWord) {
                *pFlagWord |= int(t.Flag);
                if (t.Flag & 0x80000000UL)
                    pFlagWord = nullptr;
            }
            if (t.Type == Trigger::STOP_ANIMATION)
                return;
            break;
        case Trigger::RESET_ANIMATION:
            // A loop of no length would never end: the clock stays at its start.
            if (t.Time <= 0.0f) {
                Time = 0.0f;
                pTrigger = pAnimation->pTriggers;
                pKey = pAnimation->pKeys + (pAnimation->NoKeys > 1 ? 1 : 0);
                return;
            }
            Time -= t.Time;
            pKey = pAnimation->pKeys + (pAnimation->NoKeys > 1 ? 1 : 0);
            pTrigger = pAnimation->pTriggers;
            break;
        case Trigger::END_OF_LIST:
            OutputDebugStringA("Error in timeline triggers.\n");
            if (pFlagWord)
                *pFlagWord = int(0xFFFFFFFFUL);
            pFlagWord = nullptr;
            pTrigger = nullptr;
            return;
        default:
            break;
        }
    }
}

void CSimpleAnimator::Animate(CRender* render, int)
{
    if (!pAnimation)
        return;
    if (Time < 0.0f)
        Time = 0.0f;
    else
        Time += CGameTimer::tFrameTime * Speed;
    WalkTriggers();
    while (Time >= pKey->Time && pKey + 1 < pKeyEnd)
        ++pKey;
    // The key reached shows from its time on, the last one included.
    const SimpleKey* shown = (Time >= pKey->Time || pKey == pAnimation->pKeys) ? pKey : pKey - 1;
    const int index = int(shown->Index);
    if (index != FrameIndex) {
        FrameIndex = index;
        render->Index(index);
    }
}
