#pragma once
// A placed object that marks a numbered player start position. While one is current, presets
// created take its number as their player and positioned objects stand relative to it.
#include "engine/object/GPhysical.h"
#include "engine/zel/CZelFile.h"

class GStartPosition : public GPhysical {
    DECLARE_GOBJECT(GStartPosition, GPhysical)

    ~GStartPosition() override;

    int SpecifyEditable(EditableInfo*& cursor) override;

    static GStartPosition* pCurrent;

    int iStartPosition;
    // Built and destroyed with the object, never loaded.
    CZelFile ZelFile;
};
