#include "engine/render/GFadeLight.h"

IMPLEMENT_GOBJECT(GFadeLight, 0x82008000)

int GFadeLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPointLight::SpecifyEditable(cursor);
    AddEditable(cursor, "InAmbTime", "float", InAmbTime);
    AddEditable(cursor, "InDiffTime", "float", InDiffTime);
    AddEditable(cursor, "InSpecTime", "float", InSpecTime);
    AddEditable(cursor, "OutStartAmbTime", "float", OutStartAmbTime);
    AddEditable(cursor, "OutStartDiffTime", "float", OutStartDiffTime);
    AddEditable(cursor, "OutStartSpecTime", "float", OutStartSpecTime);
    AddEditable(cursor, "OutAmbTime", "float", OutAmbTime);
    AddEditable(cursor, "OutDiffTime", "float", OutDiffTime);
    AddEditable(cursor, "OutSpecTime", "float", OutSpecTime);
    AddEditable(cursor, "InAmb.Red", "float", InAmb.x);
    AddEditable(cursor, "InAmb.Green", "float", InAmb.y);
    AddEditable(cursor, "InAmb.Blue", "float", InAmb.z);
    AddEditable(cursor, "InDiff.Red", "float", InDiff.x);
    AddEditable(cursor, "InDiff.Green", "float", InDiff.y);
    AddEditable(cursor, "InDiff.Blue", "float", InDiff.z);
    AddEditable(cursor, "InSpec.Red", "float", InSpec.x);
    AddEditable(cursor, "InSpec.Green", "float", InSpec.y);
    AddEditable(cursor, "InSpec.Blue", "float", InSpec.z);
    AddEditable(cursor, "OutAmb.Red", "float", OutAmb.x);
    AddEditable(cursor, "OutAmb.Green", "float", OutAmb.y);
    AddEditable(cursor, "OutAmb.Blue", "float", OutAmb.z);
    AddEditable(cursor, "OutDiff.Red", "float", OutDiff.x);
    AddEditable(cursor, "OutDiff.Green", "float", OutDiff.y);
    AddEditable(cursor, "OutDiff.Blue", "float", OutDiff.z);
    AddEditable(cursor, "OutSpec.Red", "float", OutSpec.x);
    AddEditable(cursor, "OutSpec.Green", "float", OutSpec.y);
    AddEditable(cursor, "OutSpec.Blue", "float", OutSpec.z);
    return count + 27;
}
