#pragma once
// A surface of a mesh: colours and factors read from the LightWave surface, the render
// modifiers, its textures, and the chain of layered materials that a material override makes.
#include "converter/import2d/CPixelFormat.h"

#include <string>

class CdbElement;
class CZelWriter;

class CMaterial {
public:
    CMaterial() = default;
    CMaterial(const CMaterial&) = delete;
    CMaterial& operator=(const CMaterial&) = delete;

    // "name_Material_KEY" with the mesh label's name key, or the plain name for key 0.
    std::string GetSymbol(unsigned long key) const;
    // The Material record, under GetSymbol(key).
    void Dump(CZelWriter& writer, unsigned long key) const;
    // This material and every one chained behind it.
    void MarkUsed();
    // The colours and factors a surface takes from the surface it is parented to.
    void CopyColours(const CMaterial& parent);
    int ChainLength() const;

    std::string Name;
    unsigned char Used = 0;
    float SmoothingThreshold = 0.0f;
    unsigned char DoubleSided = 0;
    float Red = 1.0f, Green = 1.0f, Blue = 1.0f;
    float Diffuse = 1.0f;
    float Luminosity = 0.0f;
    float Specular = 0.0f;
    float Reflection = 0.0f;
    float Alpha = 1.0f;
    float Translucency = 1.0f;
    float Glossiness = 0.4f;
    float Sharpness = 1.0f;
    float BumpValue = 1.0f;
    float TextureOpacityType = 0.0f;
    float TextureOpacity = 1.0f;
    CFormatSpecifier Format;
    CdbElement* Texture = nullptr;   // a texture element
    CdbElement* DetailMap = nullptr; // a texture element
    unsigned long Flags = 0;
    unsigned long LayerCount = 1;
    CMaterial* Next = nullptr; // owned by the mesh's material list, not by this material
};
