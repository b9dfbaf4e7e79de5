#pragma once
// The level's global wind: one object, placed in level data, whose vector wanders around a
// base value. Two independent layers each ease toward a random target around their own base
// over a random time with a random easing exponent, then pick again; the wind is their sum.
// Effects read it through GWind::pThe (null while no level wind exists).
#include "core/math/CVector.h"
#include "engine/object/GObject.h"

class GWind : public GObject {
    DECLARE_GOBJECT(GWind, GObject)

    GWind();
    ~GWind() override;

    bool Process() override;
    int SpecifyEditable(EditableInfo*& cursor) override;

    // The wind in force: the first wind created; a second one runs inert.
    static GWind* pThe;

    // One random-walk layer: its settings (editable) followed by its state.
    struct Layer {
        CVector Intensity;
        float Variance;
        float VarBias;
        float VarBiasRange;
        float LERPBias;
        float LERPBiasRange;
        float LERPTime;
        float LERPTimeRange;
        CVector from;
        CVector to;
        float period;
        float elapsed;
        float exponent;
        CVector current;
    };

    CVector wind;      // sum of the two layers' current vectors
    CVector direction; // horizontal unit direction (raw X, Y when calm); Z = the wind's Z
    float heading;     // atan2(wind X, -wind Y), radians
    float speed;       // horizontal length of the wind, per second
    Layer layer1;
    Layer layer2;

private:
    static void StartLayer(Layer& layer);
    static void StepLayer(Layer& layer, float frameTime);
    static void StartLeg(Layer& layer);
    void Combine();
    int SpecifyLayer(EditableInfo*& cursor, Layer& layer, const char* const names[10]);
};
