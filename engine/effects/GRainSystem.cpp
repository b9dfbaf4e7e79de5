#include "engine/effects/GRainSystem.h"

#include <math.h>

#include "core/math/CMatrix.h"
#include "engine/effects/EffectRandom.h"
#include "engine/effects/EffectWind.h"
#include "engine/effects/ParticleDrawing.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvCamera.h"

IMPLEMENT_GOBJECT(GRainSystem, 0x04008000)

namespace {

// Blend mode and render state of the streaks: alpha blended, textured.
const unsigned kRainBlendMode = 1;
const int kRainRenderState = 0x812;
// The screen area the streaks are scattered over, wider than the screen so turning the camera
// a little still shows rain at the edges.
const float kScatterHalfWidth = 2.25f;
const float kScatterHalfHeight = 1.5f;
const float kWindSlant = 0.25f;

} // namespace

GRainSystem::GRainSystem()
{
    if (EditableEvaluation != 0)
        return;
    CameraPosition = GmvCamera::pThe ? GmvCamera::pThe->GetPos() : CVector(0, 0, 0);
    CameraPositionCopy = CameraPosition;
    for (int i = 0; i < Density; ++i)
        PlaceDrop(*Drops.Take());
}

GRainSystem::~GRainSystem()
{
    if (EditableEvaluation != 0)
        return;
    RenderInstance.Detach(this);
}

int GRainSystem::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "Density", "int", Density);
    AddEditable(cursor, "Ceiling", "float", Ceiling);
    AddEditable(cursor, "Floor", "float", Floor);
    AddEditable(cursor, "Radius", "float", Radius);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "pTexture", "void *", pTexture, 0x21);
    AddEditable(cursor, "AlphaMin", "float", AlphaMin);
    AddEditable(cursor, "AlphaMax", "float", AlphaMax);
    AddEditable(cursor, "SpeedMin", "float", SpeedMin);
    AddEditable(cursor, "SpeedMax", "float", SpeedMax);
    AddEditable(cursor, "ScaleXMin", "float", ScaleXMin);
    AddEditable(cursor, "ScaleXMax", "float", ScaleXMax);
    AddEditable(cursor, "ScaleYMin", "float", ScaleYMin);
    AddEditable(cursor, "ScaleYMax", "float", ScaleYMax);
    AddEditable(cursor, "LimitEast", "float", LimitEast);
    AddEditable(cursor, "LimitWest", "float", LimitWest);
    AddEditable(cursor, "LimitNorth", "float", LimitNorth);
    AddEditable(cursor, "LimitSouth", "float", LimitSouth);
    return count + 18;
}

// Streaks crowd towards the camera: the depth fraction grows with the third and fourth powers
// of a uniform number, so most land near the front of the view ray.
void GRainSystem::PlaceDrop(RainDrop& drop)
{
    drop.Width = EffectLerpRandom(ScaleXMin, ScaleXMax);
    drop.Length = EffectLerpRandom(ScaleYMin, ScaleYMax);
    drop.Alpha = EffectLerpRandom(AlphaMin, AlphaMax) * 255.0f;
    drop.Speed = EffectLerpRandom(SpeedMin, SpeedMax);
    const float sx = EffectSpread() * kScatterHalfWidth;
    const float sy = EffectSpread() * kScatterHalfHeight;
    CVector nearPoint(0, 0, 0), farPoint(0, 0, 0);
    View2World(0, CVector(sx, sy, 0), nearPoint, farPoint);
    const float r = EffectRandom();
    const float u = 1.25f * (0.5f * r * r * r * r + 0.5f * r * r * r);
    drop.x = (1.0f - u) * nearPoint.x + u * farPoint.x;
    drop.y = (1.0f - u) * nearPoint.y + u * farPoint.y;
    drop.z = Ceiling;
}

// The streaks do not move, so the rain needs no processing: it only makes sure it hangs on a
// render instance of its own, always drawn, so the level shows it until it is destroyed.
bool GRainSystem::Process()
{
    if (GetOwner() == nullptr) {
        RenderInstance.Attach(nullptr, nullptr, nullptr, nullptr);
        RenderInstance.Index(0);
        RenderInstance.SetViewport(static_cast<short>(Viewport));
        RenderInstance.Attach(this);
        RenderInstance.Link();
    }
    return false;
}

bool GRainSystem::InsideLimits(const RainDrop& drop) const
{
    return drop.x >= LimitWest && drop.x <= LimitEast && drop.y >= LimitNorth && drop.y <= LimitSouth;
}

bool GRainSystem::Render()
{
    CMatrix orientation;
    orientation.SetEuler_XYZS(CVector(0, 0, 0), CVector(1.57f, 0.0f, CameraHeading(RenderInstance.GetViewport())));
    const CVector4& xRow = orientation.GetVector(0);
    const CVector4& yRow = orientation.GetVector(1);
    const CVector xAxis(xRow.x, xRow.y, xRow.z), yAxis(yRow.x, yRow.y, yRow.z);

    const CVector wind = CurrentWind();
    const CVector slant(wind.x * kWindSlant, wind.y * kWindSlant, 0.0f);

    BeginPrimitives(kRainBlendMode, 1, 1);
    SetPrimitiveStage(0, 0, kRainRenderState, nullptr);
    SetPrimitiveTexture(0, pTexture);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    static const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    ForEachDrop([&](const RainDrop& drop) {
        if (!InsideLimits(drop))
            return;
        SetPrimitiveColor(CVector4(255, 255, 255, drop.Alpha));
        const CVector p(drop.x, drop.y, drop.z);
        const CVector a = yAxis * drop.Length - xAxis * drop.Width;
        const CVector b = yAxis * drop.Length + xAxis * drop.Width;
        StartPrimitive(0);
        SetPrimitiveTexCoord(0, corners[0]);
        AddPrimitiveVertex(p + a);
        SetPrimitiveTexCoord(0, corners[1]);
        AddPrimitiveVertex(p + b);
        SetPrimitiveTexCoord(0, corners[2]);
        AddPrimitiveVertex(p - a + slant);
        SetPrimitiveTexCoord(0, corners[3]);
        AddPrimitiveVertex(p - b + slant);
        EndPrimitive();
    });
    EndPrimitives();
    return false;
}
