#pragma once
// The level's wind as the effects read it: zero while the level has no wind.
#include "core/math/CVector.h"

CVector CurrentWind();
