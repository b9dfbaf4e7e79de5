#pragma once
// The demo's fog-of-war unit, built into the host as a game's own classes are: it walks back and
// forth between where the level placed it and its goal, along the paths the level's path finder
// gives, on the ground, and reveals the fog of war around it as it goes.
#include "engine/object/GPhysical.h"
#include "engine/world/CMover.h"

class CPathStack;

// Steps its parent Speed units a slice along a global path to TargetVector.
class GDemoPathMover : public CMover {
    DECLARE_GOBJECT(GDemoPathMover, CMover)

    ~GDemoPathMover() override;
    void MoveTo(const CVector& target) override;
    int ProcessTimeslice() override;
    // The walk reached its goal.
    bool Arrived() const { return bArrived != 0; }

private:
    bool Ask();
    void StandOnGround();

    CPathStack* pPath;
    int Next;
    BYTE bArrived;
};

class GDemoWalker : public GPhysical {
    DECLARE_GOBJECT(GDemoWalker, GPhysical)

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    float Sight;
    float Speed; // units a slice
    CVector Goal;

private:
    void Start();

    CVector Home;
    GDemoPathMover* pWalk;
};
