#pragma once
// A group whose child items are options, one of them chosen: the chosen one shows its active
// look and cannot be picked, the others can; choosing one reports the group to its parent.
#include "engine/frontend/GMenuButton.h"

class GMenuRadioGroup : public GMenuButton {
    DECLARE_GOBJECT(GMenuRadioGroup, GMenuButton)

    GMenuRadioGroup();
    void Display(bool show) override;
    // Reports the group to its parent; no sound and no state bits.
    bool Activate(bool on) override;
    void ItemActivated(GMenuItem* child) override;

    // The chosen option's index, -1 without options.
    int GetState();
    // Out of range: the first option.
    void SetState(int n);

    GMenuItem* pChosen;

private:
    // The chosen option while it is still a child (a destroyed one falls back to the first).
    GMenuItem* Chosen();
};
