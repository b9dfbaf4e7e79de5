#include "converter/core/RenderFlags.h"

#include "converter/import2d/CPixelFormat.h"

#include <initializer_list>

void RenderFlags::Reset(CFormatSpecifier& s)
{
    const unsigned long on = CFormatSpecifier::ValueBit;
    for (unsigned long* word : {&s.Filter, &s.ViewScale, &s.ZBuffer, &s.ZWrite})
        *word = on;
    for (unsigned long* word : {&s.Additive, &s.Bump, &s.LerpNormals, &s.Screen, &s.SortAlpha, &s.SortSolid, &s.Shadow})
        *word = 0;
    s.ExplicitFormat = 0;
    s.AlphaKind = 0;
}
