#include "engine/devices/GStartPosition.h"

GStartPosition* GStartPosition::pCurrent;
