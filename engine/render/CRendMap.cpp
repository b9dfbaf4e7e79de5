#include "engine/render/CRendMap.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "core/names/CCRC32.h"
#include "engine/devices/GStartPosition.h"
#include "engine/render/CRendBaseMesh.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/CRender.h"
#include "engine/render/TerrainDraw.h"
#include "engine/world/GmvWorld.h"
#include "engine/zel/CZelFile.h"
#include "engine/zel/CZelFixupManager.h"

static_assert(sizeof(CRendMap) == sizeof(rhu::CRendMap), "CRendMap differs from the record header");
static_assert(sizeof(BackgroundBatch) == sizeof(rhu::BackgroundBatch), "BackgroundBatch differs");
static_assert(sizeof(BasicCell) == sizeof(rhu::BasicCell), "BasicCell differs from the record header");
static_assert(sizeof(DecalData) == sizeof(rhu::DecalData), "DecalData differs from the record header");
static_assert(sizeof(BorderExclude) == sizeof(rhu::BorderExclude), "BorderExclude differs");
static_assert(sizeof(MapWritePos) == sizeof(rhu::MapWritePos), "MapWritePos differs from the record header");
static_assert(sizeof(MapWriteCell) == sizeof(rhu::MapWriteCell), "MapWriteCell differs from the record header");
static_assert(sizeof(CRendMap::DecalEntry) == sizeof(rhu::DecalEntry), "DecalEntry differs");

ZEL_REGISTER_RECORD(CRendMap);

WorldShearValues WorldShear;

namespace {

const float kNormalScale = 0.007874016f; // 1/127
const unsigned char kSplitFlagMask =
    rhu::BACKGROUND_FLIP_UV_BASE | rhu::BACKGROUND_FLIP_UV_TOP | rhu::BACKGROUND_FLIP_SPLIT;

bool Inside(const void* p, unsigned long bytes) { return bytes == 0 || (p && CZelFile::IsLoadedData(p, bytes)); }

signed char NormalByte(unsigned long word, int byte) { return static_cast<signed char>(word >> (8 * byte) & 0xFF); }

// Grid position of a world coordinate, kept on the edge quads: below the map the fraction is
// 0, past it 1.
void ClampToQuad(float f, int cells, int& index, float& fraction)
{
    if (f < 0.0f) {
        index = 0;
        fraction = 0.0f;
        return;
    }
    index = int(f);
    if (index > cells - 2) {
        index = cells - 2;
        fraction = 1.0f;
        return;
    }
    fraction = f - float(index);
}

// Upward unit normal of a triangle.
CVector TriangleNormal(const CVector& a, const CVector& b, const CVector& c)
{
    CVector n;
    n.Cross(b - a, c - a);
    if (n.z < 0.0f)
        n = -n;
    n.Normalize();
    return n;
}

// Moller-Trumbore: distance along dir (unit) from origin to the triangle, false on a miss.
bool RayTriangle(const CVector& origin, const CVector& dir, const CVector& v0, const CVector& v1, const CVector& v2,
                 float& t)
{
    const CVector e1 = v1 - v0, e2 = v2 - v0;
    CVector p;
    p.Cross(dir, e2);
    const double det = e1.Dot(p);
    if (std::fabs(det) < 1e-9)
        return false;
    const double inv = 1.0 / det;
    const CVector s = origin - v0;
    const double u = s.Dot(p) * inv;
    if (u < 0.0 || u > 1.0)
        return false;
    CVector q;
    q.Cross(s, e1);
    const double v = dir.Dot(q) * inv;
    if (v < 0.0 || u + v > 1.0)
        return false;
    const double distance = e2.Dot(q) * inv;
    if (distance < 0.0)
        return false;
    t = float(distance);
    return true;
}

short ClampHeight(long h) { return short(std::max<long>(SHRT_MIN, std::min<long>(SHRT_MAX, h))); }

} // namespace

