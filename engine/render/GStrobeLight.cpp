#include "engine/render/GStrobeLight.h"

IMPLEMENT_GOBJECT(GStrobeLight, 0x82008000)

int GStrobeLight::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GLight::SpecifyEditable(cursor);
    AddEditable(cursor, "mode", "int", mode);
    AddEditable(cursor, "minFlickerTime", "float", minFlickerTime);
    AddEditable(cursor, "maxFlickerTime", "float", maxFlickerTime);
    AddEditable(cursor, "minTweenFlickerTime", "float", minTweenFlickerTime);
    AddEditable(cursor, "maxTweenFlickerTime", "float", maxTweenFlickerTime);
    AddEditable(cursor, "minIntensity", "float", minIntensity);
    AddEditable(cursor, "maxIntensity", "float", maxIntensity);
    AddEditable(cursor, "Sound_Flicker", "float", Sound_Flicker);
    return count + 8;
}
