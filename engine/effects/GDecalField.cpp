#include "engine/effects/GDecalField.h"

#include <math.h>

#include "core/heap/ZHeap.h"
#include "core/math/MathTables.h"
#include "core/names/CRandom.h"
#include "engine/effects/FieldGusts.h"
#include "engine/effects/GWind.h"
#include "engine/object/CGameTimer.h"
#include "engine/render/CRendMap.h"
#include "engine/render/Camera.h"
#include "engine/render/PrimBatch.h"
#include "engine/world/GmvWorld.h"

IMPLEMENT_GOBJECT(GDecalField, 0x06008000)

namespace {

// The height and cell flags of a row of map cells.
const DWORD kReadHeightAndFlags = 0x18;
const BYTE kFlipSplit = 8;

float Lerp(float low, float high, float f) { return low + f * (high - low); }

} // namespace

GDecalField::GDecalField()
{
    if (EditableEvaluation != 0)
        return;
    decals = nullptr;
    bounds[0] = Position.x - Width * 0.5f;
    bounds[1] = Position.y - Height * 0.5f;
    bounds[2] = Position.x + Width * 0.5f;
    bounds[3] = Position.y + Height * 0.5f;
}

GDecalField::~GDecalField()
{
    if (EditableEvaluation != 0)
        return;
    FreeDecals();
}

void GDecalField::FreeDecals()
{
    zfree(decals);
    decals = nullptr;
    GDebrisField::Depopulate();
}

void GDecalField::Populate()
{
    FreeDecals();
    const int count = UnitCount();
    units = static_cast<DebrisUnit*>(zmalloc(static_cast<unsigned long>(count) * sizeof(DebrisUnit)));
    decals = static_cast<Decal*>(zmalloc(static_cast<unsigned long>(count) * sizeof(Decal)));
    for (int i = 0; i < count; ++i) {
        units[i].pExtra = &decals[i];
        SpawnDebris(&units[i]);
    }
}

void GDecalField::Depopulate() { FreeDecals(); }

void GDecalField::SpawnDebris(DebrisUnit* unit)
{
    GDebrisField::SpawnDebris(unit);
    Decal& decal = *static_cast<Decal*>(unit->pExtra);
    // A decal lies flat: only its turn about Z is used, the other angles are kept clear.
    unit->orientation[0] = unit->orientation[1] = 0.0f;
    unit->orientation[2] = GlobalRandom.Rand(100.0f);
    float a = GlobalRandom.Rand(100.0f) * 0.01f;
    decal.width = Lerp(MinWidth, MaxWidth, a);
    float s = a;
    if (!UniformScale) {
        a = GlobalRandom.Rand(100.0f) * 0.01f;
        s = (a + s) * 0.5f;
    }
    decal.height = Lerp(MinHeight, MaxHeight, a);
    decal.mobility = 1.0f - (MinWeight + (MaxWeight - MinWeight) * s);
    const float m = GlobalRandom.Rand(100.0f) * 0.01f;
    decal.red = Lerp(MinColor[0], MaxColor[0], m);
    decal.green = Lerp(MinColor[1], MaxColor[1], m);
    decal.blue = Lerp(MinColor[2], MaxColor[2], m);
    decal.alpha = Lerp(MinColor[3], MaxColor[3], m);
    decal.fade = 1.0f;
    decal.gustTime = 0.0f;
    decal.spin = 0.0f;
}

bool GDecalField::OutsideBounds(const CVector& at) const
{
    return at.x < bounds[0] || at.y < bounds[1] || at.x > bounds[2] || at.y > bounds[3];
}

bool GDecalField::Process()
{
    GDebrisField::Process();
    if (decals == nullptr || GWind::pThe == nullptr)
        return false;
    float wx, wy;
    FieldWind(wx, wy);
    const float t = CGameTimer::FrameTime();
    // The first half rests; with fewer than two decals there is nothing to pick from.
    const int resting = UnitCount() / 2;
    if (resting == 0)
        return false;
    StartGusts(resting, t, wx, wy);
    MoveMobile(resting, t, wx, wy);
    return false;
}

