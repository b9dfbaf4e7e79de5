#include "engine/effects/GTrailGlyph.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include "core/heap/ZHeap.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/GPhysical.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"

IMPLEMENT_GOBJECT(GTrailGlyph, 0x04808000)

namespace {

// A ring needs a slot for the link being written and one before it; and a period tiny beside
// the span must not ask the heap for more than a trail can show.
const int kMinLinks = 2;
const int kMaxLinks = 4096;

float Lerp(float a, float b, float t) { return (1.0f - t) * a + t * b; }
float Clamp01(float t) { return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t); }

int StageStateOf(unsigned long flags)
{
    if ((flags & 4) && (flags & 0x10))
        return 0x1C12;
    return (flags & 4) ? 0xC12 : 0xC02;
}

void Colour4(const rhu::ColourRGBA& c, float* out)
{
    out[0] = c.Red, out[1] = c.Green, out[2] = c.Blue, out[3] = c.Alpha;
}

} // namespace

GTrailGlyph::GTrailGlyph()
{
    if (EditableEvaluation != 0)
        return;
    new (&render) CRender();
    clock = -FLT_MAX;
    pTrailOverride = nullptr;
    enabled = 1;
    matrix.SetIdentity();
    if (TrailSpan > 0.0f && TrailPeriod > 0.0f) {
        const float slots = floorf(TrailSpan / TrailPeriod) + 1.0f;
        capacity = slots < kMinLinks ? kMinLinks : (slots > kMaxLinks ? kMaxLinks : static_cast<int>(slots));
        links = static_cast<Link*>(zmalloc(static_cast<unsigned long>(capacity) * sizeof(Link)));
    }
    PrepareTrail();
}

GTrailGlyph::~GTrailGlyph()
{
    if (EditableEvaluation != 0)
        return;
    zfree(links);
    zfree(keys);
    // Leaving the own render's chain first keeps GEffect's destructor from detaching from a
    // render that is already gone.
    if (ownRender && GetOwner() == &render)
        render.Detach(this);
    render.~CRender();
}

int GTrailGlyph::Segments() const
{
    return GlyphSegments < 0 ? 0 : (GlyphSegments > kMaxPoints ? kMaxPoints : GlyphSegments);
}

// A definition of no length blends wholly toward the next one.
GTrailGlyph::Key GTrailGlyph::SampleKey(const rhu::ParticleDef& cur, const rhu::ParticleDef* next, float age) const
{
    Key key;
    Colour4(cur.MinColor, key.colourA);
    Colour4(cur.MaxColor, key.colourB);
    key.vA = cur.MinDamp.X, key.vB = cur.MaxDamp.X;
    key.shrinkA = cur.Scale.Min, key.shrinkB = cur.Scale.Max;
    key.life = cur.Lifespan.Max;
    if (next != nullptr) {
        const float f = cur.Lifespan.Min > 0.0f ? Clamp01(age / cur.Lifespan.Min) : 1.0f;
        float a[4], b[4];
        Colour4(next->MinColor, a);
        Colour4(next->MaxColor, b);
        for (int c = 0; c < 4; ++c) {
            key.colourA[c] = Lerp(key.colourA[c], a[c], f);
            key.colourB[c] = Lerp(key.colourB[c], b[c], f);
        }
        key.vA = Lerp(key.vA, next->MinDamp.X, f), key.vB = Lerp(key.vB, next->MaxDamp.X, f);
        key.shrinkA = Lerp(key.shrinkA, next->Scale.Min, f), key.shrinkB = Lerp(key.shrinkB, next->Scale.Max, f);
        key.life = Lerp(key.life, next->Lifespan.Max, f);
    }
    key.ooLife = key.life > 0.0f ? 1.0f / key.life : 0.0f;
    key.pDef = const_cast<rhu::ParticleDef*>(&cur);
    return key;
}

// Each definition covers Lifespan.Min seconds of trail age, sampled every TrailPeriod.
void GTrailGlyph::PrepareTrail()
{
    zfree(keys);
    keys = capacity > 0 ? static_cast<Key*>(zmalloc(static_cast<unsigned long>(capacity) * sizeof(Key))) : nullptr;
    keyCount = 0;
    const rhu::ParticleDef* cur = pTrail;
    const rhu::ParticleDef* next = cur ? cur->pNextDef : nullptr;
    float span = TrailSpan, age = 0.0f;
    while (cur != nullptr && age <= span && keyCount < capacity) {
        keys[keyCount++] = SampleKey(*cur, next, age);
        age += TrailPeriod;
        if (age >= cur->Lifespan.Min) {
            if (next == nullptr)
                break;
            span -= cur->Lifespan.Min;
            age -= cur->Lifespan.Min;
            cur = next;
            next = cur->pNextDef;
        }
    }
}

