#!/usr/bin/env python3
"""Writes the demo menu's art into the given folder: "menu.tga", a 128 by 128 sheet of a
hand-drawn 5 by 7 pixel font (capitals, digits and a little punctuation, white on clear, one 8
by 8 cell a character) and a solid white cell, which master.rhu converts into the texture
"MenuSheet"; and "menu.zel", which master.rhu loads with LoadZel: the font "MenuText" and the
sprites "MenuButton" (200 by 36) and "MenuBanner" (400 by 60), plain panels cut from the white
cell that the menu tints with its colours.

The converter's font and sprite commands are not built yet, so the records are written directly
with the project's own packed data writer; small letters are drawn with the capitals' glyphs.

Usage: demo_menu.py OUTDIR
"""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "engine" / "zel"))
import zelfix  # noqa: E402  the project's own packed data writer

GLYPHS = {
    "A": ".###.|#...#|#...#|#####|#...#|#...#|#...#", "B": "####.|#...#|#...#|####.|#...#|#...#|####.",
    "C": ".###.|#...#|#....|#....|#....|#...#|.###.", "D": "####.|#...#|#...#|#...#|#...#|#...#|####.",
    "E": "#####|#....|#....|####.|#....|#....|#####", "F": "#####|#....|#....|####.|#....|#....|#....",
    "G": ".###.|#...#|#....|#.###|#...#|#...#|.####", "H": "#...#|#...#|#...#|#####|#...#|#...#|#...#",
    "I": ".###.|..#..|..#..|..#..|..#..|..#..|.###.", "J": "..###|...#.|...#.|...#.|...#.|#..#.|.##..",
    "K": "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#", "L": "#....|#....|#....|#....|#....|#....|#####",
    "M": "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#", "N": "#...#|##..#|#.#.#|#..##|#...#|#...#|#...#",
    "O": ".###.|#...#|#...#|#...#|#...#|#...#|.###.", "P": "####.|#...#|#...#|####.|#....|#....|#....",
    "Q": ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#", "R": "####.|#...#|#...#|####.|#.#..|#..#.|#...#",
    "S": ".####|#....|#....|.###.|....#|....#|####.", "T": "#####|..#..|..#..|..#..|..#..|..#..|..#..",
    "U": "#...#|#...#|#...#|#...#|#...#|#...#|.###.", "V": "#...#|#...#|#...#|#...#|#...#|.#.#.|..#..",
    "W": "#...#|#...#|#...#|#.#.#|#.#.#|##.##|#...#", "X": "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#",
    "Y": "#...#|#...#|.#.#.|..#..|..#..|..#..|..#..", "Z": "#####|....#|...#.|..#..|.#...|#....|#####",
    "0": ".###.|#...#|#..##|#.#.#|##..#|#...#|.###.", "1": "..#..|.##..|..#..|..#..|..#..|..#..|.###.",
    "2": ".###.|#...#|....#|...#.|..#..|.#...|#####", "3": "####.|....#|....#|.###.|....#|....#|####.",
    "4": "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.", "5": "#####|#....|####.|....#|....#|#...#|.###.",
    "6": ".###.|#....|#....|####.|#...#|#...#|.###.", "7": "#####|....#|...#.|..#..|.#...|.#...|.#...",
    "8": ".###.|#...#|#...#|.###.|#...#|#...#|.###.", "9": ".###.|#...#|#...#|.####|....#|....#|.###.",
    "-": ".....|.....|.....|#####|.....|.....|.....", ".": ".....|.....|.....|.....|.....|.##..|.##..",
    "!": "..#..|..#..|..#..|..#..|..#..|.....|..#..", ":": ".....|.##..|.##..|.....|.##..|.##..|.....",
    "?": ".###.|#...#|....#|...#.|..#..|.....|..#..", "'": "..#..|..#..|.#...|.....|.....|.....|.....",
}
SHEET, CELL = 128, 8
SOLID_CELL = SHEET // CELL * SHEET // CELL - 1  # the last cell of the sheet
SCALE = 2  # screen pixels a texel
SPACE, KERNING, HEIGHT, LEADING = 8, 2, 7 * SCALE, 20
NO_GLYPH = 0xFF


