#include "engine/effects/GStaticParticle.h"

#include "engine/effects/EffectModifiers.h"
#include "engine/effects/EffectObjects.h"
#include <cmath>

#include "engine/effects/GParticleSystem.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GStaticParticle, 0x08808000)
IMPLEMENT_GOBJECT(GStaticParticleNoSave, 0x04808000)
IMPLEMENT_GOBJECT(GStaticParticleEx, 0x80808000)

GStaticParticle::GStaticParticle()
{
    if (EditableEvaluation != 0)
        return;
    pParticleOverride = nullptr;
    Accumulated = 0.0f;
    Particle.pDef = nullptr;
    FogTint = CVector4(1, 1, 1, 1);
    if (BoundingBloat == 0.0f)
        BoundingBloat = 2.0f;
    if (pParticle) {
        const rhu::ParticleDef& def = *pParticle;
        const float u = UnitRandom();
        Particle.EndColor = CVector4(Lerp(def.MinColor.X, def.MaxColor.X, u), Lerp(def.MinColor.Y, def.MaxColor.Y, u),
                                     Lerp(def.MinColor.Z, def.MaxColor.Z, u), Lerp(def.MinColor.W, def.MaxColor.W, u));
        Particle.EndScale = RangeValue(def.Scale);
        Particle.EndOrient = CVector(0, 0, Lerp(def.MinSpin.Z, def.MaxSpin.Z, UnitRandom()));
    }
    PrepareParticle();
}

int GStaticParticle::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, kResolvedPointerFlags);
    AddEditable(cursor, "pParticleOverride", "ParticleDef*", pParticleOverride, kResolvedPointerFlags);
    AddEditable(cursor, "BoundingBloat", "float", BoundingBloat);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "ZOffset", "float", ZOffset);
    return count + 8;
}

// The next definition's colour (red, green, blue; its lower alpha), scale and spin.
void GStaticParticle::SampleEnd(const rhu::ParticleDef& next)
{
    Particle.EndColor = SampleColour(next);
    Particle.EndScale = RangeValue(next.Scale);
    Particle.EndOrient = SampleVector(ToVector(next.MinSpin), ToVector(next.MaxSpin));
}

void GStaticParticle::PrepareParticle()
{
    if (!pParticle)
        return;
    Particle.pDef = pParticle;
    Particle.Age = 0.0f;
    Particle.Lifespan = RangeValue(pParticle->Lifespan);
    Particle.InvLifespan = Particle.Lifespan > 0.0f ? 1.0f / Particle.Lifespan : 3.4028235e38f;
    Particle.StartColor = Particle.EndColor;
    Particle.StartScale = Particle.EndScale;
    Particle.StartOrient = Particle.EndOrient;
    if (pParticle->pNextDef)
        SampleEnd(*pParticle->pNextDef);
}

bool GStaticParticle::SetUpRender()
{
    if (GetOwner())
        return true;
    if (ParentAttach) {
        if (CRender* render = ParentRender(this))
            render->Attach(this);
    } else {
        OwnRender.Attach(&Position, &Rotation, nullptr, nullptr);
        OwnRender.Index(0);
        OwnRender.SetSelectable(GetHandle());
        OwnRender.Attach(this);
        OwnRender.SetViewport(static_cast<short>(Viewport & 0x1F));
        OwnRender.Link();
        OwnRender.SetLerpValue(1.0f);
    }
    return GetOwner() != nullptr;
}

bool GStaticParticle::Process()
{
    if (pParticleOverride) {
        pParticle = pParticleOverride;
        pParticleOverride = nullptr;
        PrepareParticle();
    }
    Accumulated += CGameTimer::FrameTime();
    if (!Particle.pDef || !SetUpRender()) {
        Destroy();
        return true;
    }
    while (Accumulated >= kParticleStep && Particle.pDef) {
        Particle.Age += kParticleStep;
        if (Particle.Age * Particle.InvLifespan >= 1.0f) {
            Particle.Age -= Particle.Lifespan;
            Particle.pDef = Particle.pDef->pNextDef;
            if (!Particle.pDef)
                break;
            Particle.Lifespan = RangeValue(Particle.pDef->Lifespan);
            Particle.InvLifespan = Particle.Lifespan > 0.0f ? 1.0f / Particle.Lifespan : 3.4028235e38f;
            Particle.StartColor = Particle.EndColor;
            Particle.StartScale = Particle.EndScale;
            Particle.StartOrient = Particle.EndOrient;
            if (Particle.pDef->pNextDef)
                SampleEnd(*Particle.pDef->pNextDef);
        }
        Accumulated -= kParticleStep;
    }
    if (Particle.pDef)
        return false;
    Destroy();
    return true;
}

bool GStaticParticle::Render()
{
    CVector facing, eye, focus;
    if (!Particle.pDef || !GParticleSystem::CameraFacing(Viewport, facing) ||
        !GParticleSystem::CameraEye(Viewport, eye, focus))
        return false;
    CMatrix world;
    world.SetEuler_XYZS(Position, Rotation);
    if (ParentAttach) {
        CRender* render = ParentRender(this);
        int found = 0;
        CMatrix attach;
        if (render && render->GetResource())
            render->GetAttachPoint(CCRC32(ParentAttach), found, &attach);
        if (!found) {
            // The point is gone: the particle ends at its next Process.
            Particle.pDef = nullptr;
            return false;
        }
        world *= attach;
    }
    CVector position(world.m12, world.m13, world.m14);
    if (!IsInFrustrum(Viewport, position, BoundingBloat))
        return false;
    CVector toward(eye.x - position.x, eye.y - position.y, eye.z - position.z);
    const float distance = std::sqrt(toward.x * toward.x + toward.y * toward.y + toward.z * toward.z);
    if (distance > 0.0f)
        position.Set(position.x + toward.x / distance * ZOffset, position.y + toward.y / distance * ZOffset,
                     position.z + toward.z / distance * ZOffset);
    const rhu::ParticleDef& def = *Particle.pDef;
    if (!def.pTexture)
        return false;
    GParticleSystem::BeginBatch(def, RendPriority);
    CVector4 colour = GParticleSystem::CurrentColour(Particle);
    if (GFOWManager::pThe) {
        float most = 100.0f;
        GFOWManager::pThe->TintFOW(FOWMode, FogTint, &position, nullptr, &most);
        colour.Set(colour.x * FogTint.x, colour.y * FogTint.y, colour.z * FogTint.z, colour.w * FogTint.w);
    }
    if (CRender* owner = GetOwner())
        colour.w *= owner->GetLerpValue();
    int granted = 0;
    if (PrimVertex* quad = ReserveParticleQuads(3, 1, &granted)) {
        GParticleSystem::BuildQuad(Particle, position, facing, colour, quad);
        SubmitParticleQuads();
    }
    EndPrimitives();
    return false;
}
