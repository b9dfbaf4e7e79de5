#include "engine/effects/GSmokeSystem.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include <algorithm>

#include "core/heap/ZHeap.h"
#include "core/math/MathTables.h"
#include "engine/effects/EffectBudgetTables.h"
#include "engine/effects/EffectRandom.h"
#include "engine/effects/EffectWind.h"
#include "engine/effects/EmitterPlacement.h"
#include "engine/effects/GEffectBudget.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDrawing.h"
#include "engine/effects/ParticleExtraPool.h"
#include "engine/effects/ParticlePool.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GSmokeSystem, 0x00808000)

namespace {

// Steps are reckoned relative to 30 a second: damping and continuous counts are per 1/30 s.
const float kStep = 0.033333335f;
// A period of nothing would emit for ever within one frame; no emitter goes faster than this.
const float kShortestCountdown = 0.001f;
// Nor does one slot take more steps than this in a frame (a chain of stages of no length that
// loops back on itself would otherwise never leave it).
const int kMaxSlotStepsPerFrame = 1024;

float Fade(const ParticleStub* p) { return static_cast<const ParticleExtra*>(p->pExtra)->Fade; }

// The looks a particle has at one end of a stage. The colour takes one random for red and green
// and a second for blue and alpha at spawn, one for all four later on; damping and spin start
// from their maximum.
struct Looks {
    CVector4 Colour;
    float Scale;
    CVector Damp;
    CVector Spin;
};

Looks DrawLooks(const rhu::ParticleDef& def, bool twoColourRandoms)
{
    const CVector4 low = ToVector4(def.MinColor), high = ToVector4(def.MaxColor);
    const float r1 = EffectRandom();
    const float r2 = twoColourRandoms ? EffectRandom() : r1;
    Looks looks;
    looks.Colour = CVector4(LerpFloat(low.x, high.x, r1), LerpFloat(low.y, high.y, r1), LerpFloat(low.z, high.z, r2),
                            LerpFloat(low.w, high.w, r2));
    looks.Scale = RangeValue(def.Scale);
    const CVector minDamp = ToVector(def.MinDamp), maxDamp = ToVector(def.MaxDamp);
    looks.Damp = maxDamp + (maxDamp - minDamp) * EffectRandom();
    const CVector minSpin = ToVector(def.MinSpin), maxSpin = ToVector(def.MaxSpin);
    looks.Spin = maxSpin + (maxSpin - minSpin) * EffectRandom();
    return looks;
}

void SetStart(ParticleStub* p, const Looks& l)
{
    p->StartColor = l.Colour;
    p->StartScale = l.Scale;
    p->StartDamp = l.Damp;
    p->StartOrient = l.Spin;
}

void SetEnd(ParticleStub* p, const Looks& l)
{
    p->EndColor = l.Colour;
    p->EndScale = l.Scale;
    p->EndDamp = l.Damp;
    p->EndOrient = l.Spin;
}

void EndsBecomeStarts(ParticleStub* p)
{
    p->StartColor = p->EndColor;
    p->StartScale = p->EndScale;
    p->StartDamp = p->EndDamp;
    p->StartOrient = p->EndOrient;
}

void SetLifespan(ParticleStub* p, const rhu::ParticleDef& def)
{
    p->Lifespan = RangeValue(def.Lifespan);
    p->InvLifespan = Reciprocal(p->Lifespan);
}

float Damped(float velocity, float damping, float k)
{
    // Damping above 1 stops the particle rather than reversing it.
    const float keep = 1.0f - damping;
    return velocity * powf(keep > 0.0f ? keep : 0.0f, k);
}

} // namespace

GSmokeSystem::GSmokeSystem()
{
    if (EditableEvaluation != 0)
        return;
    ++GParticleSystem::ActiveSystems;
    Count = Capacity = 0;
    ppParticles = nullptr;
    if (!(CeilingFade > 0.0f)) {
        CeilingFade = 0.0f;
        Ceiling = FLT_MAX;
    }
    BudgetChannel = ClampBudgetChannel(BudgetChannel);
    WorldPosition = Position;
    RenderInstance.Attach(&WorldPosition, nullptr, nullptr, nullptr);
    RenderInstance.Index(0);
    RenderInstance.SetViewport(static_cast<short>(Viewport));
    RenderInstance.SetCullRadius(CullRadius);
    RenderInstance.Attach(this);
    RenderInstance.Link();
    PrepareEmitters();
}

