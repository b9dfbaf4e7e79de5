#!/usr/bin/python3
"""The scipy.ndimage side of the imaging benchmark: the same three filters over a random
SIZE x SIZE 24-bit image, printing "NAME MEGAPIXELS_PER_SECOND" per filter."""
import sys
import time

import numpy as np
from scipy import ndimage

size = int(sys.argv[1])
image = np.random.default_rng(1).integers(0, 256, (size, size, 3), dtype=np.uint8)
row = np.array([1, 4, 6, 4, 1], dtype=np.float64)
weights = (np.outer(row, row) / 256.0).reshape(5, 5, 1)
filters = [
    ("convolve5x5", lambda: ndimage.correlate(image, weights, mode='nearest')),
    ("median5x5", lambda: ndimage.median_filter(image, size=(5, 5, 1), mode='nearest')),
    ("dilate3x3", lambda: ndimage.grey_dilation(image, size=(3, 3, 1), mode='nearest')),
]
for name, run in filters:
    start = time.perf_counter()
    run()
    print(name, size * size / 1e6 / (time.perf_counter() - start), flush=True)
