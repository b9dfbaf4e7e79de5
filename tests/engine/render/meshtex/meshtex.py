#!/usr/bin/env python3
"""Images for the texture and mesh tests, and the check of a screenshot against an image.

    meshtex.py make DIR
        tex.png (16 x 16 RGB) and texa.png (16 x 16 RGBA): 4 x 4 blocks of 4 x 4 texels, each
        block one colour whose channels are 0 or 255 (alpha too), so every stored format keeps
        them exactly.
    meshtex.py check SHOT IMAGE X0 Y0 SCALE
        The image drawn with its top-left texel at screen (X0, Y0), each texel SCALE pixels
        wide: the centre pixel of every block must have the block's colour. Prints "blocks N
        equal" or the first difference. Reads the screenshot with Pillow.
    meshtex.py levels ZEL LABEL DUMPS
        Every level of the texture record LABEL as the packed file stores it, against the
        device's level dumped as DUMPS/LABEL_<level>.raw (rows without padding). Prints
        "LABEL levels N equal" or the first level that differs.
    meshtex.py uvcheck SHOT IMAGE POINTS
        POINTS has one "x y u v" line per point of a drawn surface: its pixel on the screenshot
        and its texture coordinates (v = 0 at the image's top row). Where the image is white all
        round (u, v) the pixel must be bright, where it is black all round, dark: brighter or
        darker than halfway between the two groups' medians. Points near an edge of the image's
        pattern are left out. Exits 1 unless 95% of at least 10 points of each kind agree.
    meshtex.py damage ZEL OUT KIND
        A copy of the file with one fault: "index" makes the mesh's first strip index 65535
        (the strips open the temporary segment), "mips" gives texture T565 nine levels,
        "collision" points the mesh Block's collision data outside the file."""
import sys

from PIL import Image

COLOURS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255), (255, 255, 255),
           (0, 0, 0)]


def block_colour(bx, by):
    return COLOURS[(bx * 3 + by * 5 + bx * by) % len(COLOURS)]


