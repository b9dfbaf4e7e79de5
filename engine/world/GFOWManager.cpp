#include "engine/world/GFOWManager.h"

#include <math.h>
#include <string.h>

#include <new>

#include "core/heap/ZHeap.h"
#include "engine/object/CGameTimer.h"
#include "engine/object/CLoadSaveBuffer.h"
#include "engine/render/CDynamicTexture.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/CRender.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GSectionMgr.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GFOWManager, 0x0480EFFF)
IMPLEMENT_GOBJECT(GFOWSaver, 0x0880EFFF)
IMPLEMENT_GOBJECT(GFOWManagerFaux, 0x0480EFFF)
IMPLEMENT_GOBJECT(GFog, 0x00008000)

GFOWManager* GFOWManager::pThe;
GFOWSaver* GFOWSaver::pThe;

const char* const GFOWManager::FOWSpriteNames[13] = {
    "Edge_75-100",        "Edge_50-75",        "Edge_25-50",  "Edge_0-25",           "Corner_75-100",
    "Corner_50-75",       "Corner_25-50",      "Corner_0-25", "InsideCorner_75-100", "InsideCorner_50-75",
    "InsideCorner_25-50", "InsideCorner_0-25", "Fill_100"};

namespace {

// Entry i is the half-width of a unit circle at height i / 127 (0.007874 is the stored step).
float CircleTable[128];
bool CircleTableBuilt;

void BuildCircleTable()
{
    if (CircleTableBuilt)
        return;
    for (int i = 0; i < 128; ++i)
        CircleTable[i] = cosf(asinf(fminf(i * 0.007874f, 1.0f)));
    CircleTableBuilt = true;
}

float Circle(float fraction)
{
    const float index = fraction * 127.0f;
    return CircleTable[index >= 127.0f || index != index ? 127 : static_cast<int>(index)];
}

// Every grid conversion rounds value - 0.4999999 to the nearest integer: floor, except for
// values a hair below an integer.
int ToCell(float value) { return static_cast<int>(lrintf(value - 0.4999999f)); }

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

float Toward(float value, float target, float step)
{
    if (value < target)
        return fminf(value + step, target);
    if (value > target)
        return fmaxf(value - step, target);
    return value;
}

// Seconds of visibility left beyond which a large object stops sampling its ring.
const float RING_SEEN = 2.0f;
// Only objects wider than this sample a ring of points.
const float RING_RADIUS = 3.0f;
const float RING_STEP = 6.0f;
const float TWO_PI = 6.28319f;

// The overlay: a dynamic texture and the texture record the primitives draw it through.
struct Overlay {
    CDynamicTexture* pTexture;
    CRendTexture* pRecord;
    int Side;
    int Width, Height;
};
Overlay TheOverlay;

void ReleaseOverlay()
{
    if (TheOverlay.pRecord) {
        // The record only names the dynamic texture; the texture goes with its own holder.
        TheOverlay.pRecord->pTexture = nullptr;
        TheOverlay.pRecord->~CRendTexture();
        zfree(TheOverlay.pRecord);
    }
    delete TheOverlay.pTexture;
    TheOverlay = Overlay();
}

unsigned short Texel(const CVector4& colour)
{
    auto nibble = [](float c) { return static_cast<unsigned short>(floorf(fminf(fmaxf(c * 15.0f, 0.0f), 15.0f))); };
    return static_cast<unsigned short>(nibble(colour.w) << 12 | nibble(colour.x) << 8 | nibble(colour.y) << 4 |
                                       nibble(colour.z));
}

} // namespace

// A second manager stays inert; the first becomes the level's, builds its grid, hands every
// location its part, carves the borders and has the section grid built.
GFOWManager::GFOWManager()
{
    if (EditableEvaluation != 0 || pThe)
        return;
    pThe = this;
    if (!GFOWSaver::pThe)
        GObject::Create(GFOWSaver::ClassId, HGOBJECT(0), nullptr);
    BuildGrid();
    HandOut();
    Fill(UNSEEN);
    CTerrainDraw::pFOW = this;
    if (GSectionMgr::pThe)
        GSectionMgr::pThe->New(pPathFinderData);
}

