#pragma once
// The base of the field effects: a fixed population of units scattered at random over a
// rectangle (or the ellipse inside it) of terrain around the field, created when the field's
// bounding sphere comes into view and freed when it leaves. Placed by itself, a field draws
// each unit as a short white vertical line, which shows the scatter.
#include "engine/render/CRender.h"
#include "engine/render/GEffect.h"

// One scattered unit; the orientation and the extra record belong to the subclasses.
struct DebrisUnit {
    CVector position;
    float orientation[3];
    void* pExtra;
    DWORD spawnWord;
};
static_assert(sizeof(DebrisUnit) == 32, "a unit is 32 bytes");

class GDebrisField : public GEffect {
    DECLARE_GOBJECT(GDebrisField, GEffect)

    GDebrisField();
    ~GDebrisField() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    virtual void SpawnDebris(DebrisUnit* unit);
    virtual void Populate();
    virtual void Depopulate();

    // A populated field is tested with a larger sphere, so that it does not flicker in and
    // out at the edge of the view.
    static constexpr float kHysteresis = 1.25f;

    float Width;  // extent along world X
    float Height; // extent along world Y
    float Radius; // bounding radius, always recomputed from the extents
    int Rounded;  // units lie inside the ellipse inscribed in the rectangle
    int Population;
    int Populated;
    float BoundingBloat;
    DebrisUnit* units;
    DWORD RendPriority;
    union {
        CRender render; // the field's own render instance
    };

protected:
    int UnitCount() const { return Population > 0 ? Population : 0; }

private:
    bool ownRender;
    void SetUpOwnRender();
};
