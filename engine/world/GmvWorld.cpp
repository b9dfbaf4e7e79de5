#include "engine/world/GmvWorld.h"

#include <float.h>
#include <math.h>
#include <string.h>

#include <new>

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"
#include "engine/render/CRenderer.h"
#include "engine/world/GSectionMgr.h"

IMPLEMENT_GOBJECT(GmvWorld, 0x8000)
IMPLEMENT_GOBJECT(GMapUnlinkRender, 0x4808000)

LocationEntry* GmvWorld::LocationArray[GmvWorld::MAX_LOCATIONS];
float GmvWorld::TILEWIDTH;
float GmvWorld::VIEW_SCALE;
float GmvWorld::SCALE;
float GmvWorld::ONE_OVER_SCALE;
float GmvWorld::TILE2WORLD;
float GmvWorld::WORLD2TILE;
DWORD GmvWorld::TILESHIFT;
GmvWorld* GmvWorld::pThe;

namespace {

// Bit 3 of a cell's flags: the quad is split from corner (0,0) to (1,1).
const unsigned char BACKGROUND_FLIP_SPLIT = 0x08;
// Maps whose viewport word has none of these bits take no part in the blackness queries.
const unsigned long ANY_VIEWPORT = 0x7FFFFFFF;
// A render flag: never culled.
const unsigned long RENDER_NEVER_CULLED = 0x08;
// ReadTileData flag: copy BaseTile.
const unsigned long READ_BASE = 0x02;
// Bytes of one texture entry.
const int TEXTURE_RECORD = 12;

// The cell under (x, y) of a location's map; false outside its cell grid.
bool CellAt(const LocationEntry* entry, float x, float y, int& column, int& row)
{
    const BackgroundBatch& map = entry->pMap->Map;
    if (!map.pMapCells)
        return false;
    const float fx = floorf((x - map.Origin.x) * map.ooTileWidth);
    const float fy = floorf((y - map.Origin.y) * map.ooTileWidth);
    if (!(fx >= 0.0f && fx < map.MapWidth && fy >= 0.0f && fy < map.MapHeight))
        return false;
    column = static_cast<int>(fx);
    row = static_cast<int>(fy);
    return true;
}

bool HasCells(const LocationEntry* entry)
{
    const BasicCell* cells = entry->pMap->Map.pMapCells;
    return cells && reinterpret_cast<uintptr_t>(cells) != 0xFFFFFFFF;
}

int Clamp(int value, int high) { return value < 0 ? 0 : value > high ? high : value; }

// The height of the plane through a cell's triangle at fraction (u, v), in sixteenths.
float TriangleHeight(bool flipSplit, float u, float v, float h00, float h10, float h01, float h11)
{
    float base, first, second, a, b;
    if (flipSplit) {
        if (u > v) {
            base = h10, a = 1.0f - u, first = h00, b = v, second = h11;
        } else {
            base = h01, a = u, first = h11, b = 1.0f - v, second = h00;
        }
    } else if (v < 1.0f - u) {
        base = h00, a = u, first = h10, b = v, second = h01;
    } else {
        base = h11, a = 1.0f - u, first = h01, b = 1.0f - v, second = h10;
    }
    if (!(a + b > 0.0f))
        return base;
    return base + a * (first - base) + b * (second - base);
}

} // namespace

GmvWorld::GmvWorld()
{
    if (EditableEvaluation)
        return;
    memset(LocationArray, 0, sizeof(LocationArray));
    LocationCount = 0;
    WorldShear.ShearCenterX = ShearCenterX;
    WorldShear.ShearCenterY = ShearCenterY;
    WorldShear.ShearSlopeX = ShearSlopeX;
    WorldShear.ShearSlopeY = ShearSlopeY;
    pThe = this;
}

