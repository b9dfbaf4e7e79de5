#include "engine/effects/GSplatterSystem.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include <algorithm>

#include "core/heap/ZHeap.h"
#include "core/names/CRandom.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/EffectModifiers.h"
#include "engine/effects/EffectRandom.h"
#include "engine/effects/EmitterPlacement.h"
#include "engine/effects/GEffectBudget.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDrawing.h"
#include "engine/effects/ParticlePool.h"
#include "engine/object/CFillData.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"

IMPLEMENT_GOBJECT(GSplatterSystem, 0x08808000)
IMPLEMENT_GOBJECT(GSplatterSystemNoSave, 0x04808000)

void* const GSplatterSystem::kCollidingMark = reinterpret_cast<void*>(1);

namespace {

const float kStep = 0.033333335f;
const float kLowestFloat = -3.4028235e38f;
// A frame longer than this (a stall, or a clock gone wrong) runs no more steps than this; the
// rest of its time is dropped rather than spent in one frame.
const int kMaxStepsPerFrame = 60;

// Red, green and blue by one random; alpha is the lower colour's.
CVector4 DrawColour(const rhu::ParticleDef& def)
{
    const CVector4 low = ToVector4(def.MinColor), high = ToVector4(def.MaxColor);
    const float r = EffectRandom();
    return CVector4(LerpFloat(low.x, high.x, r), LerpFloat(low.y, high.y, r), LerpFloat(low.z, high.z, r), low.w);
}

// The previous position lives in the end-damping words, which a splatter particle has no use
// for: the landing needs the last movement.
CVector& PreviousPosition(ParticleStub* p) { return p->EndDamp; }
const CVector& PreviousPosition(const ParticleStub* p) { return p->EndDamp; }

} // namespace

GSplatterSystem::GSplatterSystem()
{
    if (EditableEvaluation != 0)
        return;
    ++GParticleSystem::ActiveSystems;
    if (BoundingBloat == 0.0f)
        BoundingBloat = 10.0f;
    BudgetChannel = ClampBudgetChannel(BudgetChannel);
    pResource = nullptr;
    StepAccumulator = kLowestFloat;
    PrepareEmitter();
    if (SpawnEjected) {
        const CMatrix world = ComputeWorldMatrix();
        world.GetEuler(CMatrix::XYZ, Position, Rotation);
        ParentAttach = 0;
        Ejected = 1;
        SetParent(nullptr);
        SetUpOwnRender();
    }
}

GSplatterSystem::~GSplatterSystem()
{
    if (EditableEvaluation != 0)
        return;
    ChannelParticleCount[BudgetChannel] -= Count;
    GParticleSystem::ActiveParticles -= Count;
    --GParticleSystem::ActiveSystems;
    for (int i = 0; i < Count; ++i)
        ParticlePoolGive(ppParticles[i]);
    Count = 0;
    zfree(ppParticles);
    ppParticles = nullptr;
    RenderInstance.Detach(this);
}

int GSplatterSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "pEmitter", "EmitterDef *", pEmitter, 0x21);
    AddEditable(cursor, "pEmitOverride", "EmitterDef *", pEmitOverride, 0x21);
    AddEditable(cursor, "BoundingBloat", "float", BoundingBloat);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "UseMeshes", "int", UseMeshes);
    AddEditable(cursor, "CollidePhaseShift", "int", CollidePhaseShift);
    AddEditable(cursor, "AutoAttach", "int", AutoAttach);
    AddEditable(cursor, "SelfRender", "int", SelfRender);
    AddEditable(cursor, "SpawnEjected", "int", SpawnEjected);
    AddEditable(cursor, "SelfOrient", "int", SelfOrient);
    AddEditable(cursor, "pResource", "CRendResource *", pResource, 0x21);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "SoundID", "DWORD", SoundID);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    static const char* const decals[LANDING_CHOICES] = {"pDecal1", "pDecal2", "pDecal3", "pDecal4", "pDecal5"};
    static const char* const effects[LANDING_CHOICES] = {"pEffect1", "pEffect2", "pEffect3", "pEffect4", "pEffect5"};
    for (int i = 0; i < LANDING_CHOICES; ++i)
        AddEditable(cursor, decals[i], "CEmbeddedFillData *", pDecal[i], 0x21);
    for (int i = 0; i < LANDING_CHOICES; ++i)
        AddEditable(cursor, effects[i], "CEmbeddedFillData *", pEffect[i], 0x21);
    AddEditable(cursor, "DecalFrequency", "float", DecalFrequency);
    AddEditable(cursor, "DecalAccum", "float", DecalAccum);
    AddEditable(cursor, "BudgetChannel", "int", BudgetChannel);
    return count + 28;
}

