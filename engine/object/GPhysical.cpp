#include "engine/object/GPhysical.h"

#include <math.h>

#include <new>

#include "core/math/CAngles.h"
#include "core/output/ZOutput.h"
#include "engine/zel/CZelFile.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/CCollisionPlotter.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GPhysical, 0x00408000)

namespace {

const DWORD NO_OTHER_OBJECT = 0xFFFFFFFF;
// The x of the nowhere position: objects parked there stay out of the section grid.
const float NOWHERE_X = -1.0e38f;

float HorizontalDistanceSq(const CVector& a, const CVector& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// The resource a creation record names lies in its file: damage can point the field at any
// bytes there, or at a record the loader left unbuilt, and a render instance calls the
// resource's functions at once.
void RequireRenderResource(GPhysical& object, CRendResource* resource)
{
    if (!CZelFile::IsSoundRecordPointer(resource))
        vbail("Cannot load packed data: the resource of a %s in %s is not a render resource record",
              object.GetClassName(), CZelFile::NameOf(resource));
}

} // namespace

// A live object is drawn from its first frame: its render instance shows the stored resource
// at the object's position and rotation, reports the object when selected, and is in the scene.
GPhysical::GPhysical()
{
    if (EditableEvaluation != 0)
        return;
    RequireRenderResource(*this, pResource);
    new (&Render) CRender();
    Render.Attach(&Position, &Rotation, nullptr, nullptr);
    Render.SetViewport(static_cast<short>(Viewports));
    Render.SetSelectable(GetHandle());
    Render.SetParent(this);
    Render.Attach(pResource, 0);
    pAttachedResource = pResource;
    Render.Link();
    bPlottable = true;
    pPlotter = CCollisionPlotter::Make(this);
    Plot();
}

GPhysical::~GPhysical()
{
    if (EditableEvaluation != 0)
        return;
    delete pPlotter;
    Render.~CRender();
}

void GPhysical::Destroy()
{
    UnPlot();
    DisablePlottability();
    Render.EjectAllEffects(true);
    GPosRot::Destroy();
}

void GPhysical::ChangePlayer(WORD player)
{
    GPosRot::ChangePlayer(player);
    if (pPlotter)
        pPlotter->SetHandle(GetHandle());
}

void GPhysical::Plot()
{
    if (!pPlotter || bPlotted)
        return;
    pPlotter->Plot();
    bPlotted = true;
}

void GPhysical::UnPlot()
{
    if (pPlotter && bPlotted)
        pPlotter->UnPlot();
    bPlotted = false;
}

bool GPhysical::PlotsOnMove() { return pPlotter && bPlottable && (GetCollisionFlags() & COLLISIONDATA_PLOT); }

void GPhysical::SetPos(const CVector& position)
{
    const bool replot = PlotsOnMove();
    if (replot)
        UnPlot();
    GPosRot::SetPos(position);
    if (replot && position.x != NOWHERE_X)
        Plot();
}

void GPhysical::SetRot(const CVector& rotation)
{
    const bool replot = PlotsOnMove();
    if (replot)
        UnPlot();
    GPosRot::SetRot(rotation);
    if (replot && Position.x != NOWHERE_X)
        Plot();
}

void GPhysical::SetPosRot(const CVector& position, const CVector& rotation)
{
    const bool replot = PlotsOnMove();
    if (replot)
        UnPlot();
    GPosRot::SetPosRot(position, rotation);
    if (replot && position.x != NOWHERE_X)
        Plot();
}

bool GPhysical::CanGoHere(const CVector& place)
{
    LocationEntry* location = GmvWorld::GetNearestLocation(place, nullptr);
    return location && GmvWorld::GetPassibilityIndex(location, place.x, place.y) <= GetPassibilityIndex();
}

// The half-width is the angle under which the summed radii appear at the distance: a ray
// inside it passes closer than the two radii allow.
bool GPhysical::GetArc(float& first, float& second, GPhysical* other, const CVector* from, const CVector* to)
{
    first = second = 0.0f;
    if (!other)
        return false;
    CVector ownCentre, otherCentre;
    GetCenterPos(ownCentre, false);
    other->GetCenterPos(otherCentre, false);
    const CVector& a = from ? *from : ownCentre;
    const CVector& b = to ? *to : otherCentre;
    const float reach = GetPlottingRadius() + other->GetPlottingRadius();
    const float distanceSq = HorizontalDistanceSq(a, b);
    if (distanceSq < reach * reach)
        return false;
    const float half = distanceSq > 0.0f ? asinf(reach / sqrtf(distanceSq)) : 0.0f;
    CAngles::GetArc(a, b, half, first, second);
    return true;
}

int GPhysical::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "pResource", "CRendResource *", pResource);
    AddEditable(cursor, "Health", "float", Health);
    AddEditable(cursor, "MaxHealth", "float", MaxHealth);
    AddEditable(cursor, "PermanentDamage", "float", PermanentDamage);
    AddEditable(cursor, "HasDebugObj", "int", HasDebugObj);
    AddEditable(cursor, "PassibilityIndex", "DWORD", PassibilityIndex);
    return count + 6;
}

CVector GPhysical::GetAttachPos(CCRC32 attachPoint)
{
    int found;
    return Render.GetAttachPoint(attachPoint, found, nullptr);
}

float GPhysical::GetRenderHeight() { return 0.0f; }

CVector GPhysical::GetAttachPos(int index)
{
    int found;
    return Render.GetAttachPoint(index, found, nullptr);
}

