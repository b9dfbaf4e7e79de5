#pragma once
// Minimal start position until the multiplayer objects are built: presets created while one is
// current take its player, and positioned objects created then stand relative to it.
#include "engine/object/GPosRot.h"

class GStartPosition : public GPosRot {
    DECLARE_GOBJECT(GStartPosition, GPosRot)

    static GStartPosition* pCurrent;

    int Player;
};
