#include "engine/effects/GParticleSystem.h"

#include "engine/effects/EffectModifiers.h"
#include "engine/effects/EffectObjects.h"
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/heap/ZHeap.h"
#include "core/math/MathTables.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/GWind.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/effects/ParticlePool.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderDevice.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GParticleSystem, 0x08808000)
IMPLEMENT_GOBJECT(GParticleSystemNoSave, 0x04808000)
IMPLEMENT_GOBJECT(GParticleSystemEx, 0x88008000)

int GParticleSystem::ActiveSystems = 0;
int GParticleSystem::ActiveParticles = 0;

namespace {

CVector TransformPoint(const CVector& p, const CMatrix& m)
{
    return CVector(p.x * m.m0 + p.y * m.m4 + p.z * m.m8 + m.m12, p.x * m.m1 + p.y * m.m5 + p.z * m.m9 + m.m13,
                   p.x * m.m2 + p.y * m.m6 + p.z * m.m10 + m.m14);
}

CVector RotatePoint(const CVector& p, const CMatrix& m)
{
    return CVector(p.x * m.m0 + p.y * m.m4 + p.z * m.m8, p.x * m.m1 + p.y * m.m5 + p.z * m.m9,
                   p.x * m.m2 + p.y * m.m6 + p.z * m.m10);
}

CVector Blend(const CVector& a, const CVector& b, float fraction)
{
    return CVector(fraction * a.x + (1.0f - fraction) * b.x, fraction * a.y + (1.0f - fraction) * b.y,
                   fraction * a.z + (1.0f - fraction) * b.z);
}

CVector LerpVector(const CVector& a, const CVector& b, float t)
{
    return CVector(Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t));
}

float Length(const CVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

CVector Normalised(const CVector& v)
{
    const float length = Length(v);
    if (length == 0.0f)
        return v;
    return CVector(v.x / length, v.y / length, v.z / length);
}

// A definition's value interpolated by t toward the next definition's, when there is one.
float TowardNext(const rhu::ParticleDef& def, float rhu::ParticleDef::*field, float t)
{
    return def.pNextDef ? Lerp(def.*field, def.pNextDef->*field, t) : def.*field;
}

CVector TowardNext(const rhu::CVector& own, const rhu::CVector* next, float t)
{
    return next ? LerpVector(ToVector(own), ToVector(*next), t) : ToVector(own);
}

// The integer part as the engine's float store takes it: x - 0.4999999 to the nearest integer.
int IntegerPart(float x) { return static_cast<int>(std::lrintf(x - 0.4999999f)); }

unsigned long BlendWord(unsigned long flags)
{
    if (!(flags & rhu::PARDEF_ALPHA))
        return 2050;
    return (flags & rhu::PARDEF_ADDITIVE) ? 6162 : 2066;
}

D3DCOLOR PackColour(const CVector4& c)
{
    auto byte = [](float v) { return D3DCOLOR(v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v)); };
    return byte(c.w) << 24 | byte(c.x) << 16 | byte(c.y) << 8 | byte(c.z);
}

} // namespace

GParticleSystem::GParticleSystem()
{
    if (EditableEvaluation != 0)
        return;
    ++ActiveSystems;
    ParticleCount = 0;
    Capacity = 0;
    pParticles = nullptr;
    Paused = 0;
    FractionalCount = 0.0f;
    pEmitOverride = nullptr;
    MatrixValid = 0;
    Accumulated = kNeverRun;
    WindX = WindY = 0.0f;
    Removed = false;
    if (BoundingBloat == 0.0f)
        BoundingBloat = 10.0f;
    BudgetChannel = std::min(std::max(BudgetChannel, 0), BUDGET_CHANNELS - 1);
    if (!CRenderer::GetDevice().GetSwitches().ParticleResources)
        pResource = nullptr;
    if (CollideDirection != -1.0f)
        CollideDirection = 1.0f;
    PrepareEmitter();
    if (!SpawnEjected)
        return;
    CMatrix matrix;
    EmitterMatrix(matrix);
    ParentAttach = 0;
    SelfRender = 1;
    matrix.GetEuler(CMatrix::XYZ, Position, Rotation);
    SetParent(nullptr);
}

