#include "engine/effects/GBeam.h"

#include "engine/effects/EffectObjects.h"
#include <cmath>

#include "engine/effects/GParticleSystem.h"
#include "engine/effects/TrailRibbon.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/EditableInfo.h"
#include "engine/render/CRendResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/zel/CZelFixupManager.h"

IMPLEMENT_GOBJECT(GBeam, 0x04808000)

namespace {

const char* const kAnimatedNames[GBeam::kAnimated] = {
    "Width",         "LeadColorRed",    "LeadColorGreen", "LeadColorBlue",   "LeadColorAlpha",
    "TrailColorRed", "TrailColorGreen", "TrailColorBlue", "TrailColorAlpha",
};

float Reciprocal(float span) { return span != 0.0f ? 1.0f / span : 0.0f; }

float Length(const CVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

CVector Cross(const CVector& a, const CVector& b)
{
    return CVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

// Visible now: explored and not only seen before.
bool Visible(const CVector& p)
{
    CVector at = p;
    const float fog = GFOWManager::pThe->ReadFOW(at);
    return fog >= 0.0f && fog >= CGameTimer::GameTime();
}

} // namespace

GBeam::GBeam()
{
    if (EditableEvaluation != 0)
        return;
    pChained = nullptr;
    Front = Trail = Centre = NowhereVector;
    Span = Segment = CVector(0, 0, 0);
    SpanLength = SegmentLength = 0.0f;
    TextureRepeat = 1.0f;
    for (float& value : Current)
        value = 0.0f;
    Fraction = 0.0f;
    Complement = 1.0f;
    PhaseFrom = PhaseTo = 0;
    InvTextureScale = Reciprocal(TextureScale);
    DestroyAtEnd = 1;
    OwnRender.Attach(&Centre, &Rotation, nullptr, nullptr);
    if (CRendResource* none = static_cast<CRendResource*>(CZelFixupManager::GetAddress(CCRC32::GetCRC("RendNull"))))
        OwnRender.Attach(none, 0);
    OwnRender.Index(0);
    OwnRender.Attach(this);
    OwnRender.SetViewport(static_cast<short>(Viewport & 0x1F));
    OwnRender.Link();
    SetLifetime(Lifetime, 0.0f);
}

GBeam::~GBeam()
{
    if (EditableEvaluation != 0)
        return;
    if (GetOwner() == &OwnRender)
        OwnRender.Detach(this);
}

int GBeam::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "Lifetime", "float", Lifetime);
    AddEditable(cursor, "WaxDuration", "float", WaxDuration);
    AddEditable(cursor, "WaneDuration", "float", WaneDuration);
    for (int i = 0; i < kAnimated; ++i)
        AddEditable(cursor, kAnimatedNames[i], "float", Keys[i]);
    AddEditable(cursor, "SegmentScale", "float", SegmentScale);
    AddEditable(cursor, "TextureScale", "float", TextureScale);
    AddEditable(cursor, "pTexture", "void *", pTexture, kResolvedPointerFlags);
    AddEditable(cursor, "pChainData", "CEmbeddedFillData *", pChainData, kResolvedPointerFlags);
    return count + 3 + kAnimated + 4;
}

void GBeam::SetLifetime(float lifetime, float elapsed)
{
    const float now = CGameTimer::GameTime();
    Start = now;
    WaxEnd = now + WaxDuration;
    End = now + lifetime;
    WaneStart = End - WaneDuration;
    // Time already gone counts against the phases: one that has passed collapses to the start.
    const float reached = now + elapsed;
    if (WaxEnd < reached)
        WaxEnd = Start;
    if (End < reached)
        End = Start;
    if (WaneStart < reached)
        WaneStart = Start;
    Rate[0] = Reciprocal(WaxEnd - Start);
    Rate[1] = Reciprocal(WaneStart - WaxEnd);
    Rate[2] = Reciprocal(End - WaneStart);
}

