#include "engine/effects/GObjectField.h"

#include <math.h>
#include <new>

#include "core/heap/ZHeap.h"
#include "core/names/CRandom.h"
#include "engine/effects/FieldGusts.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/world/GFOWManager.h"

IMPLEMENT_GOBJECT(GObjectField, 0x06008000)

namespace {

float Lerp(float low, float high, float f) { return low + f * (high - low); }

CVector* Angles(DebrisUnit& unit) { return reinterpret_cast<CVector*>(unit.orientation); }

GObjectField::Object& RecordOf(DebrisUnit& unit) { return *static_cast<GObjectField::Object*>(unit.pExtra); }

} // namespace

GObjectField::GObjectField()
{
    if (EditableEvaluation != 0)
        return;
    objects = nullptr;
    bounds[0] = Position.x - Width * 0.5f;
    bounds[1] = Position.y - Height * 0.5f;
    bounds[2] = Position.x + Width * 0.5f;
    bounds[3] = Position.y + Height * 0.5f;
}

GObjectField::~GObjectField()
{
    if (EditableEvaluation != 0)
        return;
    FreeObjects();
}

void GObjectField::FreeObjects()
{
    if (objects != nullptr) {
        const int count = UnitCount();
        for (int i = 0; i < count; ++i)
            objects[i].render.Unlink();
        for (int i = count - 1; i >= 0; --i)
            objects[i].render.~CRender();
        zfree(objects);
        objects = nullptr;
    }
    GDebrisField::Depopulate();
}

void GObjectField::SetUpRender(DebrisUnit& unit, CRendResource* resource)
{
    CRender& render = RecordOf(unit).render;
    render.Attach(&unit.position, Angles(unit), &RecordOf(unit).tinted, nullptr);
    render.Index(0);
    render.Attach(resource, 0);
    render.SetViewport(static_cast<short>(Viewport & 0x1F));
    render.Link();
}

void GObjectField::Populate()
{
    FreeObjects();
    const int count = UnitCount();
    units = static_cast<DebrisUnit*>(zmalloc(static_cast<unsigned long>(count) * sizeof(DebrisUnit)));
    objects = static_cast<Object*>(zmalloc(static_cast<unsigned long>(count) * sizeof(Object)));
    for (int i = 0; i < count; ++i) {
        new (&objects[i].render) CRender();
        units[i].pExtra = &objects[i];
        SpawnDebris(&units[i]);
    }
    const int resting = count / 2;
    for (int i = 0; i < count; ++i) {
        DebrisUnit& unit = units[i];
        if (i < resting) {
            // Resting objects stand upright; only their turn about Z is random.
            unit.orientation[0] = 0.0f;
            unit.orientation[1] = 0.0f;
            SetUpRender(unit, pSpawner);
        } else {
            unit.position.z += MobileRadius;
            SetUpRender(unit, pMobile);
        }
    }
}

void GObjectField::Depopulate() { FreeObjects(); }

void GObjectField::SpawnDebris(DebrisUnit* unit)
{
    GDebrisField::SpawnDebris(unit);
    Object& object = RecordOf(*unit);
    for (float& angle : unit->orientation)
        angle = GlobalRandom.Rand(100.0f);
    object.rotation.SetEuler_XYZS(NullVector, *Angles(*unit));
    object.mobility = 1.0f - (MinWeight + GlobalRandom.Rand(100.0f) * 0.01f * (MaxWeight - MinWeight));
    const float e = GlobalRandom.Rand(100.0f) * 0.01f;
    const float toUnit = 1.0f / 255.0f;
    object.colour = CVector4(Lerp(MinColor[0], MaxColor[0], e) * toUnit, Lerp(MinColor[1], MaxColor[1], e) * toUnit,
                             Lerp(MinColor[2], MaxColor[2], e) * toUnit, Lerp(MinColor[3], MaxColor[3], e) * toUnit);
    object.tinted = object.colour;
    object.baseAlpha = object.colour.w;
    object.fade = 1.0f;
    object.gustTime = 0.0f;
}

bool GObjectField::Process()
{
    GDebrisField::Process();
    if (units == nullptr)
        return false;
    float wx, wy;
    FieldWind(wx, wy);
    float dx = 0.0f, dy = 0.0f, heading = 0.0f;
    if (GWind::pThe != nullptr) {
        dx = GWind::pThe->direction.x;
        dy = GWind::pThe->direction.y;
        heading = GWind::pThe->heading;
    }
    const float t = CGameTimer::FrameTime();
    const int resting = UnitCount() / 2;
    // With fewer than two objects there is no resting one to come back at: nothing moves.
    if (resting > 0) {
        StartGusts(resting, t, GustStrength(wx, wy));
        for (int i = resting; i < UnitCount(); ++i)
            Roll(units[i], t, heading, dx, dy);
        for (int i = resting; i < UnitCount(); ++i)
            FadeOut(resting, units[i], t);
    }
    for (int i = 0; i < UnitCount(); ++i)
        Tint(units[i]);
    return false;
}

