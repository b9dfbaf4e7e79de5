#pragma once
// Drives the renderer's screen fade through a chain of keys read from particle definitions:
// each key blends from its MinColor to its MaxColor over a random duration (its Lifespan
// range); bit 0 of Facing says the key fades at all and Gravity is the fade style. Runs on the
// pause-aware clock and leaves DestroyFade on the screen when the chain ends.
#include "engine/include/RhuTypes.h"
#include "engine/object/GObject.h"

class GKeyedFader : public GObject {
    DECLARE_GOBJECT(GKeyedFader, GObject)

    GKeyedFader();
    ~GKeyedFader() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    rhu::ParticleDef* pParticle; // the current key; the chain goes on through pNextDef
    float LifeSpan;              // duration of the current key
    float OOLifeSpan;
    float LifeUsed; // seconds spent in the current key
    float DestroyFade[4];
    int DestroyStyle;

private:
    // False when the chain ended.
    bool Advance(float seconds);
    void EnterKey(rhu::ParticleDef* key);
    void ShowDestroyFade();
};
