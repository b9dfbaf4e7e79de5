#include "engine/render/TerrainDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/render/CLightTree.h"
#include "engine/render/CRendMap.h"
#include "engine/render/CRendTexture.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"

ITerrainFOW* CTerrainDraw::pFOW;
bool CTerrainDraw::UserValueView;
int CTerrainDraw::LastQuads, CTerrainDraw::LastBatches, CTerrainDraw::LastSubmits;

namespace {

const unsigned long kUserColours[16] = {0xFFFFFFFF, 0xFFDDDDDD, 0xFFBBBBBB, 0xFF999999, 0xFFFF0000, 0xFFFFFF00,
                                        0xFF00FF00, 0xFF00BBFF, 0xFF0000FF, 0xFFFF00FF, 0xFFC00000, 0xFFC0C000,
                                        0xFF00C000, 0xFF00A0C0, 0xFF0000C0, 0xFFC000C0};
const unsigned long kColoured = 0x80000000; // clip-word bit: the colour is filled this frame
const int kMaxRows = rhu::MAX_MAP_HEIGHT + 1;

struct Point2 {
    float x, y;
};
typedef std::vector<Point2> Polygon;

struct RowVertex {
    float x, y, z, nx, ny, nz;
    D3DCOLOR Colour;
    unsigned long Clip;
};

struct ClipPlane {
    float a, b, c;
    unsigned long Upward; // the entry's bit when the face looks upward
};

struct Span {
    int Left, End; // columns Left .. End - 1
};

struct BatchEntry {
    bool TopAsBase;
    int BaseMaterial, TopMaterial, DecalMaterial;
    int BaseTile, TopTile, DecalTile;
    const CLightSet* Lights;
    DrawState* State;
    TerrainBlock* Block;

