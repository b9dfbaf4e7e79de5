#include "engine/object/GTarget.h"

IMPLEMENT_GOBJECT(GTarget, 0x80008000)

GTarget::GTarget()
{
    if (EditableEvaluation == 0)
        Sleep(SLEEP_FOREVER);
}
