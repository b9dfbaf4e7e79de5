#pragma once
// Materials as packed data holds them, with the engine's own vector and texture types. A
// render instance's material overrides are Material records too: their Flags say which fields
// replace or multiply the drawn material's, and bit 0x20000000 marks the last override.
#include "core/math/CVector.h"
#include "core/names/CCRC32.h"

class CRendTexture;

#pragma pack(push, 1)
struct MaterialEffect {
    unsigned long Name; // the effect's name key
    float Width;
    float Scale;
    float UScroll;
    float VScroll;
};

struct Material {
    unsigned long Name; // name key
    MaterialEffect* Effect;
    unsigned long Flags;
    CVector Ambient;
    CVector Emissive;
    CVector Diffuse;
    CVector Specular;
    float Alpha;
    CRendTexture* pTexture;
    CRendTexture* pDetailMap;
    long BumpDepth;
    float BumpScale;
    float DetailScale;
    float UScroll;
    float VScroll;

    enum : unsigned long {
        REPLACE_AMBIENT = 0x01,
        REPLACE_EMISSIVE = 0x02,
        REPLACE_DIFFUSE = 0x04,
        REPLACE_SPECULAR = 0x08,
        REPLACE_ALPHA = 0x10,
        REPLACE_TEXTURE = 0x20,
        REPLACE_SCROLL = 0x40,
        MULTIPLY_AMBIENT = 0x80,
        MULTIPLY_EMISSIVE = 0x100,
        MULTIPLY_DIFFUSE = 0x200,
        MULTIPLY_SPECULAR = 0x400,
        MULTIPLY_ALPHA = 0x800,
        MULTIPLY_SCROLL = 0x1000,
        ADDITIVE = 0x2000,
        NO_CULL = 0x4000,
        NO_DEPTH_TEST = 0x8000,
        NO_DEPTH_WRITE = 0x10000,
        HIDDEN = 0x40000,
        LAST_OVERRIDE = 0x20000000,
    };

    // Runs the override list over this material (a copy): every override naming it, or naming
    // no material, adds its flags and replaces or multiplies the fields its flags say.
    void ApplyOverrides(const Material* overrides);
    // Applies one override whatever material it names.
    void ApplyOverride(const Material& entry);
};

struct MaterialData {
    unsigned short NumMaterials;
    unsigned short DefaultMaterial;
    Material* pMaterial;
    Material* pUsedMaterial;
    signed char NormalIndex;
    signed char TexCoordIndex;
    unsigned short Flags;

    enum : unsigned short { LIGHT = 0x01, ALPHA = 0x10, ALPHA_TEST = 0x20, WRAP = 0x400, ADDITIVE = 0x1000 };
};
#pragma pack(pop)
static_assert(sizeof(MaterialEffect) == 20, "MaterialEffect: name key and four floats");
static_assert(sizeof(Material) == 92, "Material is a 92-byte record");
static_assert(sizeof(MaterialData) == 16, "MaterialData is a 16-byte record");