    bool Matches(const BatchEntry& k) const
    {
        return TopAsBase == k.TopAsBase && BaseMaterial == k.BaseMaterial && TopMaterial == k.TopMaterial &&
               DecalMaterial == k.DecalMaterial && BaseTile == k.BaseTile && TopTile == k.TopTile &&
               DecalTile == k.DecalTile && Lights == k.Lights;
    }
};

struct Bucket {
    int Count;
    BatchEntry Entries[CTerrainDraw::kBucketEntries];
};

// The coordinates of a tile word's four corners, (c, r), (c+1, r), (c, r+1), (c+1, r+1).
void TileCoordinates(unsigned long tile, bool flip, float uv[4][2])
{
    const float u1 = float(tile >> 16 & 15) * 0.125f, u2 = float(tile >> 20 & 15) * 0.125f;
    const float v1 = float(tile >> 24 & 15) * 0.125f, v2 = float(tile >> 28 & 15) * 0.125f;
    const float corners[4][2] = {{u1, v1}, {u2, v1}, {u1, v2}, {u2, v2}};
    for (int k = 0; k < 4; ++k) {
        uv[k][0] = corners[k][flip ? 1 : 0];
        uv[k][1] = corners[k][flip ? 0 : 1];
    }
}

D3DCOLOR ColourOf(const CVector4& c)
{
    auto channel = [](float v) { return DWORD(std::min(std::max(v * 255.0f, 0.0f), 255.0f)); };
    return 0xFF000000u | channel(c.x) << 16 | channel(c.y) << 8 | channel(c.z);
}

// Sutherland-Hodgman against the half plane a x + b y >= d.
Polygon ClipHalf(const Polygon& in, float a, float b, float d)
{
    Polygon out;
    for (size_t i = 0; i < in.size(); ++i) {
        const Point2 p = in[i], q = in[(i + 1) % in.size()];
        const float fp = a * p.x + b * p.y - d, fq = a * q.x + b * q.y - d;
        if (fp >= 0)
            out.push_back(p);
        if ((fp >= 0) != (fq >= 0)) {
            const float t = fp / (fp - fq);
            out.push_back(Point2{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
        }
    }
    return out;
}

Polygon ConvexHull(std::vector<Point2> points)
{
    std::sort(points.begin(), points.end(),
              [](const Point2& a, const Point2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    if (points.size() < 3)
        return points;
    auto cross = [](const Point2& o, const Point2& a, const Point2& b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    Polygon hull(2 * points.size());
    size_t k = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    for (size_t i = points.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0)
            --k;
        hull[k++] = points[i - 1];
    }
    hull.resize(k - 1);
    return hull;
}

// One draw of one map.
class MapDrawer {
public:
    MapDrawer(CRendMap& map, const Material* overrides);
    void Run();

private:
    bool VisibleRegion();
    void ChooseMaterials(const Material* overrides);
    void BuildRow(RowVertex* row, int r, int left, int end);
    D3DCOLOR CornerColour(RowVertex& v, int c, int r);
    float FOWValue(int c, int r) const { return map.pFOWBuffer[c + map.iFOWStride * r]; }
    void DrawQuad(int c, int r, RowVertex* low, RowVertex* high);
    BatchEntry* FindEntry(const BatchEntry& key, const DecalData* decal);
    void Submit(BatchEntry& entry);
    void FlushAll();

    CRendMap& map;
    BackgroundBatch& m;
    CRenderDevice& device;
    int viewport;
    unsigned long engineFlags;
    Material baseSet[16], decalSet[16];
    std::vector<ClipPlane> planes;
    int lowRow, highRow;
    ITerrainFOW* fow;
    CVector4 visible, unvisited, visited, edge;
    float now;

    static Span spans[kMaxRows];
    static RowVertex rows[2][kMaxRows];
    static Bucket buckets[CTerrainDraw::kBuckets];
};

Span MapDrawer::spans[kMaxRows];
RowVertex MapDrawer::rows[2][kMaxRows];
Bucket MapDrawer::buckets[CTerrainDraw::kBuckets];

MapDrawer::MapDrawer(CRendMap& target, const Material* overrides)
    : map(target), m(target.Map), device(CRenderer::GetDevice()), viewport(GetCurrentViewport()),
      engineFlags(device.GetEngineFlags()), lowRow(kMaxRows), highRow(-1),
      fow(target.pFOWBuffer ? CTerrainDraw::pFOW : nullptr), now(0)
{
    ChooseMaterials(overrides);
    if (fow) {
        fow->GetFOWColours(visible, unvisited, visited, edge);
        now = fow->GetGameTime();
    }
}

void MapDrawer::ChooseMaterials(const Material* overrides)
{
    static Material plain;
    plain.Diffuse = plain.Ambient = CVector(1, 1, 1);
    plain.Alpha = 1.0f;
    const unsigned long index = CRenderer::pThe ? CRenderer::pThe->GetViewportMaterialIndex(viewport) : 0;
    const unsigned set = index < m.NumMaterialLists ? unsigned(index) : m.DefaultMaterialList;
    const unsigned decalSetNumber = index < m.NumDecalMaterialLists ? unsigned(index) : m.DefaultDecalMaterialList;
    for (int i = 0; i < 16; ++i) {
        baseSet[i] = m.pMaterialList ? m.pMaterialList[16 * set + i] : plain;
        decalSet[i] = m.pDecalMaterialList ? m.pDecalMaterialList[16 * decalSetNumber + i] : baseSet[i];
    }
    if (!overrides)
        return;
    for (int i = 0; i < 16; ++i) {
        baseSet[i].ApplyOverrides(overrides);
        decalSet[i].ApplyOverrides(overrides);
    }
}

// The frustum box of the view cut to the map's heights, seen from above, clipped to the map
// and scan-converted into a span of columns per row.
bool MapDrawer::VisibleRegion()
{
    CVector box[8];
    for (int k = 0; k < 4; ++k)
        View2World(viewport, CVector(k & 1 ? 1.15f : -1.15f, k & 2 ? 1.15f : -1.15f, 0), box[2 * k], box[2 * k + 1]);
    CVector centre(0, 0, 0);
    for (const CVector& v : box)
        centre += v;
    centre *= 0.125f;
    static const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2},
                                     {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}};
    for (const auto& face : kFaces) {
        CVector n;
        n.Cross(box[face[1]] - box[face[0]], box[face[2]] - box[face[0]]);
        if (n.Dot(centre - box[face[0]]) > 0) // outward
            n = -n;
        if (n.z == 0.0f)
            continue;
        const float a = -n.x / n.z, b = -n.y / n.z, c = n.Dot(box[face[0]]) / n.z;
        if (std::fabs(a) < 100.0f && std::fabs(b) < 100.0f)
            planes.push_back(ClipPlane{a, b, c, n.z > 0 ? 1ul << planes.size() : 0ul});
    }
    // The slab the ground can lie in.
    const float x1 = m.Origin.x + float(m.TileWidth) * (m.MapWidth - 1),
                y1 = m.Origin.y + float(m.TileWidth) * (m.MapHeight - 1);
    const float shears[4] = {WorldShear.At(m.Origin.x, m.Origin.y), WorldShear.At(x1, m.Origin.y),
                             WorldShear.At(m.Origin.x, y1), WorldShear.At(x1, y1)};
    const float low = m.MinZheight + *std::min_element(shears, shears + 4);
    const float high = m.MaxZheight + *std::max_element(shears, shears + 4);
    std::vector<Point2> points;
    for (const CVector& v : box)
        if (v.z >= low && v.z <= high)
            points.push_back(Point2{v.x, v.y});
    static const int kEdges[12][2] = {{0, 2}, {2, 6}, {6, 4}, {4, 0}, {1, 3}, {3, 7},
                                      {7, 5}, {5, 1}, {0, 1}, {2, 3}, {4, 5}, {6, 7}};
    for (const auto& e : kEdges)
        for (float level : {low, high}) {
            const CVector &p = box[e[0]], &q = box[e[1]];
            if ((p.z - level) * (q.z - level) < 0) {
                const float t = (level - p.z) / (q.z - p.z);
                points.push_back(Point2{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
            }
        }
    Polygon outline = ConvexHull(points);
    const float w = float(m.TileWidth);
    outline = ClipHalf(outline, 1, 0, m.Origin.x + 0.0001f);
    outline = ClipHalf(outline, -1, 0, -(m.Origin.x + w * (m.MapWidth - 1.0001f)));
    outline = ClipHalf(outline, 0, 1, m.Origin.y + 0.0001f);
    outline = ClipHalf(outline, 0, -1, -(m.Origin.y + w * (m.MapHeight - 1.0001f)));
    if (outline.empty())
        return false;
    for (Point2& p : outline)
        p = Point2{(p.x - m.Origin.x) * m.ooTileWidth, (p.y - m.Origin.y) * m.ooTileWidth};
    float minY = outline[0].y, maxY = outline[0].y;
    for (const Point2& p : outline) {
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    lowRow = std::max(int(minY), 0);
    highRow = std::min(int(maxY), m.MapHeight - 2);
    for (int r = lowRow; r <= highRow; ++r) {
        const Polygon strip = ClipHalf(ClipHalf(outline, 0, 1, float(r)), 0, -1, -float(r + 1));
        if (strip.empty()) {
            spans[r] = Span{0, 0};
            continue;
        }
        float minX = strip[0].x, maxX = strip[0].x;
        for (const Point2& p : strip) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
        }
        spans[r] = Span{std::max(int(minX), 0), std::min(int(maxX), m.MapWidth - 2) + 1};
    }
    return lowRow <= highRow;
}

void MapDrawer::BuildRow(RowVertex* row, int r, int left, int end)
{
    const float w = float(m.TileWidth);
    for (int c = left; c <= end && c < m.MapWidth; ++c) {
        const BasicCell& cell = map.Cell(c, r);
        RowVertex& v = row[c];
        v.x = c * w;
        v.y = r * w;
        v.z = cell.Height / 16.0f + WorldShear.At(m.Origin.x + v.x, m.Origin.y + v.y);
        v.nx = static_cast<signed char>(cell.VertNormal & 0xFF) * 0.007874016f;
        v.ny = static_cast<signed char>(cell.VertNormal >> 8 & 0xFF) * 0.007874016f;
        v.nz = static_cast<signed char>(cell.VertNormal >> 16 & 0xFF) * 0.007874016f;
        v.Clip = 0;
        const float wx = m.Origin.x + v.x, wy = m.Origin.y + v.y;
        for (size_t i = 0; i < planes.size(); ++i) {
            const bool below = v.z < planes[i].a * wx + planes[i].b * wy + planes[i].c;
            if (below != (planes[i].Upward != 0))
                v.Clip |= 1ul << i;
        }
    }
}

D3DCOLOR MapDrawer::CornerColour(RowVertex& v, int c, int r)
{
    if (v.Clip & kColoured)
        return v.Colour;
    v.Clip |= kColoured;
    v.Colour = 0xFFFFFFFF;
    if (!fow)
        return v.Colour;
    const float value = FOWValue(c, r);
    if (value < 0) {
        v.Colour = ColourOf(unvisited);
        return v.Colour;
    }
    float z = (value - now) / 2.0f;
    if (z < 1.0f) {
        z = std::max(z, 0.0f);
        v.Colour = ColourOf(visited * (1.0f - z) + visible * z);
        return v.Colour;
    }
    // Visible inside the seen area; at its edge when a neighbour fades sooner. Neighbours off
    // the map are not read, so a buffer needs no guard ring.
    bool inner = true;
    for (int dr = -1; dr <= 1 && inner; ++dr)
        for (int dc = -1; dc <= 1 && inner; ++dc) {
            const int nc = c + dc, nr = r + dr;
            if ((dc || dr) && nc >= 0 && nr >= 0 && nc < m.MapWidth && nr < m.MapHeight)
                inner = FOWValue(nc, nr) > now + 2.0f;
        }
    v.Colour = ColourOf(inner ? visible : edge);
    return v.Colour;
}

void MapDrawer::Submit(BatchEntry& entry)
{
    TerrainBlock* block = entry.Block;
    block->pVertices->Unlock();
    block->pIndices->Unlock();
    if (block->Triangles) {
        if (DrawEntry* draw = device.AllocDraw(1)) {
            *draw = DrawEntry{CTerrainDraw::kSortKey, 0, entry.State, block};
            ++CTerrainDraw::LastSubmits;
        }
    }
}

// Hands every entry's block to the back end and empties the table.
void MapDrawer::FlushAll()
{
    for (Bucket& bucket : buckets) {
        for (int i = 0; i < bucket.Count; ++i)
            if (bucket.Entries[i].Block)
                Submit(bucket.Entries[i]);
        bucket.Count = 0;
    }
}

BatchEntry* MapDrawer::FindEntry(const BatchEntry& key, const DecalData* decal)
{
    const unsigned long hash = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(key.Lights) >> 11);
    const int first = int((unsigned long)key.BaseTile + hash) & (CTerrainDraw::kBuckets - 1);
    Bucket* room = nullptr;
    for (int b = first; b < CTerrainDraw::kBuckets; ++b) {
        Bucket& bucket = buckets[b];
        for (int i = 0; i < bucket.Count; ++i)
            if (bucket.Entries[i].Matches(key))
                return &bucket.Entries[i];
        if (bucket.Count < CTerrainDraw::kBucketEntries) {
            room = &bucket;
            break;
        }
    }
    if (!room) {
        // Every bucket from the first one on is full: hand all batches over and start again.
        FlushAll();
        room = &buckets[first];
    }
    BatchEntry& entry = room->Entries[room->Count++];
    entry = key;
    TerrainBatchSetup setup = {};
    auto texture = [](CRendTexture* set, int tile) { return set ? set[tile].GetDeviceTexture() : nullptr; };
    setup.Materials[setup.Layers] = &baseSet[key.BaseMaterial];
    setup.Textures[setup.Layers++] = texture(m.pTextures, key.BaseTile);
    if (key.TopTile >= 0) {
        setup.Materials[setup.Layers] = &baseSet[key.TopMaterial];
        setup.Textures[setup.Layers++] = texture(m.pTextures, key.TopTile);
    }
    if (key.DecalTile >= 0) {
        setup.Materials[setup.Layers] = &decalSet[key.DecalMaterial];
        setup.Textures[setup.Layers++] = texture(m.pDecalTextures, key.DecalTile);
    }
    setup.Blend = decal && (decal->Flags & rhu::DECAL_ADDITIVE);
    setup.Lights = key.Lights;
    entry.State = device.BeginTerrainBatch(setup, float(m.TileWidth), m.Origin.x, m.Origin.y);
    entry.Block = entry.State ? device.NextTerrainBlock() : nullptr;
    ++CTerrainDraw::LastBatches;
    return &entry;
}

void MapDrawer::DrawQuad(int c, int r, RowVertex* low, RowVertex* high)
{
    const BasicCell& cell = map.Cell(c, r);
    unsigned long base = cell.BaseTile, top = cell.TopTile;
    bool topAsBase = false;
    if (base == 0) {
        if (!(engineFlags & CTerrainDraw::FLAG_TOP_ONLY_CELLS) || top == 0)
            return;
        base = top;
        top = 0;
        topAsBase = true;
    }
    RowVertex* corners[4] = {&low[c], &low[c + 1], &high[c], &high[c + 1]};
    if (corners[0]->Clip & corners[1]->Clip & corners[2]->Clip & corners[3]->Clip & ~kColoured)
        return;
    D3DCOLOR colours[4];
    if (CTerrainDraw::UserValueView) {
        std::fill(colours, colours + 4, kUserColours[cell.Flags >> rhu::BACKGROUND_USER_SHIFT]);
    } else {
        for (int k = 0; k < 4; ++k)
            colours[k] = CornerColour(*corners[k], c + (k & 1), r + (k >> 1));
    }
    bool seen = !map.pFOWBuffer;
    for (int k = 0; k < 4 && !seen; ++k)
        seen = FOWValue(c + (k & 1), r + (k >> 1)) >= 0;
    const DecalData* decal = nullptr;
    if (cell.DecalIndex && m.pDecals && (cell.DecalIndex > m.LastFOWDecal || seen))
        decal = &m.pDecals[cell.DecalIndex - 1];
    const float w = float(m.TileWidth);
    const CVector centre(m.Origin.x + (c + 0.5f) * w, m.Origin.y + (r + 0.5f) * w, 0);
    BatchEntry key = {topAsBase,
                      int(TileMaterial(base)),
                      top ? int(TileMaterial(top)) : -1,
                      decal ? int(TileMaterial(decal->DecalTile)) : 255,
                      int(TileNumber(base)),
                      top ? int(TileNumber(top)) : -1,
                      decal ? int(TileNumber(decal->DecalTile)) : -1,
                      CLightTree::The().FindLightSet(viewport, centre),
                      nullptr,
                      nullptr};
    BatchEntry* entry = FindEntry(key, decal);
    TerrainBlock* block = entry->Block;
    if (!block)
        return;
    float layers[3][4][2] = {};
    int count = 0;
    const bool baseFlip = cell.Flags & (topAsBase ? rhu::BACKGROUND_FLIP_UV_TOP : rhu::BACKGROUND_FLIP_UV_BASE);
    TileCoordinates(base, baseFlip, layers[count++]);
    if (top)
        TileCoordinates(top, cell.Flags & rhu::BACKGROUND_FLIP_UV_TOP, layers[count++]);
    if (decal)
        TileCoordinates(decal->DecalTile, decal->Flags & rhu::DECAL_FLIP_UV, layers[count++]);
    const unsigned short first = block->Vertices;
    for (int k = 0; k < 4; ++k) {
        const RowVertex& v = *corners[k];
        TerrainVertex& out = block->pVertexWrite[block->Vertices++];
        out = TerrainVertex{v.x, v.y, v.z, v.nx, v.ny, v.nz, colours[k], {}};
        for (int l = 0; l < 3; ++l) {
            out.uv[l][0] = layers[l][k][0];
            out.uv[l][1] = layers[l][k][1];
        }
    }
    static const unsigned short kSplit[6] = {0, 1, 3, 0, 3, 2}, kPlain[6] = {0, 1, 2, 1, 3, 2};
    const unsigned short* order = (cell.Flags & rhu::BACKGROUND_FLIP_SPLIT) ? kSplit : kPlain;
    unsigned short* indices = block->pIndexWrite + 3 * block->Triangles;
    for (int i = 0; i < 6; ++i)
        indices[i] = static_cast<unsigned short>(first + order[i]);
    block->Triangles += 2;
    ++CTerrainDraw::LastQuads;
    if (block->Vertices >= 4 * CTerrainDraw::kBlockQuads) {
        Submit(*entry);
        entry->Block = device.NextTerrainBlock();
    }
}

void MapDrawer::Run()
{
    if (!VisibleRegion())
        return;
    for (Bucket& bucket : buckets)
        bucket.Count = 0;
    auto unionOf = [](const Span& a, const Span& b) {
        if (a.Left >= a.End)
            return b;
        if (b.Left >= b.End)
            return a;
        return Span{std::min(a.Left, b.Left), std::max(a.End, b.End)};
    };
    int current = 0;
    BuildRow(rows[current], lowRow, spans[lowRow].Left, spans[lowRow].End);
    for (int r = lowRow; r <= highRow; ++r) {
        const Span next = r < highRow ? unionOf(spans[r], spans[r + 1]) : spans[r];
        BuildRow(rows[1 - current], r + 1, next.Left, next.End);
        for (int c = spans[r].Left; c < spans[r].End; ++c)
            DrawQuad(c, r, rows[current], rows[1 - current]);
        current = 1 - current;
    }
    FlushAll();
}

} // namespace

void CTerrainDraw::Draw(CRendMap& map, const Material* overrides)
{
    LastQuads = LastBatches = LastSubmits = 0;
    if (map.IsEmpty() || !CRenderer::GetDevice().GetDevice())
        return;
    MapDrawer(map, overrides).Run();
}
