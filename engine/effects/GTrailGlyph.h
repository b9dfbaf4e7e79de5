#pragma once
// A ribbon trail behind a moving object, drawn as a bundle of lines: each line runs through
// one attach point of the parent's mesh, sampled every TrailPeriod seconds into a ring of
// links. Between two consecutive links every line becomes a textured quad whose colour,
// texture V and shrink toward the link's centre follow a key table built from a chain of
// particle definitions and read by the link's age. When the parent goes the trail runs out
// over TrailSpan seconds on a render instance of the glyph's own.
#include "core/math/CMatrix.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CRendResource;

class GTrailGlyph : public GEffect {
    DECLARE_GOBJECT(GTrailGlyph, GEffect)

    GTrailGlyph();
    ~GTrailGlyph() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    void Eject(CRender* owner) override;
    bool Render() override;

    virtual void Pause(bool pause) { paused = pause; }
    virtual void PrepareTrail();

    void AddLink();
    bool IsPaused() const { return paused; }
    rhu::ParticleDef* GetTrail() const { return pTrail; }
    void SetTrail(rhu::ParticleDef* trail)
    {
        pTrail = trail;
        PrepareTrail();
    }

    enum { kMaxPoints = 8 };

    struct Link {
        CVector points[kMaxPoints];
        CVector centre;
        float stamp; // game time the link was taken
    };
    struct Key {
        float colourA[4], colourB[4];
        float vA, vB;
        float shrinkA, shrinkB;
        float life, ooLife;
        rhu::ParticleDef* pDef;
    };

    rhu::ParticleDef* pTrailOverride; // a new key chain to take at the next Process
    bool paused;
    float clock;    // frame time since the last link step
    float nextLink; // time left until the next link slot
    float birthTime;
    float DeathTimer; // above 0: seconds left; the trail no longer grows
    CVector centre;
    Link* links;
    int capacity;
    int newest;
    int linkCount;
    float FOWMode;
    DWORD ParentAttach;
    int AutoAttach;
    DWORD RendPriority;
    int enabled;
    CRendResource* pResource;
    union {
        CRender render; // own render instance, used without a parent
    };
    rhu::ParticleDef* pTrail;
    float TrailSpan;
    float TrailPeriod;
    int Anchored;
    CMatrix matrix;
    int started, secondLink;
    Key* keys;
    int keyCount;
    int GlyphSegments;
    int GlyphLines[kMaxPoints];
    float GlyphU[kMaxPoints];
    DWORD GlyphID[kMaxPoints];
    float BoltScale;
    int BoltDensity;
    float TrailScale;
    CVector points[kMaxPoints];
    CVector newestCentre;
    int linkDue;

private:
    bool ownRender;
    int Segments() const;
    void AttachToRender();
    void WriteSlot(int slot, float now);
    void StepRing();
    Key SampleKey(const rhu::ParticleDef& cur, const rhu::ParticleDef* next, float age) const;
    // False when the link is not drawn; fills its points and colour.
    bool DrawableLink(const Link& link, float now, CVector* drawn, float colour[4], float& v) const;
    bool FogTint(const CVector& at, float now, float colour[4]) const;
    void BeginDrawing() const;
};
static_assert(sizeof(GTrailGlyph::Link) == 112, "a link is 112 bytes");
static_assert(sizeof(GTrailGlyph::Key) == 60, "a key is 60 bytes");
