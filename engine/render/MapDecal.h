#pragma once
// Terrain decals: a small rectangle of a terrain map's cells drawn again with a decal's
// texture and colour, lying on the ground it was cut from (footprints, scorch marks, selection
// areas). Each closed decal becomes an entry of the layer's decal list.
#include "core/math/CMatrix.h"
#include "core/math/CVector.h"

class CRendMap;
struct Material;

// The decal's look, kept until changed: its sort mode and value, additive blending with bit 0
// of the flags, a colour of 0 to 255 components (white when none) and a material (the
// default one when none).
void SetMapDecalStyle(int mode, unsigned flags, const CVector4* colour, int value, const Material* material);
// The cells between corners (x0, y0) and (x1, y1) of the map, fewer than 16 each way and
// inside the map; `world` maps a corner's world position to its texture coordinates
// (u = x m00 + y m10 + m30, v = x m01 + y m11 + m31). Another rectangle draws nothing.
void BeginMapDecal(CRendMap* map, int x0, int y0, int x1, int y1, const CMatrix& world);
// Writes the open decal into the layer's decal list with the current style.
void EndMapDecal();

enum { kMaxDecalSpan = 16 };
