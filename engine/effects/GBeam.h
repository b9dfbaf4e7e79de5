#pragma once
// A straight, camera-facing, textured band between a front point and a trail point whose
// width and end colours follow a three-phase envelope (waxing, full, waning). At the end of its
// lifetime it can create a follow-up object (a chained beam inherits its end points), and it
// goes unless it was made immortal.
#include "engine/object/CFillData.h"
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class GBeam : public GEffect {
    DECLARE_GOBJECT(GBeam, GEffect)

    GBeam();
    ~GBeam() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    // Makes the beam mortal again.
    void Eject(CRender*) override { DestroyAtEnd = 1; }
    bool Render() override;
    virtual void Immortalize() { DestroyAtEnd = 0; }
    // The follow-up beam takes this beam's end points (and its mortality).
    virtual void OnChain(GBeam* next);
    // A hook for derived beams to move the end points before drawing.
    virtual void GetEndPoints() {}

    void SetLifetime(float lifetime, float elapsed);
    void SetEndPoints(const CVector& front, const CVector& trail);
    void GetLeadPos(CVector& out) const { out = Front; }
    void GetTrailPos(CVector& out) const { out = Trail; }
    float GetLifetime() const { return Lifetime; }
    float GetWaxDuration() const { return WaxDuration; }
    float GetWaneDuration() const { return WaneDuration; }
    bool IsDead() const;
    GObject* GetChained() const { return pChained; }
    // The animated values as last evaluated: width, then lead and trail colours.
    float CurrentWidth() const { return Current[0]; }
    CVector4 LeadColour() const { return CVector4(Current[1], Current[2], Current[3], Current[4]); }
    CVector4 TrailColour() const { return CVector4(Current[5], Current[6], Current[7], Current[8]); }

    enum { kAnimated = 9, kKeys = 4 };

    CRender OwnRender;
    CVector Front, Trail;
    float Start, WaxEnd, WaneStart, End;
    CVector Span;
    float SpanLength;
    CVector Segment;
    float SegmentLength;
    float TextureRepeat;
    CVector Corners[4];
    CVector4 FrontColour, TrailColour4;
    float SegmentScale;
    float TextureScale;
    void* pTexture;
    float InvTextureScale;
    float Rate[3];
    CVector Centre;
    int DestroyAtEnd;
    float Lifetime, WaxDuration, WaneDuration;
    float Fraction, Complement;
    int PhaseFrom, PhaseTo;
    // Width, LeadColorRed .. LeadColorAlpha, TrailColorRed .. TrailColorAlpha; one key per
    // phase boundary.
    float Keys[kAnimated][kKeys];
    CEmbeddedFillData* pChainData;
    GObject* pChained;

private:
    float Current[kAnimated];
};