GParticleSystem::~GParticleSystem()
{
    if (EditableEvaluation != 0)
        return;
    ActiveParticles -= ParticleCount;
    ChannelParticleCount[BudgetChannel] -= ParticleCount;
    for (int i = 0; i < ParticleCount; ++i)
        ParticlePoolGive(pParticles[i]);
    zfree(pParticles);
    --ActiveSystems;
}

int GParticleSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "pEmitter", "EmitterDef*", pEmitter, kResolvedPointerFlags);
    AddEditable(cursor, "pEmitOverride", "EmitterDef*", pEmitOverride, kResolvedPointerFlags);
    AddEditable(cursor, "PreProcess", "float", PreProcess);
    AddEditable(cursor, "BoundingBloat", "float", BoundingBloat);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "AutoAttach", "int", AutoAttach);
    AddEditable(cursor, "SelfRender", "int", SelfRender);
    AddEditable(cursor, "SpawnEjected", "int", SpawnEjected);
    AddEditable(cursor, "SelfOrient", "int", SelfOrient);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, kResolvedPointerFlags);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "SoundID", "DWORD", SoundID);
    AddEditable(cursor, "AllowFlocking", "int", AllowFlocking);
    AddEditable(cursor, "AltCollideHeight", "float", AltCollideHeight);
    AddEditable(cursor, "AltCollideNormal.X", "float", AltCollideNormal.x);
    AddEditable(cursor, "AltCollideNormal.Y", "float", AltCollideNormal.y);
    AddEditable(cursor, "AltCollideNormal.Z", "float", AltCollideNormal.z);
    AddEditable(cursor, "CollidePhaseShift", "int", CollidePhaseShift);
    AddEditable(cursor, "CollideDirection", "float", CollideDirection);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "BudgetChannel", "int", BudgetChannel);
    AddEditable(cursor, "IsMacroBudgeted", "int", MacroBudgetedField());
    AddEditable(cursor, "EjectDeath", "int", EjectDeath);
    return count + 24;
}

void GParticleSystem::Pause(bool paused) { Paused = paused ? 1 : 0; }
void GParticleSystem::SpawnParticle(ParticleStub*) {}
bool GParticleSystem::UpdateParticle(ParticleStub*, float) { return false; }
void GParticleSystem::DestroyParticle(ParticleStub*) {}

void GParticleSystem::PrepareEmitter()
{
    EmitDelay = 0.0f;
    if (!pEmitter)
        return;
    StageTime = 0.0f;
    StageLength = RangeValue(pEmitter->Lifespan);
    ApertureIn = RangeValue(pEmitter->ArpetureIn);
    ApertureEx = RangeValue(pEmitter->ArpetureEx);
    if (rhu::EmitterDef* next = pEmitter->pNextDef) {
        ApertureInNext = RangeValue(next->ArpetureIn);
        ApertureExNext = RangeValue(next->ArpetureEx);
    } else {
        ApertureInNext = ApertureIn;
        ApertureExNext = ApertureEx;
    }
}

void GParticleSystem::RotationMatrix(const CVector& angles, CMatrix& out)
{
    out.SetEuler_XYZS(CVector(0, 0, 0), angles);
}

void GParticleSystem::EmitterMatrix(CMatrix& out)
{
    out.SetEuler_XYZS(Position, Rotation);
    GObject* parent = GetParent();
    if (!ParentAttach || !parent || parent == GetRoot())
        return;
    GPosRot* owner = GPosRot::FromObject(parent);
    if (!owner)
        return;
    CRender* render = ParentRender(this);
    int found = 0;
    CMatrix attach;
    if (render && render->GetResource())
        render->GetAttachPoint(CCRC32(ParentAttach), found, &attach);
    if (!found) {
        if (SelfOrient) {
            attach.SetIdentity();
            attach.m12 = owner->Position.x;
            attach.m13 = owner->Position.y;
            attach.m14 = owner->Position.z;
        } else {
            attach.SetEuler_XYZS(owner->Position, owner->Rotation);
        }
    } else if (SelfOrient) {
        const float x = attach.m12, y = attach.m13, z = attach.m14;
        attach.SetIdentity();
        attach.m12 = x;
        attach.m13 = y;
        attach.m14 = z;
    }
    out *= attach;
}

void GParticleSystem::SetUpOwnRender(CRendResource* resource)
{
    OwnRender.Attach(&Position, &Rotation, nullptr, nullptr);
    OwnRender.Index(0);
    if (resource)
        OwnRender.Attach(resource, 0);
    OwnRender.Attach(this);
    OwnRender.SetViewport(static_cast<short>(Viewport & 0x1F));
    OwnRender.SetCullRadius(BoundingBloat);
    OwnRender.Link();
}

