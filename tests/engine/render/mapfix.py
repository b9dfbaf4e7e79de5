#!/usr/bin/env python3
"""Writes packed data files holding terrain maps for the terrain tests, byte by byte from the
record layouts, and the answers an independent computation gives for them: ground heights at
chosen points (the plane through the corners of the triangle under the point) and the first
hit of chosen segments with the ground (found by stepping along the segment and halving).

Usage: mapfix.py OUTDIR
Writes OUTDIR/terrain.zel, the damaged maps OUTDIR/mapbad_*.zel and OUTDIR/terrain_expect.txt.
"""
import random
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "zel"))
from zelfix import Block, name_key, zel_file  # noqa: E402

WIDTH, HEIGHT, TILE_WIDTH = 32, 32, 2
ORIGIN = (10.0, 20.0, 0.0)
TEXTURES = 3
SPLIT = 8
CELL = struct.Struct("<BBhIII")
MATERIAL_SIZE = 92


def make_grid(seed):
    rng = random.Random(seed)
    heights = [[rng.randint(-160, 480) for _ in range(WIDTH)] for _ in range(HEIGHT)]
    splits = [[rng.random() < 0.5 for _ in range(WIDTH)] for _ in range(HEIGHT)]
    tiles = [[rng.randrange(TEXTURES) | 0x88000000 | (rng.randrange(16) << 12) for _ in range(WIDTH)]
             for _ in range(HEIGHT)]
    return heights, splits, tiles


def corner(heights, c, r):
    return (float(c), float(r), heights[r][c] / 16.0)


def ground(heights, splits, x, y):
    """World height under (x, y), the point taken inside the grid."""
    fx = (x - ORIGIN[0]) / TILE_WIDTH
    fy = (y - ORIGIN[1]) / TILE_WIDTH
    c = min(max(int(fx), 0), WIDTH - 2)
    r = min(max(int(fy), 0), HEIGHT - 2)
    u, v = fx - c, fy - r
    a, b = corner(heights, c, r), corner(heights, c + 1, r)
    cc, d = corner(heights, c, r + 1), corner(heights, c + 1, r + 1)
    if splits[r][c]:
        tri = (a, b, d) if u > v else (a, d, cc)
    else:
        tri = (a, b, cc) if u + v < 1 else (b, d, cc)
    return plane_z(tri, c + u, r + v)


def plane_z(tri, px, py):
    (x1, y1, z1), (x2, y2, z2), (x3, y3, z3) = tri
    det = (y2 - y3) * (x1 - x3) + (x3 - x2) * (y1 - y3)
    l1 = ((y2 - y3) * (px - x3) + (x3 - x2) * (py - y3)) / det
    l2 = ((y3 - y1) * (px - x3) + (x1 - x3) * (py - y3)) / det
    return l1 * z1 + l2 * z2 + (1 - l1 - l2) * z3


def first_hit(heights, splits, start, end):
    """Fraction of the first point of the segment at or below the ground, or -1."""
    def inside(t):
        x = start[0] + t * (end[0] - start[0])
        y = start[1] + t * (end[1] - start[1])
        return (ORIGIN[0] < x < ORIGIN[0] + TILE_WIDTH * (WIDTH - 1) and
                ORIGIN[1] < y < ORIGIN[1] + TILE_WIDTH * (HEIGHT - 1))

    def below(t):
        x = start[0] + t * (end[0] - start[0])
        y = start[1] + t * (end[1] - start[1])
        z = start[2] + t * (end[2] - start[2])
        return z <= ground(heights, splits, x, y)

    steps = 20000
    for i in range(steps + 1):
        t = i / steps
        if inside(t) and below(t):
            if i == 0:
                return 0.0
            lo, hi = (i - 1) / steps, t
            for _ in range(40):
                mid = (lo + hi) / 2
                if inside(mid) and below(mid):
                    hi = mid
                else:
                    lo = mid
            return hi
    return -1.0


