#!/usr/bin/env python3
"""Independent check of a converted mesh, written without the converter's code.

    mesh_oracle.py ZEL LABEL LWO [--assimp]

Reads the LightWave object LWO itself (IFF FORM LWO2: LAYR, PNTS, POLS, TAGS, PTAG) and the
PC records of mesh LABEL from the uncompressed packed file ZEL, decodes every triangle strip
(triangle k of a strip is (k, k+1, k+2), its first two corners swapped when k is odd; repeated
vertices join strips) and compares the triangles, with their winding, against the source
polygons of the layer the mesh keeps as level of detail 0 (or the layer numbered LAYER),
triangulated as fans, with points converted from LightWave's axes (east, up, north) to
(east, south, up) and the layer pivot taken off. Every triangle must also lie in the sub-mesh
of its polygon's surface. With --assimp the same file goes through the Open Asset Import
Library's command line tool as well: untriangulated, its polygon count, its fan triangle
count (corners less two per polygon) and its split by material must equal the source's and
ours, and its bounds, in its own axes (east, up, south), ours. Prints one JSON line with the
counts and bounds; exit status 1 and a message on a mismatch."""
import json
import re
import struct
import subprocess
import sys
from collections import Counter

ROUND = 4


def fail(message):
    sys.stderr.write(message + "\n")
    sys.exit(1)


def name_key(text):
    crc = 0xFFFFFFFF
    for byte in text.encode("latin-1"):
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ (0xEDB88320 if crc & 1 else 0)
    return crc


def to_database(p):
    x, y, z = p
    return (x, -z, y)