bool GParticleSystem::MayEmit()
{
    if (BoundingBloat >= 0.0f && !IsInFrustrum(Viewport, Position, BoundingBloat))
        return false;
    if (FOWMode > 0.0f && GFOWManager::pThe) {
        const float fog = GFOWManager::pThe->ReadFOW(Position);
        if (fog < 0.0f)
            return false;
        if (FOWMode > 1.0f && fog < CGameTimer::GameTime())
            return false;
    }
    return true;
}

bool GParticleSystem::Process()
{
    if (EjectDeath) {
        Destroy();
        return true;
    }
    if (pEmitOverride) {
        pEmitter = pEmitOverride;
        pEmitOverride = nullptr;
        PrepareEmitter();
    }
    if (!GetOwner()) {
        if (SelfRender)
            SetUpOwnRender(pResource);
        else if (CRender* render = ParentAttach ? ParentRender(this) : nullptr)
            render->Attach(this);
    }
    Accumulated = Accumulated == kNeverRun ? PreProcess : Accumulated + PreProcess;
    PreProcess = 0.0f;
    Accumulated += CGameTimer::FrameTime();
    const float total = Accumulated;

    CMatrix current;
    EmitterMatrix(current);
    if (GetOwner() == &OwnRender) {
        WorldPosition.Set(current.m12, current.m13, current.m14);
        OwnRender.Attach(&WorldPosition, &Rotation, nullptr, nullptr);
    }
    if (!MatrixValid) {
        PreviousMatrix = current;
        MatrixValid = 1;
    }
    WindX = WindY = 0.0f;
    if (GWind::pThe) {
        WindX = GWind::pThe->wind.x / 30.0f;
        WindY = GWind::pThe->wind.y / 30.0f;
    }
    const bool mayEmit = MayEmit();
    bool emitted = false;
    while (Accumulated >= kParticleStep)
        if (Step(current, total, mayEmit, emitted))
            return true;
    if (SoundID && GSoundSystem::pThe && !GSoundSystem::pThe->Status(Sound) && emitted)
        Sound = GSoundSystem::pThe->Play(SoundID, &Position);
    PreviousMatrix = current;
    return false;
}

bool GParticleSystem::Step(const CMatrix& current, float total, bool mayEmit, bool& emitted)
{
    CVector average(0, 0, 0);
    if (AllowFlocking && ParticleCount > 0) {
        for (int i = 0; i < ParticleCount; ++i) {
            average.x += pParticles[i]->Position.x;
            average.y += pParticles[i]->Position.y;
            average.z += pParticles[i]->Position.z;
        }
        average.Set(average.x / ParticleCount, average.y / ParticleCount, average.z / ParticleCount);
    }
    bool removed = false;
    for (int i = 0; i < ParticleCount; ++i) {
        ParticleStub& p = *pParticles[i];
        if (!AgeParticle(p) || !MoveParticle(p, average) || UpdateParticle(&p, Accumulated)) {
            KillParticle(i);
            removed = true;
        }
    }
    if (removed) {
        PackParticles();
        Removed = ParticleCount == 0;
    }
    if (pEmitter && !Paused && mayEmit && EmitDelay < kParticleStep)
        Emit(current, total, emitted);
    Accumulated -= kParticleStep;
    if (!Paused) {
        EmitDelay = std::max(EmitDelay - kParticleStep, 0.0f);
        StageTime += kParticleStep;
    }
    if (pEmitter && !Paused && StageLength >= 0.0f && StageLength <= StageTime && AdvanceStage())
        return true;
    if (Removed && ParticleCount == 0 && !pEmitter) {
        Destroy();
        return true;
    }
    return false;
}

bool GParticleSystem::AgeParticle(ParticleStub& p)
{
    // A stage without a particle definition spawns records that have nothing to live by.
    if (!p.pDef)
        return false;
    p.Age += kParticleStep;
    if (p.Age * p.InvLifespan < 1.0f)
        return true;
    rhu::ParticleDef* next = p.pDef->pNextDef;
    if (!next)
        return false;
    p.Age -= p.Lifespan;
    EnterNextDefinition(p, next);
    return true;
}

