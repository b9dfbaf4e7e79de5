#include "engine/render/MapDecal.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/include/RhuTypes.h"
#include "engine/render/CLightTree.h"
#include "engine/render/CRendMap.h"
#include "engine/render/CRenderer.h"
#include "engine/render/Camera.h"
#include "engine/render/Material.h"
#include "engine/render/PrimBatch.h"
#include "engine/render/SpriteQuads.h"

namespace {

struct DecalStyle {
    int Mode = 0;
    bool Additive = false;
    int Value = 0;
    CVector4 Colour = CVector4(1, 1, 1, 1);
    const Material* pMaterial = nullptr;
} Style;

struct OpenDecal {
    CRendMap* pMap = nullptr;
    int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    CMatrix World;
} Open;

CVector4 Scaled(const CVector& c, const CVector4& by, float w)
{
    return CVector4(c.x * by.x, c.y * by.y, c.z * by.z, w);
}

// The decal's draw state: cell coordinates scaled to the map's tiles and moved to its origin.
DrawState* DecalState(const BackgroundBatch& m)
{
    CMatrix world;
    world.SetIdentity();
    world.m0 = world.m5 = float(m.TileWidth);
    world.m12 = m.Origin.x;
    world.m13 = m.Origin.y;
    PushLoadMatrix(world);
    DrawState* state = CRenderer::GetDevice().NewState();
    PopMatrix();
    if (!state)
        return nullptr;
    const Material& material = Style.pMaterial ? *Style.pMaterial : DefaultStageRecord();
    state->C(1) = CVector4(1, 0, 0, 0);
    state->C(16) = Scaled(material.Diffuse, Style.Colour, 1.0f);
    state->C(17) = Scaled(material.Ambient, Style.Colour, 1.0f);
    state->C(18) = Scaled(material.Emissive, Style.Colour, material.Alpha * Style.Colour.w);
    state->MaterialAlpha = material.Alpha * Style.Colour.w;
    state->pTexture = DeviceTextureOf(material.pTexture);
    state->RenderFlags =
        (DRAW_DEPTH_TEST | (Style.Additive ? DRAW_ADDITIVE : DRAW_ALPHA_BLEND)) & CRenderer::GetRenderMask();
    return state;
}

} // namespace

void SetMapDecalStyle(int mode, unsigned flags, const CVector4* colour, int value, const Material* material)
{
    if (colour)
        TracePrimitiveCall("SetMapDecalStyle %d %u %d %.3f %.3f %.3f %.3f", mode, flags, value, double(colour->x),
                           double(colour->y), double(colour->z), double(colour->w));
    Style.Mode = mode;
    Style.Additive = (flags & 1) != 0;
    Style.Value = value;
    Style.Colour =
        colour ? CVector4(colour->x / 255, colour->y / 255, colour->z / 255, colour->w / 255) : CVector4(1, 1, 1, 1);
    Style.pMaterial = material;
}

void BeginMapDecal(CRendMap* map, int x0, int y0, int x1, int y1, const CMatrix& world)
{
    TracePrimitiveCall("BeginMapDecal %d %d %d %d uv %.3f %.3f %.3f %.3f %.3f %.3f", x0, y0, x1, y1, double(world.m0),
                       double(world.m4), double(world.m12), double(world.m1), double(world.m5), double(world.m13));
    Open.pMap = nullptr;
    if (!map || map->IsEmpty())
        return;
    const BackgroundBatch& m = map->Map;
    const bool inside = x0 >= 0 && y0 >= 0 && x1 < m.MapWidth && y1 < m.MapHeight;
    const bool small = x1 - x0 < kMaxDecalSpan && y1 - y0 < kMaxDecalSpan;
    if (!inside || !small || x1 <= x0 || y1 <= y0)
        return;
    Open = OpenDecal{map, x0, y0, x1, y1, world};
}

