#pragma once
// The level's particle budgets: three quality presets of the per-channel particle and trail
// budgets, carried in level data. The selected preset is copied into the process-wide budget
// tables, which every particle-based effect reads when it spawns. One instance is live at a
// time; the selected preset outlives it, so the next level keeps the player's choice.
#include "engine/effects/EffectBudgetTables.h"
#include "engine/object/GObject.h"

class GEffectBudget : public GObject {
    DECLARE_GOBJECT(GEffectBudget, GObject)

    enum { PRESETS = 3 };

    GEffectBudget();
    ~GEffectBudget() override;
    GEffectBudget(const GEffectBudget& other) = default;
    GEffectBudget& operator=(const GEffectBudget& other) = default;

    int SpecifyEditable(EditableInfo*& cursor) override;

    // Clamps the preset to 0..2 and makes its budgets the ones in force.
    void SelectPreset(int preset);
    // Replaces one preset's budgets (ten of each); a preset outside 0..2 changes nothing.
    void OverridePreset(int preset, const int32_t* particleBudgets, const int32_t* trailBudgets);
    static int GetPreset() { return Preset; }

    // How many of `requested` particles a smoke burst on the channel may spawn now. Smoke on
    // channels 8 and 9 (effects the player must always see) never drops to nothing.
    static int SmokeSpawnCount(int requested, int channel);
    // The same for a splatter burst: it always spawns at least one.
    static int SplatterSpawnCount(int requested, int channel);

    static int Preset;
    static GEffectBudget* pThe;

    int32_t PBudget[PRESETS][BUDGET_CHANNELS];
    int32_t TBudget[PRESETS][BUDGET_CHANNELS];

private:
    void ApplyDefaults();
};

// A budget channel named by data, brought into 0..9.
int ClampBudgetChannel(int channel);