def cell_of(index):
    return (index % (SHEET // CELL)) * CELL, (index // (SHEET // CELL)) * CELL


def sheet(order):
    pixels = bytearray(SHEET * SHEET * 4)  # BGRA, all clear
    left, top = cell_of(SOLID_CELL)
    for y in range(top, top + CELL):
        for x in range(left, left + CELL):
            pixels[(y * SHEET + x) * 4:(y * SHEET + x) * 4 + 4] = b"\xff\xff\xff\xff"
    for index, char in enumerate(order):
        left, top = cell_of(index)
        for y, row in enumerate(GLYPHS[char].split("|")):
            for x, bit in enumerate(row):
                if bit == "#":
                    at = ((top + y) * SHEET + left + x) * 4
                    pixels[at:at + 4] = b"\xff\xff\xff\xff"
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, SHEET, SHEET, 32, 8 | 0x20)
    return header + bytes(pixels)


def add_batch(block, frames):
    """A sprite batch over the one sheet: its frames and its texture list placed in the block."""
    frames_at = block.segments[0].add(b"".join(frames))
    textures_at = block.segments[0].add(b"\0\0\0\0")
    block.extn.append((zelfix.name_key("MenuSheet"), textures_at))
    # SpriteBatch: flags (0x100 adds the render's position, 0x10 a screen sprite), counts, lists.
    return struct.pack("<IHHII", 0x110, len(frames), 1, 0, 0), frames_at, textures_at


def typed(block, cls, export, head, frames, tail=b""):
    payload, frames_at, textures_at = add_batch(block, frames)
    where = block.record(cls, head + payload + tail, export=export)
    base = where + 4 + len(head)
    block.pointer(base + 8, textures_at)
    block.pointer(base + 12, frames_at)


def frame(width, height, left, top, right, bottom):
    """SpriteFrame: extents in 1/16 pixel, texture coordinates in 1/4096 of the sheet."""
    return struct.pack("<HHhhhhhhhh", 0, 0, 0, width * 16, 0, height * 16, left * 4096 // SHEET,
                       right * 4096 // SHEET, top * 4096 // SHEET, bottom * 4096 // SHEET)


def menu_file(order):
    block = zelfix.Block()
    frames, table = [], [NO_GLYPH] * 256
    for index, char in enumerate(order):
        left, top = cell_of(index)
        frames.append(frame(5 * SCALE, 7 * SCALE, left, top, left + 5, top + 7))
        table[ord(char)] = index
        if char.isalpha():
            table[ord(char.lower())] = index
    head = struct.pack("<IiII", SPACE, KERNING, HEIGHT, LEADING)
    typed(block, "CzFont", "MenuText", head, frames, bytes(table))
    # The panels sample the middle of the white cell, clear of its neighbours.
    left, top = cell_of(SOLID_CELL)
    inner = (left + 2, top + 2, left + 6, top + 6)
    # CSprite after its batch: box frame -1 (each frame's own), box, animation, no attach points.
    tail = struct.pack("<i4iII", -1, 0, 0, 0, 0, 0, 0)
    typed(block, "CSprite", "MenuButton", b"", [frame(200, 36, *inner)], tail)
    typed(block, "CSprite", "MenuBanner", b"", [frame(400, 60, *inner)], tail)
    return zelfix.zel_file([("PCX ", block)])


def main(out):
    out.mkdir(parents=True, exist_ok=True)
    order = sorted(GLYPHS)
    (out / "menu.tga").write_bytes(sheet(order))
    (out / "menu.zel").write_bytes(menu_file(order))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: demo_menu.py OUTDIR")
    main(Path(sys.argv[1]))