GmvWorld::~GmvWorld()
{
    if (EditableEvaluation)
        return;
    for (int i = LocationCount - 1; i >= 0; --i) {
        LocationArray[i]->Render.~CRender();
        zfree(LocationArray[i]);
        LocationArray[i] = nullptr;
    }
    LocationCount = 0;
    if (GSectionMgr::pThe)
        GSectionMgr::pThe->Delete();
    if (pThe == this)
        pThe = nullptr;
}

int GmvWorld::SpecifyEditable(EditableInfo*& cursor)
{
    const int count = GPosRot::SpecifyEditable(cursor);
    AddEditable(cursor, "Viewport", "int", Viewport);
    AddEditable(cursor, "PathTime", "float", PathTime);
    AddEditable(cursor, "ShearCenterX", "float", ShearCenterX);
    AddEditable(cursor, "ShearCenterY", "float", ShearCenterY);
    AddEditable(cursor, "ShearSlopeX", "float", ShearSlopeX);
    AddEditable(cursor, "ShearSlopeY", "float", ShearSlopeY);
    return count + 6;
}

int GmvWorld::GetMapSize(RECT& rect, int index)
{
    if (index < 0 || index >= MAX_LOCATIONS || !LocationArray[index])
        return 0;
    const LocationEntry* entry = LocationArray[index];
    entry->pMap->GetBoundingBox(rect, 0);
    const LONG dx = static_cast<LONG>(entry->MinX), dy = static_cast<LONG>(entry->MinY);
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
    return 1;
}

bool GmvWorld::OnMap(CVector&) { return true; }

const CVector& GmvWorld::World2Screen(const CVector&) { return NullVector; }

const CVector& GmvWorld::World2Screen(const CVector&, float&) { return NullVector; }

const CVector& GmvWorld::Screen2World(const CVector&, CVector&) { return NullVector; }

float GmvWorld::World2ScreenZ(const CVector&, float&) { return 0.0f; }

void GmvWorld::RegisterLocation(CRendMap* map, bool add)
{
    if (pThe && map)
        pThe->Register(map, add);
}

void GmvWorld::Register(CRendMap* map, bool add)
{
    if (add)
        AddLocation(map);
    else
        RemoveLocation(map);
}

void GmvWorld::AddLocation(CRendMap* map)
{
    if (LocationCount >= MAX_LOCATIONS)
        vbail("Too many locations");
    LocationEntry* entry = static_cast<LocationEntry*>(zmalloc(sizeof(LocationEntry)));
    memset(static_cast<void*>(entry), 0, sizeof(LocationEntry));
    new (&entry->Render) CRender();
    LocationArray[LocationCount] = entry;
    const BackgroundBatch& m = map->Map;
    entry->pMap = map;
    entry->MinX = m.Origin.x;
    entry->MinY = m.Origin.y;
    entry->MinZ = m.Origin.z;
    entry->Render.Attach(map, 0);
    entry->Render.Attach(reinterpret_cast<const CVector*>(&entry->MinX), nullptr, nullptr, nullptr);
    entry->Render.SetPriority(0);
    entry->Render.SetViewport(static_cast<short>(Viewport & 0x1F));
    entry->Render.SetFlags(RENDER_NEVER_CULLED, RENDER_NEVER_CULLED);
    RECT box;
    map->GetBoundingBox(box, 0);
    entry->MaxX = box.right + entry->MinX;
    entry->MaxY = box.bottom + entry->MinY;
    entry->MinZ = m.MinZheight;
    entry->MaxZ = m.MaxZheight;
    entry->Render.Link();
    entry->pMapData = &map->Map.Origin;
    entry->pDecals = m.pMapCells ? &m.pMapCells->DecalIndex : nullptr;
    entry->Width = m.MapWidth;
    entry->Height = m.MapHeight;
    entry->TileWidth = m.TileWidth;
    entry->CellStride = m.CellSize;
    entry->RowPitch = static_cast<int>(m.MapRowSize);
    ++LocationCount;
}

