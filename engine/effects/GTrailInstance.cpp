#include "engine/effects/GTrailInstance.h"

#include "engine/effects/EffectModifiers.h"
#include "engine/effects/EffectObjects.h"
#include <algorithm>

#include "core/heap/ZHeap.h"
#include "core/math/CMatrix.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GTrailInstance, 0x00808000)

namespace {

bool SamePoint(const CVector& a, const CVector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

} // namespace

GTrailInstance::GTrailInstance()
{
    if (EditableEvaluation != 0)
        return;
    Paused = 0;
    pTrailOverride = nullptr;
    Accumulated = kNeverRun;
    Countdown = 0.0f;
    RemainingLife = -1.0f;
    WriteIndex = 0;
    Filled = 0;
    Started = 0;
    SecondRecorded = 0;
    FirstTime = 0.0f;
    pKeys = nullptr;
    KeyCount = 0;
    BudgetChannel = std::min(std::max(BudgetChannel, 0), BUDGET_CHANNELS - 1);
    Capacity = TrailPointCount(TrailSpan, TrailPeriod);
    pPoints = Capacity > 0
                  ? static_cast<TrailPoint*>(zmalloc(static_cast<unsigned long>(Capacity) * sizeof(TrailPoint)))
                  : nullptr;
    PrepareTrail();
    ++ChannelTrailCount[BudgetChannel];
}

GTrailInstance::~GTrailInstance()
{
    if (EditableEvaluation != 0)
        return;
    --ChannelTrailCount[BudgetChannel];
    zfree(pPoints);
    zfree(pKeys);
    // Leaving the own render's chain first keeps GEffect's destructor from detaching from a
    // render instance that is already gone.
    if (GetOwner() == &OwnRender)
        OwnRender.Detach(this);
}

int GTrailInstance::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "pTrail", "ParticleDef*", pTrail, kResolvedPointerFlags);
    AddEditable(cursor, "pTrailOverride", "ParticleDef*", pTrailOverride, kResolvedPointerFlags);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "AutoAttach", "int", AutoAttach);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, kResolvedPointerFlags);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "TrailSpan", "float", TrailSpan);
    AddEditable(cursor, "TrailPeriod", "float", TrailPeriod);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "Anchored", "int", Anchored);
    AddEditable(cursor, "SelfRender", "int", SelfRender);
    AddEditable(cursor, "BudgetChannel", "int", BudgetChannel);
    AddEditable(cursor, "CullRadius", "float", CullRadius);
    return count + 14;
}

void GTrailInstance::PrepareTrail()
{
    KeyCount = BuildTrailKeys(pTrail, TrailSpan, TrailPeriod, pKeys);
    // A busy channel records fewer points: up to five times the period at its budget.
    EffectivePeriod = TrailPeriod * (1.0f + 4.0f * TrailLoad(BudgetChannel));
}

void GTrailInstance::SetUpRender()
{
    if (GetOwner())
        return;
    if (SelfRender) {
        OwnRender.Attach(&Position, &Rotation, nullptr, nullptr);
        OwnRender.Index(0);
        OwnRender.SetSelectable(GetHandle());
        if (pResource)
            OwnRender.Attach(pResource, 0);
        OwnRender.Attach(this);
        OwnRender.SetViewport(static_cast<short>(Viewport & 0x1F));
        OwnRender.SetCullRadius(CullRadius);
        OwnRender.Link();
    } else if (ParentAttach) {
        if (CRender* render = ParentRender(this))
            render->Attach(this);
    }
}

void GTrailInstance::FollowHead()
{
    if (GetOwner() == &OwnRender) {
        Head = Position;
        return;
    }
    CMatrix m;
    m.SetEuler_XYZS(Position, Rotation);
    GObject* parent = GetParent();
    GPosRot* owner = parent && parent != GetRoot() ? GPosRot::FromObject(parent) : nullptr;
    if (ParentAttach && owner) {
        CMatrix attach;
        int found = 0;
        CRender* render = ParentRender(this);
        if (render && render->GetResource())
            render->GetAttachPoint(CCRC32(ParentAttach), found, &attach);
        if (!found)
            attach.SetEuler_XYZS(owner->Position, owner->Rotation);
        m *= attach;
    }
    Head.Set(m.m12, m.m13, m.m14);
}