bool GParticleSystem::MoveParticle(ParticleStub& p, const CVector& average)
{
    const rhu::ParticleDef& def = *p.pDef;
    const rhu::ParticleDef* next = def.pNextDef;
    const float t = Clamp01(p.Age * p.InvLifespan);
    p.Velocity.x *= 1.0f - Lerp(p.StartDamp.x, p.EndDamp.x, t);
    p.Velocity.y *= 1.0f - Lerp(p.StartDamp.y, p.EndDamp.y, t);
    p.Velocity.z *= 1.0f - Lerp(p.StartDamp.z, p.EndDamp.z, t);
    const CVector flocking = TowardNext(def.Flocking, next ? &next->Flocking : nullptr, t);
    const float wind = TowardNext(def, &rhu::ParticleDef::Wind, t);
    const float gravity = TowardNext(def, &rhu::ParticleDef::Gravity, t);
    p.Velocity.z -= gravity / 30.0f;
    const float oldZ = p.Position.z;
    p.Position.x += p.Velocity.x / 30.0f;
    p.Position.y += p.Velocity.y / 30.0f;
    p.Position.z += p.Velocity.z / 30.0f;
    if (AllowFlocking) {
        p.Position.x += (average.x - p.Position.x) * flocking.x;
        p.Position.y += (average.y - p.Position.y) * flocking.y;
        p.Position.z += (average.z - p.Position.z) * flocking.z;
    }
    p.Position.x += wind * WindX;
    p.Position.y += wind * WindY;
    if ((def.Flags & rhu::PARDEF_COLLIDE) && (oldZ - p.Position.z) * CollideDirection > 0.0f)
        return Collide(p, t);
    return true;
}

bool GParticleSystem::Collide(ParticleStub& p, float t)
{
    float height;
    CVector normal;
    if (AltCollideHeight != 0.0f) {
        height = AltCollideHeight;
        normal = AltCollideNormal;
    } else {
        height = CRenderer::GetHeightData(p.Position, normal);
    }
    if ((height - p.Position.z) * CollideDirection < 0.0f)
        return true;
    p.Position.z = height;
    normal.Set(normal.x * CollideDirection, normal.y * CollideDirection, normal.z * CollideDirection);
    const float speed = fmsqrt(p.Velocity.x * p.Velocity.x + p.Velocity.y * p.Velocity.y + p.Velocity.z * p.Velocity.z);
    // A particle that flocking brought to rest has no direction to reflect.
    if (speed > 0.0f) {
        const CVector d(p.Velocity.x / speed, p.Velocity.y / speed, p.Velocity.z / speed);
        const float dn = 2.0f * (d.x * normal.x + d.y * normal.y + d.z * normal.z);
        const float keep = speed * (1.0f - TowardNext(*p.pDef, &rhu::ParticleDef::Absorption, t));
        p.Velocity.Set((d.x - dn * normal.x) * keep, (d.y - dn * normal.y) * keep, (d.z - dn * normal.z) * keep);
    }
    if (!CollidePhaseShift)
        return true;
    rhu::ParticleDef* next = p.pDef->pNextDef;
    rhu::ParticleDef* afterNext = next ? next->pNextDef : nullptr;
    if (!afterNext)
        return false;
    EnterFirstDefinition(p, afterNext);
    return true;
}

void GParticleSystem::KillParticle(int index)
{
    ParticleStub* p = pParticles[index];
    --ActiveParticles;
    --ChannelParticleCount[BudgetChannel];
    DestroyParticle(p);
    ParticlePoolGive(p);
    pParticles[index] = nullptr;
}

void GParticleSystem::PackParticles()
{
    int kept = 0;
    for (int i = 0; i < ParticleCount; ++i)
        if (pParticles[i])
            pParticles[kept++] = pParticles[i];
    ParticleCount = kept;
}

