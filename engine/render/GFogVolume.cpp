#include "engine/render/GFogVolume.h"

#include "engine/render/LightHandles.h"

IMPLEMENT_GOBJECT(GFogVolume, 0x4008000)

GFogVolume::GFogVolume() : hLight(0)
{
    if (EditableEvaluation != 0)
        return;
    hLight = LightHandleAquire();
    LightHandleSelect(hLight);
    LightEnable(hLight, true);
    LightSetPriority(Priority);
    LightSetType(LightRecord::TYPE_FOG);
    LightSetDiffuse(Color);
    LightSetAttenuation(CVector(Start, End, 0.0f));
    LightSetViewport(ViewportIndex);
    LightSetExtents(MinX, MaxX, MinY, MaxY, LimitLeft, LimitTop, LimitRight, LimitBottom);
}

GFogVolume::~GFogVolume()
{
    if (hLight)
        LightHandleRelease(hLight);
}

int GFogVolume::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "Priority", "int", Priority);
    AddEditable(cursor, "Start", "float", Start);
    AddEditable(cursor, "End", "float", End);
    AddEditable(cursor, "Color.Red", "float", Color.x);
    AddEditable(cursor, "Color.Green", "float", Color.y);
    AddEditable(cursor, "Color.Blue", "float", Color.z);
    AddEditable(cursor, "MinX", "float", MinX);
    AddEditable(cursor, "MaxX", "float", MaxX);
    AddEditable(cursor, "MinY", "float", MinY);
    AddEditable(cursor, "MaxY", "float", MaxY);
    AddEditable(cursor, "LimitLeft", "int", LimitLeft);
    AddEditable(cursor, "LimitTop", "int", LimitTop);
    AddEditable(cursor, "LimitRight", "int", LimitRight);
    AddEditable(cursor, "LimitBottom", "int", LimitBottom);
    AddEditable(cursor, "ViewportData", "DWORD", ViewportData);
    AddEditable(cursor, "ViewportIndex", "int", ViewportIndex);
    return count + 16;
}