void GDecalField::StartGusts(int resting, float t, float wx, float wy)
{
    const int due = GustsDue(UnitCount(), GustStrength(wx, wy), t, gustCarry);
    for (int i = 0; i < resting && i < due; ++i) {
        Decal& decal = decals[PickMember(resting, resting)];
        const float T = GlobalRandom.Rand(2.0f);
        if (decal.gustTime > 0.0f) {
            if (decal.gustTime < T)
                decal.gustTime = T;
            continue;
        }
        decal.gustTime = T;
        // |spin| within [0.75, 1): a caught decal always turns visibly.
        decal.spin = GlobalRandom.Rand(0.5f) - 0.25f;
        decal.spin += decal.spin < 0.0f ? -0.75f : 0.75f;
    }
}

void GDecalField::MoveMobile(int resting, float t, float wx, float wy)
{
    for (int i = resting; i < UnitCount(); ++i) {
        DebrisUnit& unit = units[i];
        Decal& decal = decals[i];
        const float g = decal.gustTime;
        if (g > 0.0f) {
            unit.orientation[2] += t * g * g * decal.spin * decal.mobility;
            unit.position.x += t * wx * fminf(g, 1.0f) * decal.mobility;
            unit.position.y += t * wy * fminf(g, 1.0f) * decal.mobility;
            decal.gustTime = fmaxf(g - t, 0.0f);
        }
        if (decal.fade < 1.0f || OutsideBounds(unit.position)) {
            decal.fade -= t * FadeRate;
            if (decal.fade <= 0.0f) {
                const DebrisUnit& rest = units[PickMember(0, resting)];
                decal.fade = 1.0f;
                unit.position.x = rest.position.x;
                unit.position.y = rest.position.y;
                unit.orientation[2] = rest.orientation[2];
            }
        }
    }
}

bool GDecalField::Render()
{
    if (decals == nullptr)
        return false;
    PushMatrix();
    BeginPrimitives(1, 1, 1);
    SetPrimitiveStage(0, 0, Additive ? 0x1812 : 0x812, nullptr);
    SetPrimitiveStageFloat(0, 1.0f);
    SetPrimitiveTexture(0, pTexture);
    SetPrimitivePriority(static_cast<int>(RendPriority));
    float lift = 0.0f;
    for (int i = 0; i < UnitCount(); ++i) {
        DrapeDecal(units[i], lift);
        // Later decals lie slightly above earlier ones, so overlaps do not fight for depth.
        lift += 0.0001f;
    }
    EndPrimitives();
    PopMatrix();
    return false;
}

void GDecalField::DrapeDecal(const DebrisUnit& unit, float lift)
{
    const Decal& decal = *static_cast<const Decal*>(unit.pExtra);
    const float angle = unit.orientation[2];
    const float c = fmcos(angle), s = fmsin(angle);
    const float hw = decal.width * 0.5f, hh = decal.height * 0.5f;
    float box[4] = {1e30f, 1e30f, -1e30f, -1e30f};
    for (const float cx : {-hw, hw}) {
        for (const float cy : {-hh, hh}) {
            const float x = cx * c - cy * s, y = cx * s + cy * c;
            box[0] = fminf(box[0], x);
            box[1] = fminf(box[1], y);
            box[2] = fmaxf(box[2], x);
            box[3] = fmaxf(box[3], y);
        }
    }
    box[0] += unit.position.x;
    box[2] += unit.position.x;
    box[1] += unit.position.y;
    box[3] += unit.position.y;
    if (GmvWorld::pThe == nullptr)
        return;
    for (int l = GmvWorld::pThe->GetLocationCount() - 1; l >= 0; --l)
        DrapeOnLocation(GmvWorld::LocationArray[l], unit, box, lift);
}

