#pragma once
// The demo's beam, built into the host as a game's own classes are: a beam from where the level
// placed it to a point Reach away, so a level can show one without code that aims it.
#include "engine/effects/GBeam.h"

class GDemoBeam : public GBeam {
    DECLARE_GOBJECT(GDemoBeam, GBeam)

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    CVector Reach;
};
