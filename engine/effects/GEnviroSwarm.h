#pragma once
// A small swarm of camera-facing sprites drifting over the terrain: the centre wanders between
// random targets near home, bobs and keeps a height band above the ground (or follows its
// parent); each member chases random points in an ellipsoid around the centre, pulses in size
// and cycles its colour. Out of view the swarm freezes.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;
class CRendTexture;

class GEnviroSwarm : public GEffect {
    DECLARE_GOBJECT(GEnviroSwarm, GEffect)

    GEnviroSwarm();
    ~GEnviroSwarm() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    void RandomInEllipse(CVector& out);
    float GetTimeout() const { return Timeout; }
    void SetTimeout(float seconds) { Timeout = seconds; }
    int GetFollow() const { return Follow; }
    void SetFollow(int follow) { Follow = follow; }
    const CVector& GetFollowOfs() const { return FollowOfs; }
    void SetFollowOfs(const CVector& offset) { FollowOfs = offset; }
    int GetCompacted() const { return Compact; }
    void SetCompacted(int compact) { Compact = compact; }

    struct Member {
        CVector position;
        CVector target;
        CVector sizePhase;
        CVector sizeSpeed;
        float colourPhase;
        float colourSpeed;
        float chaseSpeed;
        float chaseDistance;
    };
    static_assert(sizeof(Member) == 64, "a member record is 16 floats");

    // Seconds between wander targets.
    static constexpr float kWanderPeriod = 120.0f;

    CRendTexture* pTexture;
    CRendResource* pResource; // shown on the own render instance while the game is paused
    float Timeout;            // above 0: seconds left to live
    int Follow;
    CVector FollowOfs;
    int Compact; // every random point is the centre
    CVector Ellipse;
    CVector BobbleScale;
    CVector BobbleSpeed;
    CVector bobblePhase;
    CVector bobble;
    float TrackSpeedMin, TrackSpeedMax;
    float TrackDistMin, TrackDistMax;
    float Scale, ScaleMin;
    CVector OSCSpeedMin, OSCSpeedMax;
    float ColorLow[4], ColorHigh[4];
    float ColorSpeedMin, ColorSpeedMax;
    int ObjectCount;
    float WanderRadius;
    float WanderHeightMin, WanderHeightMax;
    int count;
    Member* members;
    float wanderTimer;
    CVector wanderTarget;
    float targetHeight;
    CVector centre;
    float height;
    float wanderSpeed;
    int Additive;
    float tint[4];
    DWORD RendPriority;
    union {
        CRender render; // the swarm's own render instance
    };
    float cullRadius;

private:
    bool ownRender;
    void SetUpOwnRender();
    bool FollowParent();
    void Wander(float t);
    void MoveCentre(float t);
    void MoveMembers(float t);
    void DrawMember(const Member& member, const CVector& side, const CVector& up);
};
