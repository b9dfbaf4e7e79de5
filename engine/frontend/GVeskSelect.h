#pragma once
// The editor's selection mark: a plain mark that also remembers where its object stands from
// the middle of the selection, so a group follows the pointer keeping its shape.
#include "engine/frontend/GMarkSelect.h"

class GVeskSelect : public GMarkSelect {
    DECLARE_GOBJECT(GVeskSelect, GMarkSelect)

    CVector Offset; // zero until the pointer computes the group's middle
};
