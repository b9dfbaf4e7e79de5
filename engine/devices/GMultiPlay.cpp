#include "engine/devices/GMultiPlay.h"

GMultiPlay* GMultiPlay::pThe;