void GObjectField::StartGusts(int resting, float t, float strength)
{
    const int due = GustsDue(UnitCount(), strength, t, gustCarry);
    for (int i = 0; i < resting && i < due; ++i) {
        Object& object = objects[PickMember(resting, resting)];
        const float T = GlobalRandom.Rand(5.0f);
        if (object.gustTime <= 0.0f || object.gustTime < T)
            object.gustTime = T;
    }
}

void GObjectField::Roll(DebrisUnit& unit, float t, float heading, float dx, float dy)
{
    Object& object = RecordOf(unit);
    const float g = object.gustTime;
    if (g <= 0.0f)
        return;
    const float roll = MobileRadius * t * object.mobility * fminf(g * 0.5f, 1.0f) * 6.25f;
    // Turn the wind onto the Y axis, roll about X, and turn back: the object rolls about the
    // horizontal axis across the wind.
    CMatrix step;
    step.SetEuler_XYZS(NullVector, CVector(0.0f, 0.0f, -heading));
    object.rotation *= step;
    step.SetEuler_XYZS(NullVector, CVector(roll, 0.0f, heading));
    object.rotation *= step;
    unit.position.x += roll * MobileRadius * dx;
    unit.position.y += roll * MobileRadius * dy;
    unit.position.z = CRenderer::GetHeightData(unit.position) + MobileRadius;
    CVector ignored;
    object.rotation.GetEuler(0, ignored, *Angles(unit));
    object.gustTime = fmaxf(g - t, 0.0f);
}

void GObjectField::FadeOut(int resting, DebrisUnit& unit, float t)
{
    Object& object = RecordOf(unit);
    const CVector& at = unit.position;
    const bool outside = at.x < bounds[0] || at.y < bounds[1] || at.x > bounds[2] || at.y > bounds[3];
    if (object.fade < 1.0f || outside) {
        object.fade -= t * FadeRate;
        if (object.fade <= 0.0f) {
            const DebrisUnit& rest = units[PickMember(0, resting)];
            object.fade = 1.0f;
            unit.position = CVector(rest.position.x, rest.position.y, rest.position.z + MobileRadius);
            object.gustTime = 0.0f;
        }
    }
    object.colour.w = object.baseAlpha * object.fade;
}

void GObjectField::Tint(DebrisUnit& unit)
{
    Object& object = RecordOf(unit);
    CVector4 fog(1.0f, 1.0f, 1.0f, 1.0f);
    if (GFOWManager::pThe != nullptr) {
        float rate = 100.0f;
        GFOWManager::pThe->TintFOW(0.0f, fog, &unit.position, nullptr, &rate);
    }
    object.tinted =
        CVector4(object.colour.x * fog.x, object.colour.y * fog.y, object.colour.z * fog.z, object.colour.w * fog.w);
}

bool GObjectField::Render()
{
    // The objects draw through their own render instances.
    PushMatrix();
    PopMatrix();
    return false;
}

int GObjectField::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDebrisField::SpecifyEditable(cursor);
    AddEditable(cursor, "MinWeight", "float", MinWeight);
    AddEditable(cursor, "MaxWeight", "float", MaxWeight);
    AddEditable(cursor, "MobileRadius", "float", MobileRadius);
    AddEditable(cursor, "FadeRate", "float", FadeRate);
    AddEditable(cursor, "pMobile", "void*", pMobile, 0x21);
    AddEditable(cursor, "pSpawner", "void*", pSpawner, 0x21);
    AddEditable(cursor, "MinColor.Red", "float", MinColor[0]);
    AddEditable(cursor, "MinColor.Green", "float", MinColor[1]);
    AddEditable(cursor, "MinColor.Blue", "float", MinColor[2]);
    AddEditable(cursor, "MinColor.Alpha", "float", MinColor[3]);
    AddEditable(cursor, "MaxColor.Red", "float", MaxColor[0]);
    AddEditable(cursor, "MaxColor.Green", "float", MaxColor[1]);
    AddEditable(cursor, "MaxColor.Blue", "float", MaxColor[2]);
    AddEditable(cursor, "MaxColor.Alpha", "float", MaxColor[3]);
    return count + 14;
}
