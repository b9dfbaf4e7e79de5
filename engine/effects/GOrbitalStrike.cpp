#include "engine/effects/GOrbitalStrike.h"

#include <math.h>

#include <new>

#include "core/math/CMatrix.h"
#include "core/names/CRandom.h"
#include "engine/effects/GParticleSystem.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GOrbitalStrike, 0x84808000)

namespace {

const float kHalfRoot2 = 0.7071f;
// A fin is five quads at steps of a sixth of the beam.
const int kFinQuads = 5;
const float kFinStep = 1.0f / 6.0f;

} // namespace

GOrbitalStrike::GOrbitalStrike()
{
    if (EditableEvaluation != 0)
        return;
    new (&render) CRender();
}

GOrbitalStrike::~GOrbitalStrike()
{
    if (EditableEvaluation != 0)
        return;
    // Leaving the own render's chain first keeps GEffect's destructor from detaching from a
    // render that is already gone.
    if (ownRender && GetOwner() == &render)
        render.Detach(this);
    render.~CRender();
}

void GOrbitalStrike::SetStrike(const CVector& at, const CVector& along)
{
    point = at;
    offset = along;
    flicker = GlobalRandom.Rand(55.0f) * 0.01f;
    Position = at;
    if (!ownRender) {
        ownRender = true;
        render.Attach(&GetPos(), &Rotation, nullptr, nullptr);
        render.Index(0);
        render.SetSelectable(GetHandle());
        render.Attach(this);
        render.SetViewport(static_cast<short>(Viewport & 0x1F));
        render.Link();
    }
    if (system != nullptr || pParticleSystem == nullptr)
        return;
    GObject* created = Create(pParticleSystem);
    if (created == nullptr)
        return;
    // Only a particle system can take the sown particles; anything else the record names goes.
    if (!created->IsDerivedFromClassId(GParticleSystem::ClassId)) {
        created->Destroy();
        return;
    }
    system = static_cast<GParticleSystem*>(created);
    render.Attach(system);
    if (rhu::EmitterDef* emitter = system->GetEmitter()) {
        // The system emits only what the strike sows.
        emitter->Period.Min = emitter->Period.Max = 100.0f;
        emitter->Count.Min = emitter->Count.Max = 0.0f;
        emitter->Lifespan.Min = emitter->Lifespan.Max = -1.0f;
        system->PrepareEmitter();
    }
}

bool GOrbitalStrike::Process()
{
    if (elapsed >= kLifetime) {
        render.EjectAllEffects(true);
        Destroy();
        return true;
    }
    elapsed += CGameTimer::FrameTime();
    Sow();
    return false;
}

// One pass a frame: the particles due by now, counted whole, so that a frame with nothing due
// cannot stall and rounding of the running sum cannot lose the last particle.
void GOrbitalStrike::Sow()
{
    const float wanted = fminf(elapsed * 5.0f, 1.0f) * kSowEnd;
    int due = static_cast<int>(floorf(wanted / kSowStep + 1e-3f));
    due = due > kSowCount ? kSowCount : due;
    for (; sown < due; ++sown) {
        progress = static_cast<float>(sown) * kSowStep;
        if (system != nullptr) {
            CMatrix at;
            at.SetIdentity();
            const CVector p = point + offset * (kSowEnd - progress);
            at.m[12] = p.x;
            at.m[13] = p.y;
            at.m[14] = p.z;
            system->ForceSpawn(1, at, at, 1.0f, 0.0f);
        }
    }
    progress = static_cast<float>(sown) * kSowStep;
}

bool GOrbitalStrike::Render()
{
    if (CGameTimer::FrameTime() > 0.0f)
        flicker = GlobalRandom.Rand(55.0f) * 0.01f;
    CVector eye, focus;
    if (!GParticleSystem::CameraEye(Viewport, eye, focus))
        return false;
    const float a = elapsed - 0.25f;
    const float halfWidth = (a < 0.0f ? -2.0f * a : 0.075f * a) + 0.01f;
    const float alpha = (a < 0.0f ? (a + 0.25f) * 6.0f : 1.5f - 0.7f * a) * (flicker + 0.45f) * 255.0f;
    const CVector4 colour(255.0f, 255.0f, 255.0f, alpha);
    // Horizontal and across the view; a vertical view has no horizontal part to turn.
    CVector view = focus - eye;
    if (view.x == 0.0f && view.y == 0.0f)
        view.x = 0.0001f;
    const float length = sqrtf(view.x * view.x + view.y * view.y);
    const CVector axis(-view.y / length, view.x / length, 0.0f);
    // The second fin direction: across both the beam and the first axis.
    const CVector beam = offset;
    CVector across(beam.y * axis.z - beam.z * axis.y, beam.z * axis.x - beam.x * axis.z,
                   beam.x * axis.y - beam.y * axis.x);
    const float acrossLength = sqrtf(across.x * across.x + across.y * across.y + across.z * across.z);
    across = acrossLength > 0.0f ? across * (1.0f / acrossLength) : CVector(0.0f, 0.0f, 0.0f);

    PushMatrix();
    BeginPrimitives(1, 1, 1);
    SetPrimitiveStage(0, 0, 0x1812, nullptr);
    SetPrimitiveTexture(0, nullptr);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    const CVector top = point + offset * kSowEnd;
    DrawFin(top, axis * halfWidth, colour);
    DrawFin(top, (axis + across) * (kHalfRoot2 * halfWidth), colour);
    DrawFin(top, (axis - across) * (kHalfRoot2 * halfWidth), colour);
    EndPrimitives();
    PopMatrix();
    return false;
}

void GOrbitalStrike::DrawFin(const CVector& top, const CVector& width, const CVector4& colour)
{
    const CVector down = point - top;
    const float lowUV[2] = {0.0f, 0.0f}, highUV[2] = {1.0f, 0.0f};
    for (int k = 0; k < kFinQuads; ++k) {
        const CVector near = top + down * (kFinStep * static_cast<float>(k));
        const CVector far = top + down * (kFinStep * static_cast<float>(k + 1));
        StartPrimitive(0);
        SetPrimitiveColor(colour);
        SetPrimitiveTexCoord(0, lowUV);
        AddPrimitiveVertex(near - width);
        SetPrimitiveTexCoord(0, highUV);
        AddPrimitiveVertex(near + width);
        AddPrimitiveVertex(far + width);
        SetPrimitiveTexCoord(0, lowUV);
        AddPrimitiveVertex(far - width);
        EndPrimitive();
    }
}

int GOrbitalStrike::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticleSystem", "CEmbeddedFillData*", pParticleSystem, 0x21);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return count + 2;
}