void GSplatterSystem::StartStage(const rhu::EmitterDef* stage, bool fromEnd)
{
    Lifespan = RangeValue(stage->Lifespan);
    if (fromEnd) {
        InnerStart = InnerEnd;
        OuterStart = OuterEnd;
    } else {
        InnerStart = InnerEnd = RangeValue(stage->ArpetureIn);
        OuterStart = OuterEnd = RangeValue(stage->ArpetureEx);
    }
    if (const rhu::EmitterDef* next = stage->pNextDef) {
        InnerEnd = RangeValue(next->ArpetureIn);
        OuterEnd = RangeValue(next->ArpetureEx);
    }
}

void GSplatterSystem::PrepareEmitter()
{
    Countdown = 0.0f;
    if (pEmitter == nullptr)
        return;
    Age = 0.0f;
    StartStage(pEmitter, false);
}

void GSplatterSystem::Splatter_SpawnHelper(ParticleStub* p, rhu::ParticleDef* def)
{
    SetDef(p, def);
    p->Lifespan = RangeValue(def->Lifespan);
    p->InvLifespan = Reciprocal(p->Lifespan);
    p->Age = 0.0f;
    p->pExtra = nullptr;
    p->StartColor = DrawColour(*def);
    p->StartScale = RangeValue(def->Scale);
    if (def->pNextDef) {
        p->EndColor = DrawColour(*def->pNextDef);
        p->EndScale = RangeValue(def->pNextDef->Scale);
    } else {
        p->EndColor = p->StartColor;
        p->EndScale = p->StartScale;
    }
    const CVector minDamp = ToVector(def->MinDamp), maxDamp = ToVector(def->MaxDamp);
    p->StartDamp = maxDamp + (maxDamp - minDamp) * EffectRandom();
    const CVector minSpin = ToVector(def->MinSpin), maxSpin = ToVector(def->MaxSpin);
    p->StartOrient = maxSpin + (maxSpin - minSpin) * EffectRandom();
}

void GSplatterSystem::Release(ParticleStub* particle)
{
    --ChannelParticleCount[BudgetChannel];
    --GParticleSystem::ActiveParticles;
    ParticlePoolGive(particle);
}

void GSplatterSystem::Grow(int total) { GrowParticleArray(ppParticles, Capacity, Count, total); }

void GSplatterSystem::ForceSpawn(int count, const CMatrix& previous, const CMatrix& current, float previousWeight,
                                 float s)
{
    const rhu::EmitterDef* stage = pEmitter;
    if (count < 1 || stage == nullptr || stage->pParticle == nullptr)
        return;
    count = GEffectBudget::SplatterSpawnCount(count, BudgetChannel);
    Grow(Count + count);
    const rhu::EmitterDef* next = stage->pNextDef;
    CVector vector, ellipse;
    StageShape(*stage, s, vector, ellipse);
    const CMatrix frame = EmissionFrame(vector);
    const float inner = LerpFloat(InnerStart, InnerEnd, s), outer = LerpFloat(OuterStart, OuterEnd, s);
    for (int i = 0; i < count; ++i) {
        ParticleStub* particle = ParticlePoolTake();
        Splatter_SpawnHelper(particle, stage->pParticle);
        const float speed = StageValue(stage->Velocity, next ? &next->Velocity : nullptr, s);
        const EmitterPlacement place = PlaceParticle(frame, inner, outer, ellipse, previous, current, previousWeight);
        particle->Position = PreviousPosition(particle) = place.Position;
        particle->Velocity = place.Direction * speed;
        // A frequency of nothing (or less) makes no colliding particles at all.
        if (DecalFrequency > 0.0f) {
            DecalAccum += 1.0f;
            if (DecalAccum >= DecalFrequency) {
                DecalAccum -= DecalFrequency;
                particle->pExtra = kCollidingMark;
            }
        }
        ppParticles[Count++] = particle;
        ++ChannelParticleCount[BudgetChannel];
        ++GParticleSystem::ActiveParticles;
    }
}