def make(folder):
    rgb = Image.new("RGB", (16, 16))
    rgba = Image.new("RGBA", (16, 16))
    for y in range(16):
        for x in range(16):
            c = block_colour(x // 4, y // 4)
            rgb.putpixel((x, y), c)
            rgba.putpixel((x, y), c + ((255 if (x // 4 + y // 4) % 2 == 0 else 0),))
    rgb.save(folder + "/tex.png")
    rgba.save(folder + "/texa.png")


def check(shot, image, x0, y0, scale):
    screen = Image.open(shot).convert("RGB")
    source = Image.open(image).convert("RGB")
    count = 0
    for by in range(4):
        for bx in range(4):
            tx, ty = bx * 4 + 2, by * 4 + 2
            sx, sy = x0 + tx * scale, y0 + ty * scale
            want = source.getpixel((tx, ty))
            got = screen.getpixel((sx, sy))
            if got != want:
                print("block %d,%d at %d,%d: %02X%02X%02X, image %02X%02X%02X" % ((bx, by, sx, sy) + got + want))
                return 1
            count += 1
    print("blocks %d equal" % count)
    return 0


def uvcheck(shot, image, points):
    screen = Image.open(shot).convert("L")
    source = Image.open(image).convert("L")
    width, height = source.size
    # Texels within this reach of the point must all agree: a pixel centre and the sampled point
    # differ by up to a pixel, under a texel at the sizes drawn.
    reach = 1
    groups = {True: [], False: []}
    for line in open(points):
        x, y, u, v = (float(f) for f in line.split())
        tx, ty = int(u * width), int(v * height)
        around = [source.getpixel((min(width - 1, max(0, tx + dx)), min(height - 1, max(0, ty + dy))))
                  for dx in range(-reach, reach + 1) for dy in range(-reach, reach + 1)]
        if min(around) > 192:
            white = True
        elif max(around) < 64:
            white = False
        else:
            continue
        if 0 <= x < screen.size[0] and 0 <= y < screen.size[1]:
            groups[white].append(screen.getpixel((int(x), int(y))))
    bright, dark = sorted(groups[True]), sorted(groups[False])
    if len(bright) < 10 or len(dark) < 10:
        print("too few points: %d bright, %d dark" % (len(bright), len(dark)))
        return 1
    middle = (bright[len(bright) // 2] + dark[len(dark) // 2]) / 2
    agree = sum(1 for p in bright if p > middle) + sum(1 for p in dark if p < middle)
    print("%d of %d agree (%d bright, %d dark; medians %d and %d)" %
          (agree, len(bright) + len(dark), len(bright), len(dark), bright[len(bright) // 2], dark[len(dark) // 2]))
    # A black image or a wrong one would give medians close together.
    if bright[len(bright) // 2] - dark[len(dark) // 2] < 64:
        return 1
    return 0 if agree >= 0.95 * (len(bright) + len(dark)) else 1


def levels(zel_path, label, dumps):
    import os
    import struct
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../converter/import2d"))
    import texture_check
    zel = texture_check.Zel(zel_path)
    segment, offset = zel.at(zel.public(label))
    data, at = zel.at(struct.unpack_from("<III", segment, offset)[1])
    width, height, bits, mips = struct.unpack_from("<HHHH", data, at)
    at += 20
    for level in range(mips):
        size = max(width >> level, 1) * max(height >> level, 1) * bits // 8
        with open("%s/%s_%d.raw" % (dumps, label, level), "rb") as f:
            device = f.read()
        if device != data[at:at + size]:
            print("%s level %d differs" % (label, level))
            return 1
        at += size
    print("%s levels %d equal" % (label, mips))
    return 0


def damage(zel_path, out, kind):
    import os
    import struct
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../converter/import2d"))
    import texture_check
    data = bytearray(open(zel_path, "rb").read())
    starts = {}
    for cid, body, size in texture_check.chunks(data, 12, len(data)):
        if cid == b"LIST" and data[body:body + 4] == b"PCX ":
            for inner, at, length in texture_check.chunks(data, body + 4, body + size):
                if inner in texture_check.SEGMENTS:
                    starts[texture_check.SEGMENTS[inner]] = at
    zel = texture_check.Zel(zel_path)

    def word(place, offset=0):
        segment, at = zel.at(place)
        return struct.unpack_from("<I", segment, at + offset)[0]

    def patch(place, offset, fmt, value):
        struct.pack_into(fmt, data, starts[place >> 28] + (place & 0x0FFFFFFF) + offset, value)

    if kind == "collision":
        # Block's collision data pointer (after the bounds, radii and attach points) set to an
        # address no fixup makes: what damage leaves in a pointer whose patch entry was lost.
        patch(zel.publics[texture_check.key("Block")], 68, "<I", 0x3F000000)
    elif kind == "index":
        # Block -> its first sub-mesh -> buffer descriptor 0 -> the strip.
        mesh = zel.publics[texture_check.key("Block")]
        strip = word(word(word(mesh, 76), 16), 16)
        patch(strip, 0, "<H", 0xFFFF)
    else:
        texture = zel.publics[texture_check.key("T565")]
        patch(word(texture, 4), 6, "<H", 9)
    open(out, "wb").write(bytes(data))


if __name__ == "__main__":
    if sys.argv[1] == "damage":
        damage(sys.argv[2], sys.argv[3], sys.argv[4])
        sys.exit(0)
    if sys.argv[1] == "make":
        make(sys.argv[2])
    elif sys.argv[1] == "uvcheck":
        sys.exit(uvcheck(sys.argv[2], sys.argv[3], sys.argv[4]))
    elif sys.argv[1] == "levels":
        sys.exit(levels(sys.argv[2], sys.argv[3], sys.argv[4]))
    else:
        sys.exit(check(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])))
