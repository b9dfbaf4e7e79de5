#pragma once
// The drag control of a list box's scroll position: while it is pressed, the pointer's height
// between its limits chooses the list's first shown entry. It stays pressed while the pointer
// drags it off. Its list box sets the limits and the step.
#include "engine/frontend/GMenuButton.h"

class GMenuThumbButton : public GMenuButton {
    DECLARE_GOBJECT(GMenuThumbButton, GMenuButton)

    GMenuThumbButton();
    bool Process() override;

    // The first shown index for a pointer d pixels below the top limit.
    int IndexAt(float d) const;

    float TopLimit;
    float BottomLimit;
    float Step; // pixels per list entry; 0 when every entry shows
    int HighestIndex;
};
