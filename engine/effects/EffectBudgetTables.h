#pragma once
// The particle budgets in force per budget channel, process-wide and never saved. The effect
// budget object copies its selected preset into the two budget tables; every particle-based
// effect counts its live particles into its channel's entry of ChannelParticleCount.
#include <stdint.h>

enum { BUDGET_CHANNELS = 10 };

extern int32_t ParticleBudgetTable[BUDGET_CHANNELS];
extern int32_t TrailBudgetTable[BUDGET_CHANNELS];
extern int32_t ChannelParticleCount[BUDGET_CHANNELS];
// Live trail instances per channel, read against the trail budgets.
extern int32_t ChannelTrailCount[BUDGET_CHANNELS];

// How full a channel is, 0 (empty) to 1 (at or over its budget). A budget of 0 or below allows
// nothing.
float ChannelLoad(int channel);
// The trail channel's load: live trails over the trail budget, not below 0 (and 1 for a budget
// of 0 or below).
float TrailLoad(int channel);
