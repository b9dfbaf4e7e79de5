#!/usr/bin/env python3
"""Writes a map file of the map-authoring tool ("orvel" format, version 3) byte by byte, the
script that converts it, and the cell records the converter must write for it, worked out here
from the file's own bytes: tile words (tile index and corner weights 0, 0, 1, 1 in eighths)
and heights in sixteenths.

Usage: orvelfix.py OUTDIR [damaged]
Writes OUTDIR/landscape.map, OUTDIR/landscape.rhu and OUTDIR/landscape_expect.txt; with
"damaged", also the faulty map files wrongversion.map, truncated.map and hugesize.map.
"""
import random
import struct
import sys
from pathlib import Path

W, H = 5, 3
SCALE = 2
ONE_OVER_255 = struct.unpack("<f", struct.pack("<f", 0.003921569))[0]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def layer(rng, ground_zero, amplitude, tiles, words, heights, collisions):
    out = struct.pack("<BiI", ground_zero, amplitude, len(tiles))
    for colour in tiles:
        out += bytes(colour) * (32 * 32)  # blue, green, red, alpha per pixel
    out += b"".join(struct.pack("<I", w) for row in words for w in row)
    for row in heights:
        padded = bytes(row) + bytes((-len(row)) % 4)
        out += padded
    out += struct.pack("<I", collisions) + bytes(rng.randrange(256) for _ in range(9 * collisions))
    return out


def map_bytes(version=3):
    rng = random.Random(131)
    # Layer 1 is read past: give it other sizes of everything.
    junk_words = [[rng.randrange(1 << 32) for _ in range(W)] for _ in range(H)]
    junk_heights = [[rng.randrange(256) for _ in range(W + 1)] for _ in range(H + 1)]
    first = layer(rng, 9, 77, [(1, 2, 3, 4)] * 3, junk_words, junk_heights, 5)
    words = [[(x + y) % 2 | (rng.randrange(16) << 12) for x in range(W)] for y in range(H)]
    heights = [[rng.randrange(256) for _ in range(W + 1)] for _ in range(H + 1)]
    heights[0][0] = 255
    second = layer(rng, 2, 10, [(0, 0, 255, 255), (0, 255, 0, 255)], words, heights, 2)
    return struct.pack("<III", version, W, H) + first + second, words, heights


def expectations(words, heights):
    lines = ["size %d %d %d" % (W + 1, H + 1, SCALE)]
    sixteenths = []
    for y in range(H + 1):
        for x in range(W + 1):
            height = f32(heights[y][x] * 10 * ONE_OVER_255 - 2)
            sixteenths.append(height)
            tile = words[y][x] & 0xFFF if x < W and y < H else 0
            word = tile | (8 << 20) | (8 << 28)
            lines.append("cell %d %d %d %d" % (x, y, int(height * 16), word))
    lines.append("range %r %r" % (min(sixteenths), max(sixteenths)))
    return "\n".join(lines) + "\n"


def main(out, damaged=False):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    data, words, heights = map_bytes()
    (out / "landscape.map").write_bytes(data)
    (out / "landscape.rhu").write_text("Map Landscape %d landscape.map\n" % SCALE)
    (out / "landscape_expect.txt").write_text(expectations(words, heights))
    if damaged:
        (out / "wrongversion.map").write_bytes(map_bytes(version=4)[0])
        (out / "truncated.map").write_bytes(data[:len(data) // 2])
        (out / "hugesize.map").write_bytes(struct.pack("<III", 3, 5000, 2) + data[12:])


if __name__ == "__main__":
    main(sys.argv[1], len(sys.argv) > 2 and sys.argv[2] == "damaged")
