#!/usr/bin/env python3
"""Writes the demo game's art into a folder: "checker.tga", a 64 by 64 checkerboard of 8-pixel
squares in two blues with a soft white ring whose edge fades out in alpha. Plain uncompressed
32-bit TGA, top-down rows, so that nothing beyond the standard library is needed.

usage: demo_art.py FOLDER"""
import math
import os
import struct
import sys


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


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "checker.tga"), "wb") as out:
        out.write(checker())


if __name__ == "__main__":
    main()
