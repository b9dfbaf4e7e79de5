#include "engine/render/CRender.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/heap/ZHeap.h"
#include "engine/object/GObject.h"
#include "engine/render/CAnimation.h"
#include "engine/render/CAnimator.h"
#include "engine/render/COctTree.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRenderer.h"
#include "engine/render/GEffect.h"
#include "engine/render/CRendWorkspace.h"
#include "engine/world/CCollisionData.h"
#include "engine/world/GmvWorld.h"

CRender CRender::FirstRender;
CRender CRender::FirstAnimatedRender;
CRender::Selected CRender::SelectedList[CRender::kSelectedListSize];
CRender::Selected* CRender::pSelected = CRender::SelectedList;
CRender::Selected* CRender::pSelector = CRender::SelectedList;

namespace {
// Shared by every render's formatted text.
char TextBuffer[2048];
} // namespace

CRender::CRender()
{
    std::memset(static_cast<void*>(this), 0, sizeof *this);
    Flags = FLAG_DEFAULT;
    MergedPriority = kDefaultMergedPriority;
}

CRender::~CRender()
{
    EjectAllEffects(true);
    ReleaseWorkspace();
    KillAnimation();
    if (pListPrev) {
        COctTree::Remove(this);
        RemoveFromList();
        if (pResource)
            pResource->OnUnLink(this);
    }
}

CRender& CRender::operator=(const CRender& other)
{
    std::memmove(static_cast<void*>(this), static_cast<const void*>(&other), sizeof *this);
    return *this;
}

void CRender::SetFlags(unsigned long value, unsigned long mask)
{
    Flags = (Flags & ~(mask & FLAG_OPTIONS)) | (value & FLAG_OPTIONS);
}

void CRender::SetParent(GObject* parent)
{
    pParent = parent;
    pParentClassName = parent ? parent->GetClassName() : nullptr;
}

int CRender::IsLinked() const
{
    if (Flags & FLAG_ANIMATED)
        return 0;
    return pListPrev != nullptr || pListNext != nullptr;
}

// Every member of a list has a previous link (the head for the first), so that link alone
// tells whether a render is listed; the heads themselves never have one.
void CRender::InsertAfter(CRender& head)
{
    pListPrev = &head;
    pListNext = head.pListNext;
    if (pListNext)
        pListNext->pListPrev = this;
    head.pListNext = this;
}

void CRender::RemoveFromList()
{
    if (pListPrev)
        pListPrev->pListNext = pListNext;
    if (pListNext)
        pListNext->pListPrev = pListPrev;
    pListPrev = nullptr;
    pListNext = nullptr;
    Flags &= ~FLAG_ANIMATED;
}

void CRender::Link()
{
    if (Flags & FLAG_ANIMATED) {
        COctTree::Remove(this);
        RemoveFromList();
        if (pResource)
            pResource->OnUnLink(this);
    }
    if (pListPrev || pListNext)
        return;
    InsertAfter(FirstRender);
    COctTree::Plot(this);
}

void CRender::SetLink(bool link)
{
    if (link)
        Link();
    else
        Unlink();
}

void CRender::Unlink()
{
    COctTree::Remove(this);
    RemoveFromList();
    if (pResource)
        pResource->OnUnLink(this);
}

// Animated renders are animated every frame but never drawn.
void CRender::LinkAnimated()
{
    if (pListPrev || pListNext)
        return;
    InsertAfter(FirstAnimatedRender);
    Flags |= FLAG_ANIMATED;
}

void CRender::ReleaseWorkspace()
{
    delete pWorkspace;
    pWorkspace = nullptr;
}

void CRender::KillAnimation()
{
    DestroyAnimator(pAnimator);
    pAnimator = nullptr;
}

void CRender::Attach(CAnimation* animation, int* animFlag, float speed, int keepTime)
{
    if (!pAnimator && animation) {
        pAnimator = animation->CreateAnimator();
        if (pAnimator)
            pAnimator->RegisterAnimationMovementPointer(pMovement);
    }
    if (pAnimator)
        pAnimator->Attach(this, animation, speed, animFlag, keepTime);
}

void CRender::AttachOverlay(CAnimation* animation, float speed, int* animFlag, float weight, unsigned long* id,
                            bool syncTime)
{
    if (!pAnimator && animation)
        pAnimator = animation->CreateAnimator();
    if (pAnimator)
        pAnimator->AttachOverlay(this, animation, speed, weight, animFlag, id, syncTime);
}

void CRender::AttachAnimationData(unsigned long id, float speed, float weight, int* animFlag)
{
    if (pAnimator)
        pAnimator->AttachAnimationData(this, id, speed, weight, animFlag);
}

void CRender::AttachWeight(unsigned long id, float weight)
{
    if (pAnimator)
        pAnimator->AttachWeight(this, id, weight);
}