// A render hung on another one is drawn with it, never on its own as well.
void GPhysical::AttachRender(DWORD attachPoint, CRender* render)
{
    if (render->IsLinked())
        render->Unlink();
    Render.Attach(render, CCRC32(attachPoint));
}

bool GPhysical::DetachRender(CCRC32 attachPoint)
{
    Render.Detach(attachPoint, 0);
    return true;
}

int GPhysical::IsSelectable() { return GetHandle().IsNull() ? 0 : 1; }

float GPhysical::GetHealth() { return Health; }

// Healing never lifts health above what the permanent damage leaves; harm has no floor.
void GPhysical::AddHealth(float amount)
{
    const float ceiling = MaxHealth - PermanentDamage;
    Health += amount;
    if (Health > ceiling)
        Health = ceiling;
}

bool GPhysical::CanCollide(GPhysical*) { return true; }

bool GPhysical::CanCollide()
{
    return bCollisionsEnabled && (GetCollisionFlags() & (COLLISIONDATA_COLLIDE | COLLISIONDATA_SPECIAL)) != 0;
}

DWORD GPhysical::GetBlockageFlags() { return 0; }

DWORD GPhysical::GetCollisionFlags() { return Render.GetCollisionFlags(); }

bool GPhysical::OnCollision(HGOBJECT, bool) { return false; }

void GPhysical::UpdateTarget()
{
    if (GPosRot* target = GPosRot::FromObject(GObject::GetGobject(hTarget)))
        TargetPos = target->GetPos();
    else
        hTarget = HGOBJECT(0);
}

CVector GPhysical::GetRenderCenter()
{
    const CVector& position = GetPos();
    return CVector(position.x, position.y, GetRenderHeight() * 0.5f);
}

void GPhysical::GetCenterPos(CVector& out, bool useAttachZ)
{
    int found = 0;
    const CVector& centre = Render.GetAttachPoint(CCRC32("Attach_Center"), found, nullptr);
    const CVector& position = GetPos();
    if (found == 0) {
        out = position;
        return;
    }
    out = centre;
    if (!useAttachZ)
        out.z = position.z;
}

bool GPhysical::IsCollision(const CVector* point, float radius, const CVector* at)
{
    return Render.IsCollision(point, radius, at);
}

bool GPhysical::IsCollision(const fRECT& rect, const CVector* at) { return Render.IsCollision(rect, at); }

float GPhysical::IsCollision(const CVector* from, const CVector* to, const CVector* at)
{
    return Render.IsCollision(from, to, at);
}

bool GPhysical::IsCollision(GPhysical* other, const CVector* at)
{
    return other != nullptr && Render.IsCollision(&other->Render, at);
}

float GPhysical::GetPlottingRadius(CVector* centre) { return Render.GetPlottingRadius(centre); }

void GPhysical::GetHealth(float& health, float& maxHealth)
{
    health = Health;
    maxHealth = MaxHealth;
}

GPhysical* GPhysical::ValidTarget() { return FromObject(GObject::GetGobject(hTarget)); }

// Either side may destroy the other while it is told, so the other is looked up only after
// this object has been told, and this object's handle is taken before.
void GPhysical::NotifyCollision(HGOBJECT other)
{
    const HGOBJECT own = GetHandle();
    OnCollision(other, true);
    if (static_cast<DWORD>(other) == NO_OTHER_OBJECT)
        return;
    if (GPhysical* physical = FromObject(GObject::GetGobject(other)))
        physical->OnCollision(own, false);
}

float GPhysical::GetFatRange(const CVector& to, const CVector* from)
{
    return sqrtf(GetRangeSq(to, from)) - GetPlottingRadius();
}

void GPhysical::FatRangeTerms(GPhysical* other, float range, const CVector* from, const CVector* to, float otherRadius,
                              float& distanceSq, float& reach)
{
    distanceSq = HorizontalDistanceSq(to != nullptr ? *to : other->GetPos(), from != nullptr ? *from : GetPos());
    const float theirs = otherRadius != 0.0f ? otherRadius : other->GetPlottingRadius();
    reach = GetPlottingRadius() + theirs + range;
}

bool GPhysical::IsInRangeWithFatness(GPhysical* other, float range, const CVector* from, const CVector* to,
                                     float otherRadius)
{
    float distanceSq;
    float reach;
    FatRangeTerms(other, range, from, to, otherRadius, distanceSq, reach);
    return reach * reach > distanceSq;
}

bool GPhysical::IsInRangeWithFatnessXY(GPhysical* other, float range, const CVector* from, const CVector* to,
                                       float otherRadius)
{
    float distanceSq;
    float reach;
    FatRangeTerms(other, range, from, to, otherRadius, distanceSq, reach);
    return reach * reach >= distanceSq;
}

float GPhysical::GetRangeWithFatness(GPhysical* other, const CVector* from, const CVector* to)
{
    float distanceSq;
    float reach;
    FatRangeTerms(other, 0.0f, from, to, 0.0f, distanceSq, reach);
    return sqrtf(distanceSq) - reach;
}

GPhysical* GPhysical::FromObject(GObject* object)
{
    if (object == nullptr || object->GetClassEntry() == nullptr || RttiCode == 0)
        return nullptr;
    // The class's code holds its own bit and its ancestors': a subclass's code holds all of them.
    return (*object->GetClassEntry()->pRttiCode & RttiCode) == RttiCode ? static_cast<GPhysical*>(object) : nullptr;
}