void GmvWorld::RemoveLocation(CRendMap* map)
{
    for (int i = 0; i < LocationCount; ++i) {
        if (LocationArray[i]->pMap != map)
            continue;
        LocationArray[i]->Render.~CRender();
        zfree(LocationArray[i]);
        for (int j = i; j + 1 < LocationCount; ++j)
            LocationArray[j] = LocationArray[j + 1];
        LocationArray[--LocationCount] = nullptr;
        return;
    }
}

bool GmvWorld::InExtent(const LocationEntry* entry, float x, float y)
{
    return entry->MinX <= x && x <= entry->MaxX && entry->MinY <= y && y <= entry->MaxY;
}

LocationEntry* GmvWorld::GetLocation(const CVector& p, DWORD mask)
{
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i)
        if ((LocationArray[i]->pMap->Map.ViewportData & mask) && InExtent(LocationArray[i], p.x, p.y))
            return LocationArray[i];
    return nullptr;
}

LocationEntry* GmvWorld::GetNearestLocation(const CVector& p, LocationEntry* skip)
{
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i)
        if (LocationArray[i] != skip && InExtent(LocationArray[i], p.x, p.y))
            return LocationArray[i];
    return nullptr;
}

// -1 also for an empty table: 0 would name a location that does not exist.
int GmvWorld::GetLocationNumber(CVector p)
{
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i)
        if (InExtent(LocationArray[i], p.x, p.y))
            return i;
    return -1;
}

bool GmvWorld::ValidLocationPosition(CVector p) { return GetNearestLocation(p, nullptr) != nullptr; }

bool GmvWorld::ValidLocationPositionXY(CVector p) { return GetNearestLocation(p, nullptr) != nullptr; }

bool GmvWorld::ValidLocationPosition(const LocationEntry* entry, CVector p)
{
    return entry && InExtent(entry, p.x, p.y);
}

bool GmvWorld::ValidLocationPositionXY(const LocationEntry* entry, CVector p)
{
    return entry && InExtent(entry, p.x, p.y);
}

bool GmvWorld::ValidLocationZ(const LocationEntry* entry, float z, float tolerance)
{
    return entry && entry->MinZ - tolerance <= z && z <= entry->MaxZ + tolerance;
}

bool GmvWorld::IsLocationValid(const LocationEntry* entry, const CVector& p, short viewport)
{
    return entry && pThe && viewport == static_cast<short>(pThe->Viewport) && entry->MinX < p.x && p.x < entry->MaxX &&
           entry->MinY < p.y && p.y < entry->MaxY;
}

CVector GmvWorld::GetLocationPos(const LocationEntry* entry)
{
    return entry ? CVector(entry->MinX, entry->MinY, entry->MinZ) : NullVector;
}

CRender* GmvWorld::GetLocationRender(CVector p)
{
    LocationEntry* entry = GetNearestLocation(p, nullptr);
    if (!entry)
        entry = LocationArray[0];
    return entry ? &entry->Render : nullptr;
}

CRender* GmvWorld::GetLocationRender(int index)
{
    if (index < 0 || index >= MAX_LOCATIONS || !LocationArray[index])
        return nullptr;
    return &LocationArray[index]->Render;
}

DWORD GmvWorld::GetCameraMask(const LocationEntry* entry) { return entry ? entry->pMap->Map.CameraMask : 0; }

short GmvWorld::GetViewport(const LocationEntry* entry)
{
    return entry && pThe ? static_cast<short>(pThe->Viewport) : 0;
}

