#include "engine/render/CHierarchyAnimator.h"

#include <windows.h>

#include <cstring>

#include "engine/object/CGameTimer.h"
#include "engine/object/CoreMessages.h"
#include "engine/object/GObject.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"

CHierarchyAnimator::PoseCacheEntry CHierarchyAnimator::PoseCache[kPoseCacheSize];
unsigned long CHierarchyAnimator::LastOverlayId = 0;

namespace {

const double kAngleToRadians = 6.283185307179586 / 4294967296.0;

// The stamps start on a frame that never comes, so every entry starts free.
struct PoseCacheReset {
    PoseCacheReset() { CHierarchyAnimator::ResetPoseCache(); }
} ResetAtLoad;

unsigned long PackedAngle(unsigned long rotation, int axis) { return ((rotation >> (10 * axis)) & 1023UL) << 22; }

// from + g x (to - from), the difference taken the short way round.
unsigned long LerpAngle(unsigned long from, unsigned long to, double g)
{
    return from + (unsigned long)(long long)(g * (double)(long)(to - from));
}

CVector Lerp(const CVector& a, const CVector& b, float g)
{
    return CVector(a.x + (b.x - a.x) * g, a.y + (b.y - a.y) * g, a.z + (b.z - a.z) * g);
}

void SetBit31(int* flagWord)
{
    if (flagWord)
        *flagWord |= int(0x80000000UL);
}

HierarchyKey* SecondKey(const CHierarchyAnimation* animation) { return animation->Key(animation->NoKeys > 1 ? 1 : 0); }

} // namespace

void CHierarchyAnimator::ResetPoseCache()
{
    for (PoseCacheEntry& entry : PoseCache)
        entry.Stamp = 0xFFFFFFFFUL;
}

CHierarchyAnimator::CHierarchyAnimator()
    : pPendingPose(nullptr), pMovement(nullptr), Reserved{0, 0, 0}, MovementEnded(1), MessageObject(0),
      pCurrentSlot(Slots), pBaseSlots(Slots), pOverlaySlots(Slots + kBaseSlots)
{
    std::memset(static_cast<void*>(Slots), 0, sizeof Slots);
}

void CHierarchyAnimator::FillSlot(AnimSlot& slot, CHierarchyAnimation* animation, float time, float speed,
                                  int* flagWord, float targetWeight)
{
    slot.pAnimation = animation;
    slot.Time = time;
    slot.Speed = speed;
    slot.pKey = SecondKey(animation);
    slot.pKeyEnd = animation->Key(animation->NoKeys);
    slot.EndTime = animation->Key(animation->NoKeys - 1)->Time;
    slot.Movement = CVector(0.0f, 0.0f, 0.0f);
    slot.pTrigger = animation->pTriggers;
    slot.TargetWeight = targetWeight;
    slot.pFlagWord = flagWord;
    slot.OverlayId = 0;
    slot.OutputMovement = 0;
    pCurrentSlot = &slot;
    // Triggers the start time has already passed are not fired; stops and loops still are.
    while (slot.pTrigger && slot.Time >= slot.pTrigger->Time && slot.pTrigger->Type != Trigger::STOP_ANIMATION &&
           slot.pTrigger->Type != Trigger::RESET_ANIMATION && slot.pTrigger->Type != Trigger::END_OF_LIST)
        ++slot.pTrigger;
}

