#include "engine/effects/GEmitterField.h"

#include <math.h>

#include "core/names/CRandom.h"
#include "engine/effects/FieldGusts.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GEmitterField, 0x06008001)

GEmitterField* GEmitterField::pFirstWake = nullptr;

GEmitterField::GEmitterField()
{
    if (EditableEvaluation != 0)
        return;
    system = nullptr;
    nextWake = prevWake = nullptr;
    if (pParticleSystem == nullptr) {
        Destroy();
        return;
    }
    if (Density != 0.0f)
        Frequency = Height * Width * Density;
    lastSeen = -10.0f;
    CycleTime = kCycleTime;
    // A field without extent spawns on its centre line instead of dividing by zero.
    invHalfWidth = Width != 0.0f ? 2.0f / Width : 0.0f;
    invHalfHeight = Height != 0.0f ? 2.0f / Height : 0.0f;
    if (pWakeEffectRest != nullptr || pWakeEffectMobile != nullptr) {
        nextWake = pFirstWake;
        if (pFirstWake != nullptr)
            pFirstWake->prevWake = this;
        pFirstWake = this;
    }
}

GEmitterField::~GEmitterField()
{
    if (EditableEvaluation != 0)
        return;
    if (pFirstWake == this)
        pFirstWake = nextWake;
    if (prevWake != nullptr)
        prevWake->nextWake = nextWake;
    if (nextWake != nullptr)
        nextWake->prevWake = prevWake;
    nextWake = prevWake = nullptr;
}

int GEmitterField::DueOver(float dt)
{
    float strength = 1.0f;
    if (!IgnoreWind) {
        float wx, wy;
        FieldWind(wx, wy);
        strength = sqrtf(wx * wx + wy * wy);
    }
    return CarriedCount(dt * Frequency * strength, emitCarry);
}

bool GEmitterField::Process()
{
    GDebrisField::Process();
    if (system == nullptr)
        return false;
    if (Populated) {
        lastSeen = CGameTimer::GameTime();
        const int due = DueOver(CGameTimer::FrameTime());
        if (due != 0)
            EmitBatch(due);
    } else if (system->GetNumParticles() < 1) {
        system->Destroy();
        system = nullptr;
    }
    return false;
}

void GEmitterField::CreateSystem()
{
    GObject* created = Create(pParticleSystem);
    if (created == nullptr)
        return;
    // The record may name any class; only a particle system can take the field's particles.
    if (!created->IsDerivedFromClassId(GParticleSystem::ClassId)) {
        created->Destroy();
        return;
    }
    system = static_cast<GParticleSystem*>(created);
}

// The field's units are never spawned: its particles come from EmitBatch.
void GEmitterField::Populate()
{
    if (system == nullptr)
        CreateSystem();
    if (system == nullptr)
        return;
    system->BudgetChannel = kBudgetChannel;
    system->SetPos(Position);
    system->SetBoundingBloat(Radius * 1.2f);
    system->OwnRender.SetCullRadius(Radius * 1.2f);
    if (rhu::EmitterDef* emitter = system->GetEmitter()) {
        // The system spawns only what the field hands it.
        emitter->Period.Min = emitter->Period.Max = 100.0f;
        emitter->Count.Min = emitter->Count.Max = 0.0f;
        emitter->Lifespan.Min = emitter->Lifespan.Max = -1.0f;
        system->PrepareEmitter();
    }
    PreSimulate();
}

void GEmitterField::PreSimulate()
{
    float left = fminf(CycleTime, CGameTimer::GameTime() - lastSeen);
    while (left > 0.0f && system != nullptr) {
        const float step = fminf(left, kPreStep);
        system->PreProcess = step;
        const int due = DueOver(step);
        left -= step;
        if (due != 0)
            EmitBatch(due);
        if (system->Process())
            system = nullptr;
    }
}

void GEmitterField::Depopulate() {}

bool GEmitterField::ShelveHeight(float& z) const
{
    if (HighShelfMode > 0 && z > HighShelf) {
        if (HighShelfMode == 1)
            return false;
        z = HighShelf;
    }
    if (LowShelfMode > 0 && z < LowShelf) {
        if (LowShelfMode == 1)
            return false;
        z = LowShelf;
    }
    return true;
}

void GEmitterField::EmitBatch(int count)
{
    for (int i = 0; i < count && system != nullptr; ++i) {
        float x, y;
        do {
            x = GlobalRandom.Rand(Width) - Width * 0.5f;
            y = GlobalRandom.Rand(Height) - Height * 0.5f;
        } while (Rounded && (x * invHalfWidth) * (x * invHalfWidth) + (y * invHalfHeight) * (y * invHalfHeight) > 1.0f);
        const float X = Position.x + x, Y = Position.y + y;
        float z = HeightOffsetMin +
                  (GlobalRandom.Rand(10.0f) + GlobalRandom.Rand(10.0f)) * 0.05f * (HeightOffsetMax - HeightOffsetMin);
        if (!IgnoreGround)
            z += CRenderer::GetHeightData(CVector(X, Y, z));
        if (!ShelveHeight(z))
            continue;
        CMatrix at;
        at.SetIdentity();
        at.m[12] = X;
        at.m[13] = Y;
        at.m[14] = z + HeightOffsetPost;
        system->ForceSpawn(1, at, at, 1.0f, 0.0f);
    }
}

int GEmitterField::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDebrisField::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticleSystem", "CEmbeddedFillData*", pParticleSystem, 0x21);
    AddEditable(cursor, "Frequency", "float", Frequency);
    AddEditable(cursor, "Density", "float", Density);
    AddEditable(cursor, "HeightOffsetMin", "float", HeightOffsetMin);
    AddEditable(cursor, "HeightOffsetPost", "float", HeightOffsetPost);
    AddEditable(cursor, "HeightOffsetMax", "float", HeightOffsetMax);
    AddEditable(cursor, "IgnoreWind", "int", IgnoreWind);
    AddEditable(cursor, "HighShelf", "float", HighShelf);
    AddEditable(cursor, "HighShelfMode", "int", HighShelfMode);
    AddEditable(cursor, "LowShelf", "float", LowShelf);
    AddEditable(cursor, "LowShelfMode", "int", LowShelfMode);
    AddEditable(cursor, "IgnoreGround", "int", IgnoreGround);
    AddEditable(cursor, "CycleTime", "float", CycleTime);
    AddEditable(cursor, "pWakeEffectRest", "ParticleDef*", pWakeEffectRest, 0x21);
    AddEditable(cursor, "pWakeEffectMobile", "ParticleDef*", pWakeEffectMobile, 0x21);
    return count + 15;
}
