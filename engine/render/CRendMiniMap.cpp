#include "engine/render/CRendMiniMap.h"

#include <vector>

#include "core/math/MathTables.h"
#include "engine/include/RhuTypes.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/Material.h"
#include "engine/render/MiniMapMarker.h"
#include "engine/render/NamedResource.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GFOWManager.h"
#include "engine/world/GmvCamera.h"
#include "engine/zel/CZelFixupManager.h"

ZEL_REGISTER_RECORD(CRendMiniMapObjects);
ZEL_REGISTER_RECORD(CRendMiniMapCamPointer);
ZEL_REGISTER_RECORD(CRendMiniMapXMarker);
ZEL_REGISTER_RECORD(CRendMiniMapImage);
ZEL_REGISTER_RECORD(CRendMiniMapCamera);

namespace {
CRendMiniMapObjects RendMiniMapObjects;
CRendMiniMapCamPointer RendMiniMapCamPointer;
CRendMiniMapXMarker RendMiniMapXMarker;
CRendMiniMapImage RendMiniMapImage;
CRendMiniMapCamera RendMiniMapCamera;
NamedResourcePublisher PublishObjects("RendMiniMapObjects", &RendMiniMapObjects);
NamedResourcePublisher PublishCamPointer("RendMiniMapCamPointer", &RendMiniMapCamPointer);
NamedResourcePublisher PublishXMarker("RendMiniMapXMarker", &RendMiniMapXMarker);
NamedResourcePublisher PublishImage("RendMiniMapImage", &RendMiniMapImage);
NamedResourcePublisher PublishCamera("RendMiniMapCamera", &RendMiniMapCamera);

const CVector4 kWhite(255, 255, 255, 255);

// The map's turn about its centre, from the render's colour vector; none when its first
// component is 0.
struct MapTurn {
    explicit MapTurn(const CRender* render)
    {
        const CVector4* c = render->GetColour();
        On = c && c[0].x != 0.0f;
        if (On) {
            Sin = c[1].x;
            Cos = c[1].y;
            CentreX = c[1].z;
            CentreY = c[1].w;
        }
    }
    CVector operator()(const CVector& p) const
    {
        if (!On)
            return p;
        const float dx = p.x - CentreX, dy = p.y - CentreY;
        return CVector(CentreX + dx * Cos - dy * Sin, CentreY + dy * Cos + dx * Sin, p.z);
    }
    bool On = false;
    float Sin = 0, Cos = 1, CentreX = 0, CentreY = 0;
};

// One screen batch of the given stage flags at the render's priority.
void BeginScreenBatch(const CRender* render, int stageFlags)
{
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, stageFlags, nullptr);
    SetPrimitivePriority(int(render->GetMergedPriority()));
    SetPrimitiveStageFloat(0, 1.0f);
}

void Quad(const CVector* corners)
{
    StartPrimitive(0);
    for (int i = 0; i < 4; ++i)
        AddPrimitiveVertex(corners[i]);
    EndPrimitive();
}

void Line(const CVector& from, const CVector& to)
{
    StartPrimitive(0);
    AddPrimitiveVertex(from);
    AddPrimitiveVertex(to);
    EndPrimitive();
}

const MiniMapDot* Dots(const CRender* render) { return reinterpret_cast<const MiniMapDot*>(render->GetOffset()); }

bool AtEnd(const MiniMapDot& dot) { return dot.x == NowhereVector.x; }

void DrawDots(CRender* render, const CVector& origin, const MapTurn& turn)
{
    const MiniMapDot* dot = Dots(render);
    if (!dot)
        return;
    BeginScreenBatch(render, 0x12);
    for (; !AtEnd(*dot); ++dot) {
        SetPrimitiveColor(dot->Colour);
        CVector corner = turn(CVector(origin.x + dot->x, origin.y + dot->y, 0));
        // Alpha 254 marks a dot to stand out: one pixel larger and one higher.
        float size = 2.0f;
        if (dot->Colour.w == 254.0f) {
            size = 3.0f;
            corner.y -= 1.0f;
        }
        const CVector quad[4] = {corner, corner + CVector(size, 0, 0), corner + CVector(size, size, 0),
                                 corner + CVector(0, size, 0)};
        Quad(quad);
    }
    EndPrimitives();
}

int MarkerStageFlags(unsigned long flags)
{
    int stage = (flags & 2) ? ((flags & 4) ? 0x1812 : 0x812) : 0x802;
    if (flags & 1)
        stage |= STAGE_LINES;
    return stage;
}

CVector Size(const rhu::ParticleDef& def) { return CVector(def.Size.X, def.Size.Y, 0); }

