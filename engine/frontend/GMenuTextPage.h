#pragma once
// A block of word-wrapped text, left-aligned with position codes unless its data says
// otherwise; it knows its line count and the height the lines take.
#include "engine/frontend/GMenuItem.h"

class GMenuTextPage : public GMenuItem {
    DECLARE_GOBJECT(GMenuTextPage, GMenuItem)

    GMenuTextPage();

    int LineCount;
    float TextHeight;
};