CMatrix GSplatterSystem::ComputeWorldMatrix()
{
    CMatrix own;
    own.SetEuler_XYZS(Position, Rotation);
    GPosRot* parent = Ejected || GetParent() == GetRoot() ? nullptr : GPosRot::FromObject(GetParent());
    if (parent == nullptr)
        return own;
    CMatrix placement;
    int found = 0;
    GPhysical* physical = GPhysical::FromObject(parent);
    if (ParentAttach != 0 && physical != nullptr && physical->Render.GetResource() != nullptr)
        physical->Render.GetAttachPoint(CCRC32(ParentAttach), found, &placement);
    if (!found)
        placement.SetEuler_XYZS(parent->GetPos(), parent->GetRot());
    if (SelfOrient) {
        const CVector at(placement.m[12], placement.m[13], placement.m[14]);
        placement.SetIdentity();
        placement.m[12] = at.x;
        placement.m[13] = at.y;
        placement.m[14] = at.z;
    }
    CMatrix world;
    world.Multiply(own, placement);
    return world;
}

void GSplatterSystem::SetUpOwnRender()
{
    if (GetOwner() == &RenderInstance)
        return;
    if (GetOwner() != nullptr)
        GetOwner()->Detach(this);
    RenderInstance.Attach(&WorldPosition, &Rotation, nullptr, nullptr);
    RenderInstance.Index(0);
    RenderInstance.SetViewport(static_cast<short>(Viewport));
    RenderInstance.SetCullRadius(BoundingBloat > 0.0f ? BoundingBloat : 0.0f);
    RenderInstance.Attach(this);
    RenderInstance.Link();
    OwnRenderSet = 1;
}

bool GSplatterSystem::IsVisible()
{
    if (BoundingBloat >= 0.0f && !IsInFrustrum(Viewport & 7, WorldPosition, BoundingBloat))
        return false;
    if (FOWMode > 0.0f && GFOWManager::pThe != nullptr) {
        const float fog = GFOWManager::pThe->ReadFOW(WorldPosition);
        if (fog < 0.0f || (FOWMode > 1.0f && fog < CGameTimer::GameTime()))
            return false;
    }
    return true;
}

// One 1/30 s step of a particle; false when it is released.
bool GSplatterSystem::StepParticle(ParticleStub* p)
{
    p->Age += kStep;
    if (p->Age * p->InvLifespan >= 1.0f) {
        p->Age -= p->Lifespan;
        rhu::ParticleDef* next = DefOf(p)->pNextDef;
        SetDef(p, next);
        if (next == nullptr)
            return false;
        p->Lifespan = RangeValue(next->Lifespan);
        p->InvLifespan = Reciprocal(p->Lifespan);
        p->StartColor = p->EndColor;
        p->StartScale = p->EndScale;
        if (next->pNextDef) {
            p->EndColor = DrawColour(*next->pNextDef);
            p->EndScale = RangeValue(next->pNextDef->Scale);
        }
    }
    const rhu::ParticleDef& def = *DefOf(p);
    PreviousPosition(p) = p->Position;
    p->StartOrient += p->StartDamp * kStep;
    const float t = Clamp01(p->Age * p->InvLifespan);
    const float gravity = def.pNextDef ? LerpFloat(def.Gravity, def.pNextDef->Gravity, t) : def.Gravity;
    p->Velocity.z -= gravity * kStep;
    p->Position += p->Velocity * kStep;
    return !IsColliding(p) || Land(p);
}