void DrawMarker(const MiniMapMarker& m, CRender* render, const CVector& origin, const CVector& transform,
                const MapTurn& turn, float depth)
{
    const rhu::ParticleDef& stage = *m.pCurrentStage;
    const CVector& w = *m.pTrackedPosition;
    CVector centre =
        turn(CVector((w.x + transform.x) * transform.z + origin.x, (w.y + transform.y) * transform.z + origin.y, 0));
    centre.z = depth;
    float angle = 0.0f;
    if (!(m.Flags & MiniMapMarker::NEVER_ROTATE))
        angle = m.SpinAngle + (m.pRotationSource ? m.pRotationSource->z : 0.0f);
    const int index = int(angle * fmSinIndexScale) & 2047;
    const float s = fmsintable[index], c = fmsintable[(index + 512) & 2047];
    const float t = m.StageFraction();
    const CVector4 colour(m.CurrentColour.x + t * (m.NextColour.x - m.CurrentColour.x),
                          m.CurrentColour.y + t * (m.NextColour.y - m.CurrentColour.y),
                          m.CurrentColour.z + t * (m.NextColour.z - m.CurrentColour.z),
                          m.CurrentColour.w + t * (m.NextColour.w - m.CurrentColour.w));
    CVector size = Size(stage);
    if (stage.pNextDef)
        size = size + (Size(*stage.pNextDef) - size) * t;
    float scale = m.CurrentScale + t * (m.NextScale - m.CurrentScale);
    if (stage.Facing & 1)
        scale *= transform.z;
    const float hx = size.x * scale, hy = size.y * scale;

    SetPrimitiveStage(0, 0, MarkerStageFlags(stage.Flags), nullptr);
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(stage.pTexture));
    SetPrimitivePriority(int(render->GetMergedPriority()) + m.PriorityOffset);
    SetPrimitiveColor(colour);
    SetPrimitiveNormal(CVector(0, 0, 1));
    StartPrimitive(0);
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const float* k : corners) {
        const float x = k[0] * hx, y = k[1] * hy;
        const float uv[2] = {k[0] > 0 ? 1.0f : 0.0f, k[1] > 0 ? 1.0f : 0.0f};
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(CVector(centre.x + x * c - y * s, centre.y + y * c + x * s, centre.z));
    }
    EndPrimitive();
}

void DrawMarkers(CRender* render, const CVector& origin, const CVector& transform, const MapTurn& turn)
{
    BeginPrimitives(0, 1, 0);
    float depth = 0.0f;
    for (MiniMapMarker* m = MiniMapMarker::pThe; m; m = m->pNext) {
        if (!m->pStyle || !m->pTrackedPosition || !m->pCurrentStage)
            continue;
        DrawMarker(*m, render, origin, transform, turn, depth);
        depth += 0.0001f;
    }
    EndPrimitives();
}

// A polygon point of the view cone with its texture coordinates.
struct ConePoint {
    CVector p;
    float u, v;
};

// Keeps the part of the polygon where the coordinate `axis` is at least `limit` (or at most,
// with `below`), interpolating the points made on the edge.
std::vector<ConePoint> Clip(const std::vector<ConePoint>& in, int axis, float limit, bool below)
{
    std::vector<ConePoint> out;
    auto value = [axis](const ConePoint& c) { return axis == 0 ? c.p.x : c.p.y; };
    auto inside = [&](const ConePoint& c) { return below ? value(c) <= limit : value(c) >= limit; };
    for (size_t i = 0; i < in.size(); ++i) {
        const ConePoint& a = in[i];
        const ConePoint& b = in[(i + 1) % in.size()];
        if (inside(a))
            out.push_back(a);
        if (inside(a) != inside(b)) {
            const float f = (limit - value(a)) / (value(b) - value(a));
            out.push_back(ConePoint{a.p + (b.p - a.p) * f, a.u + (b.u - a.u) * f, a.v + (b.v - a.v) * f});
        }
    }
    return out;
}

// The far ends of the view's corner rays, cut where they cross the camera's focus height.
std::vector<ConePoint> ViewCorners()
{
    // Bottom left, bottom right, top right, top left of the screen (the device projection
    // puts device y +1 at the bottom): the near edge of the cone is narrow in the texture,
    // the far edge its whole width.
    const float corners[4][4] = {{-1, 1, 0.4f, 1}, {1, 1, 0.6f, 1}, {1, -1, 1, 0}, {-1, -1, 0, 0}};
    std::vector<ConePoint> points;
    for (const float* k : corners) {
        CVector nearPoint, farPoint;
        View2World(0, CVector(k[0], k[1], 0), nearPoint, farPoint);
        // A ray level with the ground never reaches the focus plane: it keeps its far point.
        if (GmvCamera::pThe && farPoint.z != nearPoint.z) {
            const float s = (nearPoint.z - GmvCamera::pThe->GetFocus().z) / (farPoint.z - nearPoint.z);
            if (s < 1.0f)
                farPoint = nearPoint - (farPoint - nearPoint) * s;
        }
        points.push_back(ConePoint{farPoint, k[2], k[3]});
    }
    return points;
}

} // namespace

