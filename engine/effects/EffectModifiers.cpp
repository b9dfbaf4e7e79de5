#include "engine/effects/EffectModifiers.h"

#include "core/math/MathTables.h"
#include "engine/effects/EffectRandom.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRendResource.h"
#include "engine/render/CRenderer.h"
#include "engine/render/PrimBatch.h"

IMPLEMENT_GOBJECT(GShellPass, 0x04808000)
IMPLEMENT_GOBJECT(GCullOverride, 0x04808000)
IMPLEMENT_GOBJECT(GSoftAttach, 0x00008000)
IMPLEMENT_GOBJECT(GWindAffector, 0x04008000)
IMPLEMENT_GOBJECT(GColorizer, 0x04808000)
IMPLEMENT_GOBJECT(GGridRender, 0x04008000)

CRender* ParentRender(GObject* object)
{
    GObject* parent = object->GetParent();
    if (parent == nullptr || parent == GObject::GetRoot())
        return nullptr;
    GPhysical* physical = GPhysical::FromObject(parent);
    return physical ? &physical->Render : nullptr;
}

GShellPass::GShellPass()
{
    if (EditableEvaluation != 0)
        return;
    Colour = CVector4(1, 1, 1, 1);
    ShellPriority = 0x8000;
}

bool GShellPass::Render()
{
    CRender* owner = GetOwner();
    if (owner == nullptr || owner->GetResource() == nullptr)
        return Replace != 0;
    Material* materials = owner->GetMaterialList();
    const CVector* position = owner->GetPos();
    CVector* rotation = owner->GetRot();
    CVector* offset = owner->GetOffset();
    const CVector4* colour = owner->GetColour();
    const unsigned long priority = owner->GetMergedPriority();

    CVector shellPosition = PositionOffset, shellRotation = RotationOffset;
    if (position)
        shellPosition += *position;
    if (rotation)
        shellRotation += *rotation;
    owner->Attach(pMaterials);
    owner->Attach(&shellPosition, &shellRotation, &Colour, offset);
    owner->SetPriority(ShellPriority);
    owner->SetSortModifier(static_cast<short>(SortModifier - 0x8000));
    owner->GetResource()->Render(owner);

    owner->Attach(materials);
    owner->Attach(position, rotation, colour, offset);
    owner->SetPriority(static_cast<unsigned short>(priority >> 16));
    owner->SetSortModifier(static_cast<short>((priority & 0xFFFF) - 0x8000));
    return Replace != 0;
}

int GCullOverride::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "CullRadius", "float", CullRadius);
    return count + 1;
}

bool GCullOverride::Process()
{
    if (CRender* render = ParentRender(this)) {
        if (CullRadius < 0.0f)
            render->SetFlags(render->GetFlags() | CRender::FLAG_NEVER_CULLED, CRender::FLAG_NEVER_CULLED);
        else
            render->SetCullRadius(CullRadius);
    }
    Destroy();
    return true;
}

GSoftAttach::GSoftAttach()
{
    if (EditableEvaluation != 0)
        return;
    OffsetMatrix.SetIdentity();
}

bool GSoftAttach::Render()
{
    CRender* render = ParentRender(this);
    int found = 0;
    CMatrix attach;
    if (render != nullptr && render->GetResource() != nullptr)
        render->GetAttachPoint(CCRC32(AttachPoint), found, &attach);
    GPosRot* moved = found ? GPosRot::FromObject(GObject::GetGobject(hMoved)) : nullptr;
    if (moved == nullptr) {
        Released = 1;
        return false;
    }
    CMatrix placed;
    placed.Multiply(OffsetMatrix, attach);
    CVector position, angles;
    placed.GetEuler(CMatrix::XYZ, position, angles);
    moved->SetPosRot(position, angles);
    return false;
}

bool GSoftAttach::Process()
{
    if (!Released)
        return false;
    Destroy();
    return true;
}

GWindAffector::GWindAffector()
{
    if (EditableEvaluation != 0)
        return;
    Rate = EffectLerpRandom(RotateRateMin, RotateRateMax);
}

int GWindAffector::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "RotateRateMin", "float", RotateRateMin);
    AddEditable(cursor, "RotateRateMax", "float", RotateRateMax);
    AddEditable(cursor, "MinAnimSpeed", "float", MinAnimSpeed);
    AddEditable(cursor, "MaxAnimSpeed", "float", MaxAnimSpeed);
    return count + 4;
}

// The heading moves the short way round towards the wind's, by at most rate x frame time.
bool GWindAffector::Process()
{
    GPosRot* parent = GetParent() == GetRoot() ? nullptr : GPosRot::FromObject(GetParent());
    if (parent == nullptr) {
        Destroy();
        return true;
    }
    if (GetOwner() == nullptr)
        if (CRender* render = ParentRender(this))
            render->Attach(this);
    if (GWind::pThe == nullptr)
        return false;
    CVector rotation = parent->GetRot();
    float d = rotation.z - GWind::pThe->heading;
    float sign = d < 0.0f ? -1.0f : 1.0f;
    d = d < 0.0f ? -d : d;
    if (d > 3.141592f) {
        sign = -sign;
        d = 6.283185f - d;
    }
    const float most = CGameTimer::FrameTime() * Rate;
    rotation.z -= (d < most ? d : most) * sign;
    parent->SetRot(rotation);
    return false;
}

int GColorizer::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "MinTint.Red", "float", MinTint.x);
    AddEditable(cursor, "MinTint.Green", "float", MinTint.y);
    AddEditable(cursor, "MinTint.Blue", "float", MinTint.z);
    AddEditable(cursor, "MaxTint.Red", "float", MaxTint.x);
    AddEditable(cursor, "MaxTint.Green", "float", MaxTint.y);
    AddEditable(cursor, "MaxTint.Blue", "float", MaxTint.z);
    AddEditable(cursor, "NonUniform", "int", NonUniform);
    return count + 7;
}

void GGridRender::Set(int columns, int rows, float cellSize, const CVector& origin)
{
    Columns = columns;
    Rows = rows;
    CellSize = cellSize;
    Origin = origin;
}

void GGridRender::Set(const CVector4& colour) { Colour = colour; }

bool GGridRender::Render()
{
    BeginPrimitives(3, 1, 1);
    SetPrimitiveStage(0, 0, 0x2002, nullptr);
    SetPrimitiveTexture(0, nullptr);
    SetPrimitivePriority(0x60008000);
    SetPrimitiveColor(Colour);
    for (int row = 0; row < Rows; ++row)
        for (int column = 0; column < Columns; ++column) {
            const float x = Origin.x + column * CellSize, y = Origin.y + row * CellSize;
            const float z = CRenderer::GetHeightData(CVector(x, y, 0)) + Origin.z;
            StartPrimitive(0);
            AddPrimitiveVertex(CVector(x, y, z));
            AddPrimitiveVertex(CVector(x + CellSize, y, z));
            AddPrimitiveVertex(CVector(x + CellSize, y + CellSize, z));
            AddPrimitiveVertex(CVector(x, y + CellSize, z));
            EndPrimitive();
        }
    EndPrimitives();
    return false;
}