CRendMap::CRendMap()
{
    pFOWBuffer = nullptr;
    iFOWStride = 0;
    if (!CheckRecord())
        return;
    FillNormals();
    CalcNormals();
    if (Map.ViewportData == 0)
        Map.ViewportData = 0xFFFFFFFF;
    if (Map.CameraMask == 0)
        Map.CameraMask = 0xFFFFFFFF;
    if (GStartPosition::pCurrent)
        Map.Origin += GStartPosition::pCurrent->GetPos();
    GmvWorld::RegisterLocation(this, true);
}

CRendMap::~CRendMap() { GmvWorld::RegisterLocation(this, false); }

CRendMap::CRendMap(const CRendMap& other) : CRendResource() { *this = other; }

CRendMap& CRendMap::operator=(const CRendMap& other)
{
    pFOWBuffer = other.pFOWBuffer;
    iFOWStride = other.iFOWStride;
    Map = other.Map;
    ppDecalHashTable = other.ppDecalHashTable;
    return *this;
}

void CRendMap::Refuse(const char* what)
{
    const char* file = CZelFile::NameOf(this);
    std::printf("Terrain map %s%s%s: %s; it is not drawn\n", MeshLabel(this), file ? " in " : "", file ? file : "",
                what);
    Map.MapWidth = Map.MapHeight = 0;
    Map.MapRowSize = 0;
    Map.pMapCells = nullptr;
    Map.pBorderExcludeList = nullptr;
    ppDecalHashTable = nullptr;
}

// What a file gives is checked before anything is built from it. Sizes are checked for every
// map; where the map lies in a loaded file, every pointer it follows must stay inside that file
// and every tile must name one of the texture records of its tile set.
bool CRendMap::CheckRecord()
{
    char text[160];
    auto refuse = [this](const char* what) {
        Refuse(what);
        return false;
    };
    if (Map.MapWidth > rhu::MAX_MAP_WIDTH || Map.MapHeight > rhu::MAX_MAP_HEIGHT) {
        std::snprintf(text, sizeof text, "its size %u by %u is past the limit of %lu", Map.MapWidth, Map.MapHeight,
                      rhu::MAX_MAP_WIDTH);
        return refuse(text);
    }
    if (Map.CellSize < sizeof(BasicCell)) {
        std::snprintf(text, sizeof text, "its cells of %u bytes are smaller than a cell record", Map.CellSize);
        return refuse(text);
    }
    if (Map.MapRowSize != static_cast<unsigned long>(Map.MapWidth) * Map.CellSize) {
        std::snprintf(text, sizeof text, "its row size %lu is not %u cells of %u bytes", Map.MapRowSize, Map.MapWidth,
                      Map.CellSize);
        return refuse(text);
    }
    if (Map.TileWidth == 0)
        return refuse("its tile width is 0");
    const unsigned long cellBytes = Map.MapRowSize * Map.MapHeight;
    if (cellBytes && !Map.pMapCells)
        return refuse("it has no cells");
    if (!CZelFile::IsLoadedData(this, sizeof *this))
        return true;
    if (!Inside(Map.pMapCells, cellBytes))
        return refuse("its cells reach past the end of its file");
    return CheckTiles() && CheckDecals() && CheckLists();
}

bool CRendMap::CheckTiles()
{
    static const unsigned long textureKey = CCRC32::GetCRC("CRendTexture");
    unsigned highest = 0;
    bool any = false;
    for (int r = 0; r + 1 < Map.MapHeight; ++r)
        for (int c = 0; c + 1 < Map.MapWidth; ++c) {
            const BasicCell& cell = Cell(c, r);
            for (unsigned long tile : {cell.BaseTile, cell.TopTile})
                if (tile) {
                    highest = std::max(highest, TileNumber(tile));
                    any = true;
                }
        }
    if (!any)
        return true;
    for (unsigned t = 0; t <= highest; ++t)
        if (!Map.pTextures || !CZelFile::IsTypedRecord(Map.pTextures + t, textureKey)) {
            char text[120];
            std::snprintf(text, sizeof text, "tile %u is past its tile set, which has %u textures", highest, t);
            Refuse(text);
            return false;
        }
    return true;
}

