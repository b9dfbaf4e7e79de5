#pragma once
// Small mesh objects scattered over a rectangle of terrain, each drawn through a render
// instance of its own and tinted by the fog of war. The first half rest upright; the other
// half roll over the ground when gusts of the level wind catch them, fade when they leave the
// field, and come back at a resting object's place.
#include "core/math/CMatrix.h"
#include "engine/effects/GDebrisField.h"

class CRendResource;

class GObjectField : public GDebrisField {
    DECLARE_GOBJECT(GObjectField, GDebrisField)

    GObjectField();
    ~GObjectField() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;
    void SpawnDebris(DebrisUnit* unit) override;
    void Populate() override;
    void Depopulate() override;

    // One object, the extra record of its unit; the unit's orientation is its render's
    // rotation, kept in step with the matrix the rolling multiplies into.
    struct Object {
        CMatrix rotation;
        CRender render;
        float mobility; // 1 - weight
        float gustTime;
        float fade;
        CVector4 colour; // 0..1
        CVector4 tinted; // colour after the fog; what the render draws with
        float baseAlpha;
    };

    float MinWeight, MaxWeight;
    float FadeRate;
    float gustCarry;
    float MobileRadius; // height of a mobile object above the ground and scale of its roll
    DWORD unused;
    CRendResource* pMobile;
    CRendResource* pSpawner;
    float MinColor[4];
    float MaxColor[4];
    float bounds[4]; // min X, min Y, max X, max Y
    Object* objects;

private:
    void FreeObjects();
    void SetUpRender(DebrisUnit& unit, CRendResource* resource);
    void StartGusts(int resting, float frameTime, float strength);
    void Roll(DebrisUnit& unit, float frameTime, float heading, float dx, float dy);
    void FadeOut(int resting, DebrisUnit& unit, float frameTime);
    void Tint(DebrisUnit& unit);
};
