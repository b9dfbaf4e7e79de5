#pragma once
// Flat textured decals scattered over a rectangle of terrain and draped over the terrain
// map's cells. The first half rest where they were spawned; the other half are pushed and spun
// by gusts of the level wind, fade when they leave the field, and come back at a resting
// decal's place and angle.
#include "engine/effects/GDebrisField.h"

class CRendTexture;
struct LocationEntry;

class GDecalField : public GDebrisField {
    DECLARE_GOBJECT(GDecalField, GDebrisField)

    GDecalField();
    ~GDecalField() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;
    void SpawnDebris(DebrisUnit* unit) override;
    void Populate() override;
    void Depopulate() override;

    // One decal, the extra record of its unit; the unit's third orientation is its angle.
    struct Decal {
        float width;
        float height;
        float mobility; // 1 - weight
        float gustTime;
        float spin;
        float fade;
        float red, green, blue, alpha;
    };
    static_assert(sizeof(Decal) == 40, "a decal record is 40 bytes");

    // Decals are draped over at most this many map columns.
    static constexpr int kMaxColumns = 20;

    float MinWidth, MinHeight, MinWeight;
    float MaxWidth, MaxHeight, MaxWeight;
    float FadeRate;
    int UniformScale;
    float ZOffset;
    float DepthBias; // kept for the level data; the drawing does not use it
    float gustCarry;
    CRendTexture* pTexture;
    int Additive;
    float MinColor[4];
    float MaxColor[4];
    float bounds[4]; // min X, min Y, max X, max Y
    Decal* decals;

private:
    void FreeDecals();
    void StartGusts(int resting, float frameTime, float wx, float wy);
    void MoveMobile(int resting, float frameTime, float wx, float wy);
    bool OutsideBounds(const CVector& at) const;
    void DrapeDecal(const DebrisUnit& unit, float lift);
    void DrapeOnLocation(LocationEntry* entry, const DebrisUnit& unit, const float box[4], float lift);
};