bool GTrailInstance::RingFull() const { return WriteIndex >= Capacity - 1 || WriteIndex >= KeyCount - 1; }

void GTrailInstance::Record(float now)
{
    if (Capacity < 2 || (Started && SamePoint(Head, LastRecorded)))
        return;
    LastRecorded = Head;
    if (!Started) {
        pPoints[0] = TrailPoint{Head, CVector(0, 0, 0), now - Accumulated};
        FirstTime = pPoints[0].Time;
        WriteIndex = Filled = 0;
        Started = 1;
        return;
    }
    if (!SecondRecorded) {
        pPoints[1] = TrailPoint{Head, CVector(0, 0, 0), now};
        AimTrailPoint(pPoints[0], pPoints[1], nullptr);
        pPoints[1].Direction = pPoints[0].Direction;
        WriteIndex = Filled = 1;
        SecondRecorded = 1;
        Countdown = EffectivePeriod;
        return;
    }
    if (Anchored && RingFull())
        return;
    if (Countdown <= 0.0f) {
        Filled = std::min(Filled + 1, Capacity - 1);
        WriteIndex = (WriteIndex + 1) % Capacity;
        Countdown += EffectivePeriod;
        // A long frame does not owe the ring the periods it skipped.
        if (Countdown <= 0.0f)
            Countdown = EffectivePeriod;
    }
    // The newest point follows the head until the next period fixes it.
    TrailPoint& newest = pPoints[WriteIndex];
    newest.Position = Head;
    newest.Time = now;
    const int prev = (WriteIndex + Capacity - 1) % Capacity;
    const int before = (prev + Capacity - 1) % Capacity;
    AimTrailPoint(pPoints[prev], newest, Filled > 1 ? &pPoints[before] : nullptr);
    newest.Direction = pPoints[prev].Direction;
}

bool GTrailInstance::Process()
{
    const float frame = CGameTimer::FrameTime();
    if (RemainingLife >= 0.0f) {
        RemainingLife -= frame;
        if (RemainingLife <= 0.0f) {
            Destroy();
            return true;
        }
    }
    if (pTrailOverride) {
        pTrail = pTrailOverride;
        pTrailOverride = nullptr;
        PrepareTrail();
    }
    SetUpRender();
    if (GetOwner() == &OwnRender && OwnRender.GetResource())
        OwnRender.DetachResource();
    if (Accumulated == kNeverRun)
        Accumulated = 0.0f;
    Accumulated += frame;
    FollowHead();
    Countdown -= frame;
    if (!Paused)
        Record(CGameTimer::GameTime());
    Accumulated = 0.0f;
    return false;
}

void GTrailInstance::Eject(CRender*)
{
    ParentAttach = 0;
    SelfRender = 1;
    Position = Head;
    Rotation.Set(0, 0, 0);
    RemainingLife = TrailSpan;
    SetParent(nullptr);
    SetUpRender();
}

bool GTrailInstance::Render()
{
    CVector view;
    if (KeyCount < 2 || !pPoints || Filled < 1 || !TrailViewDirection(Viewport, view))
        return false;
    const float now = CGameTimer::GameTime();
    const int m = std::min(Filled, KeyCount - 1);
    const int first = (WriteIndex - m + Capacity) % Capacity;
    const bool anchored = Anchored != 0;
    const float period = TrailPeriod > 0.0f ? TrailPeriod : 1.0f;
    const float firstTime = FirstTime;
    const float last = float(KeyCount);
    BeginTrailDrawing(*pKeys[0].pDef, RendPriority);
    DrawTrailRing(
        pPoints, Capacity, first, m + 1, pKeys, KeyCount,
        [=, this](int, const TrailPoint& p) {
            const float age = anchored ? p.Time - firstTime : now - p.Time;
            const float k = age / period;
            return k >= last ? KeyCount : static_cast<int>(k);
        },
        view, now);
    EndPrimitives();
    return false;
}
