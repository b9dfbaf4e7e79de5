#include "engine/world/CMover.h"

#include "core/math/CMatrix.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/world/GMover.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(CMover, 0x04808000)

namespace {

// The auxiliary motion asks the section grid with this mask and no flags.
const DWORD AUXILIARY_BLOCK_MASK = 2;

} // namespace

void CMover::PostConstruction()
{
    GObject::PostConstruction();
    Update();
}

int CMover::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Speed", "float", Speed);
    AddEditable(cursor, "TargetSpeed", "float", TargetSpeed);
    AddEditable(cursor, "TargetVector.X", "float", TargetVector.x);
    AddEditable(cursor, "TargetVector.Y", "float", TargetVector.y);
    AddEditable(cursor, "TargetVector.Z", "float", TargetVector.z);
    AddEditable(cursor, "TimeRemaining", "float", TimeRemaining);
    AddEditable(cursor, "TargetAngle", "float", TargetAngle);
    AddEditable(cursor, "RotationalOffset.X", "float", RotationalOffset.x);
    AddEditable(cursor, "RotationalOffset.Y", "float", RotationalOffset.y);
    AddEditable(cursor, "RotationalOffset.Z", "float", RotationalOffset.z);
    AddEditable(cursor, "Flags", "DWORD", Flags);
    return count + 11;
}

bool CMover::Process()
{
    GPosRot* parent = GPosRot::FromObject(GetParent());
    if (parent) {
        TimeslicePos = parent->GetPos();
        TimesliceRot = parent->GetRot();
    }
    ApplyAuxiliaryMotion();
    TimesliceRot += RotationalOffset;
    if (!Paused())
        RunSlices();
    if (ClipsToWorld())
        ClipMoverPosition(TimeslicePos);
    TimesliceRot -= RotationalOffset;
    if (parent && !Stationary())
        parent->SetPosRot(TimeslicePos, TimesliceRot);
    return false;
}

// A stationary mover throws its time away, so that it does not start with a burst of slices.
void CMover::RunSlices()
{
    TimeRemaining += CGameTimer::FrameTime();
    while (TimeRemaining > MOVER_TIMESLICE) {
        if (Stationary()) {
            TimeRemaining = 0.0f;
            return;
        }
        TimeRemaining -= MOVER_TIMESLICE;
        ProcessTimeslice();
    }
}

void CMover::Update() {}
void CMover::Attach(CMoverCustomData*) {}
void CMover::Attach(HGOBJECT handle) { hAttached = handle; }
void CMover::Attach(GObject*) {}
void CMover::Move(float, float, float) {}

// A handle that names a positioned object sends the mover to where it stands; any other just
// sets the mover going at its target speed.
void CMover::MoveTo(HGOBJECT target)
{
    if (!target.IsNull()) {
        if (GPosRot* object = GPosRot::FromObject(GetGobject(target))) {
            MoveTo(object->GetPos());
            return;
        }
    }
    if (TargetSpeed > 0.0f)
        Speed = TargetSpeed;
    Flags |= FLAG_MOVING;
}

void CMover::MoveTo(const CVector&) {}
void CMover::TurnTo(float, float, float) {}
void CMover::Pause(bool paused) { bPaused = paused ? 1 : 0; }
void CMover::Stop() { Flags &= ~FLAG_MOVING; }
void CMover::FullStop() {}
void CMover::SetMaxSpeed(float) {}
bool CMover::Done() { return Stationary(); }
bool CMover::Turning() { return (Flags & FLAG_TURNING) != 0; }
bool CMover::Moving() { return (Flags & FLAG_MOVING) != 0; }
bool CMover::Stationary() { return (Flags & FLAG_MOVING) == 0; }
bool CMover::BackingUp() { return (Flags & FLAG_BACKING_UP) != 0; }
bool CMover::Paused() { return bPaused != 0; }
bool CMover::Waiting() { return false; }
// Detaches the auxiliary vector, so that no further motion is added.
void CMover::ClearAuxiliaryMotion() { pAuxiliaryMotion = nullptr; }
bool CMover::ClipsToWorld() { return true; }
int CMover::ProcessTimeslice() { return 0; }

// The motion follows the ground: the candidate rises or falls with the terrain between the two
// places, and is refused when the section grid finds it blocked.
bool CMover::ApplyAuxiliaryMotion()
{
    if (!pAuxiliaryMotion)
        return false;
    CMatrix rotation;
    rotation.SetEuler(CMatrix::XYZ, CVector(0.0f, 0.0f, 0.0f), TimesliceRot);
    rotation.RotateVector(*pAuxiliaryMotion, AuxiliaryOffset);
    CVector candidate = TimeslicePos + AuxiliaryOffset;
    CVector here = TimeslicePos;
    const short viewport = GmvWorld::pThe ? static_cast<short>(GmvWorld::pThe->Viewport) : 0;
    candidate.z += GmvWorld::GetHeight(viewport, candidate) - GmvWorld::GetHeight(viewport, here);
    GPhysical* parent = GPhysical::FromObject(GetParent());
    if (GSectionMgr::pThe && GSectionMgr::pThe->Blocked(parent, candidate, AUXILIARY_BLOCK_MASK, 0))
        return true;
    TimeslicePos = candidate;
    return true;
}
