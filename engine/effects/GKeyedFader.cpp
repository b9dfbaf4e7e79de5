#include "engine/effects/GKeyedFader.h"

#include <math.h>

#include "core/math/CVector.h"
#include "engine/effects/EffectRandom.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRenderer.h"

IMPLEMENT_GOBJECT(GKeyedFader, 0x06008000)

namespace {

// A chain that loops through keys of no length could otherwise pass keys for ever in one
// frame; after this many keys without any time spent the frame's remaining time is dropped.
const int kMaxEmptyKeys = 1024;

} // namespace

GKeyedFader::GKeyedFader()
{
    if (EditableEvaluation != 0)
        return;
    if (pParticle == nullptr) {
        Destroy();
        return;
    }
    // A duration given in the data stays in force for the first key.
    if (LifeSpan <= 0.0f) {
        LifeSpan = RangeValue(pParticle->Lifespan);
        LifeUsed = 0.0f;
    }
    OOLifeSpan = LifeSpan > 0.0f ? 1.0f / LifeSpan : 0.0f;
}

GKeyedFader::~GKeyedFader()
{
    if (EditableEvaluation == 0)
        ShowDestroyFade();
}

void GKeyedFader::ShowDestroyFade()
{
    if (CRenderer::pThe != nullptr)
        CRenderer::pThe->SetFade(CVector4(DestroyFade[0], DestroyFade[1], DestroyFade[2], DestroyFade[3]),
                                 DestroyStyle);
}

// A key of no length has no reciprocal: its blend shows its end colour.
void GKeyedFader::EnterKey(rhu::ParticleDef* key)
{
    pParticle = key;
    LifeUsed = 0.0f;
    LifeSpan = RangeValue(key->Lifespan);
    OOLifeSpan = LifeSpan > 0.0f ? 1.0f / LifeSpan : 0.0f;
}

// One long frame can pass several keys.
bool GKeyedFader::Advance(float d)
{
    int emptyKeys = 0;
    while (d != 0.0f) {
        if (LifeUsed + d < LifeSpan) {
            LifeUsed += d;
            return true;
        }
        const float rest = LifeSpan - LifeUsed;
        emptyKeys = rest > 0.0f ? 0 : emptyKeys + 1;
        if (emptyKeys > kMaxEmptyKeys)
            return true;
        d -= rest;
        rhu::ParticleDef* next = pParticle->pNextDef;
        if (next == nullptr) {
            pParticle = nullptr;
            return false;
        }
        EnterKey(next);
    }
    return true;
}

bool GKeyedFader::Process()
{
    if (pParticle == nullptr || !Advance(CGameTimer::tPauseFrameTime)) {
        Destroy();
        return true;
    }
    if ((pParticle->Facing & 1) == 0) {
        ShowDestroyFade();
        return false;
    }
    float t = OOLifeSpan > 0.0f ? LifeUsed * OOLifeSpan : 1.0f;
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    const rhu::ColourRGBA& a = pParticle->MinColor;
    const rhu::ColourRGBA& b = pParticle->MaxColor;
    const CVector4 colour(t * b.Red + (1.0f - t) * a.Red, t * b.Green + (1.0f - t) * a.Green,
                          t * b.Blue + (1.0f - t) * a.Blue, t * b.Alpha + (1.0f - t) * a.Alpha);
    if (CRenderer::pThe != nullptr)
        CRenderer::pThe->SetFade(colour, static_cast<int>(floorf(pParticle->Gravity)));
    return false;
}

int GKeyedFader::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "pParticle", "ParticleDef*", pParticle, 0x21);
    AddEditable(cursor, "LifeSpan", "float", LifeSpan);
    AddEditable(cursor, "OOLifeSpan", "float", OOLifeSpan);
    AddEditable(cursor, "LifeUsed", "float", LifeUsed);
    AddEditable(cursor, "DestroyFade.Red", "float", DestroyFade[0]);
    AddEditable(cursor, "DestroyFade.Green", "float", DestroyFade[1]);
    AddEditable(cursor, "DestroyFade.Blue", "float", DestroyFade[2]);
    AddEditable(cursor, "DestroyFade.Alpha", "float", DestroyFade[3]);
    AddEditable(cursor, "DestroyStyle", "int", DestroyStyle);
    return count + 9;
}
