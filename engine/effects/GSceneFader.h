#pragma once
// Colours the overlay layer's post effect from a birth colour to a death colour over the
// fader's life, on the pause-aware clock so that it keeps fading while the game is paused.
// The death colour stays on the layer after the fader is gone.
#include "engine/object/GObject.h"

class GSceneFader : public GObject {
    DECLARE_GOBJECT(GSceneFader, GObject)

    GSceneFader() = default;
    ~GSceneFader() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    enum { kOverlayLayer = 7 };

    struct Colour {
        float Red, Green, Blue, Alpha;
    };
    Colour BirthFade;
    Colour DeathFade;
    float IntroSpan; // seconds BirthFade is held
    float ExtroSpan; // seconds DeathFade is held before the end
    float LifeSpan;
    float LifeUsed;
    int Style; // post-effect type handed to the renderer

    // The colour at a given age.
    Colour ColourAt(float used) const;
};
