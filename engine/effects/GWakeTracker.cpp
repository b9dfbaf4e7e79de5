#include "engine/effects/GWakeTracker.h"

#include "core/math/CMatrix.h"
#include "engine/effects/EffectModifiers.h"
#include "engine/effects/GEmitterField.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRender.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GWakeTracker, 0x04808000)

namespace {

// The first tick only records where the unit stands.
const float kNeverTicked = -100.0f;

} // namespace

GWakeTracker::GWakeTracker()
{
    if (EditableEvaluation != 0)
        return;
    timer = kNeverTicked;
    period = kPeriod;
    wakeDue = 0;
}

bool GWakeTracker::Process()
{
    if (GetOwner() == nullptr) {
        // Without a parent with a render instance there is nothing to track or be drawn with.
        CRender* render = ParentRender(this);
        if (render == nullptr) {
            Destroy();
            return true;
        }
        render->Attach(this);
    }
    wakeDue = 0;
    timer -= CGameTimer::FrameTime();
    if (timer > 0.0f)
        return false;
    if (timer < -50.0f) {
        if (GPosRot* parent = GPosRot::FromObject(GetParent()))
            lastPosition = parent->GetPos();
        timer = 0.0f;
    }
    wakeDue = 1;
    timer += period;
    return false;
}

bool GWakeTracker::Render()
{
    if (!wakeDue)
        return false;
    wakeDue = 0;
    GPosRot* parent = GPosRot::FromObject(GetParent());
    if (GetOwner() == nullptr || GetOwner()->GetHackFloat1() <= 0.0f || parent == nullptr)
        return false;
    const CVector at = parent->GetPos();
    const bool moved = at.x != lastPosition.x || at.y != lastPosition.y || at.z != lastPosition.z;
    lastPosition = at;
    for (GEmitterField* field = GEmitterField::pFirstWake; field != nullptr; field = field->nextWake)
        SpawnIn(*field, at, moved);
    return false;
}

void GWakeTracker::SpawnIn(GEmitterField& field, const CVector& at, bool moved)
{
    if (field.system == nullptr)
        return;
    rhu::ParticleDef* wake = moved ? field.pWakeEffectMobile : field.pWakeEffectRest;
    if (wake == nullptr)
        return;
    const float u = (at.x - field.Position.x) * field.invHalfWidth;
    const float v = (at.y - field.Position.y) * field.invHalfHeight;
    const bool inside = field.Rounded ? u * u + v * v <= 1.0f : u >= -1.0f && u <= 1.0f && v >= -1.0f && v <= 1.0f;
    if (!inside)
        return;
    float surface = field.HeightOffsetMax;
    if (!field.IgnoreGround)
        surface += CRenderer::GetHeightData(at);
    // Below the high shelf the surface is water: only units down at it leave a wake.
    if (surface < field.HighShelf && surface + field.HeightOffsetPost < at.z)
        return;
    rhu::EmitterDef* emitter = field.system->GetEmitter();
    if (emitter == nullptr)
        return;
    CMatrix m;
    m.SetIdentity();
    m.m[12] = at.x;
    m.m[13] = at.y;
    m.m[14] = surface;
    rhu::ParticleDef* kept = emitter->pParticle;
    emitter->pParticle = wake;
    field.system->ForceSpawn(1, m, m, 1.0f, 0.0f);
    emitter->pParticle = kept;
}