bool CRendMap::CheckDecals()
{
    static const unsigned long textureKey = CCRC32::GetCRC("CRendTexture");
    char text[120];
    for (int r = 0; r < Map.MapHeight; ++r)
        for (int c = 0; c < Map.MapWidth; ++c) {
            unsigned d = Cell(c, r).DecalIndex;
            // A decal's chain of successors stays inside the decal records too.
            for (int step = 0; d != 0 && step < 256; ++step) {
                const DecalData* decal = Map.pDecals ? Map.pDecals + (d - 1) : nullptr;
                if (!Inside(decal, sizeof(DecalData))) {
                    std::snprintf(text, sizeof text, "cell (%d, %d) names decal %u past its decal records", c, r, d);
                    Refuse(text);
                    return false;
                }
                if (!Map.pDecalTextures ||
                    !CZelFile::IsTypedRecord(Map.pDecalTextures + TileNumber(decal->DecalTile), textureKey)) {
                    std::snprintf(text, sizeof text, "decal %u names tile %u past its decal tile set", d,
                                  TileNumber(decal->DecalTile));
                    Refuse(text);
                    return false;
                }
                d = decal->NextDecal;
            }
        }
    return true;
}

// The material sets, the border list and the decal hash buckets stay inside the file.
bool CRendMap::CheckLists()
{
    const unsigned long setBytes = 16 * sizeof(Material);
    const unsigned long sets = std::max<unsigned long>(Map.NumMaterialLists, Map.DefaultMaterialList + 1ul);
    if (!Inside(Map.pMaterialList, sets * setBytes)) {
        Refuse("its material sets reach past the end of its file");
        return false;
    }
    const unsigned long decalSets =
        std::max<unsigned long>(Map.NumDecalMaterialLists, Map.DefaultDecalMaterialList + 1ul);
    if (Map.pDecalMaterialList && !Inside(Map.pDecalMaterialList, decalSets * setBytes)) {
        Refuse("its decal material sets reach past the end of its file");
        return false;
    }
    for (const BorderExclude* b = Map.pBorderExcludeList; b; ++b) {
        if (!Inside(b, sizeof *b) || b->Side > rhu::BORDER_WEST) {
            Refuse("its border exclusions are not ended inside its file");
            return false;
        }
        if (b->Side == rhu::BORDER_TERMINATE)
            break;
    }
    if (!ppDecalHashTable)
        return true;
    if (!Inside(ppDecalHashTable, (rhu::DECAL_HASH_MASK + 1) * sizeof(DecalEntry*))) {
        Refuse("its decal hash table reaches past the end of its file");
        return false;
    }
    for (unsigned long b = 0; b <= rhu::DECAL_HASH_MASK; ++b)
        for (const DecalEntry* e = ppDecalHashTable[b]; e; ++e) {
            if (!Inside(e, sizeof *e)) {
                Refuse("a decal hash bucket is not ended inside its file");
                return false;
            }
            if (e->Crc == 0)
                break;
        }
    return true;
}

void CRendMap::Render(CRender* render) { CTerrainDraw::Draw(*this, render ? render->GetMaterialList() : nullptr); }

int CRendMap::GetSize(CVector& min, CVector& max)
{
    min = Map.Origin;
    max = CVector(Map.Origin.x + float(Map.TileWidth) * Map.MapWidth,
                  Map.Origin.y + float(Map.TileWidth) * Map.MapHeight, Map.Origin.z);
    return 1;
}

void CRendMap::GetBoundingBox(RECT& box, int)
{
    box = RECT{0, 0, LONG(Map.TileWidth) * (LONG(Map.MapWidth) - 1), LONG(Map.TileWidth) * (LONG(Map.MapHeight) - 1)};
}

