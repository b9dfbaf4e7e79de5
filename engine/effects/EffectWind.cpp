#include "engine/effects/EffectWind.h"

CVector CurrentWind() { return CVector(0, 0, 0); }