void GParticleSystem::Emit(const CMatrix& current, float total, bool& emitted)
{
    const rhu::EmitterDef& e = *pEmitter;
    const rhu::EmitterDef* next = e.pNextDef;
    const float progress = StageLength > 0.0f ? Clamp01(StageTime / StageLength) : 0.0f;
    float count = RangeValue(e.Count);
    float period;
    if (e.Period.Min < 0.0f) {
        if (next && next->Period.Min < 0.0f)
            count = (1.0f - progress) * count + progress * RangeValue(next->Count);
        count /= 30.0f;
        period = kParticleStep;
    } else {
        period = RangeValue(e.Period);
        if (next) {
            count = (1.0f - progress) * count + progress * RangeValue(next->Count);
            if (next->Period.Min > 0.0f)
                period = (1.0f - progress) * period + progress * RangeValue(next->Period);
        }
    }
    EmitDelay += period;
    FractionalCount += count;
    const int n = IntegerPart(FractionalCount);
    FractionalCount -= static_cast<float>(n);
    if (n == 0)
        return;
    emitted = true;
    Removed = false;
    const float fraction = total > 0.0f ? Clamp01(Accumulated / total) : 0.0f;
    ForceSpawn(n, PreviousMatrix, current, fraction, progress);
}

bool GParticleSystem::AdvanceStage()
{
    StageTime -= StageLength;
    EmitDelay = 0.0f;
    pEmitter = pEmitter->pNextDef;
    if (pEmitter) {
        StageLength = RangeValue(pEmitter->Lifespan);
        ApertureIn = ApertureInNext;
        ApertureEx = ApertureExNext;
        if (rhu::EmitterDef* after = pEmitter->pNextDef) {
            ApertureInNext = RangeValue(after->ArpetureIn);
            ApertureExNext = RangeValue(after->ArpetureEx);
        }
        return false;
    }
    if (ParticleCount != 0)
        return false;
    Destroy();
    return true;
}

void GParticleSystem::Grow(int needed)
{
    if (needed <= Capacity)
        return;
    const int capacity = needed + needed / 4;
    ParticleStub** grown = static_cast<ParticleStub**>(zmalloc(sizeof(ParticleStub*) * capacity));
    if (ParticleCount)
        std::memcpy(grown, pParticles, sizeof(ParticleStub*) * ParticleCount);
    zfree(pParticles);
    pParticles = grown;
    Capacity = capacity;
}

void GParticleSystem::ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float fraction,
                                 float progress)
{
    if (count <= 0 || !pEmitter)
        return;
    const rhu::EmitterDef& e = *pEmitter;
    const rhu::EmitterDef* next = e.pNextDef;
    int k = IntegerPart((1.0f - ChannelLoad(BudgetChannel)) * count + 0.45f);
    if (k <= 0 && BudgetChannel >= 8)
        k = 1;
    if (k <= 0)
        return;
    Grow(ParticleCount + k);

    const float apertureIn = Lerp(ApertureIn, ApertureInNext, progress);
    const float apertureEx = Lerp(ApertureEx, ApertureExNext, progress);
    const CVector cone = TowardNext(e.Vector, next ? &next->Vector : nullptr, progress);
    const CVector ellipse = TowardNext(e.Ellipse, next ? &next->Ellipse : nullptr, progress);
    CMatrix coneMatrix;
    RotationMatrix(cone, coneMatrix);

    for (int i = 0; i < k; ++i) {
        ++ActiveParticles;
        ++ChannelParticleCount[BudgetChannel];
        ParticleStub* p = ParticlePoolTake();
        std::memset(p, 0, sizeof *p);
        if (e.pParticle)
            EnterFirstDefinition(*p, e.pParticle);
        float speed = RangeValue(e.Velocity);
        if (next)
            speed = (1.0f - progress) * speed + progress * RangeValue(next->Velocity);
        const float pitch = apertureEx + UnitRandom() * (apertureIn - apertureEx);
        const float yaw = GlobalRandom.Rand(fmTwoPi);
        CMatrix aim;
        RotationMatrix(CVector(pitch, 0.0f, yaw), aim);
        const CVector direction = RotatePoint(CVector(aim.m8, aim.m9, aim.m10), coneMatrix);
        CVector offset(GlobalRandom.Rand(2.0f) - 1.0f, 0, 0);
        offset.y = GlobalRandom.Rand(2.0f) - 1.0f;
        offset.z = GlobalRandom.Rand(2.0f) - 1.0f;
        offset = Normalised(offset);
        offset = RotatePoint(CVector(offset.x * ellipse.x, offset.y * ellipse.y, offset.z * ellipse.z), coneMatrix);
        p->Position = Blend(TransformPoint(offset, previous), TransformPoint(offset, current), fraction);
        const CVector heading =
            Normalised(Blend(RotatePoint(direction, previous), RotatePoint(direction, current), fraction));
        p->Velocity.Set(heading.x * speed, heading.y * speed, heading.z * speed);
        SpawnParticle(p);
        UpdateParticle(p, Accumulated);
        pParticles[ParticleCount++] = p;
    }
}