void CHierarchyAnimator::Attach(CRender*, CAnimation* animation, float speed, int* flagWord, int keepTime)
{
    CHierarchyAnimation* hierarchy = static_cast<CHierarchyAnimation*>(animation);
    if (!hierarchy || !hierarchy->IsPlayable())
        return;
    const float start = keepTime && pBaseSlots[0].pAnimation ? pBaseSlots[0].Time : -1.0f;
    AnimSlot* chosen = nullptr;
    if (hierarchy->FadeIn == 0.0f) {
        for (int i = 0; i < kBaseSlots; ++i)
            FreeSlot(pBaseSlots[i]);
        chosen = &pBaseSlots[0];
        chosen->Weight = 1.0f;
        chosen->WeightRate = 0.0f;
    } else {
        for (int i = 0; i < kBaseSlots && !chosen; ++i)
            if (!pBaseSlots[i].pAnimation)
                chosen = &pBaseSlots[i];
        if (!chosen) {
            chosen = &pBaseSlots[0];
            for (int i = 1; i < kBaseSlots; ++i)
                if (pBaseSlots[i].Time > chosen->Time)
                    chosen = &pBaseSlots[i];
        }
        const float rate = speed / hierarchy->FadeIn;
        for (int i = 0; i < kBaseSlots; ++i) {
            AnimSlot& slot = pBaseSlots[i];
            if (!slot.pAnimation)
                continue;
            slot.WeightRate = -(rate * slot.Weight);
            if (!(slot.WeightRate < 0.0f)) {
                SetBit31(slot.pFlagWord);
                FreeSlot(slot);
            }
        }
        chosen->Weight = 0.0f;
        chosen->WeightRate = rate;
    }
    FillSlot(*chosen, hierarchy, start, speed, flagWord, 1.0f);
}

void CHierarchyAnimator::AttachOverlay(CRender*, CAnimation* animation, float speed, float weight, int* flagWord,
                                       unsigned long* idOut, bool syncTime)
{
    CHierarchyAnimation* hierarchy = static_cast<CHierarchyAnimation*>(animation);
    if (!hierarchy || !hierarchy->IsPlayable())
        return;
    AnimSlot* chosen = nullptr;
    for (int i = 0; i < kSlots - kBaseSlots && !chosen; ++i)
        if (!pOverlaySlots[i].pAnimation)
            chosen = &pOverlaySlots[i];
    if (!chosen) {
        chosen = &pOverlaySlots[0];
        for (int i = 1; i < kSlots - kBaseSlots; ++i)
            if (pOverlaySlots[i].Time > chosen->Time)
                chosen = &pOverlaySlots[i];
    }
    if (hierarchy->FadeIn != 0.0f) {
        chosen->Weight = 0.0f;
        chosen->WeightRate = weight / hierarchy->FadeIn * speed;
    } else {
        chosen->Weight = weight;
        chosen->WeightRate = 0.0f;
    }
    const float start = syncTime && pBaseSlots[0].pAnimation ? pBaseSlots[0].Time : -1.0f;
    FillSlot(*chosen, hierarchy, start, speed, flagWord, weight);
    if (idOut) {
        // Ids are never 0: 0 names the current slot.
        if (++LastOverlayId == 0)
            LastOverlayId = 1;
        chosen->OverlayId = LastOverlayId;
        *idOut = LastOverlayId;
    }
}

CHierarchyAnimator::AnimSlot* CHierarchyAnimator::FindSlot(unsigned long id)
{
    AnimSlot* slot = nullptr;
    if (id == 0)
        slot = pCurrentSlot;
    else
        for (int i = 0; i < kSlots && !slot; ++i)
            if (Slots[i].OverlayId == id)
                slot = &Slots[i];
    return slot && slot->pAnimation ? slot : nullptr;
}

CHierarchyAnimator::AnimSlot* CHierarchyAnimator::FindBaseSlot(unsigned long id)
{
    for (int i = 0; i < kBaseSlots; ++i)
        if (pBaseSlots[i].pAnimation && pBaseSlots[i].OverlayId == id)
            return &pBaseSlots[i];
    return nullptr;
}

