#include "engine/effects/EffectBudgetTables.h"

int32_t ParticleBudgetTable[BUDGET_CHANNELS] = {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
int32_t TrailBudgetTable[BUDGET_CHANNELS] = {80, 80, 80, 80, 80, 80, 80, 80, 80, 80};
int32_t ChannelParticleCount[BUDGET_CHANNELS];
int32_t ChannelTrailCount[BUDGET_CHANNELS];

float ChannelLoad(int channel)
{
    // A budget of 0 or below allows nothing: it must not divide to NaN or to a negative load.
    if (ParticleBudgetTable[channel] <= 0)
        return 1.0f;
    const float load = float(ChannelParticleCount[channel]) / float(ParticleBudgetTable[channel]);
    return load < 0.0f ? 0.0f : load > 1.0f ? 1.0f : load;
}

float TrailLoad(int channel)
{
    if (TrailBudgetTable[channel] <= 0)
        return 1.0f;
    const float load = float(ChannelTrailCount[channel]) / float(TrailBudgetTable[channel]);
    return load < 0.0f ? 0.0f : load;
}