// Ground contact of a colliding particle; false when it is released.
bool GSplatterSystem::Land(ParticleStub* p)
{
    const CVector previous = PreviousPosition(p);
    if (!(p->Position.z < previous.z))
        return true;
    const rhu::ParticleDef& def = *DefOf(p);
    CVector normal(0, 0, 1);
    const float ground = CRenderer::GetHeightData(p->Position, normal);
    const float rest = ground + (UseMeshes ? def.Size.Z : 0.0f);
    if (p->Position.z > rest)
        return true;
    CreateLandingObjects(p);
    p->Position.z = rest;
    const float absorption = def.pNextDef
                                 ? LerpFloat(def.Absorption, def.pNextDef->Absorption, Clamp01(p->Age * p->InvLifespan))
                                 : def.Absorption;
    const float keep = 1.0f - absorption;
    p->Velocity = (p->Velocity - normal * (2.0f * p->Velocity.Dot(normal))) * keep;
    if (!UseMeshes)
        return false;
    p->StartDamp *= keep;
    if (!CollidePhaseShift)
        return true;
    rhu::ParticleDef* afterNext = def.pNextDef ? def.pNextDef->pNextDef : nullptr;
    if (afterNext == nullptr)
        return false;
    const CVector position = p->Position, velocity = p->Velocity, orient = p->StartOrient, spin = p->StartDamp;
    Splatter_SpawnHelper(p, afterNext);
    p->pExtra = kCollidingMark;
    p->Position = PreviousPosition(p) = position;
    p->Velocity = velocity;
    p->StartOrient = orient;
    p->StartDamp = spin;
    return true;
}

// One of the five pairs, from the engine's seeded generator so a run repeats.
void GSplatterSystem::CreateLandingObjects(const ParticleStub* p)
{
    const int choice = static_cast<int>(GlobalRandom.Rand(LANDING_CHOICES - 1));
    const CVector moved = p->Position - PreviousPosition(p);
    const CVector rotation(0, 0, atan2f(moved.x, -moved.y));
    CEmbeddedFillData* records[2] = {pDecal[choice], pEffect[choice]};
    for (CEmbeddedFillData* record : records) {
        if (record == nullptr)
            continue;
        GObject* created = GObject::Create(record->ClassId, HGOBJECT(0), record->pData);
        if (created == nullptr)
            continue;
        created->SetLabel(record->LabelId);
        if (GPosRot* placed = GPosRot::FromObject(created))
            placed->SetPosRot(CVector(p->Position.x, p->Position.y, CRenderer::GetHeightData(p->Position)), rotation);
    }
}

// Emission for one step: the stage's count, blended towards the next stage's as it runs.
void GSplatterSystem::EmitStep(const CMatrix& current, float frameTime)
{
    const rhu::EmitterDef* stage = pEmitter;
    const rhu::EmitterDef* next = stage->pNextDef;
    const float s = Lifespan > 0.0f ? Clamp01(Age / Lifespan) : 0.0f;
    float n = StageValue(stage->Count, next ? &next->Count : nullptr, s);
    if (stage->Period.Min < 0.0f) {
        n *= kStep;
        Countdown += kStep;
    } else {
        Countdown += StageValue(stage->Period, next && next->Period.Min > 0.0f ? &next->Period : nullptr, s);
    }
    CountAccumulator += n;
    const float whole = floorf(CountAccumulator);
    CountAccumulator -= whole;
    if (whole > 0.0f)
        ForceSpawn(int(whole), PreviousMatrix, current, Clamp01(StepAccumulator / frameTime), s);
}

// The emitter's stage clock; true when the system has nothing left and went.
bool GSplatterSystem::AdvanceStage()
{
    if (!Paused) {
        Countdown = Countdown - kStep > 0.0f ? Countdown - kStep : 0.0f;
        Age += kStep;
    }
    if (pEmitter != nullptr && Lifespan >= 0.0f && Age >= Lifespan) {
        Age -= Lifespan;
        pEmitter = pEmitter->pNextDef;
        if (pEmitter != nullptr)
            StartStage(pEmitter, true);
    }
    if (pEmitter != nullptr || Count > 0)
        return false;
    Destroy();
    return true;
}