GSmokeSystem::~GSmokeSystem()
{
    if (EditableEvaluation != 0)
        return;
    ChannelParticleCount[BudgetChannel] -= Count;
    GParticleSystem::ActiveParticles -= Count;
    --GParticleSystem::ActiveSystems;
    for (int i = 0; i < Count; ++i)
        Release(ppParticles[i]);
    Count = 0;
    zfree(ppParticles);
    ppParticles = nullptr;
    RenderInstance.Detach(this);
}

int GSmokeSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pEmitters", "EmitterDef *", pEmitters, 0x21);
    AddEditable(cursor, "CullRadius", "float", CullRadius);
    AddEditable(cursor, "AttachID", "DWORD", AttachID);
    AddEditable(cursor, "Ceiling", "float", Ceiling);
    AddEditable(cursor, "CeilingFade", "float", CeilingFade);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "BudgetChannel", "int", BudgetChannel);
    return count + 7;
}

// fromEnd: the stage follows another, so its apertures start where the last one's ended.
void GSmokeSystem::StartStage(Slot& slot, const rhu::EmitterDef* stage, bool fromEnd)
{
    slot.Lifespan = RangeValue(stage->Lifespan);
    if (fromEnd) {
        slot.InnerStart = slot.InnerEnd;
        slot.OuterStart = slot.OuterEnd;
    } else {
        slot.InnerStart = RangeValue(stage->ArpetureIn);
        slot.OuterStart = RangeValue(stage->ArpetureEx);
        slot.InnerEnd = slot.InnerStart;
        slot.OuterEnd = slot.OuterStart;
    }
    if (const rhu::EmitterDef* next = stage->pNextDef) {
        slot.InnerEnd = RangeValue(next->ArpetureIn);
        slot.OuterEnd = RangeValue(next->ArpetureEx);
    }
}

void GSmokeSystem::PrepareEmitters()
{
    for (int i = 0; i < SLOTS && pEmitters[i] != nullptr; ++i) {
        Slots[i].Countdown = 0.0f;
        Slots[i].Age = 0.0f;
        StartStage(Slots[i], pEmitters[i], false);
    }
}

void GSmokeSystem::SmokeSpawnHelper(ParticleStub* particle, rhu::ParticleDef* def)
{
    SetDef(particle, def);
    SetLifespan(particle, *def);
    particle->Age = 0.0f;
    static_cast<ParticleExtra*>(particle->pExtra)->Fade = 1.0f;
    const Looks start = DrawLooks(*def, true);
    SetStart(particle, start);
    SetEnd(particle, def->pNextDef ? DrawLooks(*def->pNextDef, true) : start);
}

bool GSmokeSystem::SimParticle(ParticleStub* p, float dt)
{
    p->Age += dt;
    if (p->Age * p->InvLifespan >= 1.0f) {
        p->Age -= p->Lifespan;
        rhu::ParticleDef* next = DefOf(p)->pNextDef;
        SetDef(p, next);
        if (next == nullptr)
            return false;
        SetLifespan(p, *next);
        EndsBecomeStarts(p);
        if (next->pNextDef)
            SetEnd(p, DrawLooks(*next->pNextDef, false));
    }
    const rhu::ParticleDef& def = *DefOf(p);
    const float t = Clamp01(p->Age * p->InvLifespan);
    float gravity = def.Gravity, windFactor = def.Wind;
    if (def.pNextDef) {
        gravity = LerpFloat(gravity, def.pNextDef->Gravity, t);
        windFactor = LerpFloat(windFactor, def.pNextDef->Wind, t);
    }
    p->Velocity.z -= dt * gravity;
    const float k = dt / kStep;
    const CVector damping = LerpVector(p->StartDamp, p->EndDamp, t);
    p->Velocity = CVector(Damped(p->Velocity.x, damping.x, k), Damped(p->Velocity.y, damping.y, k),
                          Damped(p->Velocity.z, damping.z, k));
    p->Position += p->Velocity * dt;
    p->Position.x += dt * windFactor * WindX;
    p->Position.y += dt * windFactor * WindY;

    ParticleExtra* extra = static_cast<ParticleExtra*>(p->pExtra);
    if (p->Position.z >= Ceiling || extra->Fade < 1.0f) {
        extra->Fade -= CGameTimer::FrameTime() * CeilingFade;
        if (extra->Fade <= 0.0f)
            return false;
    }
    return true;
}

