#pragma once
// A positioned object that only marks a place. It sleeps until woken, so it costs nothing per
// frame.
#include "engine/object/GPosRot.h"

class GTarget : public GPosRot {
    DECLARE_GOBJECT(GTarget, GPosRot)

    GTarget();
};
