#!/usr/bin/python3
"""Independent checks of the imaging library's results with numpy, scipy and colorsys.

usage: pximg_oracle.py BATCHFILE
Each line of BATCHFILE is "NAME OP INPUT OUTPUT [ARGS...]"; INPUT and OUTPUT are files the test
wrote (images as .npy arrays (height, width, channels) of uint8, top row first). Prints one line
per case: NAME, then "ok" when OUTPUT is what OP gives for INPUT, else what differs.
"""
import colorsys
import sys

import numpy as np
from scipy import ndimage


def origin(n):
    # Windows cover rows y - (n - 1) // 2 .. y + n // 2; scipy centres even windows one earlier.
    return 0 if n % 2 else -1


def per_channel(image, function):
    return np.stack([function(image[:, :, c]) for c in range(image.shape[2])], axis=2)


def correlate(image, divisor, bias, n, *coefficients):
    weights = np.array(coefficients, dtype=np.int64).reshape(n, n)
    sums = per_channel(image.astype(np.int64),
                       lambda p: ndimage.correlate(p, weights, mode='nearest', origin=origin(n)))
    values = sums + bias if divisor == 1 else np.trunc(sums / divisor).astype(np.int64) + bias
    return np.clip(values, 0, 255)


def median(image, n):
    if n % 2:
        return per_channel(image, lambda p: ndimage.median_filter(p, size=n, mode='nearest'))
    # Even windows take the lower of the two middle values, the ((n x n + 1) / 2)-th smallest.
    rank = (n * n + 1) // 2 - 1
    return per_channel(image, lambda p: ndimage.rank_filter(p, rank, size=n, mode='nearest', origin=origin(n)))


def dilate(image):
    return per_channel(image, lambda p: ndimage.grey_dilation(p, size=(3, 3), mode='nearest'))


def erode(image):
    return per_channel(image, lambda p: ndimage.grey_erosion(p, size=(3, 3), mode='nearest'))


def additive(image, kind, n, *elements):
    above = (n - 1) // 2
    padded = np.pad(image.astype(np.int64), ((n, n), (n, n), (0, 0)), mode='edge')
    h, w = image.shape[:2]
    result = np.full(image.shape, 0 if kind else 255, dtype=np.int64)
    for r in range(n):
        for c in range(n):
            e = elements[r * n + c]
            if e == 256:
                continue
            shifted = padded[n + r - above:n + r - above + h, n + c - above:n + c - above + w]
            value = np.clip(shifted + e, 0, 255)
            result = np.maximum(result, value) if kind else np.minimum(result, value)
    return result


def average(image, n):
    sums = per_channel(image.astype(np.int64),
                       lambda p: ndimage.correlate(p, np.ones((n, n), np.int64), mode='nearest', origin=origin(n)))
    return np.minimum(sums // (n * n), 255)


def mosaic(image, a):
    out = np.empty_like(image)
    for top in range(0, image.shape[0], a):
        for left in range(0, image.shape[1], a):
            block = image[top:top + a, left:left + a].astype(np.int64)
            count = block.shape[0] * block.shape[1]
            out[top:top + a, left:left + a] = block.reshape(-1, image.shape[2]).sum(axis=0) // count
    return out


def intensity(image):
    r, g, b = (image[:, :, i].astype(np.int64) for i in range(3))
    return (5 * g + 2 * r + b + 4) // 8


def equalize(image):
    counts = np.bincount(intensity(image).ravel(), minlength=256).astype(np.int64)
    table = np.cumsum(counts) * 255 // (image.shape[0] * image.shape[1])
    return table[image]


def noise(image, level, channel):
    b = (level * 255 + 500) // 1000
    span = 2 * b + 1
    out = image.astype(np.int64).copy()
    r = 0
    h, w = image.shape[:2]
    for y in range(h):
        for x in range(w):
            r = (r * 1366 + 150889) % 714025
            n = r % span - b
            if channel == 0:
                out[y, x, :] += n
            else:
                out[y, x, channel - 1] += n
    return np.clip(out, 0, 255)


def compare(expected, actual):
    expected = np.asarray(expected).reshape(actual.shape)
    bad = np.argwhere(expected != actual)
    if len(bad) == 0:
        return "ok"
    where = tuple(bad[0])
    return "%d values differ, first at %s: expected %d, got %d" % (len(bad), where, expected[where], actual[where])


def check_saturation_value(pairs):
    worst = [0, 0]
    for r, g, b, _, s, v in pairs.astype(int):
        _, fs, fv = colorsys.rgb_to_hsv(r / 255, g / 255, b / 255)
        worst = [max(worst[0], abs(fs * 255 - s)), max(worst[1], abs(fv * 255 - v))]
    return "ok" if worst[0] < 1 and worst[1] == 0 else "off by %s" % worst


def check_hsv(pairs):
    # pairs: (n, 6) rows of r, g, b and our h, s, v. Hue in 256ths of a turn, compared round the circle.
    worst = [0, 0, 0]
    for r, g, b, h, s, v in pairs.astype(int):
        fh, fs, fv = colorsys.rgb_to_hsv(r / 255, g / 255, b / 255)
        dh = abs(fh * 256 - h) % 256
        worst = [max(worst[0], min(dh, 256 - dh) if fs > 0 else 0), max(worst[1], abs(fs * 255 - s)),
                 max(worst[2], abs(fv * 255 - v))]
    return "ok" if worst[0] <= 1 and worst[1] < 1 and worst[2] == 0 else "off by %s" % worst


def check(op, source, output, args):
    if op == 'hsv':
        return check_hsv(np.load(source))
    if op == 'hsv-sv':
        return check_saturation_value(np.load(source))
    image = np.load(source)
    if op == 'histogram':
        counts = np.loadtxt(output, dtype=np.int64)
        channel = args[0]
        values = intensity(image) if channel == 0 else image[:, :, channel - 1]
        return compare(np.bincount(values.ravel(), minlength=256), counts)
    operations = {'correlate': correlate, 'median': median, 'dilate': dilate, 'erode': erode,
                  'additive': additive, 'average': average, 'mosaic': mosaic, 'equalize': equalize,
                  'noise': noise}
    return compare(operations[op](image, *args), np.load(output))


def main():
    with open(sys.argv[1]) as batch:
        for line in batch:
            name, op, source, output, *args = line.split()
            try:
                result = check(op, source, output, [int(a) for a in args])
            except Exception as error:  # one broken case must not hide the others
                result = "error: %r" % error
            print(name, result)


if __name__ == '__main__':
    main()
