#pragma once
// Stand-in for the section manager until the world is built: the object that lives for the
// whole run, without a grid.
#include "engine/object/GObject.h"

class GSectionMgr : public GObject {
    DECLARE_GOBJECT(GSectionMgr, GObject)

    GSectionMgr();
    ~GSectionMgr() override;

    static GSectionMgr* pThe;
};