GFOWManager::~GFOWManager()
{
    if (EditableEvaluation != 0)
        return;
    if (pThe == this) {
        pThe = nullptr;
        DetachLocations();
        ReleaseOverlay();
    }
    zfree(pStorage);
    pStorage = pCells = nullptr;
}

int GFOWManager::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GObject::SpecifyEditable(cursor);
    AddEditable(cursor, "VisibleRGB.Red", "float", VisibleRGB.x);
    AddEditable(cursor, "VisibleRGB.Green", "float", VisibleRGB.y);
    AddEditable(cursor, "VisibleRGB.Blue", "float", VisibleRGB.z);
    AddEditable(cursor, "UnvisitedRGB.Red", "float", UnvisitedRGB.x);
    AddEditable(cursor, "UnvisitedRGB.Green", "float", UnvisitedRGB.y);
    AddEditable(cursor, "UnvisitedRGB.Blue", "float", UnvisitedRGB.z);
    AddEditable(cursor, "VisitedRGB.Red", "float", VisitedRGB.x);
    AddEditable(cursor, "VisitedRGB.Green", "float", VisitedRGB.y);
    AddEditable(cursor, "VisitedRGB.Blue", "float", VisitedRGB.z);
    AddEditable(cursor, "EdgeRGB.Red", "float", EdgeRGB.x);
    AddEditable(cursor, "EdgeRGB.Green", "float", EdgeRGB.y);
    AddEditable(cursor, "EdgeRGB.Blue", "float", EdgeRGB.z);
    AddEditable(cursor, "VisibleMAP.Alpha", "float", VisibleMAP.w);
    AddEditable(cursor, "VisibleMAP.Red", "float", VisibleMAP.x);
    AddEditable(cursor, "VisibleMAP.Green", "float", VisibleMAP.y);
    AddEditable(cursor, "VisibleMAP.Blue", "float", VisibleMAP.z);
    AddEditable(cursor, "UnvisitedMAP.Alpha", "float", UnvisitedMAP.w);
    AddEditable(cursor, "UnvisitedMAP.Red", "float", UnvisitedMAP.x);
    AddEditable(cursor, "UnvisitedMAP.Green", "float", UnvisitedMAP.y);
    AddEditable(cursor, "UnvisitedMAP.Blue", "float", UnvisitedMAP.z);
    AddEditable(cursor, "VisitedMAP.Alpha", "float", VisitedMAP.w);
    AddEditable(cursor, "VisitedMAP.Red", "float", VisitedMAP.x);
    AddEditable(cursor, "VisitedMAP.Green", "float", VisitedMAP.y);
    AddEditable(cursor, "VisitedMAP.Blue", "float", VisitedMAP.z);
    AddEditable(cursor, "EdgeMAP.Alpha", "float", EdgeMAP.w);
    AddEditable(cursor, "EdgeMAP.Red", "float", EdgeMAP.x);
    AddEditable(cursor, "EdgeMAP.Green", "float", EdgeMAP.y);
    AddEditable(cursor, "EdgeMAP.Blue", "float", EdgeMAP.z);
    AddEditable(cursor, "pPathFinderData", "CEmbeddedFillData *", pPathFinderData);
    return count + 29;
}

// The grid covers the bounding rectangle of every location, with a guard ring of one cell.
void GFOWManager::BuildGrid()
{
    float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
    bool any = false;
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        const LocationEntry* l = GmvWorld::LocationArray[i];
        minX = any ? fminf(minX, l->MinX) : l->MinX;
        minY = any ? fminf(minY, l->MinY) : l->MinY;
        maxX = any ? fmaxf(maxX, l->MaxX) : l->MaxX;
        maxY = any ? fmaxf(maxY, l->MaxY) : l->MaxY;
        any = true;
    }
    fOriginX = minX;
    fOriginY = minY;
    iColumns = any ? static_cast<int>(floorf(maxX - minX)) + 1 : 0;
    iRows = any ? static_cast<int>(floorf(maxY - minY)) + 1 : 0;
    iStride = iColumns + 2;
    pStorage = static_cast<float*>(zmalloc(sizeof(float) * GetStorageCount()));
    pCells = pStorage + iStride + 1;
    Fill(UNSEEN);
}

