// Carving a location's black border into the fog-of-war grid: the location's cells are peeled
// one ring a pass from the outside in, except along the strips its border-exclude list keeps
// open. Every peeled square becomes impassable; rings 0 and 1 get the black fill decal, rings 2
// to 5 graded edge, corner and inside-corner decals, rings 6 and 7 none.
#include <math.h>

#include "engine/world/GFOWManager.h"
#include "engine/world/GmvWorld.h"

namespace {

enum { BORDER_TERMINATE = 0, BORDER_NORTH = 1, BORDER_SOUTH = 2, BORDER_EAST = 3, BORDER_WEST = 4 };

const int PASSES = 8;
const int DECAL_PASSES = 6;
const int FILL_PASSES = 2;
// Open strips reach this many squares beyond their ends.
const int STRIP_REACH = 8;
const int BLACKNESS = 14;
const float INSIDE = 1.0f;
const float OPEN_STRIP = 2.0f;
const float PEELED = 500.0f;
const int FILL_SPRITE = 12;
const int EDGE_SPRITE = 3;
const int CORNER_SPRITE = 7;
const int INSIDE_CORNER_SPRITE = 11;

// The decal index of each border sprite in the location being carved.
DWORD FOWDecalIndex[13];

struct SpriteChoice {
    int First; // the 0-25 sprite of the family
    int Orientation;
};
// Indexed by shape.
const SpriteChoice kShapes[12] = {{CORNER_SPRITE, 2},        {EDGE_SPRITE, 3},          {CORNER_SPRITE, 3},
                                  {EDGE_SPRITE, 2},          {EDGE_SPRITE, 0},          {CORNER_SPRITE, 1},
                                  {EDGE_SPRITE, 1},          {CORNER_SPRITE, 0},        {INSIDE_CORNER_SPRITE, 2},
                                  {INSIDE_CORNER_SPRITE, 3}, {INSIDE_CORNER_SPRITE, 1}, {INSIDE_CORNER_SPRITE, 0}};

// -1 for a square with all four sides open (the fill sprite).
int Shape(const float* cell, int stride, int neighbours)
{
    const bool U = cell[-stride] > 0, D = cell[stride] > 0, L = cell[-1] > 0, R = cell[1] > 0;
    int s;
    if (!U)
        s = !L ? 0 : R ? 1 : 2;
    else if (!D)
        s = !L ? 5 : R ? 6 : 7;
    else
        s = !L ? 3 : !R ? 4 : -1;
    if (neighbours == 7) {
        if (!(cell[-stride - 1] > 0) && U && L)
            s = 8;
        if (!(cell[-stride + 1] > 0) && U && R)
            s = 9;
        if (!(cell[stride - 1] > 0) && L && D)
            s = 10;
        if (!(cell[stride + 1] > 0) && R && D)
            s = 11;
    }
    return s;
}

int CountNeighbours(const float* cell, int stride)
{
    const int offsets[8] = {-stride - 1, -stride, -stride + 1, -1, 1, stride - 1, stride, stride + 1};
    int n = 0;
    for (int offset : offsets)
        n += cell[offset] > 0 ? 1 : 0;
    return n;
}

} // namespace

void GFOWManager::CarveBorder(LocationEntry* location, const BorderExclude* excludes)
{
    const int w = static_cast<int>(floorf(location->MaxX - location->MinX));
    const int h = static_cast<int>(floorf(location->MaxY - location->MinY));
    Fill(UNSEEN);
    for (int i = 0; i < 13; ++i)
        FOWDecalIndex[i] = GmvWorld::GetDecalIndex(CCRC32(FOWSpriteNames[i]), location);
    float* base = pCells + Row(location->MinY) * iStride + Column(location->MinX);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            base[r * iStride + c] = INSIDE;
    MarkExcludedStrips(base, w, h, excludes);
    for (int pass = 0; pass < PASSES; ++pass)
        PeelRing(location, base, w, h, pass);
}

// The open strips lie just outside the location; as neighbours above 0 they keep the squares
// beside them from being peeled.
void GFOWManager::MarkExcludedStrips(float* base, int w, int h, const BorderExclude* excludes)
{
    for (const BorderExclude* e = excludes; e->Side != BORDER_TERMINATE; ++e) {
        const int lo = e->Start < e->End ? e->Start : e->End;
        const int hi = e->Start < e->End ? e->End : e->Start;
        const bool alongX = e->Side == BORDER_NORTH || e->Side == BORDER_SOUTH;
        const int from = lo - STRIP_REACH > 0 ? lo - STRIP_REACH : 0;
        const int limit = alongX ? w : h;
        const int to = hi + STRIP_REACH < limit ? hi + STRIP_REACH : limit;
        for (int k = from; k < to; ++k) {
            switch (e->Side) {
            case BORDER_NORTH:
                base[-iStride + k] = OPEN_STRIP;
                break;
            case BORDER_SOUTH:
                base[h * iStride + k] = OPEN_STRIP;
                break;
            case BORDER_EAST:
                base[k * iStride - 1] = OPEN_STRIP;
                break;
            case BORDER_WEST:
                base[k * iStride + w] = OPEN_STRIP;
                break;
            default:
                break;
            }
        }
    }
}

void GFOWManager::PeelRing(LocationEntry* location, float* base, int w, int h, int pass)
{
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            float* cell = base + r * iStride + c;
            if (!(*cell > 0.0f && *cell <= INSIDE))
                continue;
            const int neighbours = CountNeighbours(cell, iStride);
            if (neighbours == 8)
                continue;
            GmvWorld::SetPassibilityIndex(BLACKNESS, location, location->MinX + c, location->MinY + r);
            if (pass < DECAL_PASSES)
                WriteBorderDecal(location, cell, c, r, pass, neighbours);
            *cell = PEELED;
        }
    const int n = GetStorageCount();
    for (int i = 0; i < n; ++i)
        if (pStorage[i] == PEELED)
            pStorage[i] = UNSEEN;
}

// Each sprite's four rotations are consecutive decals.
void GFOWManager::WriteBorderDecal(LocationEntry* location, const float* cell, int column, int row, int pass,
                                   int neighbours)
{
    const int shape = Shape(cell, iStride, neighbours);
    int sprite = FILL_SPRITE, orientation = 0;
    if (pass >= FILL_PASSES && shape >= 0) {
        sprite = kShapes[shape].First + (FILL_PASSES - pass);
        orientation = kShapes[shape].Orientation;
    }
    BYTE data[2] = {static_cast<BYTE>((FOWDecalIndex[sprite] & 0xFF) + orientation), 0};
    MapWritePos runs[2] = {{0, 0, 1}, {0, 0, 0}};
    GmvWorld::WriteDecalData(location, column, row, runs, data, 0);
}
