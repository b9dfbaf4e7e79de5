#include "engine/render/Material.h"

#include "engine/include/RhuTypes.h"

static_assert(sizeof(Material) == sizeof(rhu::Material), "Material differs from the record header");
static_assert(sizeof(MaterialData) == sizeof(rhu::MaterialData), "MaterialData differs from the record header");
static_assert(sizeof(MaterialEffect) == sizeof(rhu::MaterialEffect), "MaterialEffect differs from the record header");

namespace {

void Scale(CVector& v, const CVector& by)
{
    v.x *= by.x;
    v.y *= by.y;
    v.z *= by.z;
}

} // namespace

void Material::ApplyOverride(const Material& o)
{
    const unsigned long f = o.Flags;
    Flags |= f & ~LAST_OVERRIDE;
    if (f & REPLACE_AMBIENT)
        Ambient = o.Ambient;
    if (f & REPLACE_EMISSIVE)
        Emissive = o.Emissive;
    if (f & REPLACE_DIFFUSE)
        Diffuse = o.Diffuse;
    if (f & REPLACE_SPECULAR)
        Specular = o.Specular;
    if (f & REPLACE_ALPHA)
        Alpha = o.Alpha;
    if (f & REPLACE_TEXTURE)
        pTexture = o.pTexture;
    if (f & REPLACE_SCROLL) {
        UScroll = o.UScroll;
        VScroll = o.VScroll;
    }
    if (f & MULTIPLY_AMBIENT)
        Scale(Ambient, o.Ambient);
    if (f & MULTIPLY_EMISSIVE)
        Scale(Emissive, o.Emissive);
    if (f & MULTIPLY_DIFFUSE)
        Scale(Diffuse, o.Diffuse);
    if (f & MULTIPLY_SPECULAR)
        Scale(Specular, o.Specular);
    if (f & MULTIPLY_ALPHA)
        Alpha *= o.Alpha;
    if (f & MULTIPLY_SCROLL) {
        UScroll *= o.UScroll;
        VScroll *= o.VScroll;
    }
    if (o.Effect)
        Effect = o.Effect;
}

void Material::ApplyOverrides(const Material* o)
{
    // A list without its end mark stops after this many records.
    for (int n = 0; o && n < 256; ++o, ++n) {
        if (o->Name == 0 || o->Name == Name)
            ApplyOverride(*o);
        if (o->Flags & LAST_OVERRIDE)
            break;
    }
}
