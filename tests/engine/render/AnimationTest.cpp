// The animation players: the trigger walk, loops, fades, overlay ids, the pose cache, root
// movement and the simple player, on records built in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "AnimationTestSupport.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CHierarchyAnimator.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"
#include "engine/render/CSimpleAnimator.h"
#include <mg_win32.h>

namespace {

const int kNoFlag = 0x7EEEEEEE;

class AnimatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CHierarchyAnimator::ResetPoseCache();
        CRenderer::FrameNumber = 100;
        render.SetResource(&recorder);
    }
    void TearDown() override { render.SetResource(nullptr); }

    // One frame of the given length.
    void Frame(CAnimator& animator, float dt)
    {
        ++CRenderer::FrameNumber;
        CGameTimer::tFrameTime = dt;
        animator.Animate(&render, 0);
    }

    PoseRecorder recorder;
    CRender render;
};

// ---- the trigger walk and loops ----

struct WalkCase {
    const char* name;
    std::vector<Trigger> triggers;
    std::vector<float> frames; // the first only starts the clock
    int flag;                  // kNoFlag: untouched
    float time;
    float speed;
};

Trigger T(float time, unsigned long flag, unsigned short type) { return Trigger{time, flag, type, 0}; }

class TriggerWalk : public AnimatorTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(TriggerWalk, SetsFlagsStopsAndLoops)
{
    const WalkCase& c = GetParam();
    AnimSpec spec;
    spec.Triggers = c.triggers;
    spec.KeyTimes = {0.0f, 1.0f, 2.0f};
    TestAnimation animation(spec);
    CHierarchyAnimator animator;
    int flag = 0;
    animator.Attach(&render, animation.Get(), 1.0f, &flag, 0);
    for (float dt : c.frames)
        Frame(animator, dt);
    if (c.flag == kNoFlag)
        EXPECT_EQ(flag, 0);
    else
        EXPECT_EQ(flag, c.flag);
    EXPECT_NEAR(animator.GetSlot(0).Time, c.time, 1e-5);
    EXPECT_EQ(animator.GetSlot(0).Speed, c.speed);
}

