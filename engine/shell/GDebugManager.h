#pragma once
// Developer aids that run as game objects: the debug manager holds the debug display switches
// and the marker objects it hangs under objects to be marked.
#include <vector>

#include "engine/object/GObject.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRender.h"

class CInputData;

// A marker: a physical object with nothing of its own, made a child of what it marks.
class GDebug : public GPhysical {
    DECLARE_GOBJECT(GDebug, GPhysical)
};

class GDebugManager : public GObject {
    DECLARE_GOBJECT(GDebugManager, GObject)

    GDebugManager();
    ~GDebugManager() override;

    // A marker of the creation class as a child of the owner, listed in DebugList; null when
    // it cannot be made.
    static GDebug* CreateDebugObject(GObject* owner);
    static void SetCreationID(unsigned long classId) { CreationID = classId; }

    bool IsUnitCollisionOn() const { return UnitCollision; }
    void ToggleUnitCollision(CInputData*) { UnitCollision = !UnitCollision; }
    bool IsCollisionRadiusDisplayOn() const { return CollisionRadiusDisplay; }
    void ToggleCollisionRadiusDisplay(CInputData*) { CollisionRadiusDisplay = !CollisionRadiusDisplay; }
    bool IsPathLineDisplayOn() const { return PathLineDisplay; }
    bool IsFowIconOn() const { return FowIcon; }
    // Off: every square of the fog of war stays visible. On: every square counts as seen before.
    void ToggleFowIcon(CInputData*);
    unsigned long GetDebugMode() const { return DebugMode; }

    static GDebugManager* pThe;
    static std::vector<HGOBJECT> DebugList;
    static unsigned long CreationID;

private:
    CRender Render;
    unsigned long DebugMode;
    bool UnitCollision;
    bool CollisionRadiusDisplay;
    bool PathLineDisplay;
    bool FowIcon;
};