void GFOWManager::HandOut()
{
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i) {
        LocationEntry* l = GmvWorld::LocationArray[i];
        float* corner = pCells + Row(l->MinY) * iStride + Column(l->MinX);
        GmvWorld::SetLocationFOWPtr(l, corner, iStride);
        if (const BorderExclude* excludes = GmvWorld::GetBorderExcludes(l))
            CarveBorder(l, excludes);
    }
}

void GFOWManager::DetachLocations()
{
    if (CTerrainDraw::pFOW == this)
        CTerrainDraw::pFOW = nullptr;
    for (int i = 0; i < GmvWorld::MAX_LOCATIONS && GmvWorld::LocationArray[i]; ++i)
        GmvWorld::SetLocationFOWPtr(GmvWorld::LocationArray[i], nullptr, 0);
}

void GFOWManager::Fill(float value)
{
    const int n = GetStorageCount();
    for (int i = 0; i < n; ++i)
        pStorage[i] = value;
}

int GFOWManager::Column(float x) const { return ToCell(x - fOriginX); }
int GFOWManager::Row(float y) const { return ToCell(y - fOriginY); }

float* GFOWManager::CellAt(const CVector& pos)
{
    if (!pStorage)
        return nullptr;
    const int c = Column(pos.x), r = Row(pos.y);
    if (c < 0 || c >= iColumns || r < 0 || r >= iRows)
        return nullptr;
    return pCells + r * iStride + c;
}

void GFOWManager::WriteFOW(CVector& pos, float& value)
{
    if (float* cell = CellAt(pos))
        *cell = value;
}

float GFOWManager::ReadFOW(CVector& pos)
{
    const float* cell = CellAt(pos);
    return cell ? *cell : UNSEEN;
}

// The whole storage, so that no row of the grid is left out.
void GFOWManager::ClearFOW(float& value)
{
    if (pStorage)
        Fill(value);
}

void GFOWManager::PlotFOW(float r, CVector& pos)
{
    if (!pStorage || !(r >= 0.0f))
        return;
    BuildCircleTable();
    const float R = r + RIM;
    const float until = CGameTimer::GameTime() + VISIBLE_TIME;
    const int firstRow = Clamp(Row(pos.y - R), 0, iRows), endRow = Clamp(Row(pos.y + R) + 1, 0, iRows);
    const int firstInner = Clamp(Row(pos.y - r), 0, iRows), endInner = Clamp(Row(pos.y + r) + 1, 0, iRows);
    for (int j = firstRow; j < endRow; ++j) {
        const float dy = fabsf(j + fOriginY - pos.y);
        const float outer = R * Circle(dy / R);
        const int c0 = Clamp(Column(pos.x - outer), 0, iColumns), c1 = Clamp(Column(pos.x + outer) + 1, 0, iColumns);
        int i0 = c1, i1 = c1;
        if (j >= firstInner && j < endInner) {
            const float inner = r * Circle(dy / r);
            i0 = Clamp(Column(pos.x - inner), c0, c1);
            i1 = Clamp(Column(pos.x + inner) + 1, i0, c1);
        }
        float* row = pCells + j * iStride;
        for (int c = c0; c < i0; ++c)
            if (row[c] < 0.0f)
                row[c] = RIM_VALUE;
        for (int c = i0; c < i1; ++c)
            row[c] = until;
        for (int c = i1; c < c1; ++c)
            if (row[c] < 0.0f)
                row[c] = RIM_VALUE;
    }
}

