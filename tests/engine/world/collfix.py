#!/usr/bin/env python3
"""Writes packed data files of collision blocks for the collision tests, byte by byte from the
record layouts: a 12-byte block header (plotting centre, then the plotting radius whose low five
bits are the collision categories) followed by shape records, each a typed record of its own.

Usage: collfix.py OUTDIR
"""
import math
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "zel"))
from zelfix import Block, name_key, zel_file  # noqa: E402

VOLUME, CYLINDER, SPHERE = 0, 1, 2
HEADER_SIZE, VOLUME_SIZE, CYLINDER_SIZE, SPHERE_SIZE, ENDPOINT_SIZE = 12, 48, 28, 24, 16


def radius_and_flags(radius, flags):
    word = struct.unpack("<I", struct.pack("<f", radius))[0]
    return struct.pack("<I", (word & ~0x1F) | flags)


def sphere(offset, radius, kind=SPHERE):
    return ("CSphereCollision", kind, SPHERE_SIZE, struct.pack("<3ff", *offset, radius))


def cylinder(x, y, top, bottom, radius):
    return ("CCylinderCollision", CYLINDER, CYLINDER_SIZE, struct.pack("<5f", x, y, top, bottom, radius))


def volume(points, top, bottom, count=None):
    """A convex loop given counter-clockwise. Like the converter, each vertex carries the outward
    normal of the edge to the next one, and a closing copy of the first point follows."""
    n = len(points)
    cx = sum(p[0] for p in points) / n
    cy = sum(p[1] for p in points) / n
    radius = max(math.hypot(p[0] - cx, p[1] - cy) for p in points)
    body = struct.pack("<3f3f3fi", cx, cy, radius, *top, *bottom, n if count is None else count)
    for i, p in enumerate(points):
        q = points[(i + 1) % n]
        nx, ny = q[1] - p[1], p[0] - q[0]
        length = math.hypot(nx, ny)
        body += struct.pack("<4f", p[0], p[1], nx / length, ny / length)
    body += struct.pack("<4f", points[0][0], points[0][1], 0.0, 0.0)
    return ("CSimpleVolCollision", VOLUME, VOLUME_SIZE + ENDPOINT_SIZE * (n + 1), body)


def block(b, name, plot, radius, flags, shapes, sizes=None):
    """The header, exported under the name, and the chain; sizes overrides the next offsets."""
    where = b.segments[0].add(struct.pack("<2f", *plot) + radius_and_flags(radius, flags))
    b.publ.append((name_key(name), where))
    for i, (cls, kind, size, body) in enumerate(shapes):
        following = 0 if i == len(shapes) - 1 else size
        if sizes is not None:
            following = sizes[i]
        b.record(cls, struct.pack("<HBB", following, kind, 0) + body)


SQUARE = [(1, -1), (1, 1), (-1, 1), (-1, -1)]


def shapes_file():
    b = Block()
    block(b, "Ball", (0, 0), 1.0, 3, [sphere((0, 0, 0), 1.0)])
    block(b, "RaisedBall", (0, 0), 1.0, 16, [sphere((0, 0, 5), 1.0)])
    block(b, "OffsetBall", (2, 0), 2.5, 2, [sphere((2, 0, 1), 0.5)])
    block(b, "Post", (0, 0), 1.0, 2, [cylinder(0, 0, 2, 0, 1.0)])
    block(b, "OffsetPost", (1, 0), 1.5, 2, [cylinder(1, 0, 1, -1, 0.5)])
    block(b, "Box", (0, 0), 1.5, 7, [volume(SQUARE, (2, 0.5, 0), (0, 0, 0))])
    dodecagon = [(2 * math.cos(math.radians(30 * k)), 2 * math.sin(math.radians(30 * k))) for k in range(12)]
    block(b, "Dodecagon", (0, 0), 2.0, 1, [volume(dodecagon, (1, 0, 0), (0, 0, 0))])
    block(b, "Mixed", (0, 0), 5.0, 2, [volume(SQUARE, (2, 0, 0), (0, 0, 0)), sphere((4, 0, 0), 1.0)])
    block(b, "OddShape", (0, 0), 1.0, 2, [sphere((0, 0, 0), 1.0, kind=3)])
    return zel_file([("PCX ", b)])


def damaged_file():
    b = Block()
    # The first shape's next offset points back inside itself: the second is never reached.
    block(b, "Overlap", (0, 0), 1.0, 2, [sphere((0, 0, 0), 1.0), sphere((6, 0, 0), 1.0)], sizes=[8, 0])
    # The next offset runs far past the end of the file.
    block(b, "Runaway", (0, 0), 1.0, 2, [cylinder(0, 0, 1, 0, 1.0)], sizes=[0xFFF0])
    block(b, "Negative", (0, 0), 1.0, 2, [volume(SQUARE, (1, 0, 0), (0, 0, 0), count=-3)])
    # Last in the file: it claims far more vertices than the file holds.
    block(b, "Endless", (0, 0), 1.0, 2, [volume(SQUARE, (1, 0, 0), (0, 0, 0), count=1000)])
    return zel_file([("PCX ", b)])


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: collfix.py OUTDIR")
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "shapes.zel").write_bytes(shapes_file())
    (out / "damaged.zel").write_bytes(damaged_file())
