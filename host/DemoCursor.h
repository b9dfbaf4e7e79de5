#pragma once
// The demo game's input showcase, built into the host as a game's own classes are: a rectangle
// on the overlay that its keys move and Ctrl+R puts back, with typed text and every move logged
// on standard output.
#include "engine/devices/GInputDevice.h"
#include "engine/object/GPhysical.h"

class GDemoCursor : public GPhysical {
    DECLARE_GOBJECT(GDemoCursor, GPhysical)

    GDemoCursor();
    ~GDemoCursor() override;
    bool Process() override;

    // The main-loop turn, counted from 1 by the host as input scripts count their frames.
    static int Turn;

private:
    void Bind();
    void MoveBy(float dx, float dy, const char* why);
    void OnLeft(CInputData* data);
    void OnRight(CInputData* data);
    void OnUp(CInputData* data);
    void OnDown(CInputData* data);
    void OnReset(CInputData* data);
    void OnText(CInputData* data);

    bool bBound;
    CVector Home[2]; // the corners the level placed it at
};