LocationEntry* GmvWorld::ClipToWorld(CVector& p, float margin, LocationEntry* entry)
{
    if (!entry)
        entry = GetNearestLocation(p, nullptr);
    if (!entry) {
        float best = FLT_MAX;
        for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i) {
            const LocationEntry* l = LocationArray[i];
            const float d = fminf(fminf(fabsf(p.x - l->MinX), fabsf(p.x - l->MaxX)),
                                  fminf(fabsf(p.y - l->MinY), fabsf(p.y - l->MaxY)));
            if (!entry || d < best) {
                best = d;
                entry = LocationArray[i];
            }
        }
    }
    if (!entry)
        return nullptr;
    p.x = fmaxf(p.x, entry->MinX + margin);
    p.x = fminf(p.x, entry->MaxX - margin);
    p.y = fmaxf(p.y, entry->MinY + margin);
    p.y = fminf(p.y, entry->MaxY - margin);
    return entry;
}

bool GmvWorld::ViewportMatches(short viewport) { return pThe && viewport == static_cast<short>(pThe->Viewport); }

// The terrain height of one location's map at p, shear included.
float GmvWorld::HeightOver(const LocationEntry* entry, const CVector& p)
{
    CRendMap* map = entry->pMap;
    const BackgroundBatch& m = map->Map;
    const float fx = (p.x - m.Origin.x) * m.ooTileWidth;
    const float fy = (p.y - m.Origin.y) * m.ooTileWidth;
    int column = static_cast<int>(fx), row = static_cast<int>(fy);
    float u = fx - column, v = fy - row;
    if (column < 0)
        column = 0, u = 0.0f;
    else if (column > m.MapWidth - 2)
        column = m.MapWidth - 2, u = 1.0f;
    if (row < 0)
        row = 0, v = 0.0f;
    else if (row > m.MapHeight - 2)
        row = m.MapHeight - 2, v = 1.0f;
    const BasicCell& c00 = map->Cell(column, row);
    const float h =
        TriangleHeight((c00.Flags & BACKGROUND_FLIP_SPLIT) != 0, u, v, c00.Height, map->Cell(column + 1, row).Height,
                       map->Cell(column, row + 1).Height, map->Cell(column + 1, row + 1).Height);
    return (p.x - WorldShear.ShearCenterX) * WorldShear.ShearSlopeX + h * 0.0625f +
           (p.y - WorldShear.ShearCenterY) * WorldShear.ShearSlopeY;
}

float GmvWorld::GetHeight(short viewport, CVector& p)
{
    float best = -FLT_MAX;
    if (!LocationArray[0])
        return 0.0f;
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i) {
        const LocationEntry* entry = LocationArray[i];
        if (!ViewportMatches(viewport) || !InExtent(entry, p.x, p.y) || !HasCells(entry))
            continue;
        best = fmaxf(best, HeightOver(entry, p));
    }
    return best > -FLT_MAX ? best : 0.0f;
}

float GmvWorld::GetSlope(const CVector& p)
{
    CVector normal;
    CRenderer::GetHeightData(p, normal);
    return acosf(normal.z);
}

float GmvWorld::FindIntersection(short viewport, const CVector& from, const CVector& to, int* cellOut,
                                 LocationEntry** hitOut)
{
    if (!LocationArray[0])
        return -1.0f;
    float best = 2.0f;
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i) {
        if (!ViewportMatches(viewport))
            continue;
        const float t = LocationArray[i]->pMap->FindIntersection(from, to, cellOut);
        if (t >= 0.0f && t < best) {
            best = t;
            if (hitOut)
                *hitOut = LocationArray[i];
        }
    }
    return best < 2.0f ? best : -1.0f;
}

int GmvWorld::GetPassibilityIndex(const LocationEntry* entry, float x, float y)
{
    int column, row;
    if (!entry || !HasCells(entry) || !CellAt(entry, x, y, column, row))
        return OUTSIDE_GRID_PASSABILITY;
    return entry->pMap->Cell(column, row).Flags >> 4;
}

void GmvWorld::SetPassibilityIndex(int index, LocationEntry* entry, float x, float y)
{
    int column, row;
    if (!entry || !HasCells(entry) || !CellAt(entry, x, y, column, row))
        return;
    BasicCell& cell = entry->pMap->Cell(column, row);
    cell.Flags = static_cast<unsigned char>((cell.Flags & 0x0F) | (index << 4));
}

