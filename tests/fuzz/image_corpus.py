"""Writes small images in every file format the imaging layer reads, as inputs for the image
reader's fuzz driver: PNG (truecolour with alpha, palette, grey), BMP (24-bit, 8-bit palette),
TGA (raw and run-length), GIF, JPEG (baseline and progressive) and PSD (raw and
PackBits). Usage: image_corpus.py FOLDER"""
import os
import struct
import sys

from PIL import Image


def gradient(width, height):
    image = Image.new("RGBA", (width, height))
    image.putdata([((x * 255) // width, (y * 255) // height, (x * y) % 256, 255 - x * 8 % 256)
                   for y in range(height) for x in range(width)])
    return image


def psd(path, image, packbits):
    width, height = image.size
    planes = [image.getchannel(c).tobytes() for c in "RGB"]
    out = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, height, width, 8, 3)
    out += struct.pack(">III", 0, 0, 0)
    if not packbits:
        out += struct.pack(">H", 0) + b"".join(planes)
    else:
        rows = []
        for plane in planes:
            for y in range(height):
                row = plane[y * width:(y + 1) * width]
                # A literal run of the first half and a repeat run of the rest.
                half = width // 2
                rows.append(bytes([half - 1]) + row[:half] + bytes([257 - (width - half), row[half]]))
        out += struct.pack(">H", 1) + b"".join(struct.pack(">H", len(r)) for r in rows) + b"".join(rows)
    with open(path, "wb") as f:
        f.write(out)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    image = gradient(24, 16)
    rgb = image.convert("RGB")
    image.save(os.path.join(folder, "rgba.png"))
    rgb.quantize(16).save(os.path.join(folder, "palette.png"))
    rgb.convert("L").save(os.path.join(folder, "grey.png"))
    rgb.save(os.path.join(folder, "rgb.bmp"))
    rgb.quantize(200).save(os.path.join(folder, "palette8.bmp"))
    image.save(os.path.join(folder, "raw.tga"), compression=None)
    image.save(os.path.join(folder, "rle.tga"), compression="tga_rle")
    rgb.quantize(32).save(os.path.join(folder, "anim.gif"))
    rgb.save(os.path.join(folder, "baseline.jpg"), quality=80)
    rgb.save(os.path.join(folder, "progressive.jpg"), quality=60, progressive=True, subsampling=2)
    psd(os.path.join(folder, "raw.psd"), rgb, False)
    psd(os.path.join(folder, "packbits.psd"), rgb, True)


if __name__ == "__main__":
    main()
