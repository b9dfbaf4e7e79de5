#include "engine/world/GSectionMgr.h"

IMPLEMENT_GOBJECT(GSectionMgr, 0x20800100)

GSectionMgr* GSectionMgr::pThe = nullptr;

GSectionMgr::GSectionMgr()
{
    if (!EditableEvaluation)
        pThe = this;
}

GSectionMgr::~GSectionMgr()
{
    if (pThe == this)
        pThe = nullptr;
}
