#include "engine/effects/GDebrisField.h"

#include <math.h>

#include "core/heap/ZHeap.h"
#include "core/names/CRandom.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GDebrisField, 0x86008000)

namespace {

// In [-1, 1], peaked at 0: the sum of two uniform draws.
float Triangular() { return (GlobalRandom.Rand(10.0f) + GlobalRandom.Rand(10.0f) - 10.0f) * 0.1f; }

} // namespace

GDebrisField::GDebrisField()
{
    if (EditableEvaluation != 0)
        return;
    new (&render) CRender();
    Position.z = CRenderer::GetHeightData(Position);
    Radius = Rounded ? 0.5f * fmaxf(Width, Height) : 0.5f * sqrtf(Width * Width + Height * Height);
    Populated = 0;
    units = nullptr;
}

GDebrisField::~GDebrisField()
{
    if (EditableEvaluation != 0)
        return;
    zfree(units);
    units = nullptr;
    // Leaving the own render's chain first keeps GEffect's destructor from detaching from a
    // render that is already gone.
    if (ownRender && GetOwner() == &render)
        render.Detach(this);
    render.~CRender();
}

void GDebrisField::SpawnDebris(DebrisUnit* unit)
{
    float u, v;
    do {
        u = Triangular();
        v = Triangular();
    } while (Rounded && u * u + v * v > 1.0f);
    unit->position = CVector(u * Width * 0.5f + Position.x, v * Height * 0.5f + Position.y, 0.0f);
    unit->position.z = CRenderer::GetHeightData(CVector(unit->position.x, unit->position.y, Position.z));
    unit->spawnWord = 0;
}

void GDebrisField::Populate()
{
    zfree(units);
    const int count = UnitCount();
    units = static_cast<DebrisUnit*>(zmalloc(static_cast<unsigned long>(count) * sizeof(DebrisUnit)));
    for (int i = 0; i < count; ++i)
        SpawnDebris(&units[i]);
}

void GDebrisField::Depopulate()
{
    zfree(units);
    units = nullptr;
}

void GDebrisField::SetUpOwnRender()
{
    ownRender = true;
    render.Attach(&GetPos(), &Rotation, nullptr, nullptr);
    render.Index(0);
    render.SetSelectable(GetHandle());
    render.Attach(this);
    render.SetViewport(static_cast<short>(Viewport & 0x1F));
    render.Link();
}

bool GDebrisField::Process()
{
    if (GetOwner() == nullptr)
        SetUpOwnRender();
    const float radius = BoundingBloat + (Populated ? Radius * kHysteresis : Radius);
    const int visible = IsInFrustrum(Viewport, Position, radius) ? 1 : 0;
    if (visible != Populated) {
        if (visible)
            Populate();
        else
            Depopulate();
        Populated = visible;
    }
    return false;
}

bool GDebrisField::Render()
{
    if (units == nullptr || UnitCount() == 0)
        return false;
    PushMatrix();
    BeginPrimitives(1, 1, 1);
    SetPrimitiveStage(0, 0, 0x2C12, nullptr);
    SetPrimitiveStageFloat(0, 1.0f);
    SetPrimitiveTexture(0, nullptr);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    const float low[2] = {0.0f, 0.5f}, high[2] = {1.0f, 0.5f};
    for (int i = 0; i < UnitCount(); ++i) {
        const CVector& at = units[i].position;
        StartPrimitive(0);
        SetPrimitiveNormal(CVector(0.0f, 0.0f, 0.0f));
        SetPrimitiveColor(CVector4(255.0f, 255.0f, 255.0f, 128.0f));
        SetPrimitiveTexCoord(0, low);
        AddPrimitiveVertex(at);
        SetPrimitiveTexCoord(0, high);
        AddPrimitiveVertex(CVector(at.x, at.y, at.z + 1.0f));
        EndPrimitive();
    }
    EndPrimitives();
    PopMatrix();
    return false;
}

int GDebrisField::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "Width", "float", Width);
    AddEditable(cursor, "Height", "float", Height);
    AddEditable(cursor, "Radius", "float", Radius);
    AddEditable(cursor, "BoundingBloat", "float", BoundingBloat);
    AddEditable(cursor, "Rounded", "int", Rounded);
    AddEditable(cursor, "Population", "int", Population);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    return count + 7;
}