bool GSplatterSystem::Process()
{
    if (pEmitOverride != nullptr) {
        pEmitter = pEmitOverride;
        pEmitOverride = nullptr;
        PrepareEmitter();
    }
    if (!Ejected) {
        if (SelfRender)
            SetUpOwnRender();
        else if (ParentAttach != 0 && GetOwner() == nullptr)
            if (CRender* render = ParentRender(this))
                render->Attach(this);
    }
    const float frameTime = CGameTimer::FrameTime();
    if (StepAccumulator == kLowestFloat)
        StepAccumulator = 0.0f;
    StepAccumulator += frameTime;
    if (!(StepAccumulator < kStep * kMaxStepsPerFrame))
        StepAccumulator = kStep * kMaxStepsPerFrame;
    const CMatrix current = ComputeWorldMatrix();
    WorldPosition = CVector(current.m[12], current.m[13], current.m[14]);
    if (!PreviousFilled) {
        PreviousMatrix = current;
        PreviousFilled = 1;
    }
    const bool visible = IsVisible();
    int spawned = 0;
    while (StepAccumulator >= kStep) {
        int kept = 0;
        for (int i = 0; i < Count; ++i) {
            if (StepParticle(ppParticles[i]))
                ppParticles[kept++] = ppParticles[i];
            else
                Release(ppParticles[i]);
        }
        Count = kept;
        if (!Paused && visible && pEmitter != nullptr && Countdown < kStep) {
            const int alive = Count;
            EmitStep(current, frameTime);
            spawned += Count - alive;
        }
        StepAccumulator -= kStep;
        if (AdvanceStage())
            return true;
    }
    if (SoundID != 0 && spawned > 0 && GSoundSystem::pThe != nullptr && !GSoundSystem::pThe->Status(hSound)) {
        ++SoundRequests;
        hSound = GSoundSystem::pThe->Play(SoundID, &WorldPosition);
    }
    PreviousMatrix = current;
    return false;
}

void GSplatterSystem::Eject(CRender*)
{
    const CMatrix world = ComputeWorldMatrix();
    world.GetEuler(CMatrix::XYZ, Position, Rotation);
    ParentAttach = 0;
    Ejected = 1;
    SetParent(nullptr);
    SetUpOwnRender();
    PrepareEmitter();
}

void GSplatterSystem::Interact(const CVector& point, float radius, float inner, float outer)
{
    PushParticlesFrom(ppParticles, Count, point, radius, inner, outer);
}

void GSplatterSystem::Interact(const CVector& push) { PushParticles(ppParticles, Count, push); }

void GSplatterSystem::WriteParticle(const ParticleStub* p, PrimVertex* v, const CVector& right, const CVector& up)
{
    const rhu::ParticleDef& def = *DefOf(p);
    const float t = Clamp01(p->Age * p->InvLifespan);
    CVector4 colour = LerpColour(p->StartColor, p->EndColor, t);
    if (GFOWManager* fog = GFOWManager::pThe) {
        CVector at = p->Position;
        const float value = fog->ReadFOW(at);
        const CVector4& tint = value < 0.0f                     ? fog->UnvisitedRGB
                               : value > CGameTimer::GameTime() ? fog->VisibleRGB
                                                                : fog->VisitedRGB;
        colour = CVector4(colour.x * tint.x, colour.y * tint.y, colour.z * tint.z, colour.w);
    }
    const float scale = LerpFloat(p->StartScale, p->EndScale, t);
    WriteFacingQuad(v, p->Position, right, up, def.Size.X * scale, def.Size.Y * scale, SpinIndex(p->StartOrient.z),
                    PackColour(colour));
}

bool GSplatterSystem::Render()
{
    if (Count == 0)
        return false;
    if (UseMeshes) {
        RenderMeshes();
        return false;
    }
    CVector right, up;
    CameraAxes(Viewport, right, up);
    DrawParticleBatches(ppParticles, Count, 3, RendPriority,
                        [&](const ParticleStub* p, PrimVertex* v) { WriteParticle(p, v, right, up); });
    return false;
}

// A mesh particle's stage names a mesh resource where a quad particle names its texture.
void GSplatterSystem::RenderMeshes()
{
    for (int i = 0; i < Count; ++i) {
        ParticleStub* p = ppParticles[i];
        CRendResource* resource = reinterpret_cast<CRendResource*>(DefOf(p)->pTexture);
        if (resource == nullptr)
            continue;
        const CVector4 colour = p->StartColor * 0.003921569f;
        CRender temporary;
        temporary.Attach(&p->Position, &p->StartOrient, &colour, nullptr);
        temporary.SetResource(resource);
        resource->Render(&temporary);
        temporary.SetResource(nullptr);
    }
}
