#!/usr/bin/env python3
"""Peer side of image_bench: Pillow on the same raw RGBA images.

  image_bench_peer.py mips DIR COUNT SIZE      full mip chains with Image.BOX; prints seconds
  image_bench_peer.py palette DIR COUNT SIZE   quantize to 256 colours (median cut); prints
                                               seconds and the mean RGB error
"""
import sys
import time

import numpy as np
from PIL import Image


def load(directory, count, size):
    return [Image.frombytes("RGBA", (size, size), open(f"{directory}/img{i:03d}.rgba", "rb").read())
            for i in range(count)]


def main():
    cmd, directory, count, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    images = load(directory, count, size)
    if cmd == "mips":
        start = time.perf_counter()
        for img in images:
            level = size // 2
            while level >= 4:
                img.resize((level, level), Image.BOX)
                level //= 2
        print(f"{time.perf_counter() - start:.6f}")
    else:
        rgb = [img.convert("RGB") for img in images]
        start = time.perf_counter()
        quantized = [img.quantize(colors=256, method=Image.Quantize.MEDIANCUT) for img in rgb]
        seconds = time.perf_counter() - start
        errors = []
        for original, q in zip(rgb, quantized):
            a = np.asarray(original, dtype=np.float64)
            b = np.asarray(q.convert("RGB"), dtype=np.float64)
            errors.append(np.sqrt(((a - b) ** 2).sum(axis=2)).mean())
        print(f"{seconds:.6f} {np.mean(errors):.4f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