void GmvWorld::SetPassibilityIndex(int index, float radius, const CVector& p)
{
    LocationEntry* entry = nullptr;
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i] && !entry; ++i)
        if ((LocationArray[i]->pMap->Map.ViewportData & ANY_VIEWPORT) && InExtent(LocationArray[i], p.x, p.y))
            entry = LocationArray[i];
    if (!entry || !HasCells(entry))
        return;
    const BackgroundBatch& m = entry->pMap->Map;
    const int n = static_cast<int>(m.TileWidth * radius) + 1;
    auto start = [n](float f) {
        const float first = f - static_cast<float>(n);
        const float whole = floorf(first);
        return static_cast<int>(whole) + (first - whole >= 0.5f ? 1 : 0);
    };
    const int startColumn = start((p.x - m.Origin.x) * m.ooTileWidth);
    const int startRow = start((p.y - m.Origin.y) * m.ooTileWidth);
    for (int j = 0; j < 4 * n * n; ++j) {
        const int column = startColumn + j % (2 * n), row = startRow + j / (2 * n);
        if (column < 0 || column >= m.MapWidth || row < 0 || row >= m.MapHeight)
            continue;
        BasicCell& cell = entry->pMap->Cell(column, row);
        cell.Flags = static_cast<unsigned char>((cell.Flags & 0x0F) | (index << 4));
    }
}

bool GmvWorld::IsBlackness(const CVector& p)
{
    for (int i = 0; i < MAX_LOCATIONS && LocationArray[i]; ++i) {
        const LocationEntry* entry = LocationArray[i];
        if ((entry->pMap->Map.ViewportData & ANY_VIEWPORT) && InExtent(entry, p.x, p.y))
            return GetPassibilityIndex(entry, p.x, p.y) >= 14;
    }
    return true;
}

void GmvWorld::GetTileFromPosition(const LocationEntry* entry, const CVector& p, int& column, int& row)
{
    column = static_cast<int>((p.x - entry->MinX) * WORLD2TILE);
    row = static_cast<int>((p.y - entry->MinY) * WORLD2TILE);
}

bool GmvWorld::HasHoleAtPosition(LocationEntry* entry, const CVector& p)
{
    if (!entry)
        return false;
    int column, row;
    GetTileFromPosition(entry, p, column, row);
    MapWritePos runs[2] = {{0, 0, 1}, {0, 0, 0}};
    MapWriteCell cell = {};
    entry->pMap->ReadTileData(column, row, runs, &cell, READ_BASE);
    return cell.BaseTile == 0;
}

bool GmvWorld::ValidLocationPositionEx(LocationEntry* entry, const CVector& p)
{
    return ValidLocationPosition(entry, p) && !HasHoleAtPosition(entry, p);
}

CRendTexture* GmvWorld::GetLocationTexture(CVector p, LocationEntry* entry)
{
    int column, row;
    if (!entry || !HasCells(entry) || !CellAt(entry, p.x, p.y, column, row))
        return nullptr;
    const BasicCell& cell = entry->pMap->Cell(column, row);
    const unsigned long tile = cell.TopTile ? cell.TopTile : cell.BaseTile;
    BYTE* textures = reinterpret_cast<BYTE*>(entry->pMap->Map.pTextures);
    return reinterpret_cast<CRendTexture*>(textures + (tile & 0xFFF) * TEXTURE_RECORD);
}

BYTE GmvWorld::GetDecalIndex(CCRC32 name, LocationEntry* entry)
{
    return entry ? static_cast<BYTE>(entry->pMap->GetDecalIndex(name)) : 0;
}

// The cell under p is counted from the location's origin, as every other cell query counts.
void GmvWorld::PlotDecal(CVector& p, BYTE decal, LocationEntry* entry)
{
    if (!entry)
        return;
    PlotDecal(static_cast<int>((p.y - entry->MinY) * WORLD2TILE), static_cast<int>((p.x - entry->MinX) * WORLD2TILE),
              decal, entry);
}

