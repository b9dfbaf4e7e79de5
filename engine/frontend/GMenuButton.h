#pragma once
// A button: a selectable menu item that can repeat its activation while it is held, the first
// repeat waiting four times as long as the others.
#include "engine/frontend/GMenuItem.h"

class GMenuButton : public GMenuItem {
    DECLARE_GOBJECT(GMenuButton, GMenuItem)

    GMenuButton();
    int SpecifyEditable(EditableInfo*& cursor) override;
    bool Activate(bool on) override;
    bool Process() override;

    float RepeatRate; // seconds; 0 = no repeat
    float NextRepeatTime;

protected:
    // The repeat timing of an activation: the first repeat waits four times as long.
    void StartRepeat(bool wasActivated);
};
