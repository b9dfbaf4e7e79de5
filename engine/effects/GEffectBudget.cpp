#include "engine/effects/GEffectBudget.h"

#include <math.h>
#include <string.h>

IMPLEMENT_GOBJECT(GEffectBudget, 0x04808000)

int GEffectBudget::Preset = 0;
GEffectBudget* GEffectBudget::pThe = nullptr;

namespace {

bool IsEmpty(const int32_t* budgets)
{
    for (int channel = 0; channel < BUDGET_CHANNELS; ++channel)
        if (budgets[channel] > 0)
            return false;
    return true;
}

// The nearest integer, as the budget rounding expects (it subtracts just under a half itself).
// Double precision: in single precision 3 - 0.4999999 is exactly 2.5, which rounds to even and
// would spawn 2 of 3 requested particles on an empty channel.
int Nearest(double value) { return static_cast<int>(lrint(value)); }

} // namespace

int ClampBudgetChannel(int channel)
{
    return channel < 0 ? 0 : channel >= BUDGET_CHANNELS ? BUDGET_CHANNELS - 1 : channel;
}

GEffectBudget::GEffectBudget()
{
    if (EditableEvaluation != 0)
        return;
    if (pThe != nullptr && pThe != this)
        pThe->Destroy();
    pThe = this;
    ApplyDefaults();
    SelectPreset(Preset);
}

GEffectBudget::~GEffectBudget()
{
    if (pThe == this)
        pThe = nullptr;
}

int GEffectBudget::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "PBudget1", "int", PBudget[0]);
    AddEditable(cursor, "PBudget2", "int", PBudget[1]);
    AddEditable(cursor, "PBudget3", "int", PBudget[2]);
    AddEditable(cursor, "TBudget1", "int", TBudget[0]);
    AddEditable(cursor, "TBudget2", "int", TBudget[1]);
    AddEditable(cursor, "TBudget3", "int", TBudget[2]);
    return count + 6;
}

// A preset the level left blank (nothing above 0) gets the standard budgets; one that names
// any budget is taken exactly as written.
void GEffectBudget::ApplyDefaults()
{
    for (int preset = 0; preset < PRESETS; ++preset) {
        if (IsEmpty(PBudget[preset])) {
            PBudget[preset][0] = 750;
            for (int channel = 1; channel < BUDGET_CHANNELS; ++channel)
                PBudget[preset][channel] = 500;
        }
        if (IsEmpty(TBudget[preset]))
            for (int channel = 0; channel < BUDGET_CHANNELS; ++channel)
                TBudget[preset][channel] = 25;
    }
}

void GEffectBudget::SelectPreset(int preset)
{
    Preset = preset < 0 ? 0 : preset >= PRESETS ? PRESETS - 1 : preset;
    memcpy(ParticleBudgetTable, PBudget[Preset], sizeof ParticleBudgetTable);
    memcpy(TrailBudgetTable, TBudget[Preset], sizeof TrailBudgetTable);
}

void GEffectBudget::OverridePreset(int preset, const int32_t* particleBudgets, const int32_t* trailBudgets)
{
    if (preset < 0 || preset >= PRESETS)
        return;
    memcpy(PBudget[preset], particleBudgets, sizeof PBudget[preset]);
    memcpy(TBudget[preset], trailBudgets, sizeof TBudget[preset]);
    if (preset == Preset)
        SelectPreset(preset);
}

int GEffectBudget::SmokeSpawnCount(int requested, int channel)
{
    channel = ClampBudgetChannel(channel);
    const int count = Nearest(requested * (1.0 - ChannelLoad(channel)) + 0.45 - 0.4999999);
    if (count <= 0 && channel >= 8)
        return 1;
    return count < 0 ? 0 : count;
}

int GEffectBudget::SplatterSpawnCount(int requested, int channel)
{
    channel = ClampBudgetChannel(channel);
    const int count = Nearest(requested * (1.0 - ChannelLoad(channel)) - 0.4999999);
    return count < 1 ? 1 : count;
}
