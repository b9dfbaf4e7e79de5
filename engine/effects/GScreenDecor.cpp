#include "engine/effects/GScreenDecor.h"

IMPLEMENT_GOBJECT(GScreenDecor, 0x86008000)

// The physical base entered the section grid and set up its render for the world view: a
// decoration leaves the grid for good and shows in its own viewport instead.
GScreenDecor::GScreenDecor()
{
    if (EditableEvaluation != 0)
        return;
    UnPlot();
    DisablePlottability();
    Render.SetViewport(static_cast<short>(Viewport & 0x1F));
}

int GScreenDecor::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPhysical::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    return count + 1;
}