void GTrailGlyph::AttachToRender()
{
    if (GetOwner() != nullptr)
        return;
    if (GPhysical* parent = GPhysical::FromObject(GetParent())) {
        parent->Render.Attach(this);
        return;
    }
    ownRender = true;
    render.Attach(&Position, &Rotation, nullptr, nullptr);
    render.Index(0);
    render.SetSelectable(GetHandle());
    render.Attach(this);
    render.SetViewport(static_cast<short>(Viewport & 0x1F));
    render.Link();
}

bool GTrailGlyph::Process()
{
    if (DeathTimer > 0.0f) {
        DeathTimer -= CGameTimer::tFrameTime;
        if (DeathTimer <= 0.0f) {
            Destroy();
            return true;
        }
    }
    if (pTrailOverride != nullptr) {
        pTrail = pTrailOverride;
        pTrailOverride = nullptr;
        PrepareTrail();
    }
    AttachToRender();
    AddLink();
    linkDue = 1;
    return false;
}

void GTrailGlyph::Eject(CRender*)
{
    DeathTimer = TrailSpan;
    SetParent(nullptr);
}

void GTrailGlyph::WriteSlot(int slot, float now)
{
    GPhysical* parent = GPhysical::FromObject(GetParent());
    Link& link = links[slot];
    const int count = Segments();
    CVector sum(0.0f, 0.0f, 0.0f);
    for (int j = 0; j < count; ++j) {
        int found = 0;
        CMatrix ignored;
        points[j] = parent ? parent->Render.GetAttachPoint(CCRC32(GlyphID[j]), found, &ignored) : Position;
        link.points[j] = points[j];
        sum += points[j];
    }
    link.centre = count > 0 ? sum * (1.0f / float(count)) : sum;
    newestCentre = link.centre;
    link.stamp = now - clock;
}

// The newest slot is rewritten every frame until the next step moves on.
void GTrailGlyph::StepRing()
{
    if (nextLink < 0.0f)
        nextLink = 0.0f;
    if (nextLink <= clock) {
        clock -= nextLink;
        newest = newest + 1 == capacity ? 0 : newest + 1;
        if (linkCount < capacity - 1)
            ++linkCount;
        nextLink = TrailPeriod;
    }
}

void GTrailGlyph::AddLink()
{
    if (paused)
        linkDue = 0;
    if (!linkDue || DeathTimer > 0.0f)
        return;
    linkDue = 0;
    if (clock == -FLT_MAX)
        clock = 0.0f;
    clock += CGameTimer::tFrameTime;
    const float now = CGameTimer::tGameTime;
    if (GPhysical::FromObject(GetParent()) == nullptr || links == nullptr)
        return;
    if (!started) {
        started = 1, linkCount = 0, newest = 0;
        birthTime = now - clock;
        WriteSlot(0, now);
    } else if (!secondLink) {
        secondLink = 1, linkCount = 1, newest = 1;
        nextLink = clock + TrailPeriod;
        WriteSlot(1, now);
    } else if (!(Anchored && (newest >= capacity - 1 || newest >= keyCount - 1))) {
        StepRing();
        WriteSlot(newest, now);
    }
    if (ownRender && GetOwner() == &render) {
        centre = newestCentre;
        render.Attach(&centre, nullptr, nullptr, nullptr);
    }
    nextLink -= clock;
    clock = 0.0f;
}

bool GTrailGlyph::FogTint(const CVector& at, float now, float colour[4]) const
{
    GFOWManager* fog = GFOWManager::pThe;
    if (fog == nullptr)
        return true;
    CVector place = at;
    const float f = fog->ReadFOW(place);
    CVector4 visible, outside, fogged, edge;
    fog->GetFOWColours(visible, outside, fogged, edge);
    const CVector4& tint = f < 0.0f ? outside : (f > now ? visible : fogged);
    colour[0] *= tint.x, colour[1] *= tint.y, colour[2] *= tint.z;
    if (f > now)
        return true;
    const float level = f < 0.0f ? 0.0f : 1.0f;
    if (level < FOWMode)
        colour[3] = 0.0f;
    return true;
}

bool GTrailGlyph::DrawableLink(const Link& link, float now, CVector* drawn, float colour[4], float& v) const
{
    const float age = Anchored ? link.stamp - birthTime : now - link.stamp;
    const float k = floorf(age / TrailPeriod);
    if (!(k >= 0.0f && k < float(keyCount)))
        return false;
    const Key& key = keys[static_cast<int>(k)];
    // A key of no life is over at once.
    const float t = key.ooLife > 0.0f ? Clamp01((now - link.stamp) * key.ooLife) : 1.0f;
    const float shrink = Lerp(key.shrinkA, key.shrinkB, t) * TrailScale;
    if (!(shrink > 0.0f))
        return false;
    for (int c = 0; c < 4; ++c)
        colour[c] = Lerp(key.colourA[c], key.colourB[c], t);
    v = Lerp(key.vA, key.vB, t);
    for (int j = 0; j < Segments(); ++j)
        drawn[j] = link.centre + (link.points[j] - link.centre) * shrink;
    return FogTint(link.centre, now, colour);
}

