#include "engine/world/GProjectile.h"

#include <stdint.h>

#include "core/output/ZOutput.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"
#include "engine/world/CMover.h"

static_assert(sizeof(CProjectileInit) == sizeof(rhu::CProjectileInit),
              "CProjectileInit differs from the record header");
static_assert(offsetof(CProjectileInit, TargetPoint) == offsetof(rhu::CProjectileInit, TargetPoint), "CProjectileInit");

IMPLEMENT_GOBJECT(GProjectile, 0x8000)

CProjectileInit::CProjectileInit()
    : Owner(0), Target(0), Weapon(0), Position(NowhereVector), Rotation(NowhereVector), TargetPoint(NowhereVector)
{
    Extra[0] = 0;
    Extra[1] = 0xFFFFFFFF;
    Extra[2] = 0;
    Extra[3] = Extra[4] = 0;
}

int GProjectile::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "LifeTime", "float", LifeTime);
    return count + 1;
}

// A projectile without a mover cannot fly: it goes back to sleep.
bool GProjectile::Process()
{
    if (!pMover) {
        _printf("Proj Awake! %x %s\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)), GetClassName());
        Sleep(SLEEP_FOREVER);
        return false;
    }
    if (CGameTimer::GameTime() > Expiry) {
        Destroy();
        return true;
    }
    return false;
}

void GProjectile::Configure(const CProjectileInit& init)
{
    hOwner = init.Owner;
    hTarget = init.Target;
    hWeapon = init.Weapon;
    SetPosRot(init.Position, init.Rotation);
    Render.SetSortModifier(SORT_MODIFIER);
    Render.SetPriority(PRIORITY);
    Render.Link();
    Expiry = CGameTimer::GameTime() + LifeTime;
    if (pMover) {
        if (init.TargetPoint.x == NowhereVector.x)
            pMover->MoveTo(hTarget);
        else
            pMover->MoveTo(init.TargetPoint);
    }
    OnConfigured();
}

bool GProjectile::HasExpired() { return CGameTimer::GameTime() > Expiry; }

void GProjectile::Expire()
{
    if (CMover* mover = GetMover())
        mover->Stop();
    Render.Unlink();
    Expiry = CGameTimer::GameTime();
}

void GProjectile::OnConfigured() {}
void GProjectile::OnDamage(HGOBJECT) {}

void GProjectile::Disable()
{
    SetPos(NowhereVector);
    DestroyChildren();
    Render.Unlink();
    pMover = nullptr;
    Sleep(SLEEP_FOREVER);
}
