#pragma once
// The mini-map's built-in screen resources. Like the other built-in shapes they draw from the
// render's vectors rather than from packed data:
// - position: the map's origin on the screen (x, y); for the picture also its width (z);
// - rotation: the map transform (offset x, offset y, scale), a world point (wx, wy) landing at
//   ((wx + offset x) x scale + origin x, (wy + offset y) x scale + origin y); for the picture
//   its x is the height;
// - offset: what to draw (the dot or mark list, the camera point, the picture's texture, the
//   view cone's clipping size);
// - colour: turning parameters when its first component is not 0: components 4 and 5 the
//   sine and cosine of the map's rotation, 6 and 7 its centre.
#include "engine/render/CRendResource.h"

#pragma pack(push, 1)
// Unit dots (a larger one for alpha 254), then every mini-map marker.
class CRendMiniMapObjects : public CRendResource {
public:
    void Render(CRender* render) override;
};

// The camera's position as a small white cross.
class CRendMiniMapCamPointer : public CRendResource {
public:
    void Render(CRender* render) override;
};

// A cross for each record of the mark list.
class CRendMiniMapXMarker : public CRendResource {
public:
    void Render(CRender* render) override;
};

// The map picture, cropped to the quad's shape round its centre.
class CRendMiniMapImage : public CRendResource {
public:
    void Render(CRender* render) override;
};

// The ground the camera sees, clipped to the map.
class CRendMiniMapCamera : public CRendResource {
public:
    void Render(CRender* render) override;
};
#pragma pack(pop)

// A record of the dot and mark lists, which end at a record whose x is the nowhere vector's.
struct MiniMapDot {
    float x, y; // pixels from the map's origin, not scaled
    float Unused;
    CVector4 Colour; // 0 to 255
};
static_assert(sizeof(MiniMapDot) == 28, "MiniMapDot is 28 bytes");
