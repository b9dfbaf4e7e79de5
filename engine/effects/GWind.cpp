#include "engine/effects/GWind.h"

#include <math.h>

#include "core/names/CRandom.h"
#include "engine/object/CGameTimer.h"

IMPLEMENT_GOBJECT(GWind, 0x08008000)

GWind* GWind::pThe = nullptr;

GWind::GWind()
{
    if (EditableEvaluation != 0 || pThe != nullptr)
        return;
    pThe = this;
    StartLayer(layer1);
    StartLayer(layer2);
    layer1.current = layer1.Intensity;
    wind = layer1.Intensity;
    speed = layer1.Intensity.GetLength();
}

GWind::~GWind()
{
    if (EditableEvaluation == 0)
        pThe = nullptr;
}

// Elapsed equal to the period makes the first Process start a new leg at once.
void GWind::StartLayer(Layer& layer)
{
    layer.from = layer.Intensity;
    layer.to = layer.Intensity;
    layer.period = 1.0f;
    layer.elapsed = 1.0f;
    layer.exponent = 1.0f;
}

bool GWind::Process()
{
    const float t = CGameTimer::tFrameTime;
    StepLayer(layer1, t);
    StepLayer(layer2, t);
    Combine();
    return false;
}

void GWind::StepLayer(Layer& layer, float frameTime)
{
    layer.elapsed += frameTime;
    if (layer.elapsed >= layer.period) {
        StartLeg(layer);
        return;
    }
    const float h = powf(layer.elapsed / layer.period, layer.exponent);
    layer.current = layer.from * (1.0f - h) + layer.to * h;
}

// The draws come in a fixed order so that a seeded level replays the same wind.
void GWind::StartLeg(Layer& layer)
{
    CRandom& random = GlobalRandom;
    layer.from = layer.current;
    layer.to = layer.Intensity;
    const float e = (random.Rand(2.0f) - 1.0f) * layer.VarBiasRange + layer.VarBias;
    const float ox = powf(random.Rand(1.0f), e);
    const float oy = powf(random.Rand(1.0f), e);
    layer.elapsed = 0.0f;
    const float dx = layer.Variance * ox;
    layer.to.x += random.Rand(2.0f) < 1.0f ? -dx : dx;
    const float dy = layer.Variance * oy;
    layer.to.y += random.Rand(2.0f) < 1.0f ? -dy : dy;
    // A leg of no length would divide by zero in the easing.
    layer.period = (random.Rand(2.0f) - 1.0f) * layer.LERPTimeRange + layer.LERPTime;
    if (!(layer.period > 0.0f))
        layer.period = 0.001f;
    layer.exponent = (random.Rand(2.0f) - 1.0f) * layer.LERPBiasRange + layer.LERPBias;
    if (!(layer.exponent >= 0.1f))
        layer.exponent = 0.1f;
}

void GWind::Combine()
{
    wind = layer1.current + layer2.current;
    speed = sqrtf(wind.x * wind.x + wind.y * wind.y);
    if (speed > 0.0f)
        direction = CVector(wind.x / speed, wind.y / speed, wind.z);
    else
        direction = wind;
    heading = atan2f(wind.x, -wind.y);
}

int GWind::SpecifyLayer(EditableInfo*& cursor, Layer& layer, const char* const names[10])
{
    float* const members[10] = {&layer.Intensity.x, &layer.Intensity.y,  &layer.Intensity.z, &layer.Variance,
                                &layer.VarBias,     &layer.VarBiasRange, &layer.LERPBias,    &layer.LERPBiasRange,
                                &layer.LERPTime,    &layer.LERPTimeRange};
    for (int i = 0; i < 10; ++i)
        AddEditable(cursor, names[i], "float", *members[i]);
    return 10;
}

int GWind::SpecifyEditable(EditableInfo*& cursor)
{
    static const char* const names1[10] = {"Intensity.X",  "Intensity.Y", "Intensity.Z",   "Variance", "VarBias",
                                           "VarBiasRange", "LERPBias",    "LERPBiasRange", "LERPTime", "LERPTimeRange"};
    static const char* const names2[10] = {"Intensity2.X", "Intensity2.Y",  "Intensity2.Z", "Variance2",
                                           "VarBias2",     "VarBiasRange2", "LERPBias2",    "LERPBiasRange2",
                                           "LERPTime2",    "LERPTimeRange2"};
    const int count = GObject::SpecifyEditable(cursor);
    return count + SpecifyLayer(cursor, layer1, names1) + SpecifyLayer(cursor, layer2, names2);
}
