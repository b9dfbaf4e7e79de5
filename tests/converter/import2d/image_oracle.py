#!/usr/bin/env python3
"""Independent references for the converter's image code (numpy and Pillow).

  image_oracle.py resize IN W H NW NH FILTER OUT   Pillow resize of raw RGBA bytes
                                                   (FILTER: box, bilinear, bicubic)
  image_oracle.py boxmean IN W H K OUT             mean of each KxK block, rounded half up
  image_oracle.py encode IN W H LETTERS OUT        numpy encoding of raw RGBA into a 16-bit
                                                   format given as letters, little-endian
  image_oracle.py rgba FILE OUT                    Pillow's RGBA decoding of an image file
"""
import sys

import numpy as np
from PIL import Image


def read(path, w, h):
    return np.fromfile(path, dtype=np.uint8).reshape(h, w, 4)


def encode(pixels, letters):
    """Each channel's top bits fill its letters from the most significant down."""
    value = np.zeros(pixels.shape[:2], dtype=np.uint32)
    bits = len(letters)
    for channel, letter in enumerate("RGBA"):
        positions = [bits - 1 - i for i, c in enumerate(letters) if c.upper() == letter]
        for rank, position in enumerate(positions):
            bit = (pixels[:, :, channel].astype(np.uint32) >> (7 - rank)) & 1
            value |= bit << position
    return value.astype("<u2").tobytes()


def main():
    cmd = sys.argv[1]
    if cmd == "resize":
        w, h, nw, nh = map(int, sys.argv[3:7])
        filt = {"box": Image.BOX, "bilinear": Image.BILINEAR, "bicubic": Image.BICUBIC}[sys.argv[7]]
        img = Image.frombytes("RGBA", (w, h), open(sys.argv[2], "rb").read())
        # Each band alone: Pillow premultiplies RGBA by alpha when resizing.
        bands = [b.resize((nw, nh), filt) for b in img.split()]
        out = Image.merge("RGBA", bands)
        open(sys.argv[8], "wb").write(out.tobytes())
    elif cmd == "boxmean":
        w, h, k = map(int, sys.argv[3:6])
        a = read(sys.argv[2], w, h).astype(np.int64)
        s = a.reshape(h // k, k, w // k, k, 4).sum(axis=(1, 3))
        n = k * k
        open(sys.argv[6], "wb").write(((s + n // 2) // n).astype(np.uint8).tobytes())
    elif cmd == "encode":
        w, h = map(int, sys.argv[3:5])
        open(sys.argv[6], "wb").write(encode(read(sys.argv[2], w, h), sys.argv[5]))
    elif cmd == "rgba":
        open(sys.argv[3], "wb").write(Image.open(sys.argv[2]).convert("RGBA").tobytes())
    return 0


if __name__ == "__main__":
    sys.exit(main())
