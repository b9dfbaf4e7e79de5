#pragma once
// Random draws of the effects, all from the engine's seeded generator so a level's effects
// repeat from run to run.
#include "core/names/CRandom.h"

namespace rhu {
struct RangeData;
}

// Uniform in [0, 1).
inline float EffectRandom() { return float(GlobalRandom.Rand() >> 8) * (1.0f / 16777216.0f); }
// Uniform in [-1, 1).
inline float EffectSpread() { return EffectRandom() * 2.0f - 1.0f; }
// Min + R x (Max - Min), one random.
inline float EffectLerpRandom(float min, float max) { return min + EffectRandom() * (max - min); }
// Min + R^Bias x (Max - Min); an empty range draws no number and a bias of 1 skips the power.
float RangeValue(const rhu::RangeData& range);