void CRendMap::GetMapInfo(CRender*, MapInfo& info)
{
    info.pOrigin = &Map.Origin;
    info.pDecals = Map.pMapCells ? &Map.pMapCells->DecalIndex : nullptr;
    info.MapWidth = Map.MapWidth;
    info.MapHeight = Map.MapHeight;
    info.TileWidth = Map.TileWidth;
    info.CellSize = Map.CellSize;
    info.MapRowSize = Map.MapRowSize;
}

BasicCell* CRendMap::GetBasicCell(float x, float y)
{
    const float fc = (x - Map.Origin.x) * Map.ooTileWidth, fr = (y - Map.Origin.y) * Map.ooTileWidth;
    // Truncation toward zero would take the strip just left of (or below) the map as column 0.
    if (!(fc >= 0.0f) || !(fr >= 0.0f))
        return nullptr;
    const int c = int(fc), r = int(fr);
    if (c >= Map.MapWidth || r >= Map.MapHeight)
        return nullptr;
    return &Cell(c, r);
}

float CRendMap::GetHeightData(const CVector& p, CVector& normal)
{
    if (IsEmpty()) {
        normal = CVector(0, 0, 1);
        return WorldShear.At(p.x, p.y);
    }
    int c, r;
    float fx, fy;
    ClampToQuad((p.x - Map.Origin.x) * Map.ooTileWidth, Map.MapWidth, c, fx);
    ClampToQuad((p.y - Map.Origin.y) * Map.ooTileWidth, Map.MapHeight, r, fy);
    // The quad's four cells from one address: the next cell and the next row.
    const unsigned char* at = reinterpret_cast<const unsigned char*>(&Cell(c, r));
    const BasicCell& cell = *reinterpret_cast<const BasicCell*>(at);
    const BasicCell& right = *reinterpret_cast<const BasicCell*>(at + Map.CellSize);
    const BasicCell& below = *reinterpret_cast<const BasicCell*>(at + Map.MapRowSize);
    const BasicCell& diagonal = *reinterpret_cast<const BasicCell*>(at + Map.MapRowSize + Map.CellSize);
    const unsigned long n = cell.VertNormal;
    normal.x = NormalByte(n, 0) * kNormalScale;
    normal.y = NormalByte(n, 1) * kNormalScale;
    normal.z = NormalByte(n, 2) * kNormalScale;
    // Differences in whole sixteenths first: two conversions instead of four.
    const int h00 = cell.Height;
    float h;
    if (cell.Flags & rhu::BACKGROUND_FLIP_SPLIT)
        h = fx > fy ? h00 + fx * float(right.Height - h00) + fy * float(diagonal.Height - right.Height)
                    : h00 + fx * float(diagonal.Height - below.Height) + fy * float(below.Height - h00);
    else if (fx + fy < 1.0f)
        h = h00 + fx * float(right.Height - h00) + fy * float(below.Height - h00);
    else
        h = diagonal.Height + (1.0f - fx) * float(below.Height - diagonal.Height) +
            (1.0f - fy) * float(right.Height - diagonal.Height);
    const bool sheared = WorldShear.ShearSlopeX != 0.0f || WorldShear.ShearSlopeY != 0.0f;
    return h * 0.0625f + (sheared ? WorldShear.At(p.x, p.y) : 0.0f);
}

void CRendMap::FillNormals()
{
    for (int r = 0; r < Map.MapHeight; ++r)
        for (int c = 0; c < Map.MapWidth; ++c) {
            BasicCell& cell = Cell(c, r);
            cell.VertNormal = (cell.VertNormal & 0xFF000000) | 127ul << 16;
            if (!(Map.Flags & rhu::BACKGROUND_BATCH_USE_SPLIT_FLAG) && ((r ^ c) & 1))
                cell.Flags |= rhu::BACKGROUND_FLIP_SPLIT;
        }
}

void CRendMap::CalcNormals() { CalcNormals(0, 0, Map.MapWidth - 1, Map.MapHeight - 1); }

