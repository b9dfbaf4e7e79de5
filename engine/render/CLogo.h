#pragma once
// A logo of packed data: a sprite batch shown full screen on layer 4 while its file loads, so a
// loading screen appears before the rest of the level is ready.
#include "engine/render/SpriteQuads.h"
#include "engine/zel/CZelStaticResource.h"

#pragma pack(push, 1)
class CLogo : public CZelStaticResource {
public:
    // Built over the stored record: shows it at once.
    CLogo() { Show(); }
    // Draws four frames of layer 4 alone and presents them to the first window; nothing when
    // there is no renderer or no layer 4.
    void Show();

    SpriteBatch SpriteData;
};
#pragma pack(pop)
static_assert(sizeof(CLogo) == 20, "CLogo is a table pointer and a sprite batch");

enum { kLogoLayer = 4 };