BYTE GmvWorld::GetDecal(const CVector& p, LocationEntry* entry)
{
    if (!entry)
        return 0;
    return GetDecal(static_cast<int>((p.y - entry->MinY) * WORLD2TILE),
                    static_cast<int>((p.x - entry->MinX) * WORLD2TILE), entry);
}

void GmvWorld::PlotDecal(int row, int column, BYTE decal, LocationEntry* entry)
{
    if (!entry || !HasCells(entry))
        return;
    const BackgroundBatch& m = entry->pMap->Map;
    entry->pMap->Cell(Clamp(column, m.MapWidth - 1), Clamp(row, m.MapHeight - 1)).DecalIndex = decal;
}

BYTE GmvWorld::GetDecal(int row, int column, LocationEntry* entry)
{
    if (!entry || !HasCells(entry))
        return 0;
    const BackgroundBatch& m = entry->pMap->Map;
    return entry->pMap->Cell(Clamp(column, m.MapWidth - 1), Clamp(row, m.MapHeight - 1)).DecalIndex;
}

bool GmvWorld::WriteFOWData(LocationEntry* entry, int column, int row, MapWritePos* runs, float value)
{
    if (!entry)
        return false;
    entry->pMap->WriteFOWData(column, row, runs, value);
    return true;
}

bool GmvWorld::WriteDecalData(LocationEntry* entry, int column, int row, MapWritePos* runs, BYTE* data, DWORD size)
{
    if (!entry)
        return false;
    entry->pMap->WriteDecalData(column, row, runs, data, size);
    return true;
}

bool GmvWorld::WriteTileData(LocationEntry* entry, int column, int row, short layer, MapWritePos* runs,
                             MapWriteCell* cells, DWORD flags)
{
    if (!entry)
        return false;
    entry->pMap->WriteTileData(column, row, layer, runs, cells, flags);
    return true;
}

void GmvWorld::WriteTileHeight(LocationEntry* entry, int column, int row, short height)
{
    if (entry)
        entry->pMap->WriteTileHeight(column, row, height);
}

bool GmvWorld::ReadTileData(LocationEntry* entry, int column, int row, MapWritePos* runs, MapWriteCell* cells,
                            DWORD flags)
{
    if (!entry)
        return false;
    entry->pMap->ReadTileData(column, row, runs, cells, flags);
    return true;
}

bool GmvWorld::SetLocationFOWPtr(LocationEntry* entry, float* grid, int size)
{
    if (!entry)
        return false;
    entry->pMap->SetFOWPtr(grid, size);
    return true;
}

float* GmvWorld::GetLocationFOWPtr(LocationEntry* entry, int& size)
{
    size = 0;
    return entry ? entry->pMap->GetFOWPtr(size) : nullptr;
}

int GmvWorld::GetLocationInfo(LocationEntry* entry, MapInfo& info)
{
    if (!entry)
        return 0;
    info.pOrigin = entry->pMapData;
    info.pDecals = entry->pDecals;
    info.MapWidth = entry->Width;
    info.MapHeight = entry->Height;
    info.TileWidth = entry->TileWidth;
    info.CellSize = entry->CellStride;
    info.MapRowSize = static_cast<unsigned long>(entry->RowPitch);
    return 1;
}

BorderExclude* GmvWorld::GetBorderExcludes(LocationEntry* entry)
{
    return entry ? entry->pMap->GetBorderExcludes() : nullptr;
}

GMapUnlinkRender::GMapUnlinkRender()
{
    if (EditableEvaluation)
        return;
    const int count = GmvWorld::pThe ? GmvWorld::pThe->GetLocationCount() : 0;
    for (int i = count - 1; i >= 0; --i)
        GmvWorld::LocationArray[i]->Render.Unlink();
    SleepTime = SLEEP_FOREVER;
}
