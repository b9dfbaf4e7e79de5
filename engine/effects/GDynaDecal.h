#pragma once
// A textured, coloured rectangle laid onto the terrain under an object: shadows, tracks,
// footprints, decoration and particle-driven splashes. The rectangle is clipped to every
// terrain location of the world and handed to the renderer's terrain-decal drawing. The
// derived classes change where the rectangle comes from or how it is coloured.
#include "core/math/CMatrix.h"
#include "engine/effects/ParticleStub.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;
struct LocationEntry;

class GDynaDecal : public GEffect {
    DECLARE_GOBJECT(GDynaDecal, GEffect)

    GDynaDecal();
    ~GDynaDecal() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // A decal stays where it lies when its owner drops its effects.
    void Eject(CRender*) override {}
    bool Render() override;

    // The cell range of location index that the world rectangle x0..x1, y0..y1 covers,
    // clamped to the location; null when it misses the location or is empty.
    static LocationEntry* ClipRectToLocation(int index, float& cellSize, float x0, float x1, float y0, float y1,
                                             int range[4]);
    // The most particle decals drawn in one renderer frame.
    enum { kParticleDecalCap = 700 };

    float DrawRadius;
    float Width, Height;
    float ZOffset;
    float DepthBias;
    void* pTexture;
    CVector4 Color; // 0..255
    float FalloffStart, FalloffEnd, FalloffScale;
    int UseFalloff, UseRotation, UseZBuffer, UseZWrite, UseAlpha, UseAdditive;
    int TrackParent;
    float FOWMode;
    float Jitter;
    CRendResource* pResource;
    DWORD RendPriority;
    CRender OwnRender;

protected:
    // The parent object, when it is a placed object other than the root.
    GPosRot* ParentObject();
    // Draws the rectangle centred on centre (on the ground), turned by angle, with this colour.
    // radius is the frustum test's.
    bool DrawRectangle(const CVector& centre, float width, float height, float angle, CVector4 colour, float radius);
    // The height band's effect: false when the decal is not drawn, else alpha and size scaled.
    bool ApplyFalloff(float height, CVector4& colour, float& width, float& length) const;
    // While on (particle decals drawing), decals are counted against the per-frame cap.
    static bool CapOn;

private:
    static unsigned long CapFrame;
    static int CapCount;
};

// A team-coloured marker that only class prototypes keep: placed instances remove themselves.
class GTeamColorDecal : public GDynaDecal {
    DECLARE_GOBJECT(GTeamColorDecal, GDynaDecal)
    void PostConstruction() override;
};

// A track under a unit, faded by the first hack value of the render instance it hangs on.
class GUnitTrackDecal : public GDynaDecal {
    DECLARE_GOBJECT(GUnitTrackDecal, GDynaDecal)
    bool Render() override;
};

// A decoration decal: never tracks a parent, and shows its marker only while editing.
class GDecorDecal : public GDynaDecal {
    DECLARE_GOBJECT(GDecorDecal, GDynaDecal)
    GDecorDecal();
    bool Process() override;
};
