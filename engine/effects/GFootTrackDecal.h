#pragma once
// A shadow laid between a walker's two feet: centred on their midpoint, turned along the line
// between them, stretched and faded as the feet spread apart.
#include "engine/effects/GDynaDecal.h"

class GFootTrackDecal : public GDynaDecal {
    DECLARE_GOBJECT(GFootTrackDecal, GDynaDecal)

    GFootTrackDecal();
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Render() override;

    float SpreadStart, SpreadEnd, SpreadScale;
    int BigShadow;
    CVector Projection;
    DWORD LeftAttach, RightAttach;

private:
    // The foot's attach point, projected along Projection onto the ground when that is set.
    bool FootPosition(CRender& render, DWORD attach, CVector& out) const;
};