void GTrailGlyph::BeginDrawing() const
{
    const rhu::ParticleDef* def = keys[0].pDef;
    PushMatrix();
    BeginPrimitives((def->Flags >> 3) & 3, 1, 1);
    SetPrimitiveStage(0, 0, StageStateOf(def->Flags), nullptr);
    SetPrimitiveStageFloat(0, 1.0f);
    // The stored record and the engine's texture class are the same object seen from two sides.
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(def->pTexture));
    SetPrimitivePriority(static_cast<int>(RendPriority));
}

bool GTrailGlyph::Render()
{
    AddLink();
    const int n = linkCount < keyCount ? linkCount : keyCount;
    if (linkCount < 2 || n <= 1 || !(TrailScale > 0.0f) || links == nullptr)
        return false;
    const float now = CGameTimer::tGameTime;
    const int lines = Segments();
    CVector previous[kMaxPoints], current[kMaxPoints];
    float previousColour[4], colour[4], previousV = 0.0f, v = 0.0f;
    bool began = false, previousDrawable = false;
    int index = newest - n + 1;
    if (index < 0)
        index += capacity;
    for (int i = 0; i < n; ++i, index = index + 1 == capacity ? 0 : index + 1) {
        const bool drawable = DrawableLink(links[index], now, current, colour, v);
        if (drawable && !began) {
            BeginDrawing();
            began = true;
        }
        if (drawable && previousDrawable) {
            for (int j = 1; j < lines; ++j) {
                const float uv[4][2] = {
                    {GlyphU[j - 1], previousV}, {GlyphU[j], previousV}, {GlyphU[j], v}, {GlyphU[j - 1], v}};
                StartPrimitive(0);
                SetPrimitiveNormal(CVector(0.0f, 0.0f, 0.0f));
                SetPrimitiveColor(CVector4(previousColour[0], previousColour[1], previousColour[2], previousColour[3]));
                SetPrimitiveTexCoord(0, uv[0]);
                AddPrimitiveVertex(previous[j - 1]);
                SetPrimitiveTexCoord(0, uv[1]);
                AddPrimitiveVertex(previous[j]);
                SetPrimitiveColor(CVector4(colour[0], colour[1], colour[2], colour[3]));
                SetPrimitiveTexCoord(0, uv[2]);
                AddPrimitiveVertex(current[j]);
                SetPrimitiveTexCoord(0, uv[3]);
                AddPrimitiveVertex(current[j - 1]);
                EndPrimitive();
            }
        }
        if (drawable) {
            memcpy(previous, current, sizeof previous);
            memcpy(previousColour, colour, sizeof previousColour);
            previousV = v;
        }
        previousDrawable = drawable;
    }
    if (began) {
        EndPrimitives();
        PopMatrix();
    }
    return false;
}

int GTrailGlyph::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GEffect::SpecifyEditable(cursor);
    AddEditable(cursor, "pTrail", "ParticleDef*", pTrail, 0x21);
    AddEditable(cursor, "pTrailOverride", "ParticleDef*", pTrailOverride, 0x21);
    AddEditable(cursor, "ParentAttach", "DWORD", ParentAttach);
    AddEditable(cursor, "AutoAttach", "int", AutoAttach);
    AddEditable(cursor, "pResource", "CRendResource*", pResource, 0x21);
    AddEditable(cursor, "RendPriority", "DWORD", RendPriority);
    AddEditable(cursor, "DeathTimer", "float", DeathTimer);
    AddEditable(cursor, "TrailSpan", "float", TrailSpan);
    AddEditable(cursor, "TrailPeriod", "float", TrailPeriod);
    AddEditable(cursor, "Anchored", "int", Anchored);
    AddEditable(cursor, "GlyphSegments", "int", GlyphSegments);
    AddEditable(cursor, "GlyphLines", "int", GlyphLines);
    AddEditable(cursor, "GlyphID", "DWORD", GlyphID);
    AddEditable(cursor, "GlyphU", "float", GlyphU);
    AddEditable(cursor, "BoltScale", "float", BoltScale);
    AddEditable(cursor, "TrailScale", "float", TrailScale);
    AddEditable(cursor, "FOWMode", "float", FOWMode);
    AddEditable(cursor, "BoltDensity", "int", BoltDensity);
    return count + 18;
}