void GParticleSystem::ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float fraction,
                                 float progress, rhu::ParticleDef* def)
{
    if (!def || !pEmitter)
        return;
    rhu::ParticleDef* saved = pEmitter->pParticle;
    pEmitter->pParticle = def;
    ForceSpawn(count, previous, current, fraction, progress);
    pEmitter->pParticle = saved;
}

void GParticleSystem::Interact(const CVector& push)
{
    for (int i = 0; i < ParticleCount; ++i) {
        CVector& v = pParticles[i]->Velocity;
        v.Set(v.x + push.x, v.y + push.y, v.z + push.z);
    }
}

void GParticleSystem::Interact(const CVector& centre, float radius, float inner, float outer)
{
    for (int i = 0; i < ParticleCount; ++i) {
        ParticleStub& p = *pParticles[i];
        const CVector d(p.Position.x - centre.x, p.Position.y - centre.y, p.Position.z - centre.z);
        const float squared = d.x * d.x + d.y * d.y + d.z * d.z;
        if (squared == 0.0f || squared > radius * radius)
            continue;
        const float distance = std::sqrt(squared);
        const float r = distance / radius;
        const float push = ((1.0f - r) * inner + r * outer) / distance;
        p.Velocity.Set(p.Velocity.x + d.x * push, p.Velocity.y + d.y * push, p.Velocity.z + d.z * push);
    }
}

void GParticleSystem::Eject(CRender* owner)
{
    if (ParticleCount == 0) {
        EjectDeath = 1;
        return;
    }
    CMatrix matrix;
    EmitterMatrix(matrix);
    matrix.GetEuler(CMatrix::XYZ, Position, Rotation);
    ParentAttach = 0;
    SetParent(nullptr);
    if (owner != &OwnRender)
        SetUpOwnRender(nullptr);
    pEmitter = nullptr;
    PrepareEmitter();
}

CVector4 GParticleSystem::CurrentColour(const ParticleStub& p)
{
    const float t = Clamp01(p.Age * p.InvLifespan);
    return CVector4(Lerp(p.StartColor.x, p.EndColor.x, t), Lerp(p.StartColor.y, p.EndColor.y, t),
                    Lerp(p.StartColor.z, p.EndColor.z, t), Lerp(p.StartColor.w, p.EndColor.w, t));
}

void GParticleSystem::BuildQuad(const ParticleStub& p, const CVector& position, const CVector& facing,
                                const CVector4& colour, PrimVertex* out)
{
    const rhu::ParticleDef& def = *p.pDef;
    const float t = Clamp01(p.Age * p.InvLifespan);
    CMatrix orient;
    const CVector angles = LerpVector(p.StartOrient, p.EndOrient, t);
    // Unturned particles are the common case; their axes need no table lookups.
    if (angles.x == 0.0f && angles.y == 0.0f && angles.z == 0.0f)
        orient.SetIdentity();
    else
        RotationMatrix(angles, orient);
    if (def.Facing != 0) {
        CMatrix face;
        RotationMatrix(CVector((def.Facing & 1) ? facing.x : 0.0f, (def.Facing & 2) ? facing.y : 0.0f,
                               (def.Facing & 4) ? facing.z : 0.0f),
                       face);
        orient *= face;
    }
    const float scale = Lerp(p.StartScale, p.EndScale, t);
    const CVector size = TowardNext(def.Size, def.pNextDef ? &def.pNextDef->Size : nullptr, t);
    const float w = scale * size.x, h = scale * size.y;
    const CVector x(orient.m0 * w, orient.m1 * w, orient.m2 * w);
    const CVector y(orient.m4 * h, orient.m5 * h, orient.m6 * h);
    const CVector& c = position;
    const float corners[4][4] = {{-1, 1, 0, 0}, {1, 1, 1, 0}, {-1, -1, 0, 1}, {1, -1, 1, 1}};
    const D3DCOLOR packed = PackColour(colour);
    for (int i = 0; i < 4; ++i) {
        const float sx = corners[i][0], sy = corners[i][1];
        out[i] = PrimVertex{c.x + sx * x.x + sy * y.x,
                            c.y + sx * x.y + sy * y.y,
                            c.z + sx * x.z + sy * y.z,
                            0,
                            0,
                            0,
                            packed,
                            corners[i][2],
                            corners[i][3]};
    }
}

