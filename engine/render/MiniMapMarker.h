#pragma once
// An animated mark on the mini-map: it follows a world point and plays a chain of particle
// stages for its colour, size and spin. Markers form one list; the mini-map's object dots
// draw every marker of it after the dots.
#include "core/math/CVector.h"

namespace rhu {
struct ParticleDef;
struct RangeData;
} // namespace rhu

class MiniMapMarker {
public:
    enum : unsigned long {
        FREE_AT_END = 0x01, // the marker deletes itself when its stage chain ends
        NEVER_ROTATE = 0x02,
    };
    // The step the stages advance by, whatever the frame time.
    static constexpr float kStep = 1.0f / 30.0f;

    // Every marker starts inactive; the first becomes the list head, later ones go right after
    // it (head, newest, ..., oldest).
    MiniMapMarker();
    ~MiniMapMarker();
    // A copy takes the values but keeps its own place in the list.
    MiniMapMarker& operator=(const MiniMapMarker& other);
    MiniMapMarker(const MiniMapMarker&) = delete;

    // Null makes the marker inactive. A marker that already had a style carries its current
    // look on seamlessly into the new chain.
    void SetStyle(rhu::ParticleDef* style);
    // Advances this marker and every one after it in the list by the frame time.
    void Process();

    void Track(CVector* position) { pTrackedPosition = position; }
    void SetRotationSource(CVector* rotation) { pRotationSource = rotation; }
    void SetPriorityOffset(int offset) { PriorityOffset = offset; }
    void SetFlags(unsigned long flags) { Flags = flags; }

    // How far through its stage the marker is, 0 to 1.
    float StageFraction() const;

    CVector Position;
    CVector* pTrackedPosition;
    CVector* pRotationSource;
    rhu::ParticleDef* pStyle;
    CVector4 CurrentColour;
    CVector4 NextColour;
    float CurrentScale;
    float NextScale;
    CVector CurrentSpin;
    CVector NextSpin;
    float Life; // seconds; negative once the chain has ended
    float OneOverLife;
    float StageTime;
    rhu::ParticleDef* pCurrentStage;
    int PriorityOffset;
    unsigned long Flags;
    float Accumulator;
    float SpinAngle; // radians
    MiniMapMarker* pPrev;
    MiniMapMarker* pNext;

    static MiniMapMarker* pThe;

private:
    void Unlink();
    // Returns false when the marker deleted itself.
    bool Advance();
    void NextStage();
    void SetLife(const rhu::ParticleDef& stage);
    void TakeNextValues(const rhu::ParticleDef* next);
};