// A new target weight: a lower one is taken at once, a higher one is faded to by the end of
// the animation's fade-in, or taken at once when the fade-in is over.
static void RetargetWeight(CHierarchyAnimator::AnimSlot& slot, bool isBase, float weight)
{
    slot.TargetWeight = isBase ? 1.0f : weight;
    if (slot.TargetWeight < slot.Weight)
        slot.Weight = slot.TargetWeight;
    const float fadeIn = slot.pAnimation->FadeIn;
    if (fadeIn > slot.Time && !(slot.WeightRate < 0.0f)) {
        const float rate = slot.Speed / (fadeIn - slot.Time) * (slot.TargetWeight - slot.Weight);
        if (rate > 0.0f)
            slot.WeightRate = rate;
    }
    if (slot.WeightRate == 0.0f && slot.TargetWeight > slot.Weight)
        slot.Weight = slot.TargetWeight;
}

void CHierarchyAnimator::AttachAnimationData(CRender*, unsigned long id, float speed, float weight, int* flagWord)
{
    AnimSlot* slot = FindSlot(id);
    if (!slot || speed == 0.0f)
        return;
    slot->Speed = speed;
    slot->pFlagWord = flagWord;
    RetargetWeight(*slot, slot < pOverlaySlots, weight);
}

void CHierarchyAnimator::AttachWeight(CRender*, unsigned long id, float weight)
{
    AnimSlot* slot = FindSlot(id);
    if (!slot || !(weight > 0.0f) || slot->Speed == 0.0f)
        return;
    RetargetWeight(*slot, slot < pOverlaySlots, weight);
}

void CHierarchyAnimator::SetTimecode(CRender*, unsigned long id, float time)
{
    if (AnimSlot* slot = FindBaseSlot(id))
        slot->Time = time;
}

void CHierarchyAnimator::ReScaleAnimation(CRender*, float speed)
{
    if (pBaseSlots[0].pAnimation && pBaseSlots[0].Speed != 0.0f)
        pBaseSlots[0].Speed = speed;
}

void CHierarchyAnimator::DeleteAnimFlag(int* flagWord)
{
    for (AnimSlot& slot : Slots)
        if (slot.pFlagWord == flagWord)
            slot.pFlagWord = nullptr;
}

void CHierarchyAnimator::KillAnimation(CRender*, unsigned long id)
{
    if (id == 0)
        return;
    for (AnimSlot& slot : Slots)
        if (slot.OverlayId == id && slot.pAnimation) {
            FreeSlot(slot);
            return;
        }
}

CAnimation* CHierarchyAnimator::GetAnimation() { return pCurrentSlot->pAnimation; }

bool CHierarchyAnimator::RegisterAnimationMovementPointer(CVector* movement)
{
    pMovement = movement;
    return true;
}

bool CHierarchyAnimator::RegisterAnimationMessageObject(HGOBJECT object)
{
    MessageObject = object;
    return true;
}

bool CHierarchyAnimator::DescribeAnimation(CRender*, unsigned long id, float& speed, float& weight, float& time,
                                           float& endTime)
{
    AnimSlot* slot = FindBaseSlot(id);
    if (!slot)
        return false;
    speed = slot->Speed;
    weight = slot->TargetWeight;
    time = slot->Time;
    endTime = slot->EndTime;
    return true;
}

CRendStaticSkeleton* CHierarchyAnimator::FirstSkeleton() const
{
    for (const AnimSlot& slot : Slots)
        if (slot.pAnimation)
            return slot.pAnimation->pSkeleton;
    return nullptr;
}

bool CHierarchyAnimator::ApplyCachedPose(CRender* render)
{
    bool playing = false;
    for (const AnimSlot& slot : Slots)
        playing |= slot.pAnimation != nullptr;
    if (!pPendingPose || !playing)
        return false;
    PoseCacheEntry* entry = pPendingPose;
    pPendingPose = nullptr;
    if (CRendResource* resource = render->GetResource())
        resource->ApplyAnimation(entry->Root, entry->Rots, FirstSkeleton());
    return true;
}

// ---- advancing ----