// Radii below one count as one: the row index divides by the whole radius.
void GFOWManager::PlotFOWEx(float r, CVector& pos, float value, int mode)
{
    if (!pStorage || !(r >= 0.0f) || (mode != 0 && mode != 1))
        return;
    BuildCircleTable();
    const int c0 = Clamp(Column(pos.x - r), 0, iColumns), c1 = Clamp(Column(pos.x + r), 0, iColumns);
    const int r0 = Clamp(Row(pos.y - r), 0, iRows), r1 = Clamp(Row(pos.y + r), 0, iRows);
    if (c0 >= c1 || r0 >= r1)
        return;
    const int cy = Row(pos.y);
    const int ri = ToCell(r) > 1 ? ToCell(r) : 1;
    for (int j = r0; j < r1; ++j) {
        const int index = abs(j - cy) * 128 / ri;
        const float half = r * CircleTable[index > 127 ? 127 : index];
        const int a = Clamp(Column(pos.x - half), c0, c1), b = Clamp(Column(pos.x + half), a, c1);
        float* row = pCells + j * iStride;
        for (int c = a; c < b; ++c)
            if (mode == 0 || value > row[c])
                row[c] = value;
    }
}

bool GFOWManager::TintFOW(float fowMode, CVector4& colour, CVector* pos, CRender* render, float* rate)
{
    CVector p = pos ? *pos : CVector(0.0f, 0.0f, 0.0f);
    float R = 0.0f;
    if (render) {
        CVector offset(0.0f, 0.0f, 0.0f);
        R = render->GetPlottingRadius(&offset);
        p += offset;
    }
    float v = ReadFOW(p);
    const float now = CGameTimer::GameTime();
    const float step = 2.0f * (rate ? *rate : CGameTimer::FrameTime());
    if (R > RING_RADIUS && v - now < RING_SEEN) {
        const int n = static_cast<int>(floorf(TWO_PI * R / fminf(R, RING_STEP) - 0.5f));
        const float theta = n > 0 ? TWO_PI / n : 0.0f;
        float angle = 0.0f;
        for (int k = 1; k < n; ++k) {
            angle += theta;
            CVector sample(p.x - R * sinf(angle), p.y + R * cosf(angle), p.z);
            const float s = ReadFOW(sample);
            if (s > v) {
                v = s;
                if (s - now > RING_SEEN)
                    break;
            }
        }
    }
    CVector4 target;
    float alpha = 1.0f;
    bool shown = true;
    if (v < 0.0f) {
        target = UnvisitedRGB;
        shown = fowMode < 1.0f;
    } else {
        const float f = (v - now) * 0.5f;
        if (f <= 0.0f) {
            target = VisitedRGB;
            shown = fowMode < 2.0f;
        } else if (f >= 1.0f) {
            target = VisibleRGB;
        } else {
            target = CVector4(f * VisibleRGB.x + (1 - f) * VisitedRGB.x, f * VisibleRGB.y + (1 - f) * VisitedRGB.y,
                              f * VisibleRGB.z + (1 - f) * VisitedRGB.z, 1.0f);
        }
    }
    if (!shown)
        alpha = 0.0f;
    colour.x = Toward(colour.x, target.x, step);
    colour.y = Toward(colour.y, target.y, step);
    colour.z = Toward(colour.z, target.z, step);
    colour.w = Toward(colour.w, alpha, step);
    return shown;
}

void GFOWManager::SetOverlayCorners(const CVector& corner1, const CVector& corner2)
{
    OverlayCorner1 = corner1;
    OverlayCorner2 = corner2;
}

void GFOWManager::GetFOWColours(CVector4& visible, CVector4& unvisited, CVector4& visited, CVector4& edge)
{
    visible = VisibleRGB;
    unvisited = UnvisitedRGB;
    visited = VisitedRGB;
    edge = EdgeRGB;
}

float GFOWManager::GetGameTime() { return CGameTimer::GameTime(); }

CDynamicTexture* GFOWManager::GetOverlayTexture() const { return TheOverlay.pTexture; }
int GFOWManager::GetOverlaySide() const { return TheOverlay.Side; }

