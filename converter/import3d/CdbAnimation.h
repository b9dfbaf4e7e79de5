#pragma once
// Animation elements: the triggers both kinds carry, simple animations (an index over time, for
// sprites) and hierarchy animations (a root position and one rotation per skeleton channel per
// key) sampled from a LightWave scene.
#include "converter/core/CdbElement.h"

#include <memory>
#include <string>
#include <vector>

struct CAnimTrigger {
    enum { SetAnimationFlag = 0, StopAnimation = 1, ResetAnimation = 2, OutputMovement = 3, SendMessage = 4 };
    float Time = 0.0f;
    unsigned long Flag = 0;
    int Type = 0;
};

class CdbBaseAnimation : public CdbElement {
public:
    CdbBaseAnimation(const char* label, CDatabase* database) : CdbElement(label, database) {}
    ~CdbBaseAnimation() override;
    void Dump(CZelWriter& writer) override;

    std::vector<std::unique_ptr<CAnimTrigger>> Triggers;
};

struct CSimpleKey {
    float Time = 0.0f;
    float Duration = 0.0f;
    long Index = 0;
};

class CdbSimpleAnimation : public CdbBaseAnimation {
public:
    CdbSimpleAnimation(const char* label, CDatabase* database) : CdbBaseAnimation(label, database) {}
    void Dump(CZelWriter& writer) override;

    float EndTime = 0.0f;
    std::vector<CSimpleKey> Keys;
    unsigned char Loop = 0;
};

class CKeyFrame {
public:
    float Time = 0.0f;
    float Position[3] = {0.0f, 0.0f, 0.0f};
    float Movement[3] = {0.0f, 0.0f, 0.0f};
    std::vector<std::vector<float>> Rotations; // three angles (radians) per active channel
};

class CdbAnimation : public CdbBaseAnimation {
public:
    CdbAnimation(const char* label, CDatabase* database) : CdbBaseAnimation(label, database) {}
    void Dump(CZelWriter& writer) override;
    void ConvertToMovement();

    float EndTime = 0.0f;
    unsigned char Movement = 0;
    std::string SkeletonLabel;
    std::vector<float> Weights; // entry 0 the root's, then one per channel
    std::vector<std::unique_ptr<CKeyFrame>> Keys;
    unsigned long ActiveChannels = 0;
    float FadeOut = 0.0f;
    float FadeIn = 0.0f;
    int ChannelCount = 0;
};

class ClwAnimation : public CdbAnimation {
public:
    ClwAnimation(const char* label, CDatabase* database) : CdbAnimation(label, database) {}
    void LoadFromScene(const char* fileName, const char* skeletonLabel);
    void Diagnostic() override;

    // Run-wide settings of the Animation and AnimMultiplier commands.
    static float Rate;
    static float PositionMultiplier;

private:
    void AddTriggers(const class ClwScene& scene, float dt, float firstTime);
    void SetFades(const class ClwScene& scene, float dt, float firstTime);
};

// The packed rotation word of three angles: 10 bits each, 1024 units a turn, truncated.
unsigned long PackRotation(const float* angles);