void CHierarchyAnimator::Send(int messageType, unsigned long value)
{
    static CAnimMessage* animMessage = nullptr;
    static CAnimMoveMessage* moveMessage = nullptr;
    GObject* object = MessageObject.IsNull() ? nullptr : GObject::GetGobject(MessageObject);
    if (!object)
        return;
    CMessage* message;
    if (messageType == CAnimMessage::CMessageId) {
        if (!animMessage)
            animMessage = static_cast<CAnimMessage*>(CMessage::Create(CAnimMessage::CMessageId));
        animMessage->SoundId = value;
        message = animMessage;
    } else {
        if (!moveMessage)
            moveMessage = static_cast<CAnimMoveMessage*>(CMessage::Create(CAnimMoveMessage::CMessageId));
        message = moveMessage;
    }
    if (message && object->OnFilterMessage(message))
        object->OnReceiveMessage(message);
}

void CHierarchyAnimator::AccumulateMovement(AnimSlot& slot, float from, float to)
{
    const CHierarchyAnimation* animation = slot.pAnimation;
    if (!animation->pMovementKeys || !slot.OutputMovement || from == to)
        return;
    const float lo = from < to ? from : to, hi = from < to ? to : from;
    CVector sum(0.0f, 0.0f, 0.0f);
    for (unsigned long k = 1; k < animation->NoKeys; ++k) {
        const float start = animation->Key(k - 1)->Time, end = animation->Key(k)->Time;
        const float length = end - start;
        const float overlap = (hi < end ? hi : end) - (lo > start ? lo : start);
        if (!(length > 0.0f) || !(overlap > 0.0f))
            continue;
        const float share = overlap >= length ? 1.0f : overlap / length;
        const CVector& move = animation->pMovementKeys[k];
        sum = CVector(sum.x + move.x * share, sum.y + move.y * share, sum.z + move.z * share);
    }
    if (from > to)
        sum = CVector(-sum.x, -sum.y, -sum.z);
    slot.Movement = CVector(slot.Movement.x + sum.x, slot.Movement.y + sum.y, slot.Movement.z + sum.z);
}

void CHierarchyAnimator::WalkTriggers(AnimSlot& slot, float& t0, bool& accumulate)
{
    CHierarchyAnimation* animation = slot.pAnimation;
    while (slot.pTrigger && slot.Time >= slot.pTrigger->Time) {
        const Trigger& t = *slot.pTrigger++;
        switch (t.Type) {
        case Trigger::STOP_ANIMATION:
            if (t0 >= 0.0f)
                AccumulateMovement(slot, t0, t.Time);
            accumulate = false;
            slot.Speed = 0.0f;
            [[fallthrough]];
        case Trigger::SET_ANIMATION_FLAG:
            if (slot.pFlagWord) {
                *slot.pFlagWord |= int(t.Flag);
                if (t.Flag & 0x80000000UL)
                    slot.pFlagWord = nullptr;
            }
            if (t.Type == Trigger::STOP_ANIMATION)
                return;
            break;
        case Trigger::RESET_ANIMATION:
            if (t.Time > 0.0f) {
                do {
                    AccumulateMovement(slot, t0, t.Time);
                    slot.Time -= t.Time;
                    t0 = 0.0f;
                } while (slot.Time >= t.Time);
            } else {
                // A loop of no length would never end: the clock stays at its start.
                slot.Time = 0.0f;
                t0 = 0.0f;
            }
            slot.pKey = SecondKey(animation);
            slot.pTrigger = animation->pTriggers;
            if (!(t.Time > 0.0f))
                return;
            break;
        case Trigger::OUTPUT_ANIMATION_MOVEMENT:
            if (animation->pMovementKeys) {
                Send(CAnimMoveMessage::CMessageId, 0);
                slot.OutputMovement = 1;
            }
            break;
        case Trigger::ANIMATION_SEND_MESSAGE:
            Send(CAnimMessage::CMessageId, t.Flag);
            break;
        case Trigger::END_OF_LIST:
            OutputDebugStringA("Error in timeline triggers.\n");
            if (slot.pFlagWord)
                *slot.pFlagWord = int(0xFFFFFFFFUL);
            slot.pFlagWord = nullptr;
            slot.pTrigger = nullptr;
            return;
        default:
            break;
        }
    }
}

