#pragma once
// Minimal multiplayer object until the network layer is built: the shell destroys it when one
// exists.
#include "engine/object/GObject.h"

class GMultiPlay : public GObject {
public:
    static GMultiPlay* pThe;
};
