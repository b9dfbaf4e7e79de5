#include "engine/effects/GFootTrackDecal.h"

#include <algorithm>
#include <cmath>

#include "core/math/MathTables.h"
#include "engine/object/EditableInfo.h"
#include "engine/object/GPhysical.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GFootTrackDecal, 0x04808000)

GFootTrackDecal::GFootTrackDecal()
{
    if (EditableEvaluation != 0)
        return;
    if (!LeftAttach)
        LeftAttach = CCRC32("Attach_LeftFoot");
    if (!RightAttach)
        RightAttach = CCRC32("Attach_RightFoot");
}

int GFootTrackDecal::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDynaDecal::SpecifyEditable(cursor);
    AddEditable(cursor, "BigShadow", "int", BigShadow);
    AddEditable(cursor, "SpreadStart", "float", SpreadStart);
    AddEditable(cursor, "SpreadEnd", "float", SpreadEnd);
    AddEditable(cursor, "SpreadScale", "float", SpreadScale);
    AddEditable(cursor, "Projection.X", "float", Projection.x);
    AddEditable(cursor, "Projection.Y", "float", Projection.y);
    AddEditable(cursor, "Projection.Z", "float", Projection.z);
    AddEditable(cursor, "LeftAttach", "DWORD", LeftAttach);
    AddEditable(cursor, "RightAttach", "DWORD", RightAttach);
    return count + 9;
}

bool GFootTrackDecal::FootPosition(CRender& render, DWORD attach, CVector& out) const
{
    int found = 0;
    out = render.GetAttachPoint(CCRC32(attach), found, nullptr);
    if (!found)
        return false;
    if (Projection.z != 0.0f) {
        float t = (CRenderer::GetHeightData(out) - out.z) / Projection.z;
        t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
        out.Set(out.x + Projection.x * t, out.y + Projection.y * t, out.z + Projection.z * t);
    }
    return true;
}

bool GFootTrackDecal::Render()
{
    GPhysical* parent = GPhysical::FromObject(ParentObject());
    if (!parent || !parent->Render.GetResource())
        return false;
    CVector left, right;
    if (!FootPosition(parent->Render, LeftAttach, left) || !FootPosition(parent->Render, RightAttach, right))
        return false;
    CVector centre((left.x + right.x) * 0.5f, (left.y + right.y) * 0.5f, (left.z + right.z) * 0.5f);
    const float above = centre.z;
    centre.z = CRenderer::GetHeightData(centre);
    const float dx = right.x - left.x, dy = right.y - left.y;
    const float d = fmsqrt(dx * dx + dy * dy);
    CVector4 colour = Color;
    float width = Width, height = Height;
    if (!ApplyFalloff(above - centre.z, colour, width, height))
        return false;
    if (d >= SpreadStart) {
        const float f = SpreadEnd != SpreadStart ? (d - SpreadStart) / (SpreadEnd - SpreadStart) : 0.0f;
        if (f > 1.0f)
            return false;
        colour.w *= 1.0f - f;
        const float grow = 1.0f + f * (SpreadScale - 1.0f);
        width *= grow;
        height *= grow;
    }
    const float along = std::max(height, width * d);
    DrawRectangle(centre, along, height, std::atan2(dy, dx), colour, 5.0f * DrawRadius);
    return false;
}
