"""Texture records of a packed data file checked against images Pillow decodes, written from the
record layouts alone (not from the converter): a public record's name key is the CRC-32 of its
label inverted; a place word holds the segment (0 DATA, 1 TEMP, 2 EXTA, 3 PLAT) in its top four
bits; CRendTexture is (table pointer, texture data place, IsShared); ZelTexture is Width, Height,
BitDepth, NumMips (16 bits each), Flags, pPalette, pMap (32 bits), then every level, largest
first; CDataMap is Width, Height (16 bits), Dimension, pData.

usage:
  texture_check.py make OUT W H KIND SEED      Pillow image: KIND rgb, rgba (random alpha) or
                                               alpha1 (alpha 0 or 255); any Pillow format by name
  texture_check.py check ZEL LABEL IMAGE FORMAT [box]
      FORMAT 565, 1555 or 4444: each level equal to Pillow's pixels encoded in that format
      (little-endian words); levels smaller than the image are the rounded means of the blocks
      they cover ("box") or are only measured. Prints the header line and one line per level.
  texture_check.py map ZEL LABEL IMAGE          a data map: alpha bytes (Dimension 1) or
                                               R, G, B, A words (Dimension 4)
  texture_check.py indexed ZEL LABEL IMAGE      an 8-bit indexed texture: its palette record's
                                               R, G, B, A entries, stored within blocks of 32
                                               with the runs 8-15 and 16-23 exchanged, looked up
                                               by each index, give Pillow's pixels
  texture_check.py levels ZEL LABEL             each 16-bit level's distinct words, when few
  texture_check.py shared ZEL LABEL OTHER       the record repeats OTHER's texture"""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "core"))
from zel_reader import SEGMENTS, Zel, chunks, key  # noqa: E402, F401

import numpy as np
from PIL import Image

def encode(rgba, fmt):
    r, g, b, a = (rgba[..., i].astype(np.uint32) for i in range(4))
    if fmt == "565":
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
    if fmt == "1555":
        return ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
    if fmt == "4444":
        return ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)
    raise SystemExit("unknown format " + fmt)


