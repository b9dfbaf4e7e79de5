#pragma once
// A button whose child items are its states: exactly one is shown, and each activation steps
// to the next (after the last, the first). Without children it is a two-state button that
// toggles its active look.
#include "engine/frontend/GMenuButton.h"

class GMenuMultiStateButton : public GMenuButton {
    DECLARE_GOBJECT(GMenuMultiStateButton, GMenuButton)

    GMenuMultiStateButton();
    void Display(bool show) override;
    void Focus(bool on) override;
    bool Activate(bool on) override;
    // Clicking a state steps to the next.
    void ItemActivated(GMenuItem* child) override;
    virtual void Increment();

    // The current state's index; without children the active look (0 or 1).
    int GetState();
    // Out of range: the first state.
    void SetState(int n);

    GMenuItem* pCurrent;

private:
    // The current state while it is still a child (a destroyed one falls back to the first).
    GMenuItem* Current();
};
