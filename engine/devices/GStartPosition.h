#pragma once
// Minimal start position until the multiplayer objects are built: presets created while one is
// current take its player.
#include "engine/object/GObject.h"

class GStartPosition : public GObject {
public:
    static GStartPosition* pCurrent;

    int Player;
};