def map_file(heights, splits, tiles, export, row_size=None, map_height=HEIGHT, bad_tile=False, use_split=True):
    b = Block()
    data = b.segments[0]
    # The decal tile set first: the records right behind the tile set are then no textures.
    decal_textures = b.record("CRendTexture", struct.pack("<II", 0, 0))
    textures = [b.record("CRendTexture", struct.pack("<II", 0, 0)) for _ in range(TEXTURES)]
    cells = bytearray()
    for r in range(HEIGHT):
        for c in range(WIDTH):
            tile = tiles[r][c]
            if bad_tile and (r, c) == (5, 7):
                tile = (tile & ~0xFFF) | TEXTURES
            decal = 1 if (r, c) == (3, 3) else 0
            cells += CELL.pack(SPLIT if splits[r][c] else 0, decal, heights[r][c], tile, 0, 0)
    cells_at = data.add(bytes(cells))
    materials_at = data.add(bytes(16 * MATERIAL_SIZE))
    decals_at = data.add(struct.pack("<BBBBI", 0, 2, 2, 0, 0x88000000) + struct.pack("<BBBBI", 0, 0, 2, 0, 0x88000000))
    borders_at = data.add(struct.pack("<IHH", 1, 2, 9) + struct.pack("<IHH", 0, 0, 0))
    flat = [h for row in heights for h in row]
    batch = struct.pack("<I3fHHHHHHfIff", 1 if use_split else 0, *ORIGIN, WIDTH, map_height, CELL.size, 0, 0,
                        TILE_WIDTH, 1.0 / TILE_WIDTH,
                        WIDTH * CELL.size if row_size is None else row_size, max(flat) / 16.0, min(flat) / 16.0)
    batch += struct.pack("<IHHII", 0, 1, 0, 0, 0)       # pMapCells, sets, default, pMaterialList, pTextures
    batch += struct.pack("<HBBIII", 0, 0, 0, 0, 0, 0)   # LastFOWDecal, decal sets, decal lists, decals
    batch += bytes(52) + struct.pack("<III", 0, 0, 0)   # VBatch, ViewportData, CameraMask, borders
    assert len(batch) == 140
    record = b.record("CRendMap", struct.pack("<Ii", 0, 0) + batch + struct.pack("<I", 0), export=export)
    base = record + 4 + 8  # the batch, after the table pointer, the FOW pointer and stride
    b.pointer(base + 44, cells_at)
    b.pointer(base + 52, materials_at)
    b.pointer(base + 56, textures[0])
    b.pointer(base + 68, decal_textures)
    b.pointer(base + 72, decals_at)
    b.pointer(base + 136, borders_at)
    return zel_file([("PCX ", b)])


def expectations(heights, splits):
    rng = random.Random(7)
    lines = []
    x1, y1 = ORIGIN[0] + TILE_WIDTH * (WIDTH - 1), ORIGIN[1] + TILE_WIDTH * (HEIGHT - 1)
    for _ in range(200):
        x, y = rng.uniform(ORIGIN[0], x1), rng.uniform(ORIGIN[1], y1)
        lines.append("height %.6f %.6f %.6f" % (x, y, ground(heights, splits, x, y)))
    for _ in range(60):
        # Ends well inside and starts high: a segment that comes in over the edge is still far
        # above the ground there, so its first contact is with the surface, not the map's side.
        start = (rng.uniform(ORIGIN[0] - 10, x1 + 10), rng.uniform(ORIGIN[1] - 10, y1 + 10), rng.uniform(300, 400))
        end = (rng.uniform(ORIGIN[0] + 10, x1 - 10), rng.uniform(ORIGIN[1] + 10, y1 - 10), rng.uniform(-20, 0))
        lines.append("ray %.6f %.6f %.6f %.6f %.6f %.6f %.6f" % (*start, *end, first_hit(heights, splits, start, end)))
    # Segments wholly above the ground, and one wholly beside the map.
    lines.append("ray %.6f %.6f 60 %.6f %.6f 60 -1" % (ORIGIN[0] + 1, ORIGIN[1] + 1, x1 - 1, y1 - 1))
    lines.append("ray 0 0 10 5 5 -10 -1")
    return "\n".join(lines) + "\n"


def main(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    heights, splits, tiles = make_grid(22)
    (out / "terrain.zel").write_bytes(map_file(heights, splits, tiles, "Terrain"))
    (out / "terrain_expect.txt").write_text(expectations(heights, splits))
    (out / "mapbad_tile.zel").write_bytes(map_file(heights, splits, tiles, "BadTile", bad_tile=True))
    (out / "mapbad_rows.zel").write_bytes(map_file(heights, splits, tiles, "BadRows", row_size=WIDTH * CELL.size + 4))
    (out / "mapbad_cells.zel").write_bytes(map_file(heights, splits, tiles, "BadCells", map_height=HEIGHT + 40))


if __name__ == "__main__":
    main(sys.argv[1])