void CRendMiniMapObjects::Render(CRender* render)
{
    const CVector* origin = render->GetPos();
    if (!origin)
        return;
    const MapTurn turn(render);
    DrawDots(render, *origin, turn);
    const CVector transform = render->GetRot() ? *render->GetRot() : CVector(0, 0, 1);
    DrawMarkers(render, *origin, transform, turn);
}

void CRendMiniMapCamPointer::Render(CRender* render)
{
    const CVector* origin = render->GetPos();
    const CVector* camera = render->GetOffset();
    if (!origin || !camera || camera->x == NowhereVector.x)
        return;
    const CVector p(origin->x + camera->x, origin->y + camera->y, 0);
    BeginScreenBatch(render, STAGE_LINES | 0x12);
    SetPrimitiveColor(kWhite);
    Line(CVector(p.x, p.y + 3, 0), CVector(p.x, p.y - 4, 0));
    Line(CVector(p.x + 3, p.y, 0), CVector(p.x - 4, p.y, 0));
    EndPrimitives();
}

void CRendMiniMapXMarker::Render(CRender* render)
{
    const CVector* origin = render->GetPos();
    const MiniMapDot* mark = Dots(render);
    if (!origin || !mark)
        return;
    const MapTurn turn(render);
    BeginScreenBatch(render, STAGE_LINES | 0x12);
    for (; !AtEnd(*mark); ++mark) {
        const CVector p(origin->x + mark->x, origin->y + mark->y, 0);
        SetPrimitiveColor(mark->Colour);
        Line(turn(p + CVector(2, 2, 0)), turn(p - CVector(3, 3, 0)));
        Line(turn(p + CVector(3, -3, 0)), turn(p + CVector(-2, 2, 0)));
    }
    EndPrimitives();
}

void CRendMiniMapImage::Render(CRender* render)
{
    const CVector* at = render->GetPos();
    const CVector* rot = render->GetRot();
    if (!at || !rot)
        return;
    const float width = at->z, height = rot->x;
    if (width <= 0.0f || height <= 0.0f)
        return;
    // The picture keeps its proportions: the quad shows its middle part along the longer side.
    const float c = height > width ? width / height : 1.0f;
    const float d = width > height ? height / width : 1.0f;
    const MapTurn turn(render);
    BeginScreenBatch(render, 0x12);
    SetPrimitiveTexture(0, reinterpret_cast<CRendTexture*>(render->GetOffset()));
    SetPrimitiveColor(kWhite);
    StartPrimitive(0);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const float* k : corners) {
        const float uv[2] = {0.5f - c / 2 + k[0] * c, 0.5f - d / 2 + k[1] * d};
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(turn(CVector(at->x + k[0] * width, at->y + k[1] * height, 0)));
    }
    EndPrimitive();
    EndPrimitives();
    // The explored map goes over the picture, turned with it.
    if (GFOWManager* fow = GFOWManager::pThe)
        fow->RenderFOW(fow->OverlayCorner1, fow->OverlayCorner2, turn.On ? render->GetColour() : nullptr);
}

void CRendMiniMapCamera::Render(CRender* render)
{
    const CVector* origin = render->GetPos();
    const CVector* size = render->GetOffset();
    if (!origin || !size)
        return;
    std::vector<ConePoint> cone = ViewCorners();
    cone = Clip(cone, 0, 0.0f, false);
    cone = Clip(cone, 1, 0.0f, false);
    cone = Clip(cone, 0, size->x, true);
    cone = Clip(cone, 1, size->y, true);
    if (cone.empty())
        return;
    const MapTurn turn(render);
    ConePoint centre = {CVector(0, 0, 0), 0, 0};
    for (ConePoint& c : cone) {
        c.p = turn(CVector(c.p.x + origin->x, c.p.y + origin->y, 0));
        centre.p = centre.p + c.p;
        centre.u += c.u;
        centre.v += c.v;
    }
    const float n = 1.0f / float(cone.size());
    centre = ConePoint{centre.p * n, centre.u * n, centre.v * n};
    BeginScreenBatch(render, 0xC12);
    if (const Material* material = render->GetMaterialList())
        SetPrimitiveTexture(0, material->pTexture);
    SetPrimitiveColor(kWhite);
    auto vertex = [](const ConePoint& c) {
        const float uv[2] = {c.u, c.v};
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(c.p);
    };
    for (size_t i = 0; i < cone.size(); ++i) {
        StartPrimitive(0);
        vertex(centre);
        vertex(cone[i]);
        vertex(cone[(i + 1) % cone.size()]);
        EndPrimitive();
    }
    EndPrimitives();
}
