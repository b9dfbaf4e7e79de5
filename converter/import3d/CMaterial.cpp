#include "converter/import3d/CMaterial.h"

#include "converter/core/CdbElement.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/MeshTextures.h"
#include "converter/import3d/RecordOut.h"

#include <cstdio>

std::string CMaterial::GetSymbol(unsigned long key) const
{
    if (!key)
        return Name;
    char suffix[32];
    snprintf(suffix, sizeof suffix, "_Material_%08lX", key);
    return Name + suffix;
}

void CMaterial::MarkUsed()
{
    for (CMaterial* m = this; m; m = m->Next)
        m->Used = 1;
}

void CMaterial::CopyColours(const CMaterial& parent)
{
    Red = parent.Red, Green = parent.Green, Blue = parent.Blue;
    Diffuse = parent.Diffuse, Luminosity = parent.Luminosity, Specular = parent.Specular;
    Reflection = parent.Reflection, Alpha = parent.Alpha, Translucency = parent.Translucency;
    Glossiness = parent.Glossiness, Sharpness = parent.Sharpness, BumpValue = parent.BumpValue;
}

int CMaterial::ChainLength() const
{
    int count = 0;
    for (const CMaterial* m = this; m; m = m->Next)
        ++count;
    return count;
}

void CMaterial::Dump(CZelWriter& writer, unsigned long key) const
{
    if (!Format.ExplicitFormat)
        vbail("No update for pixelformat in materiel...");
    RecordOut record(writer, "Material", GetSymbol(key).c_str(), false);
    record.Id("Name", Name);
    record.Unsigned("Flags", 0);
    const float colour[3] = {Red, Green, Blue};
    const char* const channels[3] = {"Red", "Green", "Blue"};
    const struct {
        const char* Prefix;
        float Factor;
    } groups[] = {{"Ambient.", 1.0f}, {"Emissive.", Luminosity}, {"Diffuse.", Diffuse}, {"Specular.", Specular}};
    for (const auto& group : groups)
        for (int c = 0; c < 3; ++c)
            record.Float((std::string(group.Prefix) + channels[c]).c_str(), group.Factor * colour[c]);
    record.Float("Alpha", Alpha);
    record.Pointer("pTexture", Texture ? Texture->GetLabel() : "");
    if (DetailMap)
        record.Pointer("pDetailMap", DetailMap->GetLabel());
    record.Unsigned("BumpDepth", 250);
    // Without a texture there is nothing to bump.
    float bumpScale = 0.0f;
    if (Texture) {
        const int height = TextureHeight(*Texture);
        bumpScale = height > 0 ? BumpValue / (static_cast<float>(height) * 16384.0f) : 0.0f;
    }
    record.Float("BumpScale", bumpScale);
    record.Unsigned("UScroll", 0);
    record.Unsigned("VScroll", 0);
}
