#!/usr/bin/env python3
"""Writes the demo game's art into a folder: "checker.tga", a 64 by 64 checkerboard of 8-pixel
squares in two blues with a soft white ring whose edge fades out in alpha (plain uncompressed
32-bit TGA, top-down rows); and "block.lwo", a LightWave object of a stepped block (a wide
base and a narrower tower on it, the tower's faces showing "stone.tga", a 64 by 64 wall of
courses of stones, luminous enough to be seen unlit), written by the project's LightWave writer; and a small figure: "limb.lwo", a box, and "figure.lws", a LightWave scene (version 3)
of a torso with two arms made of it, swinging over one second, with an attach point for a hand
and a step event.

usage: demo_art.py FOLDER"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "converter", "import3d"))
import make_lwo  # noqa: E402


def checker(size=64):
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            dark = ((x // 8) + (y // 8)) % 2
            red, green, blue = (30, 60, 140) if dark else (70, 130, 220)
            alpha = 255
            distance = math.hypot(x + 0.5 - size / 2, y + 0.5 - size / 2)
            ring = max(0.0, 1.0 - abs(distance - size * 0.3) / 4.0)
            red, green, blue = (round(c + (255 - c) * ring) for c in (red, green, blue))
            if distance > size / 2:
                alpha = max(0, 255 - round((distance - size / 2) * 40))
            row += bytes((blue, green, red, alpha))
        rows.append(bytes(row))
    # Image type 2 (true colour), 32 bits, 8 alpha bits, origin top-left (bit 5).
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, size, size, 32, 8 | 0x20)
    return header + b"".join(rows)


def stone(size=64):
    """Courses of stones 16 texels long and 8 high, every other course shifted by half a stone,
    with dark mortar between them and a little shading within each stone."""
    rows = []
    for y in range(size):
        row = bytearray()
        course, inside_y = divmod(y, 8)
        for x in range(size):
            shifted = (x + 8 * (course % 2)) % size
            inside_x = shifted % 16
            if inside_y == 0 or inside_x == 0:
                red, green, blue = (70, 60, 50)
            else:
                shade = 20 * ((shifted // 16 + course) % 3) - inside_y * 3
                red, green, blue = (190 + shade, 170 + shade, 130 + shade)
            row += bytes((blue, green, red, 255))
        rows.append(bytes(row))
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, size, size, 32, 8 | 0x20)
    return header + b"".join(rows)


def textured_box(points, polys, surf, uvs, surface, low, high, repeat):
    """An axis-aligned box of which every face has its own four corners, so that each face
    carries the whole image (repeat times up its height)."""
    (x0, y0, z0), (x1, y1, z1) = low, high
    corners = [[x0, y0, z0], [x1, y0, z0], [x1, y0, z1], [x0, y0, z1],
               [x0, y1, z0], [x1, y1, z0], [x1, y1, z1], [x0, y1, z1]]
    for face in ([0, 1, 2, 3], [4, 7, 6, 5], [0, 4, 5, 1], [1, 5, 6, 2], [2, 6, 7, 3], [3, 7, 4, 0]):
        base = len(points)
        points += [corners[i] for i in face]
        uvs += [[0, 0], [0, repeat], [1, repeat], [1, 0]]
        polys.append([base, base + 1, base + 2, base + 3])
        surf.append(surface)


def box(points, polys, surf, surface, low, high):
    """Six faces of an axis-aligned box in LightWave's axes (east, up, north), facing out."""
    (x0, y0, z0), (x1, y1, z1) = low, high
    base = len(points)
    points += [[x0, y0, z0], [x1, y0, z0], [x1, y0, z1], [x0, y0, z1],
               [x0, y1, z0], [x1, y1, z0], [x1, y1, z1], [x0, y1, z1]]
    for face in ([0, 1, 2, 3], [4, 7, 6, 5], [0, 4, 5, 1], [1, 5, 6, 2], [2, 6, 7, 3], [3, 7, 4, 0]):
        polys.append([base + i for i in face])
        surf.append(surface)


def block_spec():
    points, polys, surf = [], [], []
    box(points, polys, surf, 0, (-12, 0, -8), (12, 6, 8))
    # The plinth's corners carry no image: they are mapped to its corner.
    uvs = [[0, 0]] * len(points)
    textured_box(points, polys, surf, uvs, 1, (-5, 6, -4), (5, 20, 4), 2)
    return {"surfaces": ["Plinth", "Tower"], "colours": {"Plinth": (0.85, 0.55, 0.2), "Tower": (1.0, 1.0, 1.0)},
            "clips": ["stone.tga"], "images": {"Tower": 1}, "luminous": {"Tower": 0.8},
            "layers": [{"number": 0, "name": "", "points": points, "polys": polys, "surf": surf, "uv": uvs}]}


def limb_box(half_width, height):
    w = half_width
    points = [(x, y, z) for y in (0, height) for z in (-w, w) for x in (-w, w)]
    polys = [[0, 1, 3, 2], [4, 6, 7, 5], [0, 4, 5, 1], [2, 3, 7, 6], [0, 2, 6, 4], [1, 5, 7, 3]]
    return {"surfaces": ["Limb"], "colours": {"Limb": (0.9, 0.6, 0.3)},
            "layers": [{"points": points, "polys": polys, "surf": [0] * 6}]}


def envelope(keys, post=1):
    """keys: (value, time, span) with span 0 TCB, 3 linear."""
    text = "{ Envelope\n  %d\n" % len(keys)
    for value, time, span in keys:
        text += "  Key %g %g %d 0 0 0 0 0 0\n" % (value, time, span)
    return text + "  Behaviors 1 %d\n}\n" % post


def motion(channels, post=1):
    text = "ObjectMotion\nNumChannels 9\n"
    for c in range(9):
        text += "Channel %d\n" % c + envelope(channels.get(c, [(0, 0, 0)]), post if c == 0 else 1)
    return text


def figure():
    swing = [(-0.6, 0, 0), (0.6, 0.5, 0), (-0.6, 1, 0)]
    objects = [
        ("AddNullObject root_0_30", None, {}),
        ("LoadObjectLayer 1 limb.lwo", 0, {}),
        ("LoadObjectLayer 1 limb.lwo", 1, {0: [(-0.6, 0, 0)], 1: [(1.2, 0, 0)], 4: swing}),
        ("LoadObjectLayer 1 limb.lwo", 1, {0: [(0.6, 0, 0)], 1: [(1.2, 0, 0)], 4: [(-v, t, s) for v, t, s in swing]}),
        ("AddNullObject attach_hand", 2, {1: [(1.0, 0, 0)]}),
        ("AddNullObject event_15_15", 1, {}),
    ]
    text = "LWSC\n3\n\nFirstFrame 0\nLastFrame 30\nFrameStep 1\nFramesPerSecond 30\n\n"
    for line, parent, channels in objects:
        text += line + "\n"
        if parent is not None:
            text += "ParentItem %08X\n" % (0x10000000 | parent)
        text += motion(channels, 2 if parent is None else 1) + "ShadowOptions 7\n\n"
    return text


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "checker.tga"), "wb") as out:
        out.write(checker())
    with open(os.path.join(folder, "stone.tga"), "wb") as out:
        out.write(stone())
    make_lwo.write(os.path.join(folder, "block.lwo"), block_spec())
    make_lwo.write(os.path.join(folder, "limb.lwo"), limb_box(0.2, 1.0))
    with open(os.path.join(folder, "figure.lws"), "w") as out:
        out.write(figure())


if __name__ == "__main__":
    main()
