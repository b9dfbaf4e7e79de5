#pragma once
// Base of fired objects: configured once from a launch record, it flies under its mover toward
// a target object or point and destroys itself in the first frame after its lifetime.
#include "engine/object/GPhysical.h"

#pragma pack(push, 1)
struct CProjectileInit {
    CProjectileInit();

    HGOBJECT Owner;
    HGOBJECT Target;
    HGOBJECT Weapon;
    CVector Position;
    CVector Rotation;
    CVector TargetPoint; // x exactly NOWHERE: fly at Target instead
    DWORD Extra[5];      // the game's own launch words
};
#pragma pack(pop)

class GProjectile : public GPhysical {
    DECLARE_GOBJECT(GProjectile, GPhysical)

    // Drawn above ordinary objects of the same priority.
    static const short SORT_MODIFIER = 15;
    static const unsigned short PRIORITY = 0x4000;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // The operations projectiles add, in table order.
    virtual void Configure(const CProjectileInit& init);
    virtual bool HasExpired();
    virtual void Expire();
    virtual void OnConfigured();
    virtual void OnDamage(HGOBJECT source);

    // Takes the projectile out of play without destroying it: parked, childless, undrawn,
    // without mover and asleep.
    void Disable();
    float GetLifeTime() const { return LifeTime; }
    HGOBJECT GetOwner() const { return hOwner; }
    HGOBJECT GetWeapon() const { return hWeapon; }
    float GetExpiry() const { return Expiry; }

    HGOBJECT hOwner;
    HGOBJECT hWeapon;
    float LifeTime; // seconds
    float Expiry;   // game time
};