void CRendMap::CalcNormals(int x0, int y0, int x1, int y1)
{
    const int cEnd = std::min(x1, Map.MapWidth - 1), rEnd = std::min(y1, Map.MapHeight - 1);
    auto corner = [this](int c, int r) { return CVector(float(c), float(r), Cell(c, r).Height / 16.0f); };
    for (int r = std::max(y0, 0); r < rEnd; ++r)
        for (int c = std::max(x0, 0); c < cEnd; ++c) {
            CVector sum(0, 0, 0);
            for (int qr = r - 1; qr <= r; ++qr)
                for (int qc = c - 1; qc <= c; ++qc) {
                    if (qc < 0 || qr < 0 || qc >= Map.MapWidth - 1 || qr >= Map.MapHeight - 1)
                        continue;
                    const CVector a = corner(qc, qr), b = corner(qc + 1, qr), cc = corner(qc, qr + 1),
                                  d = corner(qc + 1, qr + 1);
                    // Which corner of the quad the vertex is: 0 a, 1 b, 2 cc, 3 d.
                    const int at = (c - qc) + 2 * (r - qr);
                    if (Cell(qc, qr).Flags & rhu::BACKGROUND_FLIP_SPLIT) {
                        if (at != 2)
                            sum += TriangleNormal(a, b, d);
                        if (at != 1)
                            sum += TriangleNormal(a, d, cc);
                    } else {
                        if (at != 3)
                            sum += TriangleNormal(a, b, cc);
                        if (at != 0)
                            sum += TriangleNormal(b, d, cc);
                    }
                }
            const float length = sum.GetLength();
            if (length > 0.0f)
                sum *= 127.0f / length;
            BasicCell& cell = Cell(c, r);
            cell.VertNormal = (cell.VertNormal & 0xFF000000) | (unsigned long)(unsigned char)(signed char)int(sum.x) |
                              (unsigned long)(unsigned char)(signed char)int(sum.y) << 8 |
                              (unsigned long)(unsigned char)(signed char)int(sum.z) << 16;
        }
}

int CRendMap::GetDecalIndex(unsigned long key)
{
    if (!ppDecalHashTable)
        return 0;
    for (const DecalEntry* e = ppDecalHashTable[key & rhu::DECAL_HASH_MASK]; e && e->Crc; ++e)
        if (e->Crc == key)
            return int(e->Index) + 1;
    return 0;
}

void CRendMap::UpdateDecals()
{
    for (int r = 0; r < Map.MapHeight; ++r)
        for (int c = 0; c < Map.MapWidth; ++c) {
            BasicCell& cell = Cell(c, r);
            if (cell.DecalIndex == 0 || !Map.pDecals)
                continue;
            const unsigned long timer = ((cell.VertNormal >> 24) - 1) & 0xFF;
            cell.VertNormal = (cell.VertNormal & 0x00FFFFFF) | timer << 24;
            if (timer != 0)
                continue;
            const DecalData& decal = Map.pDecals[cell.DecalIndex - 1];
            cell.DecalIndex = decal.NextDecal;
            cell.VertNormal = (cell.VertNormal & 0x00FFFFFF) | (unsigned long)decal.Time << 24;
        }
}

// Runs every clipped cell of a run list: visit(cell, source entry). Entries of cells off the
// map are consumed and skipped, so a per-cell source stays in step with the runs.
template <class Visit> void CRendMap::ForRuns(int x, int y, const MapWritePos* runs, Visit visit)
{
    long entry = 0;
    for (const MapWritePos* run = runs; run && run->count != 0; ++run) {
        const long count = std::max<long>(run->count, 0);
        const int row = y + run->dy;
        const long column = long(x) + run->dx;
        if (row >= 0 && row < Map.MapHeight && !IsEmpty()) {
            const long first = std::max<long>(column, 0), end = std::min<long>(column + count, Map.MapWidth);
            for (long c = first; c < end; ++c)
                visit(Cell(int(c), row), entry + (c - column));
        }
        entry += count;
    }
}

