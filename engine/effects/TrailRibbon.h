#pragma once
// What the two trail effects share: the ribbon's look sampled from a chain of particle
// definitions into a table of keys, the ring of recorded points, and the camera-facing strip
// drawn through them.
#include "core/math/CVector.h"
#include "engine/include/RhuTypes.h"

// One recorded position of the ribbon.
struct TrailPoint {
    CVector Position;
    CVector Direction; // unit vector toward the next recorded point
    float Time;        // game time it was recorded
};
static_assert(sizeof(TrailPoint) == 28, "a trail point is seven words");

// The ribbon's look at one step from its head; A at the point's birth, B when it has faded.
struct TrailKey {
    float ColourA[4], ColourB[4];
    float TexA, TexB;
    float WidthA, WidthB;
    float Fade, InvFade;
    rhu::ParticleDef* pDef;
};
static_assert(sizeof(TrailKey) == 60, "a trail key is fifteen words");

// The most points one ribbon keeps: a period tiny beside the span must not ask the heap for
// more than a ribbon can show.
enum { kMaxTrailPoints = 4096 };

// Points a ribbon of this span and period needs (one per period plus the head), 0 when either
// is not positive.
int TrailPointCount(float span, float period);

// Frees the old table and samples a new one from the chain; returns the key count.
int BuildTrailKeys(const rhu::ParticleDef* first, float span, float period, TrailKey*& keys);

// Points prev's direction at next; when the two coincide it keeps the direction of the point
// before it (when given).
void AimTrailPoint(TrailPoint& prev, const TrailPoint& next, const TrailPoint* before);

// Opens the draw state of a ribbon of this definition's look.
void BeginTrailDrawing(const rhu::ParticleDef& def, unsigned long priority);

// Both edges of the ribbon at one point, with its colour and texture coordinate along it.
struct TrailEdge {
    CVector Left, Right;
    CVector4 Colour;
    float V;
};
TrailEdge MakeTrailEdge(const TrailPoint& point, const TrailKey& key, const CVector& view, float now);
// The quad between two consecutive edges.
void DrawTrailQuad(const TrailEdge& from, const TrailEdge& to);

// One ribbon through count points of a ring, oldest (at index first) to newest; keyOf(j, point)
// gives the key index of the j-th point. view is the unit direction the camera looks in.
template <class KeyOf>
void DrawTrailRing(const TrailPoint* ring, int capacity, int first, int count, const TrailKey* keys, int keyCount,
                   KeyOf keyOf, const CVector& view, float now)
{
    TrailEdge previous;
    for (int j = 0; j < count; ++j) {
        const TrailPoint& point = ring[(first + j) % capacity];
        int k = keyOf(j, point);
        k = k < 0 ? 0 : (k >= keyCount ? keyCount - 1 : k);
        const TrailEdge edge = MakeTrailEdge(point, keys[k], view, now);
        if (j > 0)
            DrawTrailQuad(previous, edge);
        previous = edge;
    }
}

// The unit direction the viewport's camera looks in; false without a camera.
bool TrailViewDirection(int viewport, CVector& view);