void GDecalField::DrapeOnLocation(LocationEntry* entry, const DebrisUnit& unit, const float box[4], float lift)
{
    MapInfo info;
    if (!GmvWorld::GetLocationInfo(entry, info) || info.TileWidth == 0)
        return;
    const float cell = static_cast<float>(info.TileWidth);
    const int width = info.MapWidth, height = info.MapHeight;
    int x0 = static_cast<int>(roundf((box[0] - info.pOrigin->x) / cell));
    int x1 = static_cast<int>(roundf((box[2] - info.pOrigin->x) / cell)) + 1;
    int y0 = static_cast<int>(roundf((box[1] - info.pOrigin->y) / cell));
    int y1 = static_cast<int>(roundf((box[3] - info.pOrigin->y) / cell)) + 1;
    if (x0 >= width || x1 <= 0 || y0 >= height || y1 <= 0)
        return;
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > width - 1 ? width - 1 : x1;
    y1 = y1 > height - 1 ? height - 1 : y1;
    int columns = x1 - x0 + 1;
    columns = columns > kMaxColumns ? kMaxColumns : columns;
    if (columns < 2 || y1 <= y0)
        return;

    const Decal& decal = *static_cast<const Decal*>(unit.pExtra);
    SetPrimitiveNormal(CVector(0.0f, 0.0f, 0.0f));
    SetPrimitiveColor(CVector4(decal.red, decal.green, decal.blue, decal.alpha * decal.fade));
    const float back = -unit.orientation[2];
    const float c = fmcos(back), s = fmsin(back);
    struct Vertex {
        CVector at;
        float uv[2];
    };
    Vertex rows[2][kMaxColumns];
    MapWriteCell cells[2][kMaxColumns];
    const MapWritePos run[2] = {{0, 0, columns}, {0, 0, 0}};
    for (int row = y0; row <= y1; ++row) {
        const int now = (row - y0) & 1;
        for (int k = 0; k < columns; ++k)
            cells[now][k] = MapWriteCell{0, 0, 0, 0, 0};
        GmvWorld::ReadTileData(entry, x0, row, const_cast<MapWritePos*>(run), cells[now], kReadHeightAndFlags);
        for (int k = 0; k < columns; ++k) {
            Vertex& v = rows[now][k];
            v.at = CVector(info.pOrigin->x + static_cast<float>(x0 + k) * cell,
                           info.pOrigin->y + static_cast<float>(row) * cell,
                           static_cast<float>(cells[now][k].Height) * 0.0625f + ZOffset + lift);
            const float dx = v.at.x - unit.position.x, dy = v.at.y - unit.position.y;
            v.uv[0] = (dx * c - dy * s) / decal.width + 0.5f;
            v.uv[1] = (dy * c + dx * s) / decal.height + 0.5f;
        }
        if (row == y0)
            continue;
        const Vertex* low = rows[now ^ 1];
        const Vertex* high = rows[now];
        for (int k = 0; k + 1 < columns; ++k) {
            const Vertex &v00 = low[k], &v10 = low[k + 1], &v01 = high[k], &v11 = high[k + 1];
            const bool split = (cells[now ^ 1][k].Flags & kFlipSplit) != 0;
            const Vertex* triangles[2][3] = {{&v00, &v10, split ? &v11 : &v01}, {split ? &v00 : &v10, &v11, &v01}};
            for (const auto& triangle : triangles) {
                StartPrimitive(0);
                for (const Vertex* v : triangle) {
                    SetPrimitiveTexCoord(0, v->uv);
                    AddPrimitiveVertex(v->at);
                }
                EndPrimitive();
            }
        }
    }
}

int GDecalField::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GDebrisField::SpecifyEditable(cursor);
    AddEditable(cursor, "MinWidth", "float", MinWidth);
    AddEditable(cursor, "MinHeight", "float", MinHeight);
    AddEditable(cursor, "MinWeight", "float", MinWeight);
    AddEditable(cursor, "MaxWidth", "float", MaxWidth);
    AddEditable(cursor, "MaxHeight", "float", MaxHeight);
    AddEditable(cursor, "MaxWeight", "float", MaxWeight);
    AddEditable(cursor, "FadeRate", "float", FadeRate);
    AddEditable(cursor, "UniformScale", "int", UniformScale);
    AddEditable(cursor, "ZOffset", "float", ZOffset);
    AddEditable(cursor, "DepthBias", "float", DepthBias);
    AddEditable(cursor, "pTexture", "void*", pTexture, 0x21);
    AddEditable(cursor, "Additive", "int", Additive);
    AddEditable(cursor, "MinColor.Red", "float", MinColor[0]);
    AddEditable(cursor, "MinColor.Green", "float", MinColor[1]);
    AddEditable(cursor, "MinColor.Blue", "float", MinColor[2]);
    AddEditable(cursor, "MinColor.Alpha", "float", MinColor[3]);
    AddEditable(cursor, "MaxColor.Red", "float", MaxColor[0]);
    AddEditable(cursor, "MaxColor.Green", "float", MaxColor[1]);
    AddEditable(cursor, "MaxColor.Blue", "float", MaxColor[2]);
    AddEditable(cursor, "MaxColor.Alpha", "float", MaxColor[3]);
    return count + 20;
}