void EndMapDecal()
{
    TracePrimitiveCall("EndMapDecal");
    CRendMap* map = Open.pMap;
    Open.pMap = nullptr;
    if (!map)
        return;
    const BackgroundBatch& m = map->Map;
    const int columns = Open.X1 - Open.X0 + 1, rows = Open.Y1 - Open.Y0 + 1;
    const int cellColumns = columns - 1, cells = (columns - 1) * (rows - 1);
    CRenderDevice& device = CRenderer::GetDevice();
    VertexPNT* vertices = static_cast<VertexPNT*>(device.AllocState(sizeof(VertexPNT) * unsigned(columns * rows)));
    unsigned short* indices =
        static_cast<unsigned short*>(device.AllocState(sizeof(unsigned short) * 6u * unsigned(cells)));
    DecalPiece* pieces = static_cast<DecalPiece*>(device.AllocState(sizeof(DecalPiece) * unsigned(cells)));
    DecalEntry* entry = device.AllocDecal(1);
    DrawState* state = DecalState(m);
    if (!vertices || !indices || !pieces || !entry || !state)
        return; // the frame starts again with larger buffers

    const CMatrix& t = Open.World;
    const float tile = float(m.TileWidth);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const BasicCell& cell = map->Cell(Open.X0 + c, Open.Y0 + r);
            const float cx = float(Open.X0 + c), cy = float(Open.Y0 + r);
            const float wx = cx * tile + m.Origin.x, wy = cy * tile + m.Origin.y;
            const unsigned long n = cell.VertNormal;
            VertexPNT& v = vertices[r * columns + c];
            v.x = cx;
            v.y = cy;
            // Just above the ground, so the decal wins the depth test against it.
            v.z = cell.Height / 16.0f + 0.00125f + WorldShear.At(wx, wy);
            v.nx = float(static_cast<signed char>(n & 0xFF)) / 127;
            v.ny = float(static_cast<signed char>((n >> 8) & 0xFF)) / 127;
            v.nz = float(static_cast<signed char>((n >> 16) & 0xFF)) / 127;
            v.u = wx * t.m0 + wy * t.m4 + t.m12;
            v.v = wx * t.m1 + wy * t.m5 + t.m13;
        }

    // Cells in runs of one light set, each run one piece.
    struct Lit {
        int Cell;
        const CLightSet* Set;
    };
    std::vector<Lit> lit;
    lit.reserve(size_t(cells));
    for (int i = 0; i < cells; ++i) {
        const VertexPNT& corner = vertices[(i / cellColumns) * columns + i % cellColumns];
        const CVector at(corner.x * tile + m.Origin.x, corner.y * tile + m.Origin.y, corner.z);
        lit.push_back(Lit{i, CLightTree::The().FindLightSet(GetCurrentViewport(), at)});
    }
    std::stable_sort(lit.begin(), lit.end(), [](const Lit& a, const Lit& b) { return a.Set < b.Set; });

    DecalPiece* previous = nullptr;
    int pieceCount = 0;
    unsigned short* write = indices;
    for (size_t i = 0; i < lit.size();) {
        DecalPiece& piece = pieces[pieceCount++];
        piece = DecalPiece{lit[i].Set, vertices, write, 0, static_cast<unsigned short>(columns * rows), nullptr};
        for (; i < lit.size() && lit[i].Set == piece.pLightSet; ++i) {
            const int c = lit[i].Cell % cellColumns, r = lit[i].Cell / cellColumns;
            const unsigned short a = static_cast<unsigned short>(r * columns + c), b = a + 1;
            const unsigned short d = static_cast<unsigned short>(a + columns), e = d + 1;
            // The cell's split bit chooses the diagonal, as the terrain itself is split.
            const bool flip = map->Cell(Open.X0 + c, Open.Y0 + r).Flags & rhu::BACKGROUND_FLIP_SPLIT;
            const unsigned short split[2][6] = {{a, b, d, b, e, d}, {a, b, e, a, e, d}};
            std::memcpy(write, split[flip ? 1 : 0], sizeof split[0]);
            write += 6;
            ++piece.Cells;
        }
        if (previous)
            previous->pNext = &piece;
        else
            state->pDecalPieces = &piece;
        previous = &piece;
    }
    *entry = DecalEntry{float(Style.Mode), static_cast<unsigned long>(Style.Value), state};
}
