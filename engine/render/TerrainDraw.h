#pragma once
// Draws a terrain map for the viewport being rendered: only the quads the view can see, each
// two triangles of up to three layers (base tile, top tile, decal) tinted by the fog of war,
// gathered into batches of equal materials, tiles and lights.
#include "core/math/CVector.h"

class CRendMap;
struct Material;

// The fog-of-war manager's side of the terrain tint: its colours (channels 0 to 1) and the
// game time its values are measured against.
class ITerrainFOW {
public:
    virtual ~ITerrainFOW() {}
    virtual void GetFOWColours(CVector4& visible, CVector4& unvisited, CVector4& visited, CVector4& edge) = 0;
    virtual float GetGameTime() = 0;
};

class CTerrainDraw {
public:
    // Renderer flag: cells with only a top tile draw it as their one layer.
    enum : unsigned long { FLAG_TOP_ONLY_CELLS = 0x20 };
    enum : unsigned long { kSortKey = 0x60008000 };
    enum { kBuckets = 32, kBucketEntries = 64, kBlockQuads = 16 };

    // The map with a render instance's material overrides (null for none).
    static void Draw(CRendMap& map, const Material* overrides);

    // Set by the fog-of-war manager; while null a map's fog buffer tints nothing.
    static ITerrainFOW* pFOW;
    // The renderer's cell-user-value view: every corner takes its cell's user-value colour.
    static bool UserValueView;
    // What the last draw did: quads drawn, batches begun, draw-list entries handed over.
    static int LastQuads, LastBatches, LastSubmits;
};