void GFOWManager::GetOverlayExtents(int& width, int& height) const
{
    width = TheOverlay.Width;
    height = TheOverlay.Height;
}

// ---- saving ----

GFOWSaver::GFOWSaver()
{
    if (EditableEvaluation != 0)
        return;
    if (pThe)
        pThe->Destroy();
    pThe = this;
}

GFOWSaver::~GFOWSaver()
{
    if (pThe == this)
        pThe = nullptr;
}

// Every square of the storage, guard ring included, rounded up to whole words.
unsigned long GFOWSaver::WordCount()
{
    GFOWManager* fow = GFOWManager::pThe;
    return fow && fow->HasGrid() ? (fow->GetStorageCount() + 31) / 32 : 0;
}

// The bits are built and written a word at a time, so any grid fits the stream.
void GFOWSaver::SaveEx(CLoadSaveBuffer& stream)
{
    const unsigned long words = WordCount();
    stream.Write(words);
    GFOWManager* fow = GFOWManager::pThe;
    const int n = words ? fow->GetStorageCount() : 0;
    const float* values = words ? fow->GetStorage() : nullptr;
    for (unsigned long k = 0; k < words; ++k) {
        unsigned long bits = 0;
        for (int i = 0; i < 32 && int(32 * k) + i < n; ++i)
            if (values[32 * k + i] >= 0.0f)
                bits |= 1ul << i;
        stream.Write(bits);
    }
}

// A save of another grid is read past: the level keeps its fresh grid.
void GFOWSaver::LoadEx(CLoadSaveBuffer& stream)
{
    unsigned long stored = 0;
    stream.Read(stored);
    const unsigned long words = WordCount();
    GFOWManager* fow = GFOWManager::pThe;
    const bool matches = stored == words && words > 0;
    const int n = matches ? fow->GetStorageCount() : 0;
    float* values = matches ? fow->GetStorage() : nullptr;
    for (unsigned long k = 0; k < stored && !stream.ErrorStatus(); ++k) {
        unsigned long bits = 0;
        stream.Read(bits);
        if (!matches)
            continue;
        for (int i = 0; i < 32 && int(32 * k) + i < n; ++i)
            if (bits & (1ul << i))
                values[32 * k + i] = 0.0f;
    }
}

// ---- the level without fog ----

GFOWManagerFaux::GFOWManagerFaux()
{
    if (EditableEvaluation != 0 || pThe != this)
        return;
    Fill(1.0f);
    pThe = nullptr;
    DetachLocations();
    SleepTime = SLEEP_FOREVER;
}

bool GFog::OnReceiveMessage(CMessage*) { return false; }
bool GFog::Process() { return false; }

// ---- the mini-map overlay ----

// The texture is refilled every call but made again only when the drawn extents change.
void GFOWManager::RenderFOW(CVector& corner1, CVector& corner2, const void* rotation)
{
    if (!pStorage || iColumns <= 0 || iRows <= 0)
        return;
    const float s = fminf((corner2.x - corner1.x) / iColumns, (corner2.y - corner1.y) / iRows);
    if (!(s > 0.0f))
        return;
    const float W = iColumns * s, H = iRows * s;
    // A rectangle wider than the largest texture is sampled more coarsely, not cut.
    const float biggest = fmaxf(W, H);
    const float texelScale = biggest > MAX_OVERLAY_SIDE ? s * MAX_OVERLAY_SIDE / biggest : s;
    const int tw = static_cast<int>(floorf(iColumns * texelScale)), th = static_cast<int>(floorf(iRows * texelScale));
    if (tw <= 0 || th <= 0)
        return;
    const unsigned short unvisited = Texel(UnvisitedMAP);
    if (!TheOverlay.pTexture || tw != TheOverlay.Width || th != TheOverlay.Height) {
        TheOverlay.Width = tw;
        TheOverlay.Height = th;
        const int most = tw > th ? tw : th;
        TheOverlay.Side = most <= 32 ? 32 : most <= 64 ? 64 : most <= 128 ? 128 : 256;
        if (!TheOverlay.pTexture)
            TheOverlay.pTexture = new CDynamicTexture;
        if (!TheOverlay.pTexture->Update(TheOverlay.Side, TheOverlay.Side, 16, 2, 0))
            return;
        FillOverlay(unvisited, unvisited, unvisited, TheOverlay.Side, TheOverlay.Side, 0);
    }
    FillOverlay(unvisited, Texel(VisitedMAP), Texel(VisibleMAP), tw, th, static_cast<int>(65536.0f / texelScale));
    const float cx = (corner1.x + corner2.x) * 0.5f, cy = (corner1.y + corner2.y) * 0.5f;
    DrawOverlayQuad(cx - W * 0.5f, cy - H * 0.5f, cx + W * 0.5f, cy + H * 0.5f,
                    rotation ? static_cast<const float*>(rotation) + 4 : nullptr);
}

