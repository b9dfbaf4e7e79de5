#pragma once
// Animation records of packed data: hierarchy animations (a root position and one packed
// rotation per channel per key, with triggers, fades and per-channel weights) for skeletons,
// and simple animations (a frame index over time) for sprites. Each makes the animator that
// plays it on a render instance.
#include "core/math/CVector.h"
#include "engine/zel/CZelStaticResource.h"

class CAnimator;
class CRendStaticSkeleton;

#pragma pack(push, 1)
struct Trigger {
    enum {
        SET_ANIMATION_FLAG = 0,
        STOP_ANIMATION = 1,
        RESET_ANIMATION = 2,
        OUTPUT_ANIMATION_MOVEMENT = 3,
        ANIMATION_SEND_MESSAGE = 4,
        END_OF_LIST = 0xFFFF,
    };
    float Time;
    unsigned long Flag;
    unsigned short Type;
    unsigned short ChannelIndex;
};

// Three 10-bit angles per rotation (x in bits 0-9, y 10-19, z 20-29), 1024 to the turn.
struct HierarchyKey {
    float Time;
    CVector Position;
    unsigned long Rots[0];
};

struct SimpleKey {
    float Time;
    unsigned long Index;
};

class CAnimation : public CZelStaticResource {
public:
    // A new animator on the engine heap, null when the heap has no room.
    virtual CAnimator* CreateAnimator() = 0;
    // Gives back a record made at run time; stored records stay.
    virtual void FreeAnimation() {}
};

class CHierarchyAnimation : public CAnimation {
public:
    enum { kMaxChannels = 32 };

    // A stored record whose counts run past its bytes is refused: it keeps no keys, and
    // animators ignore it.
    CHierarchyAnimation();
    CAnimator* CreateAnimator() override;
    // Records made by CRenderer::CreateAnimation live on the engine heap.
    void FreeAnimation() override;

    bool IsPlayable() const { return NoKeys > 0 && pKeys; }
    HierarchyKey* Key(unsigned long index) const
    {
        return reinterpret_cast<HierarchyKey*>(reinterpret_cast<char*>(pKeys) + index * KeySize);
    }
    // Bytes of a record with n channels: the header, the weights and nothing else.
    static unsigned long HeaderSize(int channels) { return 48 + 4 * channels; }

    Trigger* pTriggers;
    float EndTime;
    float FadeIn;
    float FadeOut;
    unsigned short NumChannels;
    unsigned short KeySize;
    unsigned long ActiveChannels;
    CRendStaticSkeleton* pSkeleton;
    unsigned long NoKeys;
    HierarchyKey* pKeys;
    CVector* pMovementKeys;
    float RootWeight;
    float Weights[0];
};

class CSimpleAnimation : public CAnimation {
public:
    CSimpleAnimation();
    CAnimator* CreateAnimator() override;

    bool IsPlayable() const { return NoKeys > 0 && pKeys; }

    Trigger* pTriggers;
    float EndTime;
    unsigned long NoKeys;
    SimpleKey* pKeys;
};
#pragma pack(pop)
static_assert(sizeof(Trigger) == 12, "Trigger");
static_assert(sizeof(HierarchyKey) == 16, "HierarchyKey");
static_assert(sizeof(CHierarchyAnimation) == 48, "CHierarchyAnimation");
static_assert(sizeof(SimpleKey) == 8, "SimpleKey");
static_assert(sizeof(CSimpleAnimation) == 20, "CSimpleAnimation");

// The trigger list from first up to and including its end record lies inside loaded data.
bool TriggerListFits(const Trigger* first);