void GSmokeSystem::Release(ParticleStub* particle)
{
    ParticleExtraGive(static_cast<ParticleExtra*>(particle->pExtra));
    ParticlePoolGive(particle);
}

void GSmokeSystem::Grow(int total) { GrowParticleArray(ppParticles, Capacity, Count, total); }

void GSmokeSystem::ForceSpawn(int count, int slot, const CMatrix& previous, const CMatrix& current,
                              float previousWeight, float s, float presimulate)
{
    if (count < 1)
        return;
    count = GEffectBudget::SmokeSpawnCount(count, BudgetChannel);
    const rhu::EmitterDef* stage = pEmitters[slot];
    if (count < 1 || stage == nullptr || stage->pParticle == nullptr)
        return;
    Grow(Count + count);
    const Slot& state = Slots[slot];
    const float inner = LerpFloat(state.InnerStart, state.InnerEnd, s);
    const float outer = LerpFloat(state.OuterStart, state.OuterEnd, s);
    const rhu::EmitterDef* next = stage->pNextDef;
    CVector vector, ellipse;
    StageShape(*stage, s, vector, ellipse);
    const CMatrix frame = EmissionFrame(vector);
    for (int i = 0; i < count; ++i) {
        ParticleStub* particle = ParticlePoolTake();
        particle->pExtra = ParticleExtraTake();
        SmokeSpawnHelper(particle, stage->pParticle);
        const float speed = StageValue(stage->Velocity, next ? &next->Velocity : nullptr, s);
        const EmitterPlacement place = PlaceParticle(frame, inner, outer, ellipse, previous, current, previousWeight);
        particle->Position = place.Position;
        particle->Velocity = place.Direction * speed;
        if (!SimParticle(particle, presimulate)) {
            Release(particle);
            continue;
        }
        ppParticles[Count++] = particle;
        ++ChannelParticleCount[BudgetChannel];
        ++GParticleSystem::ActiveParticles;
    }
}

CMatrix GSmokeSystem::ComputeWorldMatrix()
{
    CMatrix world;
    world.SetEuler_XYZS(Position, Rotation);
    if (hFollow == HGOBJECT(0))
        return world;
    GPosRot* followed = GPosRot::FromObject(GObject::GetGobject(hFollow));
    if (followed == nullptr) {
        hFollow = HGOBJECT(0);
        return world;
    }
    CMatrix parent;
    int found = 0;
    GPhysical* physical = GPhysical::FromObject(followed);
    if (AttachID != 0 && physical != nullptr && physical->Render.GetResource() != nullptr)
        physical->Render.GetAttachPoint(CCRC32(AttachID), found, &parent);
    if (!found)
        parent.SetEuler_XYZS(followed->GetPos(), followed->GetRot());
    CMatrix combined;
    combined.Multiply(world, parent);
    return combined;
}

// Returns true when a particle died.
bool GSmokeSystem::SimulateAll(float frameTime)
{
    int kept = 0;
    for (int i = 0; i < Count; ++i) {
        ParticleStub* particle = ppParticles[i];
        if (SimParticle(particle, frameTime)) {
            ppParticles[kept++] = particle;
            continue;
        }
        --ChannelParticleCount[BudgetChannel];
        --GParticleSystem::ActiveParticles;
        Release(particle);
    }
    const bool died = kept < Count;
    Count = kept;
    return died;
}

void GSmokeSystem::Emit(int slot, float remaining, float frameTime, const CMatrix& current)
{
    Slot& state = Slots[slot];
    const rhu::EmitterDef* stage = pEmitters[slot];
    const rhu::EmitterDef* next = stage->pNextDef;
    const float s = state.Lifespan > 0.0f ? Clamp01(state.Age / state.Lifespan) : 0.0f;
    float n = RangeValue(stage->Count);
    if (stage->Period.Min < 0.0f) {
        // Continuous: Count is per second, paid out every 1/30 s.
        if (next && next->Period.Min < 0.0f)
            n = LerpFloat(n, RangeValue(next->Count), s);
        state.Countdown = kStep;
        n *= kStep;
    } else {
        state.Countdown = RangeValue(stage->Period);
        if (next) {
            n = LerpFloat(n, RangeValue(next->Count), s);
            if (next->Period.Min > 0.0f)
                state.Countdown = LerpFloat(state.Countdown, RangeValue(next->Period), s);
        }
    }
    if (!(state.Countdown >= kShortestCountdown))
        state.Countdown = kShortestCountdown;
    state.Accumulator += n;
    const float whole = floorf(state.Accumulator);
    state.Accumulator -= whole;
    if (whole > 0.0f)
        ForceSpawn(int(whole), slot, PreviousMatrix, current, Clamp01(remaining / frameTime), s, remaining);
}

