#!/usr/bin/env python3
"""Writes the demo game's art into a folder: "checker.tga", a 64 by 64 checkerboard of 8-pixel
squares in two blues with a soft white ring whose edge fades out in alpha (plain uncompressed
32-bit TGA, top-down rows); and "block.lwo", a LightWave object of a stepped block (a wide
base and a narrower tower on it, the tower's faces showing "stone.tga", a 64 by 64 wall of
courses of stones, luminous enough to be seen unlit), written by the project's LightWave writer; "unit.lwo", a
small stone post, the fog level's walking unit; and a small figure: "limb.lwo", a box, and "figure.lws", a LightWave scene (version 3)
of a torso with two arms made of it, swinging over one second, with an attach point for a hand
and a step event; "terrain.map", a map file of the map tool: hills of four speckled tiles
round a flat middle; "chime.wav", a decaying major chord (22,050 Hz 16-bit mono) for the menu's
sound; and "demo_font.tga", the strip of the demo's 5 by 7 pixel font (codes 44 to 90: ", - . /",
the digits, ":", six skipped codes and the capitals), white glyphs on transparent cells
between magenta separators, framed by the strip's control marks.

usage: demo_art.py FOLDER"""
import math
import os
import struct
import sys
import wave

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


def unit_spec():
    """The fog level's unit: a stone post 1.2 units wide and 2.5 high, luminous enough to be seen
    on the unlit fog level."""
    points, polys, surf, uvs = [], [], [], []
    textured_box(points, polys, surf, uvs, 0, (-0.6, 0, -0.6), (0.6, 2.5, 0.6), 1)
    return {"surfaces": ["Unit"], "colours": {"Unit": (1.0, 0.3, 0.2)}, "clips": ["stone.tga"],
            "images": {"Unit": 1}, "luminous": {"Unit": 1.0},
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


TERRAIN_TILES = 24


def terrain_tile(base, seed):
    """A 32 by 32 tile of the colour with a speckle, as blue, green, red, alpha bytes."""
    out = bytearray()
    state = seed
    for _ in range(32 * 32):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        shade = (state >> 16) % 41 - 20
        r, g, b = (max(0, min(255, c + shade)) for c in base)
        out += bytes((b, g, r, 255))
    return bytes(out)


def terrain_height(x, y):
    """Rolling hills round a flat middle where the demo's block stands, in height-map bytes."""
    centre = TERRAIN_TILES / 2
    distance = math.hypot(x - centre, y - centre)
    hills = 0.5 + 0.5 * math.sin(x * 0.45) * math.cos(y * 0.35)
    rise = min(1.0, max(0.0, (distance - 3.0) / 6.0))
    return int(255 * hills * rise)


def terrain_map():
    """A map file of the map tool: a first layer the converter reads past, then the second
    with four tiles (grass, dry grass, rock, sand), a tile per cell by height and a height map
    of amplitude 8 units."""
    w = h = TERRAIN_TILES
    heights = [[terrain_height(x, y) for x in range(w + 1)] for y in range(h + 1)]

    def layer(tiles, words, rows):
        out = struct.pack("<BiI", 0, 8, len(tiles)) + b"".join(tiles)
        out += b"".join(struct.pack("<I", word) for row in words for word in row)
        for row in rows:
            out += bytes(row) + bytes((-len(row)) % 4)
        return out + struct.pack("<I", 0)

    flat = [[0] * (w + 1) for _ in range(h + 1)]
    first = layer([], [[0] * w for _ in range(h)], flat)
    tiles = [terrain_tile(c, i + 7) for i, c in enumerate([(70, 140, 60), (150, 150, 70), (120, 110, 100),
                                                            (200, 180, 120)])]
    words = [[min(3, (heights[y][x] + heights[y + 1][x + 1]) // 130) if (x + y) % 7 else 1 for x in range(w)]
             for y in range(h)]
    for y in range(h):
        for x in range(w):
            if heights[y][x] == 0:
                words[y][x] = 3
    return struct.pack("<III", 3, w, h) + first + layer(tiles, words, heights)


# The 5 by 7 glyphs, one string of seven rows per character ("#" is ink).
GLYPHS = {
    ",": ["     ", "     ", "     ", "     ", "  ## ", "   # ", "  #  "],
    "-": ["     ", "     ", "     ", "#####", "     ", "     ", "     "],
    ".": ["     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "],
    "/": ["    #", "   # ", "   # ", "  #  ", " #   ", " #   ", "#    "],
    "0": [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    "1": ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "2": [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    "3": ["#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "],
    "4": ["   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "],
    "5": ["#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "],
    "6": ["  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "],
    "7": ["#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "],
    "8": [" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "],
    "9": [" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "],
    ":": ["     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "],
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": [" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "J": ["  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "],
    "K": ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "W": ["#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "],
    "X": ["#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
}
FONT_FIRST, FONT_LAST = 44, 90


def tga(width, height, pixels):
    """An uncompressed 32-bit TGA, rows top-down, of (red, green, blue, alpha) pixels."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8 | 0x20)
    return header + b"".join(bytes((b, g, r, a)) for r, g, b, a in pixels)


def font_strip():
    """The glyphs left to right, each a 5-column cell with one magenta separator column after
    it; a code without a glyph is a one-column red mark. Round the strip: a magenta frame (the
    bound colour), a blue control background, and the colour key (magenta) at the top left."""
    background, cell, mark = (0, 0, 255, 255), (255, 0, 255, 255), (255, 0, 0, 255)
    columns = []
    for code in range(FONT_FIRST, FONT_LAST + 1):
        glyph = GLYPHS.get(chr(code))
        if glyph is None:
            columns.append([mark] * 7)
        else:
            for x in range(5):
                columns.append([(255, 255, 255, 255) if row[x] == "#" else (0, 0, 0, 0) for row in glyph])
        columns.append([cell] * 7)
    width, height = len(columns) + 6, 7 + 6
    pixels = [background] * (width * height)
    for y in range(2, height - 2):
        for x in range(2, width - 2):
            pixels[y * width + x] = cell
    for x, column in enumerate(columns):
        for y, pixel in enumerate(column):
            pixels[(y + 3) * width + x + 3] = pixel
    pixels[0] = cell
    return tga(width, height, pixels)


def chime(path, rate=22050, seconds=0.6):
    frames = []
    for i in range(int(rate * seconds)):
        t = i / rate
        level = math.exp(-5.0 * t) * min(1.0, t * 200.0)
        v = sum(math.sin(2 * math.pi * f * t) for f in (523.25, 659.25, 783.99)) / 3.0
        frames.append(int(round(12000 * level * v)))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(struct.pack("<%dh" % len(frames), *frames))


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "terrain.map"), "wb") as out:
        out.write(terrain_map())
    with open(os.path.join(folder, "checker.tga"), "wb") as out:
        out.write(checker())
    with open(os.path.join(folder, "stone.tga"), "wb") as out:
        out.write(stone())
    make_lwo.write(os.path.join(folder, "block.lwo"), block_spec())
    make_lwo.write(os.path.join(folder, "unit.lwo"), unit_spec())
    make_lwo.write(os.path.join(folder, "limb.lwo"), limb_box(0.2, 1.0))
    with open(os.path.join(folder, "figure.lws"), "w") as out:
        out.write(figure())
    chime(os.path.join(folder, "chime.wav"))
    with open(os.path.join(folder, "demo_font.tga"), "wb") as out:
        out.write(font_strip())


if __name__ == "__main__":
    main()