def read_lwo(path):
    data = open(path, "rb").read()
    if data[:4] != b"FORM" or data[8:12] != b"LWO2":
        fail("%s: not an LWO2 file" % path)
    end = 8 + struct.unpack(">I", data[4:8])[0]
    pos = 12
    tags, layers, current = [], [], None

    def read_s0(buf, at):
        nul = buf.index(b"\0", at)
        text = buf[at:nul].decode("latin-1")
        size = nul + 1 - at
        return text, at + size + (size % 2)

    def vx(buf, at):
        v = struct.unpack(">H", buf[at:at + 2])[0]
        if v >> 8 == 0xFF:
            return ((v & 0xFF) << 16) | struct.unpack(">H", buf[at + 2:at + 4])[0], at + 4
        return v, at + 2

    def new_layer(number, name, pivot):
        layer = {"number": number, "name": name, "pivot": pivot, "points": [], "polys": [], "surf": {}}
        layers.append(layer)
        return layer

    while pos + 8 <= end:
        cid, size = struct.unpack(">4sI", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        if cid == b"TAGS":
            at = 0
            while at < len(body):
                text, at = read_s0(body, at)
                tags.append(text)
        elif cid == b"LAYR":
            number = struct.unpack(">H", body[:2])[0]
            pivot = struct.unpack(">3f", body[4:16])
            name, _ = read_s0(body, 16)
            current = new_layer(number, name.strip(), pivot)
        elif cid in (b"PNTS", b"POLS", b"PTAG"):
            if current is None:
                current = new_layer(0, "", (0.0, 0.0, 0.0))
            if cid == b"PNTS":
                current["points"] += [struct.unpack(">3f", body[i:i + 12]) for i in range(0, len(body), 12)]
            elif cid == b"POLS":
                if body[:4] != b"FACE":
                    fail("%s: %s polygons" % (path, body[:4]))
                at = 4
                while at < len(body):
                    count = struct.unpack(">H", body[at:at + 2])[0] & 0x3FF
                    at += 2
                    corners = []
                    for _ in range(count):
                        v, at = vx(body, at)
                        corners.append(v)
                    current["polys"].append(corners)
            elif body[:4] == b"SURF":
                at = 4
                while at < len(body):
                    poly, at = vx(body, at)
                    tag = struct.unpack(">H", body[at:at + 2])[0]
                    at += 2
                    current["surf"][poly] = tags[tag]
        pos += 8 + size + (size % 2)
    return layers


def lod_zero(layers):
    def geometry_name(layer):
        return (layer["name"] or "LOD_%d" % layer["number"]).upper()

    def key(name):
        return (0, int(name[4:]) if name[4:].isdigit() else 0, "") if name.startswith("LOD_") else (1, 0, name)

    lods = sorted((geometry_name(l), i) for i, l in enumerate(layers) if geometry_name(l).startswith("LOD_"))
    lods.sort(key=lambda item: (int(item[0][4:]) if item[0][4:].lstrip("-").isdigit() else 0))
    return layers[lods[0][1]] if lods else None


def oriented(tri):
    tri = [tuple(round(c, ROUND) + 0.0 for c in p) for p in tri]
    k = tri.index(min(tri))
    return tuple(tri[k:] + tri[:k])


def degenerate(tri):
    return tri[0] == tri[1] or tri[1] == tri[2] or tri[0] == tri[2]


def source_triangles(layer):
    pivot = to_database(layer["pivot"])
    points = [tuple(c - q for c, q in zip(to_database(p), pivot)) for p in layer["points"]]
    out = Counter()
    for index, corners in enumerate(layer["polys"]):
        layer["fans"] = layer.get("fans", 0) + len(corners) - 2
        for k in range(2, len(corners)):
            tri = oriented([points[corners[0]], points[corners[k - 1]], points[corners[k]]])
            if not degenerate(tri):
                out[(tri, layer["surf"].get(index, ""))] += 1
    return out


def read_zel(path):
    data = open(path, "rb").read()
    if data[:4] != b"RIFF" or data[8:12] != b"ZEL2":
        fail("%s: not a packed file" % path)
    chunks = {}

    def walk(start, end, into):
        pos = start
        while pos + 8 <= end:
            cid, size = struct.unpack("<4sI", data[pos:pos + 8])
            if cid == b"LIST":
                block = {}
                into[data[pos + 8:pos + 12]] = block
                walk(pos + 12, pos + 8 + size, block)
            else:
                into[cid] = data[pos + 8:pos + 8 + size]
            pos += 8 + size + (size % 2)

    walk(12, len(data), chunks)
    block = chunks.get(b"PCX ")
    if block is None:
        fail("%s: no PCX block" % path)
    for compressed in (b"DATX", b"TEMX"):
        if compressed in block:
            fail("%s: compressed segments; convert with NoCompression" % path)
    return block


def assimp_info(lwo, raw):
    args = ["assimp", "info", lwo] + (["-r"] if raw else [])
    text = subprocess.run(args, capture_output=True, text=True, timeout=120).stdout
    info = {}
    for key in ("Meshes", "Faces", "Vertices"):
        found = re.search(r"^%s:\s+(\d+)" % key, text, re.M)
        info[key] = int(found.group(1)) if found else None
    for key in ("Minimum", "Maximum"):
        found = re.search(r"^%s point\s+\(([-\d.e]+) ([-\d.e]+) ([-\d.e]+)\)" % key, text, re.M)
        info[key] = tuple(float(v) for v in found.groups()) if found else None
    return info


def compare_assimp(lwo, layer, result):
    raw = assimp_info(lwo, True)
    cooked = assimp_info(lwo, False)
    checks = [("polygons", raw["Faces"], len(layer["polys"])),
              ("fan triangles", raw["Vertices"] - 2 * raw["Faces"], layer["fans"]),
              ("materials", raw["Meshes"], result["submeshes"])]
    for name, theirs, ours in checks:
        if theirs != ours:
            fail("%s: assimp gives %s %s, we have %s" % (lwo, theirs, name, ours))
    # Their axes are (east, up, south); ours (east, south, up).
    for key, ours in (("Minimum", result["min"]), ("Maximum", result["max"])):
        x, y, z = raw[key]
        if any(abs(a - b) > 1e-3 for a, b in zip((x, z, y), ours)):
            fail("%s: assimp's %s point %s, ours %s" % (lwo, key.lower(), raw[key], ours))
    result["assimp"] = {"faces": raw["Faces"], "triangles": cooked["Faces"], "meshes": raw["Meshes"]}


def check(zel, label, lwo, with_assimp=False):
    block = read_zel(zel)
    segments = [block.get(b"DATA", b""), block.get(b"TEMP", b"")]
    publics = {}
    table = block.get(b"PUBL", b"")
    for i in range(struct.unpack("<I", table[:4])[0]):
        key, place = struct.unpack("<II", table[4 + 8 * i:12 + 8 * i])
        publics[key] = place

    def at(place, fmt):
        segment, offset = place >> 28, place & 0x0FFFFFFF
        return struct.unpack_from("<" + fmt, segments[segment], offset)

    mesh = publics.get(name_key(label))
    if mesh is None:
        fail("%s: no public mesh %s" % (zel, label))
    bounds = at(mesh + 4, "12f2f")
    count, subs = at(mesh + 4 + 56, "2I")
    decoded = Counter()
    strips_total = 0
    for s in range(count):
        sub = subs + 24 * s
        flags, lod, materials, buffers, matdata, descs = at(sub, "If2I2I")
        material = at(matdata, "I")[0]
        surface_key = at(material, "I")[0]
        version, revision, _, elements, raw, pdata = at(descs, "IHHIII")
        if raw != elements * 2:
            fail("sub-mesh %d: index buffer of %d elements holds %d bytes" % (s, elements, raw))
        indices = at(pdata, "%dH" % elements)
        strips_total += elements
        vversion, _, _, vcount, vraw, vdata = at(descs + 20, "IHHIII")
        stride = vraw // vcount if vcount else 32
        positions = [at(vdata + stride * v, "3f") for v in range(vcount)]
        for k in range(len(indices) - 2):
            a, b, c = indices[k:k + 3]
            if a == b or b == c or a == c:
                continue
            if max(a, b, c) >= vcount:
                fail("sub-mesh %d: index %d past its %d vertices" % (s, max(a, b, c), vcount))
            tri = [positions[a], positions[b], positions[c]] if k % 2 == 0 else [positions[b], positions[a], positions[c]]
            tri = oriented(tri)
            if not degenerate(tri):
                decoded[(tri, surface_key)] += 1
    layers = read_lwo(lwo)
    layer = lod_zero(layers)
    expected = Counter({(tri, name_key(surf)): n for (tri, surf), n in source_triangles(layer).items()})
    if decoded != expected:
        missing = expected - decoded
        extra = decoded - expected
        fail("%s: %d source triangles missing from the strips (e.g. %s), %d extra (e.g. %s)" %
             (label, sum(missing.values()), list(missing)[:1], sum(extra.values()), list(extra)[:1]))
    result = {"label": label, "triangles": sum(decoded.values()), "submeshes": count, "strip_indices": strips_total,
              "points": len(layer["points"]), "polygons": len(layer["polys"]), "min": bounds[9:12],
              "max": bounds[6:9]}
    if with_assimp and len(layers) == 1:
        compare_assimp(lwo, layer, result)
    print(json.dumps(result))


if __name__ == "__main__":
    check(sys.argv[1], sys.argv[2], sys.argv[3], "--assimp" in sys.argv[4:])