void CRender::SetTimecode(unsigned long id, float time)
{
    if (pAnimator)
        pAnimator->SetTimecode(this, id, time);
}

void CRender::ReScaleAnimation(float speed)
{
    if (pAnimator)
        pAnimator->ReScaleAnimation(this, speed);
}

void CRender::DeleteAnimFlag(int* animFlag)
{
    if (pAnimator)
        pAnimator->DeleteAnimFlag(animFlag);
}

void CRender::KillAnimation(unsigned long id)
{
    if (pAnimator)
        pAnimator->KillAnimation(this, id);
}

CAnimation* CRender::GetAnimation() { return pAnimator ? pAnimator->GetAnimation() : nullptr; }

void CRender::Animate()
{
    if (pAnimator)
        pAnimator->Animate(this, 0);
}

bool CRender::RegisterAnimationMessageObject(HGOBJECT object)
{
    return pAnimator && pAnimator->RegisterAnimationMessageObject(object);
}

bool CRender::DescribeAnimation(unsigned long id, float& speed, float& weight, float& time, float& endTime)
{
    return pAnimator && pAnimator->DescribeAnimation(this, id, speed, weight, time, endTime);
}

CCollisionData* CRender::GetCollisionData() const { return pResource ? pResource->GetCollisionData() : nullptr; }

void CRender::TakePlottingCircle()
{
    PlottingRadius = 0.0f;
    if (CCollisionData* data = GetCollisionData())
        PlottingRadius = data->GetPlottingRadius(&PlottingCentre, this);
}

void CRender::Attach(CRendResource* resource, int)
{
    if (resource == pResource)
        return;
    ReleaseWorkspace();
    KillAnimation();
    IndexValue = 0;
    pResource = resource;
    if (resource)
        pWorkspace = resource->OnAttach(this);
    TakePlottingCircle();
}

// The plotting circle stays: the object is still plotted with it.
void CRender::DetachResource()
{
    ReleaseWorkspace();
    KillAnimation();
    pResource = nullptr;
}

void CRender::CoreRender()
{
    if (pResource)
        pResource->Render(this);
}

void CRender::FlushFrameCache()
{
    if (pResource)
        pResource->FlushFrameCache();
}

int CRender::Index(int index)
{
    if (pResource)
        pResource->SetIndex(this, index);
    IndexValue = index;
    return index;
}

float CRender::GetResourceRadius() { return pResource ? pResource->GetMaxRadius() : 0.0f; }

void CRender::GetResourceCenter(int index, CVector& out)
{
    const CVector* centre = pResource ? pResource->GetCenter(index) : nullptr;
    out = centre ? *centre : NullVector;
}

// Without a resource the queries below answer as the resource that shows nothing does.
void CRender::GetBoundingBox(RECT& box, int index)
{
    if (pResource)
        pResource->GetBoundingBox(box, index);
    else
        box = RECT{0, 0, 0, 0};
}

int CRender::GetAttachPointCount() { return pResource ? pResource->GetAttachPointCount() : 0; }

unsigned long CRender::GetAttachPointCRC(int index) { return pResource ? pResource->GetAttachPointCRC(index) : 0; }

const CVector& CRender::GetAttachPoint(int index, int& found, CMatrix* matrix)
{
    if (pResource)
        return pResource->GetAttachPoint(this, index, found, matrix);
    found = 0;
    return NullVector;
}

const CVector& CRender::GetAttachPoint(CCRC32 point, int& found, CMatrix* matrix)
{
    if (pResource)
        return pResource->GetAttachPoint(this, point, found, matrix);
    found = 0;
    return NullVector;
}

int CRender::GetNodeCount() { return pResource ? pResource->GetNodeCount() : 0; }

void CRender::GetNodePos(int node, CVector& out)
{
    if (pResource)
        pResource->GetNodePos(node, out);
    else
        out = NullVector;
}

void CRender::Attach(CRender* child, unsigned long point)
{
    if (pResource)
        pResource->Attach(this, child, point, 0);
}

void CRender::Attach(CRender* child, CCRC32 point)
{
    if (pResource)
        pResource->Attach(this, child, point, 0);
}

void CRender::Detach(unsigned long point, int flags)
{
    if (pResource)
        pResource->Attach(this, nullptr, point, flags);
}

void CRender::Detach(CCRC32 point, int flags)
{
    if (pResource)
        pResource->Attach(this, nullptr, point, flags);
}

int CRender::Attach(const char* format, ...)
{
    if (!pWorkspace)
        return 0;
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(TextBuffer, sizeof TextBuffer, format, args);
    va_end(args);
    if (length < 0)
        length = 0;
    if (length >= int(sizeof TextBuffer))
        length = int(sizeof TextBuffer) - 1;
    TextBuffer[length] = '\0';
    pWorkspace->AttachText(TextBuffer);
    return length;
}