INSTANTIATE_TEST_SUITE_P(
    Animator, TriggerWalk,
    ::testing::Values(
        WalkCase{"FlagNotYetReached", {T(0.5f, 4, Trigger::SET_ANIMATION_FLAG)}, {0.0f, 0.3f}, kNoFlag, 0.3f, 1.0f},
        WalkCase{"FlagAtItsTime", {T(0.5f, 4, Trigger::SET_ANIMATION_FLAG)}, {0.0f, 0.3f, 0.3f}, 4, 0.6f, 1.0f},
        WalkCase{
            "FirstFrameOnlyStartsTheClock", {T(0.0f, 4, Trigger::SET_ANIMATION_FLAG)}, {5.0f}, kNoFlag, 0.0f, 1.0f},
        WalkCase{"Bit31ForgetsTheFlagWord",
                 {T(0.2f, 0x80000001, Trigger::SET_ANIMATION_FLAG), T(0.4f, 2, Trigger::SET_ANIMATION_FLAG)},
                 {0.0f, 0.5f},
                 int(0x80000001),
                 0.5f,
                 1.0f},
        WalkCase{"StopSetsItsFlagAndHalts",
                 {T(0.5f, 8, Trigger::STOP_ANIMATION), T(0.6f, 1, Trigger::SET_ANIMATION_FLAG)},
                 {0.0f, 0.7f},
                 8,
                 0.7f,
                 0.0f},
        WalkCase{"EndOfListMarksTheWord", {T(0.5f, 0, Trigger::END_OF_LIST)}, {0.0f, 0.6f}, -1, 0.6f, 1.0f},
        WalkCase{"UnknownTypesAreSkipped",
                 {T(0.1f, 16, 9), T(0.2f, 2, Trigger::SET_ANIMATION_FLAG)},
                 {0.0f, 0.3f},
                 2,
                 0.3f,
                 1.0f},
        WalkCase{"LoopWrapsOnce", {T(1.0f, 0, Trigger::RESET_ANIMATION)}, {0.0f, 1.25f}, kNoFlag, 0.25f, 1.0f},
        WalkCase{"LoopWrapsSeveralTimesInOneFrame",
                 {T(1.0f, 0, Trigger::RESET_ANIMATION)},
                 {0.0f, 3.5f},
                 kNoFlag,
                 0.5f,
                 1.0f},
        WalkCase{"LoopRestartsTheTriggers",
                 {T(0.25f, 1, Trigger::SET_ANIMATION_FLAG), T(1.0f, 0, Trigger::RESET_ANIMATION),
                  T(1.5f, 64, Trigger::SET_ANIMATION_FLAG)},
                 {0.0f, 1.5f},
                 1,
                 0.5f,
                 1.0f},
        // A loop of no length would never end: the clock is held at its start instead.
        WalkCase{
            "LoopOfNoLengthHoldsTheClock", {T(0.0f, 0, Trigger::RESET_ANIMATION)}, {0.0f, 0.5f}, kNoFlag, 0.0f, 1.0f}),
    [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST_F(AnimatorTest, TriggersPassedAtAnAttachThatKeepsTheTimeDoNotFire)
{
    AnimSpec first, second;
    first.KeyTimes = second.KeyTimes = {0.0f, 2.0f};
    second.Triggers = {T(0.2f, 1, Trigger::SET_ANIMATION_FLAG), T(0.6f, 2, Trigger::SET_ANIMATION_FLAG)};
    TestAnimation a(first), b(second);
    CHierarchyAnimator animator;
    animator.Attach(&render, a.Get(), 1.0f, nullptr, 0);
    Frame(animator, 0.0f);
    Frame(animator, 0.5f);
    int flag = 0;
    animator.Attach(&render, b.Get(), 1.0f, &flag, 1);
    EXPECT_FLOAT_EQ(animator.GetSlot(0).Time, 0.5f);
    Frame(animator, 0.2f);
    EXPECT_EQ(flag, 2);
}

// ---- fades ----

TEST_F(AnimatorTest, CutAttachFreesTheOtherBaseSlotsWithoutMarkingThem)
{
    AnimSpec fading;
    fading.FadeIn = 0.5f;
    TestAnimation cut(AnimSpec{}), fade(fading);
    CHierarchyAnimator animator;
    int first = 0, second = 0, third = 0;
    animator.Attach(&render, cut.Get(), 1.0f, &first, 0);
    animator.Attach(&render, fade.Get(), 1.0f, &second, 0);
    animator.Attach(&render, cut.Get(), 1.0f, &third, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(animator.GetSlot(i).pAnimation != nullptr, i == 0) << i;
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(animator.GetSlot(0).Weight, 1.0f);
}

TEST_F(AnimatorTest, FadeInCrossFadesAndEndsTheOldAnimation)
{
    AnimSpec fading;
    fading.FadeIn = 0.5f;
    TestAnimation cut(AnimSpec{}), fade(fading);
    CHierarchyAnimator animator;
    int oldFlag = 0;
    animator.Attach(&render, cut.Get(), 1.0f, &oldFlag, 0);
    Frame(animator, 0.125f);
    animator.Attach(&render, fade.Get(), 1.0f, nullptr, 0);
    EXPECT_FLOAT_EQ(animator.GetSlot(0).WeightRate, -2.0f);
    EXPECT_FLOAT_EQ(animator.GetSlot(1).WeightRate, 2.0f);
    struct Step {
        float oldWeight, newWeight;
    };
    // The new slot's first frame only starts its clock; the old one fades from the start.
    const Step steps[] = {{0.75f, 0.0f}, {0.5f, 0.25f}, {0.25f, 0.5f}, {0.0f, 0.75f}};
    for (const Step& s : steps) {
        Frame(animator, 0.125f);
        ASSERT_NE(animator.GetSlot(0).pAnimation, nullptr);
        EXPECT_EQ(animator.GetSlot(0).Weight, s.oldWeight);
        EXPECT_EQ(animator.GetSlot(1).Weight, s.newWeight);
    }
    Frame(animator, 0.125f);
    EXPECT_EQ(animator.GetSlot(0).pAnimation, nullptr);
    EXPECT_EQ(oldFlag, int(0x80000000));
    EXPECT_EQ(animator.GetSlot(1).Weight, 1.0f);
    Frame(animator, 0.125f);
    EXPECT_EQ(animator.GetSlot(1).Weight, 1.0f); // held at the target
    EXPECT_EQ(animator.GetSlot(1).WeightRate, 0.0f);
}

TEST_F(AnimatorTest, FadeInFreesABaseSlotWhoseWeightIsStillZeroAndMarksIt)
{
    AnimSpec fading;
    fading.FadeIn = 0.5f;
    TestAnimation fade(fading);
    CHierarchyAnimator animator;
    int first = 0;
    animator.Attach(&render, fade.Get(), 1.0f, &first, 0);
    EXPECT_EQ(animator.GetSlot(0).Weight, 0.0f);
    animator.Attach(&render, fade.Get(), 1.0f, nullptr, 0);
    EXPECT_EQ(animator.GetSlot(0).pAnimation, nullptr);
    EXPECT_NE(animator.GetSlot(1).pAnimation, nullptr);
    EXPECT_EQ(first, int(0x80000000));
}

struct OverlayFadeCase {
    const char* name;
    float fadeOut, endTime, speed;
    std::vector<float> weights; // after each frame; -1 = freed
};

class OverlayFade : public AnimatorTest, public ::testing::WithParamInterface<OverlayFadeCase> {};

TEST_P(OverlayFade, FadesOutBetweenFadeOutAndTheEnd)
{
    const OverlayFadeCase& c = GetParam();
    AnimSpec spec;
    spec.FadeOut = c.fadeOut;
    spec.EndTime = c.endTime;
    spec.KeyTimes = {0.0f, 4.0f};
    TestAnimation overlay(spec);
    CHierarchyAnimator animator;
    int flag = 0;
    animator.AttachOverlay(&render, overlay.Get(), c.speed, 1.0f, &flag, nullptr, false);
    for (size_t i = 0; i < c.weights.size(); ++i) {
        Frame(animator, 0.25f);
        const CHierarchyAnimator::AnimSlot& slot = animator.GetSlot(4);
        if (c.weights[i] < 0.0f) {
            EXPECT_EQ(slot.pAnimation, nullptr) << "frame " << i;
            EXPECT_EQ(flag, int(0x80000000));
        } else {
            ASSERT_NE(slot.pAnimation, nullptr) << "frame " << i;
            EXPECT_NEAR(slot.Weight, c.weights[i], 1e-5) << "frame " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Animator, OverlayFade,
    ::testing::Values(
        OverlayFadeCase{"FadesToZeroAtTheEnd", 0.5f, 1.0f, 1.0f, {1.0f, 1.0f, 1.0f, 0.5f, 0.0f, -1.0f}},
        OverlayFadeCase{"FadeOutAtTheEndEndsAtOnce", 1.0f, 1.0f, 1.0f, {1.0f, 1.0f, 1.0f, 1.0f, -1.0f}},
        OverlayFadeCase{
            "FadeOutBeyondTheEndEndsWhenReached", 1.5f, 1.0f, 1.0f, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, -1.0f}},
        OverlayFadeCase{"SpeedZeroAtTheFadeOutEndsAtOnce", 0.0f, 1.0f, 0.0f, {1.0f, -1.0f}}),
    [](const ::testing::TestParamInfo<OverlayFadeCase>& info) { return std::string(info.param.name); });

TEST_F(AnimatorTest, WeightChangesTakeLowerTargetsAtOnceAndFadeToHigherOnes)
{
    AnimSpec spec;
    spec.FadeIn = 1.0f;
    spec.KeyTimes = {0.0f, 4.0f};
    spec.FadeOut = 4.0f;
    spec.EndTime = 4.0f;
    TestAnimation overlay(spec);
    CHierarchyAnimator animator;
    unsigned long id = 0;
    animator.AttachOverlay(&render, overlay.Get(), 1.0f, 0.8f, nullptr, &id, false);
    Frame(animator, 0.0f);
    Frame(animator, 0.5f); // weight 0.4 on the way to 0.8
    EXPECT_NEAR(animator.GetSlot(4).Weight, 0.4f, 1e-5);
    animator.AttachWeight(&render, id, 0.2f);
    EXPECT_FLOAT_EQ(animator.GetSlot(4).Weight, 0.2f);
    animator.AttachWeight(&render, id, 1.0f); // 0.8 more over the 0.5 s left of the fade-in
    EXPECT_NEAR(animator.GetSlot(4).WeightRate, 1.6f, 1e-5);
    Frame(animator, 0.5f);
    EXPECT_NEAR(animator.GetSlot(4).Weight, 1.0f, 1e-5);
    animator.AttachWeight(&render, id, 0.0f); // not above zero: ignored
    EXPECT_NEAR(animator.GetSlot(4).TargetWeight, 1.0f, 1e-6);
}

// ---- overlay ids ----

TEST_F(AnimatorTest, OverlayIdsCountUpNeverZeroAndAddressTheirSlots)
{
    AnimSpec spec;
    spec.KeyTimes = {0.0f, 9.0f};
    spec.FadeOut = spec.EndTime = 9.0f;
    TestAnimation overlay(spec);
    CHierarchyAnimator animator;
    CHierarchyAnimator::LastOverlayId = 0xFFFFFFFE;
    unsigned long ids[5] = {};
    for (int i = 0; i < 4; ++i) {
        animator.AttachOverlay(&render, overlay.Get(), 1.0f, 0.5f, nullptr, &ids[i], false);
        Frame(animator, 0.1f * (i + 1));
    }
    EXPECT_EQ(ids[0], 0xFFFFFFFFu);
    EXPECT_EQ(ids[1], 1u); // the wrap skips 0
    EXPECT_EQ(ids[2], 2u);
    EXPECT_EQ(ids[3], 3u);
    // All four busy: the one furthest on (the first) is taken.
    animator.AttachOverlay(&render, overlay.Get(), 1.0f, 0.5f, nullptr, &ids[4], false);
    EXPECT_EQ(animator.GetSlot(4).OverlayId, 4u);
    animator.KillAnimation(&render, 2);
    EXPECT_EQ(animator.GetSlot(6).pAnimation, nullptr);
    animator.KillAnimation(&render, 0);
    EXPECT_NE(animator.GetSlot(5).pAnimation, nullptr);
    float speed = 0, weight = 0, time = 0, end = 0;
    EXPECT_FALSE(animator.DescribeAnimation(&render, 3, speed, weight, time, end)); // overlays are not described
}

// ---- the pose cache ----

TEST_F(AnimatorTest, FlagTriggersSplitTheFrameAndCacheThePoseUntilSixteenAreTaken)
{
    AnimSpec spec;
    spec.KeyTimes = {0.0f, 1.0f};
    spec.Positions = {CVector(0.0f, 0.0f, 0.0f), CVector(10.0f, 0.0f, 0.0f)};
    spec.Triggers = {T(0.25f, 1, Trigger::SET_ANIMATION_FLAG)};
    TestAnimation animation(spec);
    std::vector<std::unique_ptr<CHierarchyAnimator>> animators;
    int flags[17] = {};
    for (int i = 0; i < 17; ++i) {
        animators.emplace_back(new CHierarchyAnimator);
        animators.back()->Attach(&render, animation.Get(), 1.0f, &flags[i], 0);
    }
    CGameTimer::tFrameTime = 0.0f;
    for (auto& a : animators)
        a->Animate(&render, 0);
    ++CRenderer::FrameNumber;
    CGameTimer::tFrameTime = 0.5f;
    for (auto& a : animators)
        a->Animate(&render, 0);
    for (int i = 0; i < 16; ++i) {
        const CHierarchyAnimator::PoseCacheEntry* pose = animators[i]->GetPendingPose();
        ASSERT_NE(pose, nullptr) << i;
        EXPECT_NEAR(pose->Root.x, 2.5f, 1e-4) << i; // the pose at the trigger
        EXPECT_EQ(flags[i], 1);
    }
    EXPECT_EQ(animators[16]->GetPendingPose(), nullptr);
    EXPECT_EQ(flags[16], 1);
    EXPECT_NEAR(recorder.Position.x, 5.0f, 1e-4); // the frame's end pose is applied either way
    // The cached pose goes to the resource once.
    EXPECT_TRUE(animators[0]->ApplyCachedPose(&render));
    EXPECT_NEAR(recorder.Position.x, 2.5f, 1e-4);
    EXPECT_FALSE(animators[0]->ApplyCachedPose(&render));
    // A new frame frees the entries.
    ++CRenderer::FrameNumber;
    animators[16]->Attach(&render, animation.Get(), 1.0f, &flags[16], 0);
    CGameTimer::tFrameTime = 0.0f;
    animators[16]->Animate(&render, 0);
    CGameTimer::tFrameTime = 0.5f;
    animators[16]->Animate(&render, 0);
    EXPECT_NE(animators[16]->GetPendingPose(), nullptr);
}

// ---- blending ----

TEST_F(AnimatorTest, BlendedAnglesMeetAcrossTheWrapPoint)
{
    AnimSpec a, b;
    a.Rots = {Packed(1020, 0, 0), Packed(1020, 0, 0)};
    b.Rots = {Packed(8, 0, 0), Packed(8, 0, 0)};
    b.FadeIn = 1.0f;
    TestAnimation first(a), second(b);
    CHierarchyAnimator animator;
    animator.Attach(&render, first.Get(), 1.0f, nullptr, 0);
    Frame(animator, 0.0f);
    animator.Attach(&render, second.Get(), 1.0f, nullptr, 0);
    Frame(animator, 0.0f);
    Frame(animator, 0.5f); // weights 0.5 and 0.5
    // Halfway between -4 and +8 units of 1024 is +2, not the far side of the turn.
    EXPECT_NEAR(recorder.Rots[0].x, 2.0 * 2 * M_PI / 1024, 1e-5);
}

TEST_F(AnimatorTest, RootMovementIsAccumulatedOverKeyIntervalsOnceSwitchedOn)
{
    AnimSpec spec;
    spec.KeyTimes = {0.0f, 1.0f, 2.0f};
    spec.MovementKeys = {CVector(0, 0, 0), CVector(1.0f, 0, 0), CVector(0, 2.0f, 0)};
    spec.Triggers = {T(0.0f, 0, Trigger::OUTPUT_ANIMATION_MOVEMENT)};
    TestAnimation animation(spec);
    CHierarchyAnimator animator;
    CVector movement(9, 9, 9);
    animator.RegisterAnimationMovementPointer(&movement);
    animator.Attach(&render, animation.Get(), 1.0f, nullptr, 0);
    Frame(animator, 0.0f);
    Frame(animator, 1.5f);
    EXPECT_FLOAT_EQ(movement.x, 1.0f); // the whole first interval
    EXPECT_FLOAT_EQ(movement.y, 1.0f); // half the second
    EXPECT_FLOAT_EQ(recorder.Position.x, 1.0f);
    EXPECT_EQ(animator.MovementHasEnded(), 1);
}

// ---- the simple player ----

TEST_F(AnimatorTest, SimplePlayerShowsTheFrameOfTheKeyReachedAndLoops)
{
    SimpleKey keys[3] = {{0.0f, 3}, {0.5f, 7}, {1.0f, 9}};
    Trigger triggers[2] = {T(1.5f, 0, Trigger::RESET_ANIMATION), T(9.0f, 0, Trigger::END_OF_LIST)};
    unsigned long words[5] = {0, 0, 0, 3, 0};
    CSimpleAnimation* animation = reinterpret_cast<CSimpleAnimation*>(words);
    animation->pTriggers = triggers;
    animation->EndTime = 1.5f;
    animation->NoKeys = 3;
    animation->pKeys = keys;
    ZelConstructInPlace<CSimpleAnimation>(words);
    render.Attach(animation, nullptr, 1.0f, 0);
    ASSERT_NE(render.GetAnimator(), nullptr);
    const float frames[] = {0.0f, 0.4f, 0.2f, 0.6f, 0.4f};
    for (float dt : frames) {
        CGameTimer::tFrameTime = dt;
        render.Animate();
    }
    // 0 -> 3, 0.4 -> 3 (unchanged), 0.6 -> 7, 1.2 -> 9 (the last key shows), 1.6 -> loops to 0.1 -> 3.
    EXPECT_EQ(recorder.Indices, (std::vector<int>{3, 7, 9, 3}));
    float speed = 5, weight = 0, time = 0, end = 0;
    EXPECT_TRUE(render.DescribeAnimation(0, speed, weight, time, end));
    EXPECT_EQ(speed, 5.0f);
    EXPECT_EQ(weight, 1.0f);
    EXPECT_NEAR(time, 0.1f, 1e-5);
    EXPECT_EQ(end, 1.5f);
    render.KillAnimation();
    EXPECT_FALSE(render.DescribeAnimation(0, speed, weight, time, end));
}

} // namespace