// True when a base slot that was putting out root movement ended.
bool CHierarchyAnimator::AdvanceSlot(AnimSlot& slot, float dt, bool isOverlay)
{
    if (!slot.pAnimation)
        return false;
    slot.Movement = CVector(0.0f, 0.0f, 0.0f);
    if (slot.Time < 0.0f) {
        slot.Time = 0.0f;
        return false;
    }
    float t0 = slot.Time;
    slot.Time += dt * slot.Speed;
    bool accumulate = true;
    WalkTriggers(slot, t0, accumulate);
    if (accumulate && t0 >= 0.0f)
        AccumulateMovement(slot, t0, slot.Time);

    slot.Weight += dt * slot.WeightRate;
    if (slot.Weight > slot.TargetWeight) {
        slot.Weight = slot.TargetWeight;
        slot.WeightRate = 0.0f;
    }
    const CHierarchyAnimation* animation = slot.pAnimation;
    if (isOverlay && !(slot.WeightRate < 0.0f) && slot.Time >= animation->FadeOut) {
        // A fade-out of no length ends the overlay now.
        const float span = animation->EndTime - animation->FadeOut;
        slot.WeightRate = span > 0.0f ? -(slot.Speed * slot.Weight / span) : 0.0f;
        slot.Weight += slot.WeightRate * (slot.Time - animation->FadeOut);
        if (!(slot.WeightRate < 0.0f))
            slot.Weight = -1.0f;
    }
    if (slot.Weight < 0.0f) {
        SetBit31(slot.pFlagWord);
        const bool ended = slot.OutputMovement && !isOverlay;
        FreeSlot(slot);
        return ended;
    }
    while (slot.Time >= slot.pKey->Time && slot.pKey + 1 < slot.pKeyEnd)
        slot.pKey = reinterpret_cast<HierarchyKey*>(reinterpret_cast<char*>(slot.pKey) + animation->KeySize);
    return false;
}

float CHierarchyAnimator::TimeToFlagTrigger(const AnimSlot& slot, float dt) const
{
    if (!slot.pAnimation || slot.Time < 0.0f || slot.Speed == 0.0f)
        return -1.0f;
    float projected = slot.Time + dt * slot.Speed, current = slot.Time, result = -1.0f;
    const Trigger* t = slot.pTrigger;
    while (t && projected >= t->Time) {
        if (t->Type == Trigger::STOP_ANIMATION || t->Type == Trigger::END_OF_LIST)
            break;
        if (t->Type == Trigger::RESET_ANIMATION) {
            if (!(t->Time > 0.0f))
                break;
            projected -= t->Time;
            current -= t->Time;
            t = slot.pAnimation->pTriggers;
            continue;
        }
        if (t->Type == Trigger::SET_ANIMATION_FLAG && slot.pFlagWord)
            result = (t->Time - current) / slot.Speed;
        ++t;
    }
    return result;
}

// ---- blending ----

