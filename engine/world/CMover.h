#pragma once
// A mover that lives as a child of the object it moves. Each frame it takes the parent's place,
// applies the optional auxiliary motion, runs its fixed time slices and hands the result back.
// Speed, target, rotation offset and state flags are editable; what a slice does and most
// commands are given by the classes a game derives from it.
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

class CMoverCustomData;

class CMover : public GObject {
    DECLARE_GOBJECT(CMover, GObject)

    enum : DWORD { FLAG_MOVING = 0x01, FLAG_TURNING = 0x04, FLAG_BACKING_UP = 0x08 };

    void PostConstruction() override;
    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // The operations movers add, in table order.
    virtual void Update();
    virtual void Attach(CMoverCustomData* data);
    virtual void Attach(HGOBJECT handle);
    virtual void Attach(GObject* object);
    virtual void Move(float x, float y, float z);
    virtual void MoveTo(HGOBJECT target);
    virtual void MoveTo(const CVector& target);
    virtual void TurnTo(float x, float y, float z);
    virtual void Pause(bool paused);
    virtual void Stop();
    virtual void FullStop();
    virtual void SetMaxSpeed(float speed);
    virtual bool Done();
    virtual bool Turning();
    virtual bool Moving();
    virtual bool Stationary();
    virtual bool BackingUp();
    virtual bool Paused();
    virtual bool Waiting();
    virtual void ClearAuxiliaryMotion();
    virtual bool ClipsToWorld();
    virtual int ProcessTimeslice();
    virtual bool ApplyAuxiliaryMotion();

    void AttachAuxiliaryMotion(CVector* motion) { pAuxiliaryMotion = motion; }
    void AttachAnimMoveBool(bool* flag) { pAnimMoveBool = flag; }
    bool IsState(DWORD bits) const { return (Flags & bits) != 0; }
    void AddFlag(DWORD bits) { Flags |= bits; }
    void ClearFlag(DWORD bits) { Flags &= ~bits; }
    void SetVelocity(float speed) { Speed = speed; }
    void SetSpeed(float speed) { Speed = speed; }
    float GetSpeed() const { return Speed; }
    void SetTargetSpeed(float speed) { TargetSpeed = speed; }
    const CVector& GetTimeslicePos() const { return TimeslicePos; }
    const CVector& GetTimesliceRot() const { return TimesliceRot; }
    HGOBJECT GetAttached() const { return hAttached; }

    CVector TargetVector;
    CVector* pAuxiliaryMotion; // in the moved object's frame
    CVector AuxiliaryOffset;   // the auxiliary motion in world space, last applied
    CVector RotationalOffset;  // added to the rotation while the slices run
    float TimeRemaining;       // time not yet run in slices
    float TargetAngle;
    DWORD Flags; // FLAG_*
    float Speed;
    float TargetSpeed;
    CVector TimeslicePos;
    CVector TimesliceRot;
    HGOBJECT hAttached;
    bool* pAnimMoveBool;
    BYTE bPaused;

private:
    void RunSlices();
};
