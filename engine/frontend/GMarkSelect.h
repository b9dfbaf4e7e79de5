#pragma once
// The mark a pointer puts on each object it selects: an effect on its own render instance that
// draws a marker at the object's ground point, picking its resource by the camera's distance
// (near, middle, far, each optionally through an animation table) and hiding where the fog of
// war says the object is unseen. The mark lives as a child of the marked object, so it goes with
// it, and tells its pointer when it goes.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

class CAnimTable;
class CRendResource;
class GmvPointer;

class GMarkSelect : public GEffect {
    DECLARE_GOBJECT(GMarkSelect, GEffect)

    enum { BAND_NEAR, BAND_MIDDLE, BAND_FAR, BAND_COUNT };

    GMarkSelect();
    ~GMarkSelect() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Process() override;
    // Chooses and places the marker; true (nothing of the instance drawn) while none is in use.
    bool Render() override;

    virtual void Attach(GPosRot* object, GmvPointer* pointer);

    GPosRot* GetAttached() const { return pAttachedTo; }
    CRendResource* GetResourceInUse() const { return pInUse; }
    const CVector& GetMarkPos() const { return MarkPos; }
    // The pointer lets go of the mark before it goes, so the mark never calls back into it.
    void ReleasePointer() { pPointer = nullptr; }

    float MidDistance;
    float FarDistance;
    float AnimPercent;
    int TableIndex;
    int SortModifier;
    float FOWMode;
    CRendResource* pResource;
    CRendResource* pResources[BAND_COUNT];
    CAnimTable* pAnimTables[BAND_COUNT];
    GPosRot* pAttachedTo;

private:
    bool HiddenByFog();
    int Band();
    CRendResource* Choose(int band);

    CRendResource* pInUse;
    // Built for live marks only: class prototypes never touch a render instance.
    union {
        CRender MarkRender;
    };
    GmvPointer* pPointer;
    CVector MarkPos;
    // Came with its marked object already set (stored data): it belongs to no pointer and goes.
    BYTE bStale;
};