void CHierarchyAnimator::SlotPose(const AnimSlot& slot, Pose& out) const
{
    const CHierarchyAnimation* animation = slot.pAnimation;
    const HierarchyKey* next = slot.pKey;
    const HierarchyKey* previous = next;
    float g = 0.0f;
    if (next != animation->pKeys && slot.Time < next->Time) {
        previous = reinterpret_cast<const HierarchyKey*>(reinterpret_cast<const char*>(next) - animation->KeySize);
        const float length = next->Time - previous->Time;
        g = length > 0.0f ? (slot.Time - previous->Time) / length : 0.0f;
        g = g < 0.0f ? 0.0f : g > 1.0f ? 1.0f : g;
    }
    out.Flags = 1;
    out.Position = Lerp(previous->Position, next->Position, g);
    out.RootWeight = slot.Weight * animation->RootWeight;
    out.Movement = CVector(0.0f, 0.0f, 0.0f);
    out.MoveWeight = 0.0f;
    if (slot.OutputMovement && pMovement) {
        out.Flags |= 2;
        out.Movement = slot.Movement;
        out.MoveWeight = out.RootWeight;
    }
    for (int i = 0; i < kChannels; ++i) {
        const bool active = i < animation->NumChannels && (animation->ActiveChannels >> i & 1);
        for (int axis = 0; axis < 3; ++axis)
            out.Angles[i][axis] =
                active ? LerpAngle(PackedAngle(previous->Rots[i], axis), PackedAngle(next->Rots[i], axis), g) : 0;
        out.Weights[i] = active ? slot.Weight * animation->Weights[i] : 0.0f;
    }
}

namespace {

// The weighted mean of angles taken round the one whose furthest neighbour (counting
// forwards) is nearest, so that a cluster across the wrap point stays together.
unsigned long MeanAngle(const unsigned long* angles, const float* weights, int count)
{
    int reference = -1;
    unsigned long best = 0;
    for (int r = 0; r < count; ++r) {
        if (!(weights[r] > 0.0f))
            continue;
        unsigned long widest = 0;
        for (int k = 0; k < count; ++k)
            if (weights[k] > 0.0f && angles[k] - angles[r] > widest)
                widest = angles[k] - angles[r];
        if (reference < 0 || widest < best) {
            reference = r;
            best = widest;
        }
    }
    if (reference < 0)
        return 0;
    double sum = 0.0, total = 0.0;
    for (int k = 0; k < count; ++k) {
        if (!(weights[k] > 0.0f))
            continue;
        sum += (double)weights[k] * (double)(unsigned long)(angles[k] - angles[reference]);
        total += weights[k];
    }
    return angles[reference] + (unsigned long)(sum / total);
}

} // namespace

bool CHierarchyAnimator::BlendSlots(AnimSlot* group, Pose& out) const
{
    Pose poses[kBaseSlots];
    int count = 0;
    for (int i = 0; i < kBaseSlots; ++i)
        if (group[i].pAnimation)
            SlotPose(group[i], poses[count++]);
    if (count == 0)
        return false;
    if (count == 1) {
        out = poses[0];
        return true;
    }
    out.Flags = 1;
    CVector position(0.0f, 0.0f, 0.0f), movement(0.0f, 0.0f, 0.0f);
    float rootTotal = 0.0f, moveTotal = 0.0f;
    out.RootWeight = out.MoveWeight = 0.0f;
    for (int k = 0; k < count; ++k) {
        const Pose& p = poses[k];
        position = CVector(position.x + p.Position.x * p.RootWeight, position.y + p.Position.y * p.RootWeight,
                           position.z + p.Position.z * p.RootWeight);
        rootTotal += p.RootWeight;
        if (p.RootWeight > out.RootWeight)
            out.RootWeight = p.RootWeight;
        if (p.Flags & 2) {
            out.Flags |= 2;
            movement = CVector(movement.x + p.Movement.x * p.MoveWeight, movement.y + p.Movement.y * p.MoveWeight,
                               movement.z + p.Movement.z * p.MoveWeight);
            moveTotal += p.MoveWeight;
            if (p.MoveWeight > out.MoveWeight)
                out.MoveWeight = p.MoveWeight;
        }
    }
    // With no weight anywhere the plain mean stands in.
    if (rootTotal > 0.0f)
        out.Position = CVector(position.x / rootTotal, position.y / rootTotal, position.z / rootTotal);
    else {
        out.Position = CVector(0.0f, 0.0f, 0.0f);
        for (int k = 0; k < count; ++k)
            out.Position =
                CVector(out.Position.x + poses[k].Position.x / count, out.Position.y + poses[k].Position.y / count,
                        out.Position.z + poses[k].Position.z / count);
    }
    out.Movement = moveTotal > 0.0f ? CVector(movement.x / moveTotal, movement.y / moveTotal, movement.z / moveTotal)
                                    : CVector(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < kChannels; ++i) {
        float weights[kBaseSlots];
        out.Weights[i] = 0.0f;
        for (int k = 0; k < count; ++k) {
            weights[k] = poses[k].Weights[i];
            if (weights[k] > out.Weights[i])
                out.Weights[i] = weights[k];
        }
        for (int axis = 0; axis < 3; ++axis) {
            unsigned long angles[kBaseSlots];
            for (int k = 0; k < count; ++k)
                angles[k] = poses[k].Angles[i][axis];
            out.Angles[i][axis] = MeanAngle(angles, weights, count);
        }
    }
    return true;
}

