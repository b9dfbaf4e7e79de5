#!/usr/bin/env python3
"""Writes files of the texture-sharing map tool byte by byte, and checks which texture the
converted maps draw with.

    tamblefix.py make OUTDIR
        OUTDIR/shared.tmb: a RIFF "TMBL" file ("path", "Mhdr" version 5, LIST "dbse") holding
        the textures "Tiles" (uniqueifier 7), "Tiles_000" (9) and "Own" (3), and the maps
        "MapA" and "MapB" (texture name "Tiles", uniqueifier 9) and "MapC" ("Own", 3).
        OUTDIR/notmbl.tmb: the same with the form type "MAPS".
        OUTDIR/orphan.tmb: a map whose uniqueifier (5) no texture carries.
    tamblefix.py check ZEL
        Prints, per map, "MAP -> TEXTURE LOW..HIGH": the public texture record its Map.pTextures
        points at, and its lowest and highest cell (the fixture's cells stand at 0, 1, 2 and 3).
"""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "core"))
from zel_reader import Zel, key  # noqa: E402

# CRendMap: table pointer, pFOWBuffer, iFOWStride, then Map: MaxZheight and MinZheight at 36
# and 40, pTextures at 56.
MAP_HEIGHTS = 12 + 36
MAP_TEXTURES = 12 + 56
TEXTURES = ["Tiles", "Tiles_000", "Own"]
MAPS = ["MapA", "MapB", "MapC"]


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) & 1 else b"")


def text(value):
    raw = value.encode("latin-1") + b"\0"
    return raw + (b"\0" if len(raw) & 1 else b"")


def byte(value):
    return bytes([value, 0])  # a byte field carries the chunk file's pad byte


def element(class_name, version, body):
    return chunk(b"dbel", struct.pack("<I", key(class_name)) + text(class_name) + struct.pack("<I", version) + body)


def texture(label, uniqueifier):
    width = height = 4
    pixel_format = struct.pack("<5I", 16, 0xF800, 0x07E0, 0x001F, 0) + bytes(256)
    modifiers = bytes([0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0])
    pixels = bytes([uniqueifier * 20, 40, 200, 255]) * (width * height)
    body = (text(label) + byte(1) + text("") + struct.pack("<I", uniqueifier) + pixel_format + modifiers +
            struct.pack("<3I", 0, height, width) + pixels)
    return element("CTambleTexture", 5, body)


def tamble_map(label, texture_name, uniqueifier):
    width = height = 2
    body = text(label) + struct.pack("<IIffffII", height, width, 4.0, 0.0, 0.0, 0.0, uniqueifier, 1)
    body += byte(0) + struct.pack("<I", 255) + text("") + text(texture_name)
    body += struct.pack("<I", 0) + byte(0) + struct.pack("<I", 0)
    layer = struct.pack("<IBBH4f", 0, 0, 0, 0, 0.0, 0.0, 1.0, 1.0)
    for i in range(width * height):
        body += struct.pack("<f", float(i)) + layer + layer + struct.pack("<HHIIHH", 0, 0, 0, 0, 0, 0)
    return element("CTambleMap", 12, body)


def tmbl(elements, form=b"TMBL"):
    path = text("maps") + text("tiles") + text("shared") + struct.pack("<I", 0) + bytes(8)
    body = form + chunk(b"path", path) + chunk(b"Mhdr", struct.pack("<I", 5))
    body += chunk(b"LIST", b"dbse" + b"".join(elements))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def make(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    elements = [texture("Tiles", 7), texture("Tiles_000", 9), texture("Own", 3),
                tamble_map("MapA", "Tiles", 9), tamble_map("MapB", "Tiles", 9), tamble_map("MapC", "Own", 3)]
    (out / "shared.tmb").write_bytes(tmbl(elements))
    (out / "notmbl.tmb").write_bytes(tmbl(elements, form=b"MAPS"))
    (out / "orphan.tmb").write_bytes(tmbl([texture("Tiles", 7), tamble_map("Lost", "Tiles", 5)]))


def check(path):
    zel = Zel(path)
    names = {zel.public(t): t for t in TEXTURES if key(t) in zel.publics}
    for label in MAPS:
        target = zel.pointer(zel.public(label) + MAP_TEXTURES)
        high, low = zel.read(zel.public(label) + MAP_HEIGHTS, "ff")
        print("%s -> %s %g..%g" % (label, names.get(target, target), low, high))


if __name__ == "__main__":
    {"make": make, "check": check}[sys.argv[1]](sys.argv[2])