// step 0 fills with the unvisited colour; otherwise each texel samples its cell in 16.16.
void GFOWManager::FillOverlay(unsigned short unvisited, unsigned short visited, unsigned short visible, int width,
                              int height, int step)
{
    BYTE* bits = static_cast<BYTE*>(TheOverlay.pTexture->Lock());
    if (!bits)
        return;
    int w, h, depth, pitch;
    TheOverlay.pTexture->GetInfo(&w, &h, &depth, &pitch);
    const float now = CGameTimer::GameTime();
    for (int y = 0; y < height; ++y) {
        unsigned short* row = reinterpret_cast<unsigned short*>(bits + y * pitch);
        const float* cells = pCells + ((y * step) >> 16) * iStride;
        for (int x = 0; x < width; ++x) {
            if (step == 0) {
                row[x] = unvisited;
                continue;
            }
            const float v = cells[(x * step) >> 16];
            row[x] = v < 0.0f ? unvisited : v > now ? visible : visited;
        }
    }
    TheOverlay.pTexture->Unlock();
}

void GFOWManager::DrawOverlayQuad(float x0, float y0, float x1, float y1, const float* rotation)
{
    if (!TheOverlay.pRecord) {
        TheOverlay.pRecord = static_cast<CRendTexture*>(zmalloc(sizeof(CRendTexture)));
        memset(static_cast<void*>(TheOverlay.pRecord), 0, sizeof(CRendTexture));
        new (TheOverlay.pRecord) CRendTexture();
    }
    TheOverlay.pRecord->pTexture = TheOverlay.pTexture->GetTexture();
    const float u = float(TheOverlay.Width) / TheOverlay.Side, v = float(TheOverlay.Height) / TheOverlay.Side;
    const float corners[4][4] = {{x0, y0, 0, 0}, {x1, y0, u, 0}, {x1, y1, u, v}, {x0, y1, 0, v}};
    PushMatrix();
    BeginPrimitives(0, 1, 0);
    SetPrimitiveStage(0, 0, 0x810, nullptr);
    SetPrimitivePriority(static_cast<int>(0x801E7FFF));
    SetPrimitiveStageFloat(0, 1.0f);
    SetPrimitiveTexture(0, TheOverlay.pRecord);
    StartPrimitive(0);
    SetPrimitiveNormal(CVector(0.0f, 0.0f, 1.0f));
    SetPrimitiveColor(CVector4(255.0f, 255.0f, 255.0f, 255.0f));
    for (const auto& corner : corners) {
        float x = corner[0], y = corner[1];
        if (rotation) {
            const float sine = rotation[0], cosine = rotation[1], px = rotation[2], py = rotation[3];
            const float dx = x - px, dy = y - py;
            x = px + dx * cosine - dy * sine;
            y = py + dy * cosine + dx * sine;
        }
        const float uv[2] = {corner[2], corner[3]};
        SetPrimitiveTexCoord(0, uv);
        AddPrimitiveVertex(CVector(x, y, 0.0f));
    }
    EndPrimitive();
    EndPrimitives();
    PopMatrix();
}
