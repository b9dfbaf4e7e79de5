#include "engine/effects/GSceneFader.h"

#include "core/math/CVector.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GSceneFader, 0x06008000)

namespace {

CVector4 ToVector(const GSceneFader::Colour& c) { return CVector4(c.Red, c.Green, c.Blue, c.Alpha); }

void PostOverlay(int style, const GSceneFader::Colour& colour)
{
    if (CRenderer::pThe != nullptr)
        CRenderer::pThe->DefineLayerPostEffect(GSceneFader::kOverlayLayer, style, ToVector(colour));
}

} // namespace

GSceneFader::~GSceneFader()
{
    if (EditableEvaluation == 0)
        PostOverlay(Style, DeathFade);
}

// Holding both ends before the blend means spans that fill the whole life never divide by the
// empty middle: the colour jumps from birth to death instead.
GSceneFader::Colour GSceneFader::ColourAt(float used) const
{
    if (used < IntroSpan)
        return BirthFade;
    if (used >= LifeSpan - ExtroSpan)
        return DeathFade;
    float f = (used - IntroSpan) / (LifeSpan - IntroSpan - ExtroSpan);
    f = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
    return {f * DeathFade.Red + (1.0f - f) * BirthFade.Red, f * DeathFade.Green + (1.0f - f) * BirthFade.Green,
            f * DeathFade.Blue + (1.0f - f) * BirthFade.Blue, f * DeathFade.Alpha + (1.0f - f) * BirthFade.Alpha};
}

bool GSceneFader::Process()
{
    PostOverlay(Style, ColourAt(LifeUsed));
    if (LifeUsed > LifeSpan) {
        Destroy();
        return true;
    }
    LifeUsed += CGameTimer::tPauseFrameTime;
    return false;
}

int GSceneFader::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "BirthFade.Red", "float", BirthFade.Red);
    AddEditable(cursor, "BirthFade.Green", "float", BirthFade.Green);
    AddEditable(cursor, "BirthFade.Blue", "float", BirthFade.Blue);
    AddEditable(cursor, "BirthFade.Alpha", "float", BirthFade.Alpha);
    AddEditable(cursor, "DeathFade.Red", "float", DeathFade.Red);
    AddEditable(cursor, "DeathFade.Green", "float", DeathFade.Green);
    AddEditable(cursor, "DeathFade.Blue", "float", DeathFade.Blue);
    AddEditable(cursor, "DeathFade.Alpha", "float", DeathFade.Alpha);
    AddEditable(cursor, "IntroSpan", "float", IntroSpan);
    AddEditable(cursor, "ExtroSpan", "float", ExtroSpan);
    AddEditable(cursor, "LifeSpan", "float", LifeSpan);
    AddEditable(cursor, "LifeUsed", "float", LifeUsed);
    AddEditable(cursor, "Style", "int", Style);
    return count + 13;
}
