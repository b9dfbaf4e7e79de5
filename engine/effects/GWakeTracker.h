#pragma once
// Hung on a moving unit's render instance: every half second, while the unit is drawn, it
// spawns a wake particle at the unit's place in each wake field the unit stands over, one
// kind while the unit moves and another while it stands.
#include "core/math/CVector.h"
#include "engine/render/GEffect.h"

class GEmitterField;

class GWakeTracker : public GEffect {
    DECLARE_GOBJECT(GWakeTracker, GEffect)

    GWakeTracker();

    bool Process() override;
    bool Render() override;

    static constexpr float kPeriod = 0.5f;

    CVector lastPosition;
    float timer;
    float period;
    int wakeDue;

private:
    void SpawnIn(GEmitterField& field, const CVector& at, bool moved);
};