bool CHierarchyAnimator::Pass(float dt, CVector& root, CVector* rots, CVector& movement, bool& hasMovement)
{
    bool ended = false;
    for (int i = 0; i < kSlots; ++i)
        ended |= AdvanceSlot(Slots[i], dt, i >= kBaseSlots);
    if (ended) {
        MovementEnded = 1;
        if (pMovement)
            *pMovement = CVector(0.0f, 0.0f, 0.0f);
    }
    static Pose a, b;
    const bool hasA = BlendSlots(pBaseSlots, a);
    const bool hasB = BlendSlots(pOverlaySlots, b);
    if (!hasA && !hasB)
        return false;
    const Pose& only = hasA ? a : b;
    root = hasA && hasB ? Lerp(a.Position, b.Position, b.RootWeight) : only.Position;
    const bool moveA = hasA && (a.Flags & 2), moveB = hasB && (b.Flags & 2);
    hasMovement = moveA || moveB;
    movement = moveA && moveB ? Lerp(a.Movement, b.Movement, b.MoveWeight)
               : moveA        ? a.Movement
               : moveB        ? b.Movement
                              : CVector(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < kChannels; ++i) {
        float radians[3];
        for (int axis = 0; axis < 3; ++axis) {
            const unsigned long angle =
                hasA && hasB ? LerpAngle(a.Angles[i][axis], b.Angles[i][axis], b.Weights[i]) : only.Angles[i][axis];
            radians[axis] = float((double)(long)angle * kAngleToRadians);
        }
        rots[i] = CVector(radians[0], radians[1], radians[2]);
    }
    return true;
}

void CHierarchyAnimator::Animate(CRender* render, int)
{
    const float dt = CGameTimer::tFrameTime;
    pPendingPose = nullptr;
    float split = -1.0f;
    for (const AnimSlot& slot : Slots) {
        const float t = TimeToFlagTrigger(slot, dt);
        if (t > split)
            split = t;
    }
    CVector root, rots[kChannels], movement;
    bool hasMovement = false, active;
    const unsigned long frame = CRenderer::FrameNumber;
    PoseCacheEntry* entry = nullptr;
    if (split > -1.0f)
        for (PoseCacheEntry& e : PoseCache)
            if (e.Stamp != frame) {
                entry = &e;
                break;
            }
    if (entry) {
        entry->Stamp = frame;
        pPendingPose = entry;
        Pass(split, entry->Root, entry->Rots, movement, hasMovement);
        hasMovement = false;
        active = Pass(dt - split, root, rots, movement, hasMovement);
    } else {
        active = Pass(dt, root, rots, movement, hasMovement);
    }
    if (!active)
        return;
    if (hasMovement) {
        root = CVector(root.x + movement.x, root.y + movement.y, root.z + movement.z);
        if (pMovement)
            *pMovement = movement;
    }
    if (CRendResource* resource = render->GetResource())
        resource->ApplyAnimation(root, rots, FirstSkeleton());
}
