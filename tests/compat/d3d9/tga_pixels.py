#!/usr/bin/env python3
"""Independent reader of the screenshot TGA files: checks the header and prints pixels.

Usage: tga_pixels.py FILE X,Y [X,Y ...]
Prints "W H" on the first line, then "X,Y=RRGGBB" for each point, using only the standard
library. Exits non-zero when the header is not uncompressed 32-bit top-left true colour.
"""
import struct
import sys


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = f.read()
    id_length, colour_map, image_type = data[0], data[1], data[2]
    x0, y0, width, height, bpp, descriptor = struct.unpack_from("<HHHHBB", data, 8)
    if (id_length, colour_map, image_type, x0, y0, bpp, descriptor) != (0, 0, 2, 0, 0, 32, 0x20):
        print("bad header", id_length, colour_map, image_type, x0, y0, bpp, descriptor)
        return 1
    if len(data) != 18 + width * height * 4:
        print("bad size", len(data))
        return 1
    print(width, height)
    for point in sys.argv[2:]:
        x, y = (int(v) for v in point.split(","))
        b, g, r, a = data[18 + (y * width + x) * 4: 22 + (y * width + x) * 4]
        if a != 0:
            print("alpha byte not zero at", point)
            return 1
        print("%d,%d=%02X%02X%02X" % (x, y, r, g, b))
    return 0


if __name__ == "__main__":
    sys.exit(main())
