#pragma once
// A physical object that only shows its render resource in a chosen viewport, such as the
// overlay viewport the shell sets up for every level. It takes no part in world plotting.
#include "engine/object/GPhysical.h"

class GScreenDecor : public GPhysical {
    DECLARE_GOBJECT(GScreenDecor, GPhysical)

    GScreenDecor();
    ~GScreenDecor() override = default;

    int SpecifyEditable(EditableInfo*& cursor) override;

    int Viewport; // only the low five bits count
};