def block_mean(rgba, factor):
    h, w = rgba.shape[0] // factor, rgba.shape[1] // factor
    blocks = rgba[:h * factor, :w * factor].astype(np.uint32).reshape(h, factor, w, factor, 4)
    total = blocks.sum(axis=(1, 3))
    n = factor * factor
    return ((total * 2 + n) // (2 * n)).astype(np.uint8)


def check(zel_path, label, image_path, fmt, filt):
    zel = Zel(zel_path)
    segment, offset = zel.at(zel.public(label))
    _, data_place, shared = struct.unpack_from("<III", segment, offset)
    if shared:
        raise SystemExit(label + " is shared")
    temp, at = zel.at(data_place)
    width, height, bits, mips, flags, palette, _ = struct.unpack_from("<HHHHIII", temp, at)
    print("%s %dx%d bits %d mips %d flags %d palette %d" % (label, width, height, bits, mips, flags,
                                                             1 if palette else 0))
    source = np.asarray(Image.open(image_path).convert("RGBA"))
    for level, w, h, words in texture_levels(zel, label):
        factor = source.shape[1] // w
        if factor == 1:
            expected = encode(source, fmt)
        elif filt == "box":
            expected = encode(block_mean(source, factor), fmt)
        else:
            print("level %d %dx%d" % (level, w, h))
            continue
        wrong = np.argwhere(words != expected)
        if len(wrong) == 0:
            print("level %d %dx%d equal" % (level, w, h))
        else:
            y, x = wrong[0]
            print("level %d %dx%d differs at (%d,%d): %04x, expected %04x" % (level, w, h, x, y, words[y, x],
                                                                           expected[y, x]))


def texture_levels(zel, label):
    segment, offset = zel.at(zel.public(label))
    temp, at = zel.at(struct.unpack_from("<III", segment, offset)[1])
    width, height, _, mips = struct.unpack_from("<HHHH", temp, at)
    at += 20
    for level in range(mips):
        w, h = max(width >> level, 1), max(height >> level, 1)
        yield level, w, h, np.frombuffer(temp, dtype="<u2", count=w * h, offset=at).reshape(h, w)
        at += w * h * 2


def distinct(zel_path, label):
    for level, w, h, words in texture_levels(Zel(zel_path), label):
        values = np.unique(words)
        shown = " ".join("%04x" % v for v in values) if len(values) <= 4 else "%d values" % len(values)
        print("level %d %dx%d %s" % (level, w, h, shown))


def check_indexed(zel_path, label, image_path):
    zel = Zel(zel_path)
    segment, offset = zel.at(zel.public(label))
    temp, at = zel.at(struct.unpack_from("<III", segment, offset)[1])
    width, height, bits, mips, _, palette_place, _ = struct.unpack_from("<HHHHIII", temp, at)
    indices = np.frombuffer(temp, dtype=np.uint8, count=width * height, offset=at + 20).reshape(height, width)
    table, where = zel.at(palette_place)
    _, count, entry_bits = struct.unpack_from("<Iii", table, where)
    stored = np.frombuffer(table, dtype=np.uint8, count=count * 4, offset=where + 12).reshape(count, 4)
    position = np.arange(count)
    run = position % 32
    position = position + np.where((run >= 8) & (run < 16), 8, 0) - np.where((run >= 16) & (run < 24), 8, 0)
    colours = stored[position][indices]
    source = np.asarray(Image.open(image_path).convert("RGB"))
    equal = np.array_equal(colours[..., :3], source)
    print("%s %dx%d bits %d mips %d entries %d of %d bits %s" % (label, width, height, bits, mips, count, entry_bits,
                                                                "equal" if equal else "differs"))


def check_map(zel_path, label, image_path):
    zel = Zel(zel_path)
    segment, offset = zel.at(zel.public(label))
    width, height, dimension, data_place = struct.unpack_from("<hhiI", segment, offset)
    data, at = zel.at(data_place)
    source = np.asarray(Image.open(image_path).convert("RGBA"))
    if dimension == 1:
        values = np.frombuffer(data, dtype=np.uint8, count=width * height, offset=at).reshape(height, width)
        equal = np.array_equal(values, source[..., 3])
    else:
        values = np.frombuffer(data, dtype=np.uint8, count=width * height * 4, offset=at)
        equal = np.array_equal(values.reshape(height, width, 4), source)
    print("%s %dx%d dimension %d %s" % (label, width, height, dimension, "equal" if equal else "differs"))


def check_shared(zel_path, label, other):
    zel = Zel(zel_path)
    segment, offset = zel.at(zel.public(label))
    _, target, shared = struct.unpack_from("<III", segment, offset)
    print("%s shared %d repeats %s" % (label, shared, "yes" if target == zel.publics.get(key(other)) else "no"))


def make(out, width, height, kind, seed):
    rng = np.random.default_rng(seed)
    pixels = rng.integers(0, 256, size=(height, width, 4), dtype=np.uint8)
    if kind == "alpha1":
        pixels[..., 3] = np.where(pixels[..., 3] >= 128, 255, 0)
    if kind == "rgb":
        Image.fromarray(pixels[..., :3], "RGB").save(out)
    else:
        Image.fromarray(pixels, "RGBA").save(out)


def main():
    command = sys.argv[1]
    if command == "make":
        make(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], int(sys.argv[6]))
    elif command == "check":
        check(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6] if len(sys.argv) > 6 else "")
    elif command == "map":
        check_map(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "indexed":
        check_indexed(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command == "levels":
        distinct(sys.argv[2], sys.argv[3])
    elif command == "shared":
        check_shared(sys.argv[2], sys.argv[3], sys.argv[4])


if __name__ == "__main__":
    main()