namespace {

// Particles of one look: the definition flags that choose the draw state, and the texture.
bool SameBatch(const rhu::ParticleDef* a, const rhu::ParticleDef* b)
{
    return (a->Flags & 0x1E) == (b->Flags & 0x1E) && a->pTexture == b->pTexture;
}

// The tint of the fog-of-war state at a particle: unexplored, visible now, or seen before.
const CVector4* FogTint(const CVector& position, const CVector4 tints[3])
{
    if (!GFOWManager::pThe)
        return nullptr;
    CVector at = position;
    const float fog = GFOWManager::pThe->ReadFOW(at);
    if (fog < 0.0f)
        return &tints[0];
    return fog > CGameTimer::GameTime() ? &tints[1] : &tints[2];
}

} // namespace

void GParticleSystem::BeginBatch(const rhu::ParticleDef& def, DWORD priority)
{
    BeginPrimitives(0, 1, 1);
    SetPrimitiveStage(0, static_cast<int>((def.Flags >> 3) & 3), static_cast<int>(BlendWord(def.Flags)), nullptr);
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(def.pTexture));
    SetPrimitivePriority(static_cast<int>(priority));
}

bool GParticleSystem::CameraEye(int viewport, CVector& eye, CVector& focus)
{
    if (GmvCamera* camera = GmvCamera::pThe) {
        eye = camera->GetPos();
        focus = camera->GetFocus();
        return true;
    }
    // Without a camera object the viewport's loaded view still says where the eye is: its
    // rotation columns are side, up and the reversed forward direction.
    const ViewportTransform* view = GetViewportTransform(viewport & 7);
    if (!view)
        return false;
    const CMatrix& m = view->Camera;
    const CVector side(m.m0, m.m4, m.m8), up(m.m1, m.m5, m.m9), back(m.m2, m.m6, m.m10);
    eye.Set(-(m.m12 * side.x + m.m13 * up.x + m.m14 * back.x), -(m.m12 * side.y + m.m13 * up.y + m.m14 * back.y),
            -(m.m12 * side.z + m.m13 * up.z + m.m14 * back.z));
    focus.Set(eye.x - back.x, eye.y - back.y, eye.z - back.z);
    return back.x != 0.0f || back.y != 0.0f || back.z != 0.0f;
}

bool GParticleSystem::CameraFacing(int viewport, CVector& facing)
{
    CVector eye, focus;
    if (!CameraEye(viewport, eye, focus))
        return false;
    CMatrix look;
    look.LookAway(eye, focus, CVector(0, 0, 1));
    CVector at;
    look.GetEuler(CMatrix::XYZ, at, facing);
    return true;
}

bool GParticleSystem::Render()
{
    CVector facing;
    if (ParticleCount == 0 || !CameraFacing(Viewport, facing))
        return false;
    // Stable, so particles of one definition keep their spawn order.
    std::stable_sort(pParticles, pParticles + ParticleCount, [](const ParticleStub* a, const ParticleStub* b) {
        return reinterpret_cast<uintptr_t>(a->pDef) < reinterpret_cast<uintptr_t>(b->pDef);
    });
    CVector4 tints[3], edge;
    if (GFOWManager::pThe)
        GFOWManager::pThe->GetFOWColours(tints[1], tints[0], tints[2], edge);

    int i = 0;
    while (i < ParticleCount && !pParticles[i]->pDef)
        ++i;
    while (i < ParticleCount) {
        const rhu::ParticleDef* first = pParticles[i]->pDef;
        int end = i;
        while (end < ParticleCount && SameBatch(first, pParticles[end]->pDef))
            ++end;
        BeginBatch(*first, RendPriority);
        while (i < end) {
            int granted = 0;
            PrimVertex* quads = ReserveParticleQuads(3, end - i, &granted);
            if (!quads)
                return false;
            for (int q = 0; q < granted; ++q, ++i) {
                const ParticleStub& p = *pParticles[i];
                CVector4 colour = CurrentColour(p);
                if (const CVector4* tint = FogTint(p.Position, tints))
                    colour.Set(colour.x * tint->x, colour.y * tint->y, colour.z * tint->z, colour.w);
                BuildQuad(p, p.Position, facing, colour, quads + 4 * q);
            }
            SubmitParticleQuads();
        }
        EndPrimitives();
    }
    return false;
}