// Runs one emitter chain through the frame; returns true when a stage ended.
bool GSmokeSystem::RunSlot(int slot, float frameTime, const CMatrix& current)
{
    Slot& state = Slots[slot];
    bool ended = false;
    float remaining = frameTime;
    for (int steps = 0; pEmitters[slot] != nullptr && steps < kMaxSlotStepsPerFrame; ++steps) {
        const rhu::EmitterDef* stage = pEmitters[slot];
        float step = state.Countdown;
        if (state.Lifespan >= 0.0f && state.Lifespan - state.Age < step)
            step = state.Lifespan - state.Age;
        if (step >= remaining) {
            state.Countdown -= remaining;
            state.Age += remaining;
            break;
        }
        remaining -= step;
        state.Countdown -= step;
        state.Age += step;
        if (state.Lifespan >= 0.0f && state.Lifespan <= state.Age) {
            ended = true;
            state.Age -= state.Lifespan;
            state.Countdown = 0.0f;
            pEmitters[slot] = stage->pNextDef;
            if (pEmitters[slot] != nullptr)
                StartStage(state, pEmitters[slot], true);
            continue;
        }
        Emit(slot, remaining, frameTime, current);
    }
    return ended;
}

bool GSmokeSystem::Process()
{
    const float frameTime = CGameTimer::FrameTime();
    if (!(frameTime > 0.0f))
        return false;
    const CMatrix current = ComputeWorldMatrix();
    WorldPosition = CVector(current.m[12], current.m[13], current.m[14]);
    if (!FirstFrameDone) {
        PreviousMatrix = current;
        FirstFrameDone = 1;
    }
    const CVector wind = CurrentWind();
    WindX = wind.x;
    WindY = wind.y;

    bool ended = SimulateAll(frameTime);
    if (IsInFrustrum(RenderInstance.GetViewport() & 7, WorldPosition, CullRadius))
        for (int slot = 0; slot < SLOTS; ++slot)
            ended |= RunSlot(slot, frameTime, current);

    bool emitting = false;
    for (int slot = 0; slot < SLOTS; ++slot)
        emitting |= pEmitters[slot] != nullptr;
    if (!emitting && Count == 0 && ended) {
        Destroy();
        return true;
    }
    PreviousMatrix = current;
    return false;
}

void GSmokeSystem::Interact(const CVector& point, float radius, float inner, float outer)
{
    PushParticlesFrom(ppParticles, Count, point, radius, inner, outer);
}

void GSmokeSystem::Interact(const CVector& push) { PushParticles(ppParticles, Count, push); }

// Each particle is two quads: the first turned by spin x with the stage's width and height, the
// second turned by spin y and as wide and high as the stage's depth, so a puff seen edge-on
// keeps some body.
bool GSmokeSystem::Render()
{
    if (Count == 0)
        return false;
    CVector right, up;
    CameraAxes(RenderInstance.GetViewport(), right, up);
    DrawParticleBatches(ppParticles, Count, 4, RendPriority,
                        [&](const ParticleStub* p, PrimVertex* v) { WriteParticle(p, v, right, up); });
    return false;
}

void GSmokeSystem::WriteParticle(const ParticleStub* p, PrimVertex* v, const CVector& right, const CVector& up)
{
    const rhu::ParticleDef& def = *DefOf(p);
    const float t = Clamp01(p->Age * p->InvLifespan);
    CVector4 colour = LerpColour(p->StartColor, p->EndColor, t);
    const float fade = Fade(p);
    colour = CVector4(colour.x * fade, colour.y * fade, colour.z * fade, colour.w * fade);
    const float scale = LerpFloat(p->StartScale, p->EndScale, t);
    CVector size = ToVector(def.Size);
    if (def.pNextDef)
        size = LerpVector(size, ToVector(def.pNextDef->Size), t);
    const CVector spin = LerpVector(p->StartOrient, p->EndOrient, t);
    const D3DCOLOR packed = PackColour(colour);
    WriteFacingQuad(v, p->Position, right, up, size.x * scale, size.y * scale, SpinIndex(spin.x), packed);
    WriteFacingQuad(v + 4, p->Position, right, up, size.z * scale, size.z * scale, SpinIndex(spin.y), packed);
}