void CRender::AttachText(const char* text)
{
    if (pWorkspace)
        pWorkspace->AttachText(text);
}

bool CRender::IsCollision(const CVector* point, float radius, const CVector* at)
{
    CCollisionData* data = GetCollisionData();
    return data && data->IsCollision(point, radius, at ? at : pPos, this);
}

bool CRender::IsCollision(const fRECT& rect, const CVector* at)
{
    CCollisionData* data = GetCollisionData();
    return data && data->IsCollision(rect, at ? at : pPos, this);
}

float CRender::IsCollision(const CVector* from, const CVector* to, const CVector* at)
{
    CCollisionData* data = GetCollisionData();
    return data ? data->IsCollision(from, to, at ? at : pPos, this) : -1.0f;
}

// The shapes read their owner's position through the render, so the test position stands in
// for it while the test runs.
bool CRender::IsCollision(CRender* other, const CVector* at)
{
    CCollisionData* mine = GetCollisionData();
    CCollisionData* theirs = other ? other->GetCollisionData() : nullptr;
    if (!mine || !theirs)
        return false;
    const CVector* ownPos = pPos;
    if (at)
        pPos = at;
    bool hit = mine->IsCollision(theirs, other, this);
    pPos = ownPos;
    return hit;
}

bool CRender::IsCollisionSimple()
{
    CCollisionData* data = GetCollisionData();
    return !data || data->IsCollisionSimple();
}

unsigned long CRender::GetCollisionFlags()
{
    CCollisionData* data = GetCollisionData();
    return data ? data->GetFlags() & 0x1F : 0;
}

float CRender::GetPlottingRadius(CVector* centre) const
{
    if (centre)
        *centre = PlottingCentre;
    return PlottingRadius;
}

float CRender::GetHeightData()
{
    CVector normal;
    return GetHeightData(normal);
}

float CRender::GetHeightData(CVector& normal)
{
    if (!pLocation || !pPos) {
        normal = CVector(0.0f, 0.0f, 1.0f);
        return 0.0f;
    }
    return CRenderer::GetHeightData(*pPos, normal, pLocation);
}

// The strict test keeps a render on a shared edge asking the world, which hands it the
// earlier-registered of the two locations, as it does for every other query at that point.
void CRender::UpdateLocation()
{
    if (!GmvWorld::pThe || !pPos)
        return;
    if (GmvWorld::IsLocationValid(pLocation, *pPos, Viewport))
        return;
    pLocation = GmvWorld::GetLocation(*pPos, 1UL << Viewport);
}

void CRender::Attach(GEffect* effect)
{
    for (GEffect* e = pRootEffect; e; e = e->pNextEffect)
        if (e == effect)
            return;
    effect->pOwner = this;
    effect->pNextEffect = pRootEffect;
    pRootEffect = effect;
}

void CRender::Detach(GEffect* effect)
{
    for (GEffect** link = &pRootEffect; *link; link = &(*link)->pNextEffect) {
        if (*link == effect) {
            *link = effect->pNextEffect;
            effect->pOwner = nullptr;
            effect->pNextEffect = nullptr;
            return;
        }
    }
}

void CRender::EjectAllEffects(bool reparent)
{
    GEffect* effect = pRootEffect;
    pRootEffect = nullptr;
    while (effect) {
        GEffect* next = effect->pNextEffect;
        if (reparent)
            effect->SetParent(nullptr);
        effect->pOwner = nullptr;
        effect->pNextEffect = nullptr;
        effect->Eject(this);
        effect = next;
    }
}

void CRender::Display()
{
    if (!pResource && !pRootEffect)
        return;
    if (Viewport != CRenderer::CurrentResViewport)
        return;
    if (pColour && pColour->w <= 0.0f)
        return;
    int suppressed = 1;
    if (pResource) {
        pResource->SetPalette(IndexValue);
        suppressed = 0;
    }
    for (GEffect* effect = pRootEffect; effect;) {
        // An effect may take itself off the chain while it draws.
        GEffect* next = effect->pNextEffect;
        if (effect->Render())
            ++suppressed;
        effect = next;
    }
    if (suppressed == 0)
        pResource->Render(this);
}

void CRender::AddSelectableRender(const RECT& rect)
{
    if ((DWORD(Selectable) >> 16) == 0 || pSelected == SelectedList + kSelectedListSize)
        return;
    if (GObject* object = GObject::GetGobject(Selectable))
        object->ScreenWake();
    pSelected->Handle = Selectable;
    pSelected->Rect = rect;
    ++pSelected;
}

void CRender::NotOnScreen()
{
    if (GObject* object = GObject::GetGobject(Selectable))
        object->ScreenWoken = 0;
}
