#pragma once
// Minimal start position until the multiplayer objects are built: presets created while one is
// current take its player, and positioned objects created then stand relative to it.
#include "engine/object/GPhysical.h"

class GStartPosition : public GPhysical {
    DECLARE_GOBJECT(GStartPosition, GPhysical)

    ~GStartPosition() override;

    static GStartPosition* pCurrent;

    int Player;
};
