#include "engine/effects/EffectWind.h"

#include "engine/effects/GWind.h"

CVector CurrentWind() { return GWind::pThe ? GWind::pThe->wind : CVector(0, 0, 0); }
