#include "engine/effects/GKeyedFlare.h"

#include <math.h>

#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GKeyedFlare, 0x04808000)

namespace {

CVector Normalised(const CVector& v)
{
    const float length = v.GetLength();
    return length > 0.0f ? v * (1.0f / length) : v;
}

CVector Cross(const CVector& a, const CVector& b)
{
    return CVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Dot(const CVector& a, const CVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

CVector Row(const CMatrix& m, int row) { return CVector(m.m[4 * row], m.m[4 * row + 1], m.m[4 * row + 2]); }

// Row vectors: v turned by the rotation part of m.
CVector Turn(const CVector& v, const CMatrix& m) { return Row(m, 0) * v.x + Row(m, 1) * v.y + Row(m, 2) * v.z; }

float Blend(float a, float b, float t) { return (1.0f - t) * a + t * b; }

CVector Blend(const rhu::CVector& a, const rhu::CVector& b, float t)
{
    return CVector(Blend(a.X, b.X, t), Blend(a.Y, b.Y, t), Blend(a.Z, b.Z, t));
}

// The stage state of a band's blend bits: additive with depth writes, additive, or plain.
int StageStateOf(unsigned long flags)
{
    if ((flags & 4) && (flags & 0x10))
        return 0x1C12;
    return (flags & 4) ? 0xC12 : 0xC02;
}

} // namespace

GKeyedFlare::GKeyedFlare()
{
    if (EditableEvaluation == 0 && pParticle == nullptr)
        Destroy();
}

bool GKeyedFlare::Process()
{
    GPhysical* parent = GPhysical::FromObject(GetParent());
    if (pParticle == nullptr || parent == nullptr) {
        Destroy();
        return true;
    }
    if (GetOwner() == nullptr)
        parent->Render.Attach(this);
    return false;
}

void GKeyedFlare::Eject(CRender*) { Destroy(); }

bool GKeyedFlare::FogTint(CVector& position, CVector4& tint) const
{
    GFOWManager* fog = GFOWManager::pThe;
    tint = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    if (fog == nullptr)
        return true;
    const float f = fog->ReadFOW(position);
    CVector4 visible, outside, fogged, edge;
    fog->GetFOWColours(visible, outside, fogged, edge);
    if (f < 0.0f) {
        tint = outside;
        return !(FOWMode > 0.0f);
    }
    if (f > CGameTimer::GameTime()) {
        tint = visible;
        return true;
    }
    tint = fogged;
    return !(FOWMode > 1.0f);
}

bool GKeyedFlare::BuildFrame(Frame& frame)
{
    CRender* owner = GetOwner();
    GmvCamera* camera = GmvCamera::pThe;
    if (camera == nullptr || owner == nullptr || !(owner->GetHackFloat1() > 0.0f))
        return false;
    frame.visibility = owner->GetHackFloat1();
    frame.quadScale = owner->GetHackFloat2();
    const CVector eye = camera->GetPos();
    CMatrix look;
    look.LookAway(eye, camera->GetFocus(), CVector(0.0f, 0.0f, 1.0f));
    CVector ignored;
    look.GetEuler(0, ignored, frame.cameraAngles);
    CMatrix cameraRotation;
    cameraRotation.SetEuler_XYZS(CVector(0.0f, 0.0f, 0.0f), frame.cameraAngles);

    int found = 0;
    CMatrix attach;
    frame.position = owner->GetAttachPoint(CCRC32(ParentAttach), found, &attach);
    // A missing point leaves the flare on its owner rather than at the world's origin.
    if (!found) {
        attach.SetIdentity();
        frame.position = owner->GetPos() ? *owner->GetPos() : CVector(0.0f, 0.0f, 0.0f);
    }
    if (!FogTint(frame.position, frame.tint))
        return false;

    frame.facing = Normalised(Turn(Offset, attach));
    frame.axis = Normalised(Row(cameraRotation, 2));
    frame.toCamera = Normalised(eye - frame.position);
    CVector side = Cross(frame.facing, frame.axis);
    // Three equal components would give the same degenerate vector every frame.
    if (side.x == side.y && side.y == side.z)
        side.x -= 0.001f;
    frame.side = Normalised(side);
    frame.up = Cross(frame.axis, frame.side);
    return true;
}

// Only the first band met is tested against the key; later bands are tested against the
// blend of the band before them.
bool GKeyedFlare::Render()
{
    Frame frame;
    if (pParticle == nullptr || !BuildFrame(frame))
        return false;
    float key = sinf(-Dot(frame.facing, frame.axis) * 1.57079f);
    for (const rhu::ParticleDef* band = pParticle; band != nullptr; band = band->pNextDef) {
        const rhu::RangeData& range = band->Lifespan;
        if (!(range.Min <= key && key < range.Max))
            continue;
        float t = (key - range.Min) / (range.Max - range.Min);
        t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
        key = t;
        DrawBand(*band, t, frame);
    }
    return false;
}

void GKeyedFlare::DrawBand(const rhu::ParticleDef& band, float t, const Frame& frame) const
{
    PushMatrix();
    BeginPrimitives((band.Flags >> 3) & 3, 1, 1);
    SetPrimitiveStage(0, 0, StageStateOf(band.Flags), nullptr);
    SetPrimitiveStageFloat(0, 1.0f);
    // The stored record and the engine's texture class are the same object seen from two sides.
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(band.pTexture));
    SetPrimitivePriority(static_cast<int>(RendPriority));

    const CVector4 colour(Blend(band.MinColor.Red, band.MaxColor.Red, t) * frame.tint.x,
                          Blend(band.MinColor.Green, band.MaxColor.Green, t) * frame.tint.y,
                          Blend(band.MinColor.Blue, band.MaxColor.Blue, t) * frame.tint.z,
                          Blend(band.MinColor.Alpha, band.MaxColor.Alpha, t) * frame.visibility);
    const float s = Blend(band.Scale.Min, band.Scale.Max, t);
    const float ex = Blend(band.MinDamp.X, band.MaxDamp.X, t);
    const float ey = Blend(band.MinDamp.Y, band.MaxDamp.Y, t);
    const CVector centre = frame.position + frame.toCamera * band.Gravity;

    CVector U, S;
    if (band.Flags & 1) {
        U = frame.up * (ex * s * frame.quadScale);
        S = frame.side * (ey * s * frame.quadScale);
    } else {
        const CVector angles = Blend(band.MinSpin, band.MaxSpin, t);
        const CVector& c = frame.cameraAngles;
        const CVector kept((band.Facing & 1) ? c.x : 0.0f, (band.Facing & 2) ? c.y : 0.0f,
                           (band.Facing & 4) ? c.z : 0.0f);
        CMatrix own, camera, oriented;
        own.SetEuler_XYZS(CVector(0.0f, 0.0f, 0.0f), angles);
        camera.SetEuler_XYZS(CVector(0.0f, 0.0f, 0.0f), kept);
        oriented.Multiply(own, camera);
        // The frame's X axis carries the first half extent, its Y axis the second.
        U = Row(oriented, 0) * (ex * s);
        S = Row(oriented, 1) * (ey * s);
    }
    const CVector corners[4] = {centre - U - S, centre + U - S, centre + U + S, centre - U + S};
    const float uvs[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    StartPrimitive(0);
    SetPrimitiveNormal(CVector(0.0f, 0.0f, 0.0f));
    SetPrimitiveColor(colour);
    for (int i = 0; i < 4; ++i) {
        SetPrimitiveTexCoord(0, uvs[i]);
        AddPrimitiveVertex(corners[i]);
    }
    EndPrimitive();
    EndPrimitives();
    PopMatrix();
}

int GKeyedFlare::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, 0x21);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "Offset.X", "float", Offset.x);
    AddEditable(cursor, "Offset.Y", "float", Offset.y);
    AddEditable(cursor, "Offset.Z", "float", Offset.z);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return count + 7;
}