void CRendMap::WriteFOWData(int, int, const MapWritePos*, float)
{
    // The fog of war lives in the buffer SetFOWPtr gives, not in the cells.
}

void CRendMap::WriteDecalData(int x, int y, const MapWritePos* runs, const unsigned char* source, unsigned long flags)
{
    if (!source)
        return;
    const bool constant = flags & WRITE_CONSTANT;
    ForRuns(x, y, runs, [&](BasicCell& cell, long entry) { cell.DecalIndex = source[constant ? 0 : entry]; });
}

void CRendMap::WriteTileData(int x, int y, short heightOffset, const MapWritePos* runs, const MapWriteCell* source,
                             unsigned long flags)
{
    if (!source)
        return;
    const bool constant = flags & WRITE_CONSTANT;
    int left = INT_MAX, right = INT_MIN, bottom = INT_MAX, top = INT_MIN;
    int low = INT_MAX, high = INT_MIN;
    const BasicCell* first = Map.pMapCells;
    ForRuns(x, y, runs, [&](BasicCell& cell, long entry) {
        const MapWriteCell& from = source[constant ? 0 : entry];
        const unsigned char mask = from.FlagMask & kSplitFlagMask;
        cell.Flags = (unsigned char)((cell.Flags & ~mask) | (from.Flags & mask));
        if (flags & WRITE_BASE)
            cell.BaseTile = from.BaseTile;
        if (flags & WRITE_TOP)
            cell.TopTile = from.TopTile;
        if (!(flags & WRITE_HEIGHT))
            return;
        cell.Height = ClampHeight(long(heightOffset) + from.Height);
        const long offset =
            long(reinterpret_cast<const unsigned char*>(&cell) - reinterpret_cast<const unsigned char*>(first));
        const int r = int(offset / long(Map.MapRowSize)), c = int(offset % long(Map.MapRowSize) / Map.CellSize);
        left = std::min(left, c);
        right = std::max(right, c + 1);
        bottom = std::min(bottom, r);
        top = std::max(top, r);
        low = std::min<int>(low, cell.Height);
        high = std::max<int>(high, cell.Height);
    });
    if (low > high)
        return;
    Map.MaxZheight = std::max(Map.MaxZheight, high / 16.0f);
    Map.MinZheight = std::min(Map.MinZheight, low / 16.0f);
    // The normals of the written cells and of the ring round them; the bounds are exclusive.
    CalcNormals(left - 1, bottom - 1, right + 1, top + 2);
}

void CRendMap::WriteTileHeight(int x, int y, short height)
{
    if (x < 0 || y < 0 || x >= Map.MapWidth || y >= Map.MapHeight)
        return;
    Cell(x, y).Height = height;
    Map.MaxZheight = std::max(Map.MaxZheight * 16.0f, float(height)) / 16.0f;
    Map.MinZheight = std::min(Map.MinZheight * 16.0f, float(height)) / 16.0f;
    CalcNormals(x - 1, y - 1, x + 2, y + 2);
}

void CRendMap::ReadTileData(int x, int y, const MapWritePos* runs, MapWriteCell* destination, unsigned long flags)
{
    if (!destination)
        return;
    ForRuns(x, y, runs, [&](BasicCell& cell, long entry) {
        MapWriteCell& to = destination[entry];
        if (flags & WRITE_BASE)
            to.BaseTile = cell.BaseTile;
        if (flags & WRITE_TOP)
            to.TopTile = cell.TopTile;
        if (flags & WRITE_HEIGHT)
            to.Height = cell.Height;
        if (flags & READ_FLAGS)
            to.Flags = cell.Flags;
        if (flags & READ_DECAL)
            to.FlagMask = cell.DecalIndex;
    });
}

