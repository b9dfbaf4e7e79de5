#pragma once
// Plays hierarchy animations on a skeleton: up to four base animations (cross-fading into one
// another) and four overlays on top, blended into one pose per frame and handed to the
// render's resource. Frames that reach a flag trigger are split in two so that the pose at the
// trigger is kept in a small cache shared by all animators, for whoever reads attach points
// when the flag is seen.
#include "core/math/CVector.h"
#include "engine/render/CAnimator.h"

class CHierarchyAnimation;
class CRendStaticSkeleton;
struct HierarchyKey;
struct Trigger;

class CHierarchyAnimator : public CAnimator {
public:
    enum { kBaseSlots = 4, kSlots = 8, kChannels = 32, kPoseCacheSize = 16 };

    struct AnimSlot {
        float Time; // -1 until the first frame after the attach
        float Speed;
        float EndTime;
        CHierarchyAnimation* pAnimation; // null = free
        HierarchyKey* pKey;              // first key later than the time, or the last key
        HierarchyKey* pKeyEnd;
        CVector Movement; // root movement of this pass
        Trigger* pTrigger;
        int* pFlagWord;
        float TargetWeight;
        float Weight;
        float WeightRate; // per second of frame time
        unsigned long OverlayId;
        int OutputMovement;
    };

    struct PoseCacheEntry {
        unsigned long Stamp; // the renderer frame that uses it
        CVector Root;
        CVector Rots[kChannels];
    };

    CHierarchyAnimator();

    void Attach(CRender* render, CAnimation* animation, float speed, int* flagWord, int keepTime) override;
    void AttachOverlay(CRender* render, CAnimation* animation, float speed, float weight, int* flagWord,
                       unsigned long* idOut, bool syncTime) override;
    void AttachAnimationData(CRender* render, unsigned long id, float speed, float weight, int* flagWord) override;
    void AttachWeight(CRender* render, unsigned long id, float weight) override;
    void SetTimecode(CRender* render, unsigned long id, float time) override;
    void ReScaleAnimation(CRender* render, float speed) override;
    void DeleteAnimFlag(int* flagWord) override;
    void KillAnimation(CRender* render, unsigned long id) override;
    CAnimation* GetAnimation() override;
    void Animate(CRender* render, int unused) override;
    bool ApplyCachedPose(CRender* render) override;
    bool RegisterAnimationMovementPointer(CVector* movement) override;
    bool RegisterAnimationMessageObject(HGOBJECT object) override;
    bool DescribeAnimation(CRender* render, unsigned long id, float& speed, float& weight, float& time,
                           float& endTime) override;

    const AnimSlot& GetSlot(int index) const { return Slots[index]; }
    int MovementHasEnded() const { return MovementEnded; }
    const PoseCacheEntry* GetPendingPose() const { return pPendingPose; }

    // Shared by every animator of the process.
    static PoseCacheEntry PoseCache[kPoseCacheSize];
    static unsigned long LastOverlayId;
    // Frees every cache entry (for a new game or a test).
    static void ResetPoseCache();

    // A blended pose: flags bit 0 a root position, bit 1 root movement.
    struct Pose {
        int Flags;
        CVector Position;
        float RootWeight;
        CVector Movement;
        float MoveWeight;
        unsigned long Angles[kChannels][3];
        float Weights[kChannels];
    };

private:
    void FillSlot(AnimSlot& slot, CHierarchyAnimation* animation, float time, float speed, int* flagWord,
                  float targetWeight);
    AnimSlot* FindSlot(unsigned long id);
    AnimSlot* FindBaseSlot(unsigned long id);
    void FreeSlot(AnimSlot& slot) { slot.pAnimation = nullptr; }
    bool AdvanceSlot(AnimSlot& slot, float dt, bool isOverlay);
    void WalkTriggers(AnimSlot& slot, float& t0, bool& accumulate);
    void AccumulateMovement(AnimSlot& slot, float from, float to);
    float TimeToFlagTrigger(const AnimSlot& slot, float dt) const;
    void SlotPose(const AnimSlot& slot, Pose& out) const;
    bool BlendSlots(AnimSlot* group, Pose& out) const;
    // One pass over the slots; false when no slot of either group plays.
    bool Pass(float dt, CVector& root, CVector* rots, CVector& movement, bool& hasMovement);
    void Send(int messageType, unsigned long value);
    CRendStaticSkeleton* FirstSkeleton() const;

    PoseCacheEntry* pPendingPose;
    CVector* pMovement;
    int Reserved[3];
    int MovementEnded;
    HGOBJECT MessageObject;
    AnimSlot* pCurrentSlot;
    AnimSlot* pBaseSlots;
    AnimSlot* pOverlaySlots;
    AnimSlot Slots[kSlots];
};
