#!/usr/bin/env python3
"""Writes LightWave objects (FORM LWO2) for tests, benchmarks and the demo.

    make_lwo.py OUT SPEC.json    a model described in JSON:
        {"surfaces": ["Stone", ...], "layers": [{"number": 0, "name": "", "pivot": [0, 0, 0],
          "points": [[x, y, z], ...], "polys": [[i, j, k, ...], ...], "surf": [0, ...]}]}
        (points in LightWave's axes: east, up, north; "surf" indexes "surfaces" per polygon)
        optionally a layer's "uv": [[u, v], ...] per point (a texture map named "UV"), the
        image clips "clips": ["file.tga", ...] (numbered from 1) and "images": {"Stone": 1},
        a surface's colour image: a clip number, mapped by "UV"; "luminous": {"Stone": 1.0},
        a surface's luminosity (it shows its colour without lights)
    make_lwo.py --grid OUT TRIANGLES SURFACES
        a flat grid of about TRIANGLES triangles (quads split in two), in square patches of
        one surface each, so that every surface's patch fits one 16-bit vertex buffer."""
import json
import math
import struct
import sys


def chunk(cid, body):
    pad = b"\0" if len(body) % 2 else b""
    return cid + struct.pack(">I", len(body)) + body + pad


def sub(cid, body):
    return cid + struct.pack(">H", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def s0(text):
    raw = text.encode("latin-1") + b"\0"
    return raw + (b"\0" if len(raw) % 2 else b"")


def vx(index):
    return struct.pack(">H", index) if index < 0xFF00 else struct.pack(">I", 0xFF000000 | index)


def write(path, spec):
    surfaces = spec["surfaces"]
    body = b"LWO2" + chunk(b"TAGS", b"".join(s0(s) for s in surfaces))
    for number, name in enumerate(spec.get("clips", []), 1):
        body += chunk(b"CLIP", struct.pack(">I", number) + sub(b"STIL", s0(name)))
    for layer in spec["layers"]:
        body += chunk(b"LAYR", struct.pack(">HH3f", layer.get("number", 0), 0, *layer.get("pivot", (0, 0, 0))) +
                      s0(layer.get("name", "")))
        body += chunk(b"PNTS", b"".join(struct.pack(">3f", *p) for p in layer["points"]))
        if "uv" in layer:
            body += chunk(b"VMAP", b"TXUV" + struct.pack(">H", 2) + s0("UV") +
                          b"".join(vx(i) + struct.pack(">2f", *uv) for i, uv in enumerate(layer["uv"])))
        pols = b"FACE" + b"".join(struct.pack(">H", len(p)) + b"".join(vx(i) for i in p) for p in layer["polys"])
        body += chunk(b"POLS", pols)
        tags = b"SURF" + b"".join(vx(i) + struct.pack(">H", s) for i, s in enumerate(layer["surf"]))
        body += chunk(b"PTAG", tags)
    for index, name in enumerate(surfaces):
        colour = spec.get("colours", {}).get(name, (0.8, 0.8, 0.8))
        sides = 3 if name in spec.get("double_sided", []) else 1
        image = b""
        if name in spec.get("images", {}):
            header = sub(b"IMAP", s0("\x80") + sub(b"CHAN", b"COLR"))
            image = sub(b"BLOK", header + sub(b"IMAG", vx(spec["images"][name])) + sub(b"VMAP", s0("UV")))
        if name in spec.get("luminous", {}):
            image += sub(b"LUMI", struct.pack(">f", spec["luminous"][name]) + vx(0))
        body += chunk(b"SURF", s0(name) + s0("") + sub(b"COLR", struct.pack(">3f", *colour) + vx(0)) +
                      sub(b"DIFF", struct.pack(">f", 1.0) + vx(0)) + sub(b"SIDE", struct.pack(">H", sides)) + image)
    with open(path, "wb") as f:
        f.write(b"FORM" + struct.pack(">I", len(body)) + body)


def grid(path, triangles, surfaces):
    per_surface = max(2, triangles // surfaces)
    side = max(1, int(math.sqrt(per_surface / 2)))
    points, polys, surf = [], [], []
    columns = int(math.ceil(math.sqrt(surfaces)))
    for s in range(surfaces):
        ox, oz = (s % columns) * (side + 1), (s // columns) * (side + 1)
        base = len(points)
        for j in range(side + 1):
            for i in range(side + 1):
                points.append((ox + i, 0.1 * math.sin(i + j), oz + j))
        for j in range(side):
            for i in range(side):
                a = base + j * (side + 1) + i
                polys += [[a, a + side + 1, a + 1], [a + 1, a + side + 1, a + side + 2]]
                surf += [s, s]
    write(path, {"surfaces": ["Patch%d" % s for s in range(surfaces)],
                 "layers": [{"number": 0, "points": points, "polys": polys, "surf": surf}]})
    return len(polys)


if __name__ == "__main__":
    if sys.argv[1] == "--grid":
        print(grid(sys.argv[2], int(sys.argv[3]), int(sys.argv[4])))
    else:
        write(sys.argv[1], json.load(open(sys.argv[2])))
