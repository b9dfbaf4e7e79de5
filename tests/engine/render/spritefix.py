#!/usr/bin/env python3
"""Writes the packed sprite, font and logo fixture for the render tests, with the independent
packed-data writer of the loader tests.

Usage: spritefix.py OUTDIR
The texture list of every batch is left empty (null entries): the tests put their own device
textures there after loading.
"""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "zel"))
import zelfix  # noqa: E402

NO_GLYPH = 0xFF
# Font metrics: every glyph advances 8 pixels ('W' 12) and is 10 high; '{' is 20 high.
SPACE_SIZE, KERNING, HEIGHT, LEADING = 5, 1, 10, 12


def frame(left, right, top, bottom, texture=0, flags=0, coords=(0, 4096, 0, 4096)):
    """SpriteFrame: extents in pixels (stored in 1/16), coordinates in 1/4096."""
    return struct.pack("<HHhhhhhhhh", flags, texture, left * 16, right * 16, top * 16, bottom * 16, *coords)


def batch(block, flags, frames, textures):
    """A SpriteBatch's bytes with its frame array and texture list placed in the block; the
    caller patches the two pointers at the returned offsets of the payload."""
    frames_at = block.segments[0].add(b"".join(frames))
    textures_at = block.segments[0].add(b"\0\0\0\0" * textures)
    payload = struct.pack("<IHHII", flags, len(frames), textures, 0, 0)
    return payload, frames_at, textures_at


def typed(block, cls, export, head, batch_parts, tail=b""):
    payload, frames_at, textures_at = batch_parts
    where = block.record(cls, head + payload + tail, export=export)
    base = where + 4 + len(head)
    block.pointer(base + 8, textures_at)
    block.pointer(base + 12, frames_at)
    return where


def font_frames():
    frames, table = [], [NO_GLYPH] * 256
    for c in range(33, 127):
        width = 12 if c == ord("W") else 8
        bottom = 20 if c == ord("{") else HEIGHT
        table[c] = len(frames)
        frames.append(frame(0, width, 0, bottom))
    return frames, bytes(table)


def sprite_file():
    b = zelfix.Block()
    # Frame 0: a 32 by 32 square round the origin. Frames 1 and 2: one image of two parts, the
    # left half on texture 0 and the right half on texture 1.
    sprite_frames = [frame(-16, 16, -16, 16),
                     frame(-16, 0, -8, 8, texture=0, flags=1, coords=(0, 2048, 0, 4096)),
                     frame(0, 16, -8, 8, texture=1, coords=(2048, 4096, 0, 4096))]
    attach = struct.pack("<hh", 3, -4) + struct.pack("<hh", -10, 12)
    tail = struct.pack("<i4iII", -1, 0, 0, 0, 0, 0, 2) + attach
    typed(b, "CSprite", "ScreenSprite", b"", batch(b, 0x110, sprite_frames, 2), tail)
    typed(b, "CSprite", "WorldSprite", b"", batch(b, 0x010, sprite_frames, 2), tail)
    frames, table = font_frames()
    head = struct.pack("<IiII", SPACE_SIZE, KERNING, HEIGHT, LEADING)
    typed(b, "CzFont", "TheFont", head, batch(b, 0x110, frames, 1), table)
    return zelfix.zel_file([("PCX ", b)])


def logo_file():
    b = zelfix.Block()
    # A full-screen logo of two parts: a band over the top half and a square in the lower half.
    logo_frames = [frame(0, 640, 0, 240, flags=1), frame(280, 360, 320, 400)]
    typed(b, "CLogo", "TestLogo", b"", batch(b, 0x010, logo_frames, 1))
    return zelfix.zel_file([("PCX ", b)])


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: spritefix.py OUTDIR")
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "sprites.zel").write_bytes(sprite_file())
    (out / "logo.zel").write_bytes(logo_file())