// Both triangles of quad (a, b) against the segment from start along the unit dir; the nearest
// hit distance.
bool CRendMap::CellTest(int a, int b, const CVector& start, const CVector& dir, float& t)
{
    auto corner = [this](int c, int r) { return CVector(float(c), float(r), float(Cell(c, r).Height)); };
    const CVector v00 = corner(a, b), v10 = corner(a + 1, b), v01 = corner(a, b + 1), v11 = corner(a + 1, b + 1);
    const bool split = Cell(a, b).Flags & rhu::BACKGROUND_FLIP_SPLIT;
    const CVector* tris[2][3] = {{&v00, &v10, split ? &v11 : &v01}, {split ? &v00 : &v10, &v11, &v01}};
    bool hit = false;
    for (const auto& tri : tris) {
        float d;
        if (RayTriangle(start, dir, *tri[0], *tri[1], *tri[2], d) && (!hit || d < t)) {
            t = d;
            hit = true;
        }
    }
    return hit;
}

float CRendMap::FindIntersection(const CVector& from, const CVector& to, int* out)
{
    if (IsEmpty())
        return -1.0f;
    // Cell space: x and y in cells, z in the cells' sixteenths less the shear. Scaling each axis
    // on its own keeps the fraction along the segment, whatever the tile width.
    auto toCells = [this](const CVector& p) {
        return CVector((p.x - Map.Origin.x) * Map.ooTileWidth, (p.y - Map.Origin.y) * Map.ooTileWidth,
                       (p.z - WorldShear.At(p.x, p.y)) * 16.0f);
    };
    const CVector s = toCells(from), e = toCells(to);
    const float maxX = Map.MapWidth - 1.0f, maxY = Map.MapHeight - 1.0f;
    auto outcode = [&](const CVector& p) {
        return (p.y < 0 ? 1 : 0) | (p.y >= maxY ? 2 : 0) | (p.x < 0 ? 4 : 0) | (p.x >= maxX ? 8 : 0);
    };
    if (outcode(s) & outcode(e))
        return -1.0f;
    if (out)
        *out = 0;
    // Clip to the inside of the grid.
    float t0 = 0.0f, t1 = 1.0f;
    const CVector d = e - s;
    auto clip = [&](float p, float dp, float lo, float hi) {
        if (dp == 0.0f)
            return p >= lo && p <= hi;
        float a = (lo - p) / dp, b = (hi - p) / dp;
        if (a > b)
            std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        return t0 <= t1;
    };
    if (!clip(s.x, d.x, 0.001f, maxX - 0.001f) || !clip(s.y, d.y, 0.001f, maxY - 0.001f))
        return -1.0f;
    const float length = d.GetLength();
    if (!(length > 0.0f))
        return -1.0f;
    const CVector dir = d * (1.0f / length);
    // Visit the cells under the clipped piece in order along it; the first cell with a hit has
    // the nearest one.
    const CVector p0 = s + d * t0;
    int a = int(p0.x), b = int(p0.y);
    const int stepA = d.x > 0 ? 1 : -1, stepB = d.y > 0 ? 1 : -1;
    const float inf = 1e30f;
    float nextA = d.x != 0 ? ((stepA > 0 ? a + 1 - s.x : a - s.x) / d.x) : inf;
    float nextB = d.y != 0 ? ((stepB > 0 ? b + 1 - s.y : b - s.y) / d.y) : inf;
    const float deltaA = d.x != 0 ? std::fabs(1.0f / d.x) : inf, deltaB = d.y != 0 ? std::fabs(1.0f / d.y) : inf;
    for (int guard = 0; guard < 2 * (Map.MapWidth + Map.MapHeight) + 4; ++guard) {
        float t;
        if (a >= 0 && b >= 0 && a < Map.MapWidth - 1 && b < Map.MapHeight - 1 && CellTest(a, b, s, dir, t)) {
            const float fraction = t / length;
            if (fraction >= 0.0f && fraction <= 1.0f)
                return fraction;
        }
        const float next = std::min(nextA, nextB);
        if (next > t1)
            break;
        if (nextA < nextB) {
            a += stepA;
            nextA += deltaA;
        } else {
            b += stepB;
            nextB += deltaB;
        }
    }
    return -1.0f;
}
