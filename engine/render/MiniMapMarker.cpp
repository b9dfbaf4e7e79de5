#include "engine/render/MiniMapMarker.h"

#include <cmath>

#include "core/names/CRandom.h"
#include "engine/effects/ParticleDefs.h"
#include "engine/include/RhuTypes.h"
#include "engine/object/CGameTimer.h"

MiniMapMarker* MiniMapMarker::pThe;

namespace {

float Uniform() { return GlobalRandom.Rand(1.0f); }

CVector4 Colour(const rhu::CVector4& c) { return CVector4(c.X, c.Y, c.Z, c.W); }

CVector4 Lerp(const CVector4& a, const CVector4& b, float r)
{
    return CVector4(a.x + r * (b.x - a.x), a.y + r * (b.y - a.y), a.z + r * (b.z - a.z), a.w + r * (b.w - a.w));
}

// A stage's starting colour, scale and spin, drawn at random within its ranges.
void StageValues(const rhu::ParticleDef& def, CVector4& colour, float& scale, CVector& spin)
{
    const float r = Uniform();
    colour = Lerp(Colour(def.MinColor), Colour(def.MaxColor), r);
    scale = RangeValue(def.Scale);
    spin = CVector(0, 0, def.MinSpin.Z + r * (def.MaxSpin.Z - def.MinSpin.Z));
}

} // namespace

// The head is zeroed like every other marker: the list drawer reads it as a marker too.
MiniMapMarker::MiniMapMarker()
    : Position(0, 0, 0), pTrackedPosition(nullptr), pRotationSource(nullptr), pStyle(nullptr),
      CurrentColour(0, 0, 0, 0), NextColour(0, 0, 0, 0), CurrentScale(0), NextScale(0), CurrentSpin(0, 0, 0),
      NextSpin(0, 0, 0), Life(0), OneOverLife(0), StageTime(0), pCurrentStage(nullptr), PriorityOffset(0), Flags(0),
      Accumulator(0), SpinAngle(0), pPrev(nullptr), pNext(nullptr)
{
    if (!pThe) {
        pThe = this;
        return;
    }
    pPrev = pThe;
    pNext = pThe->pNext;
    if (pNext)
        pNext->pPrev = this;
    pThe->pNext = this;
}

MiniMapMarker::~MiniMapMarker()
{
    Unlink();
    pTrackedPosition = nullptr;
    pRotationSource = nullptr;
    pStyle = nullptr;
}

MiniMapMarker& MiniMapMarker::operator=(const MiniMapMarker& other)
{
    MiniMapMarker* prev = pPrev;
    MiniMapMarker* next = pNext;
    Position = other.Position;
    pTrackedPosition = other.pTrackedPosition;
    pRotationSource = other.pRotationSource;
    pStyle = other.pStyle;
    CurrentColour = other.CurrentColour;
    NextColour = other.NextColour;
    CurrentScale = other.CurrentScale;
    NextScale = other.NextScale;
    CurrentSpin = other.CurrentSpin;
    NextSpin = other.NextSpin;
    Life = other.Life;
    OneOverLife = other.OneOverLife;
    StageTime = other.StageTime;
    pCurrentStage = other.pCurrentStage;
    PriorityOffset = other.PriorityOffset;
    Flags = other.Flags;
    Accumulator = other.Accumulator;
    SpinAngle = other.SpinAngle;
    pPrev = prev;
    pNext = next;
    return *this;
}

void MiniMapMarker::Unlink()
{
    if (pThe == this)
        pThe = pNext;
    if (pPrev)
        pPrev->pNext = pNext;
    if (pNext)
        pNext->pPrev = pPrev;
    pPrev = pNext = nullptr;
}

void MiniMapMarker::SetLife(const rhu::ParticleDef& stage)
{
    Life = RangeValue(stage.Lifespan);
    OneOverLife = Life > 0.0f ? 1.0f / Life : 0.0f;
}

void MiniMapMarker::TakeNextValues(const rhu::ParticleDef* next)
{
    if (next)
        StageValues(*next, NextColour, NextScale, NextSpin);
}

void MiniMapMarker::SetStyle(rhu::ParticleDef* style)
{
    const bool hadStyle = pStyle != nullptr;
    pStyle = style;
    if (!style)
        return;
    pCurrentStage = style;
    StageTime = 0.0f;
    SetLife(*style);
    if (hadStyle) {
        CurrentColour = NextColour;
        CurrentScale = NextScale;
        CurrentSpin = NextSpin;
    } else {
        StageValues(*style, CurrentColour, CurrentScale, CurrentSpin);
    }
    TakeNextValues(style->pNextDef);
}

float MiniMapMarker::StageFraction() const
{
    if (Life <= 0.0f)
        return 1.0f;
    const float t = StageTime * OneOverLife;
    return t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
}

void MiniMapMarker::NextStage()
{
    StageTime -= Life;
    CurrentColour = NextColour;
    CurrentScale = NextScale;
    CurrentSpin = NextSpin;
    pCurrentStage = pCurrentStage->pNextDef;
    SetLife(*pCurrentStage);
    TakeNextValues(pCurrentStage->pNextDef);
}

// Walks the list without recursion: a long list must not run the stack out.
void MiniMapMarker::Process()
{
    for (MiniMapMarker* m = this; m;) {
        MiniMapMarker* next = m->pNext;
        m->Advance();
        m = next;
    }
}

bool MiniMapMarker::Advance()
{
    if (!pStyle || !pCurrentStage || Life < 0.0f)
        return true;
    Accumulator += CGameTimer::tFrameTime;
    while (Accumulator >= kStep) {
        StageTime += kStep;
        if (StageFraction() >= 1.0f) {
            if (!pCurrentStage->pNextDef) {
                // The chain has ended: the marker stays as it is, or goes when asked to.
                StageTime = Life;
                Life = -1.0f;
                if (Flags & FREE_AT_END) {
                    delete this;
                    return false;
                }
                return true;
            }
            NextStage();
        }
        const float t = StageFraction();
        SpinAngle += (1.0f - t) * CurrentSpin.z + t * NextSpin.z;
        Accumulator -= kStep;
    }
    return true;
}
