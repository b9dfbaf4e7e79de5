#include "engine/devices/GStartPosition.h"

IMPLEMENT_GOBJECT(GStartPosition, 0x98008000)

GStartPosition* GStartPosition::pCurrent;
