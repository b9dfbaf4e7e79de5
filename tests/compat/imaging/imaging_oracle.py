#!/usr/bin/env python3
"""Independent reader and writer of image files for the imaging layer's tests (Pillow).

  imaging_oracle.py make DIR   writes fixtures into DIR and a manifest "DIR/manifest.txt" with
                               one line per file: NAME WIDTH HEIGHT DEPTH TOLERANCE, and beside
                               each loadable file NAME.rgba, Pillow's decoding to RGBA bytes.
  imaging_oracle.py dump FILE OUT   writes Pillow's RGBA decoding of FILE to OUT.
"""
import struct
import sys

from PIL import Image


def pattern(width, height, alpha):
    img = Image.new("RGBA", (width, height))
    px = img.load()
    for y in range(height):
        for x in range(width):
            a = (x * 37 + y * 11) & 0xFF if alpha else 255
            px[x, y] = ((x * 7 + y * 3) & 0xFF, (x * 13 + 50) & 0xFF, (y * 17 + x) & 0xFF, a)
    return img


def four_bit_bmp(path, width, height):
    row = ((width * 4 + 31) // 32) * 4
    pixels = b"".join(bytes((i * 0x12) & 0xFF for i in range(row)) for _ in range(height))
    palette = b"".join(bytes((i * 16, i * 8, 255 - i * 16, 0)) for i in range(16))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def make(directory):
    manifest = []

    def save(name, img, depth, tolerance=0, **options):
        path = f"{directory}/{name}"
        img.save(path, **options)
        with open(path + ".rgba", "wb") as f:
            f.write(Image.open(path).convert("RGBA").tobytes())
        manifest.append(f"{name} {img.width} {img.height} {depth} {tolerance}")

    rgba = pattern(37, 23, True)
    rgb = pattern(37, 23, False).convert("RGB")
    save("rgba.png", rgba, 32)
    save("rgb.png", rgb, 24)
    save("grey.png", rgb.convert("L"), 8)
    save("grey_alpha.png", rgba.convert("LA"), 16)
    save("palette.png", rgb.convert("P", palette=Image.ADAPTIVE, colors=16), 4, bits=4)
    save("palette8.png", rgb.convert("P", palette=Image.ADAPTIVE, colors=200), 8)
    save("rgb.bmp", rgb, 24)
    save("palette.bmp", rgb.convert("P", palette=Image.ADAPTIVE, colors=100), 8)
    save("rgb.tga", rgb, 24)
    save("rgba.tga", rgba, 32)
    save("rgba_rle.tga", rgba, 32, compression="tga_rle")
    save("rgb.jpg", rgb, 24, 12, quality=95)
    save("palette.gif", rgb.convert("P", palette=Image.ADAPTIVE, colors=64), 8)
    four_bit_bmp(f"{directory}/four.bmp", 10, 6)
    manifest.append("four.bmp 10 6 4 -1")
    with open(f"{directory}/not_an_image.png", "wb") as f:
        f.write(b"this is text, not pixels\n")
    with open(f"{directory}/manifest.txt", "w") as f:
        f.write("\n".join(manifest) + "\n")


def main():
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        with open(sys.argv[3], "wb") as f:
            f.write(Image.open(sys.argv[2]).convert("RGBA").tobytes())
    return 0


if __name__ == "__main__":
    sys.exit(main())