void GBeam::SetEndPoints(const CVector& front, const CVector& trail)
{
    Front = front;
    Trail = trail;
    Span.Set(front.x - trail.x, front.y - trail.y, front.z - trail.z);
    SpanLength = Length(Span);
    if (SegmentScale == 0.0f || SpanLength == 0.0f) {
        Segment = Span;
        SegmentLength = SpanLength;
    } else {
        SegmentLength = std::fabs(SegmentScale) < SpanLength ? std::fabs(SegmentScale) : SpanLength;
        const float k = SegmentLength / SpanLength;
        Segment.Set(Span.x * k, Span.y * k, Span.z * k);
    }
    TextureRepeat = 1.0f;
    if (TextureScale != 0.0f)
        TextureRepeat = (SegmentScale < 0.0f ? -1.0f : 1.0f) * SegmentLength * InvTextureScale;
    Centre.Set((front.x + trail.x) * 0.5f, (front.y + trail.y) * 0.5f, (front.z + trail.z) * 0.5f);
}

bool GBeam::IsDead() const { return CGameTimer::GameTime() >= End; }

void GBeam::OnChain(GBeam* next)
{
    next->SetEndPoints(Front, Trail);
    if (DestroyAtEnd)
        next->Eject(next->GetOwner());
}

bool GBeam::Process()
{
    const float t = CGameTimer::GameTime();
    if (t >= End) {
        if (pChainData && !pChained) {
            GObject* parent = GetParent() ? GetParent() : GetRoot();
            pChained = parent->Create(pChainData);
            if (pChained) {
                pChained->SetLabel(pChainData->LabelId);
                if (pChained->IsDerivedFromClassId(GBeam::ClassId))
                    OnChain(static_cast<GBeam*>(pChained));
            }
        }
        if (DestroyAtEnd) {
            Destroy();
            return true;
        }
        return false;
    }
    if (t < WaxEnd) {
        PhaseFrom = 0, PhaseTo = 1, Fraction = (t - Start) * Rate[0];
    } else if (t < WaneStart) {
        PhaseFrom = 1, PhaseTo = 2, Fraction = (t - WaxEnd) * Rate[1];
    } else {
        PhaseFrom = 2, PhaseTo = 3, Fraction = (t - WaneStart) * Rate[2];
    }
    Complement = 1.0f - Fraction;
    for (int i = 0; i < kAnimated; ++i)
        Current[i] = Fraction * Keys[i][PhaseTo] + Complement * Keys[i][PhaseFrom];
    OwnRender.SetCullRadius(SpanLength * 0.5f);
    return false;
}

bool GBeam::Render()
{
    GetEndPoints();
    if (GFOWManager::pThe && !Visible(Front) && !Visible(Trail))
        return false;
    CVector view;
    if (SpanLength == 0.0f || IsDead() || !TrailViewDirection(Viewport, view))
        return false;
    CVector side = Cross(view, Span);
    const float sideLength = Length(side);
    if (sideLength == 0.0f)
        return false; // seen end-on: the band has no width on screen
    const float half = Current[0] * 0.5f / sideLength;
    side.Set(side.x * half, side.y * half, side.z * half);
    // The band's trail end and front end.
    CVector from = Trail, to = Front;
    if (SegmentScale > 0.0f) {
        to.Set(Trail.x + Segment.x, Trail.y + Segment.y, Trail.z + Segment.z);
    } else if (SegmentScale < 0.0f) {
        from.Set(Front.x - Segment.x, Front.y - Segment.y, Front.z - Segment.z);
    }
    Corners[0].Set(from.x + side.x, from.y + side.y, from.z + side.z);
    Corners[1].Set(to.x + side.x, to.y + side.y, to.z + side.z);
    Corners[2].Set(to.x - side.x, to.y - side.y, to.z - side.z);
    Corners[3].Set(from.x - side.x, from.y - side.y, from.z - side.z);
    FrontColour = LeadColour();
    TrailColour4 = TrailColour();
    BeginPrimitives(385, 1, 1);
    SetPrimitiveStage(0, 0, 1042, nullptr);
    if (pTexture)
        SetPrimitiveTexture(0, static_cast<CRendTexture*>(pTexture));
    StartPrimitive(0);
    const bool frontEnd[4] = {false, true, true, false};
    const float u[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        const float uv[2] = {u[i], frontEnd[i] ? TextureRepeat : 0.0f};
        SetPrimitiveColor(frontEnd[i] ? FrontColour : TrailColour4);
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(Corners[i]);
    }
    EndPrimitive();
    EndPrimitives();
    return false;
}
