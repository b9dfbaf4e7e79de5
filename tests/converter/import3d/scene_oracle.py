#!/usr/bin/env python3
"""Independent checks of LightWave scene conversion, written from the scene format and the record
layouts alone (not from the converter's code).

    scene_oracle.py eval LWS OURS
        OURS holds lines "object channel time value" that the converter's reader evaluated; each
        is compared with this reader's evaluation of the same envelope of LWS (objects counted
        in file order, cameras and lights left out).
    scene_oracle.py v3 SOURCE OUT
        Writes a version 3 scene holding the first object's envelopes of SOURCE (a scene of any
        version whose keys are written "Key value time span p1..p6").
    scene_oracle.py check ZEL SKELETON ANIMATION LWS [NAME=VALUE...]
        NAME=VALUE: the type file's constants that triggers name; NOANIM=1 for a skeleton
        without a default animation. Decodes the skeleton and hierarchy animation records of an uncompressed packed file and
        compares them with what the scene LWS describes. Pivots must be zero, objects cubes
        centred on their origin with the half size given by their file name's digits ("a.lwo"
        without digits: 1), and each node rotates about at most one axis.

Envelopes: keys (value, time, span type, tension, continuity, bias, ...); span types 0 TCB
(Kochanek-Bartels Hermite curve), 3 linear, 4 stepped; outside the keys the pre and post
behaviours: 0 reset, 1 constant, 2 repeat, 3 oscillate, 4 offset repeat, 5 linear.
Axes: LightWave's (east, up, north) become (east, south, up): (x, y, z) -> (x, -z, y). A node's
rotation is kept as (pitch, heading, bank) with bank's sign turned, as north becomes south:
(x, y, z) = (pitch, heading, -bank)."""
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "core"))
from zel_reader import Zel, fail, key  # noqa: E402

import numpy as np

F = np.float32


# ---------------------------------------------------------------- scene text

class Envelope:
    def __init__(self):
        self.keys = []  # (value, time, span, tension, continuity, bias)
        self.pre = 1
        self.post = 1

    def hermite(self, n, t):
        k = self.keys
        v0, t0 = k[n - 1][0], k[n - 1][1]
        v1, t1, span = k[n][0], k[n][1], k[n][2]
        if span == 4:
            return v0
        s = (t - t0) / (t1 - t0)
        d = v1 - v0
        if span != 0:
            return v0 + s * d
        tn, cn, bn = k[n - 1][3:6]
        a, b = (1 - tn) * (1 + cn) * (1 + bn), (1 - tn) * (1 - cn) * (1 - bn)
        if n >= 2:
            out = (t1 - t0) / (t1 - k[n - 2][1]) * (a * (v0 - k[n - 2][0]) + b * d)
        else:
            out = 0.5 * (a + b) * d
        tn, cn, bn = k[n][3:6]
        a, b = (1 - tn) * (1 - cn) * (1 + bn), (1 - tn) * (1 + cn) * (1 - bn)
        if n + 1 < len(k):
            inc = (t1 - t0) / (k[n + 1][1] - t0) * (b * (k[n + 1][0] - v1) + a * d)
        else:
            inc = 0.5 * (a + b) * d
        h2 = 3 * s * s - 2 * s ** 3
        return (1 - h2) * v0 + h2 * v1 + (s ** 3 - 2 * s * s + s) * out + (s ** 3 - s * s) * inc

    def inside(self, t):
        for n in range(1, len(self.keys)):
            if self.keys[n][1] > t:
                return self.hermite(n, t)
        return self.keys[-1][0]

    def __call__(self, t):
        k = self.keys
        if not k:
            return 0.0
        for v, kt, *_ in k:
            if kt == t:
                return v
        first, last = k[0][1], k[-1][1]
        n = next((i for i in range(len(k)) if k[i][1] > t - 1e-4), len(k))
        if 0 < n < len(k):
            return self.hermite(n, t)
        before = n == 0
        how = self.pre if before else self.post
        if how == 0:
            return 0.0
        length = last - first
        if len(k) < 2 or length <= 0 or how == 1 or how > 5:
            return k[0][0] if before else k[-1][0]
        if how == 5:
            a, b = (k[0], k[1]) if before else (k[-2], k[-1])
            slope = (b[0] - a[0]) / (b[1] - a[1])
            return (k[0][0] + (t - first) * slope) if before else (k[-1][0] + (t - last) * slope)
        cycles = math.floor((t - first) / length)
        local = t - first - cycles * length
        if how == 3 and cycles % 2:
            local = length - local
        value = self.inside(first + local)
        if how == 4:
            value += cycles * (k[-1][0] - k[0][0])
        return value


class SceneObject:
    def __init__(self, index, null, token):
        self.index = index
        self.null = null
        self.token = token
        self.channels = [Envelope() for _ in range(9)]
        self.parent = None
        self.unseen = False
        self.dissolve = 0.0
        self.children = []
        if null:
            self.raw = token
            low = token.lower()
            if low.startswith("attach_"):
                self.name = "~~" + token
            elif low.startswith(("root", "trigger_", "movetrigger_", "event_")):
                self.name = token
            else:
                self.name = "__" + token
        else:
            title = token.replace("\\", "/").split("/")[-1].rsplit(".", 1)[0].lower()
            self.raw = title.split("_")[0]
            self.name = "__" + self.raw


def read_scene(path):
    words = open(path).read().split()
    scene = {"first": 0, "last": 0, "fps": 30.0, "objects": []}
    i = 0
    current = None

    def envelope(at, env):
        assert words[at] == "{" and words[at + 1] == "Envelope"
        at += 3
        while words[at] != "}":
            if words[at] == "Key":
                # The scene stores single-precision values and times.
                env.keys.append((float(F(words[at + 1])), float(F(words[at + 2])), int(words[at + 3]),
                                 float(F(words[at + 4])), float(F(words[at + 5])), float(F(words[at + 6]))))
                at += 10
            elif words[at] == "Behaviors":
                env.pre, env.post = int(words[at + 1]), int(words[at + 2])
                at += 3
            elif words[at] == "{":
                while words[at] != "}":
                    at += 1
                at += 1
            else:
                at += 1
        return at + 1

    while i < len(words):
        w = words[i]
        if w in ("FirstFrame", "LastFrame"):
            scene["first" if w == "FirstFrame" else "last"] = int(words[i + 1])
            i += 2
        elif w == "FramesPerSecond":
            scene["fps"] = float(words[i + 1])
            i += 2
        elif w == "LoadObjectLayer":
            current = SceneObject(len(scene["objects"]), False, words[i + 2])
            scene["objects"].append(current)
            i += 3
        elif w == "AddNullObject":
            current = SceneObject(len(scene["objects"]), True, words[i + 1])
            scene["objects"].append(current)
            i += 2
        elif w in ("AddCamera", "AddLight"):
            current = None
            i += 1
        elif w == "ObjectMotion" and current is not None:
            count = int(words[i + 2])
            i += 3
            for _ in range(count):
                channel = int(words[i + 1])
                i = envelope(i + 2, current.channels[channel])
        elif w == "ParentItem" and current is not None:
            current.parent = int(words[i + 1], 16) & 0xFFFF
            i += 2
        elif w == "UnseenByCamera" and current is not None:
            current.unseen = int(words[i + 1]) != 0
            i += 2
        elif w == "ObjectDissolve" and current is not None:
            current.dissolve = float(words[i + 1])
            i += 2
        else:
            i += 1
    return scene


def build_tree(scene):
    objects = scene["objects"]
    for o in objects:
        if o.parent is None or o.parent >= len(objects):
            continue
        parent = objects[o.parent]
        if not parent.name.lower().startswith("root"):
            o.name = parent.name + o.name
        base, suffix = o.name, ""
        while any(c.name == o.name for c in parent.children):
            suffix += "i" if suffix else "_i"
            o.name = base + suffix
        parent.children.append(o)
    roots = [o for o in objects if o.name.lower().startswith("root")]
    return roots[0]


# ---------------------------------------------------------------- packed data

def to_database(v):
    return (v[0], -v[2], v[1])


def pack(angles):
    scale = F(1024.0) / (F(2.0) * F(3.1415927))
    word = 0
    for axis, angle in enumerate(angles):
        word |= (int(float(scale) * float(F(angle))) & 0x3FF) << (10 * axis)
    return word


def half_size(obj):
    digits = "".join(c for c in obj.token if c.isdigit())
    return float(digits) if digits else 1.0


def expect(scene, skeleton_label, constants):
    root = build_tree(scene)
    top = root.children[0]
    nodes, order = [], []

    def build(o, parent_node, depth):
        node = {"obj": o, "name": o.name, "attach": o.null, "children": [], "pos": (0.0, 0.0, 0.0),
                "mask": 0}
        nodes.append(node)
        if parent_node is not None:
            node["pos"] = to_database([o.channels[a](0.0) for a in range(3)])
            parent_node["children"].append(node)
        for c in o.children:
            if not c.unseen:
                build(c, node, depth + 1)
        return node

    top_node = build(top, None, 0)
    # Bounds: each mesh file once, at the place of the first object showing it.
    lo, hi, seen = [1e36] * 3, [-1e36] * 3, set()
    for node in nodes:
        o = node["obj"]
        if o.null or o.token in seen:
            continue
        seen.add(o.token)
        h = half_size(o)
        for a in range(3):
            lo[a] = min(lo[a], node["pos"][a] - h)
            hi[a] = max(hi[a], node["pos"][a] + h)
    centre = [(lo[a] + hi[a]) * 0.5 for a in range(3)]

    bit = [1]

    def assign(node):
        node["children"].sort(key=lambda n: n["name"].encode("latin-1"))
        if node["attach"]:
            return
        node["mask"] = bit[0]
        bit[0] <<= 1
        for c in node["children"]:
            assign(c)

    assign(top_node)
    animated = [n for n in nodes if not n["attach"]]
    mask_of = {n["name"]: n["mask"] for n in nodes}

    fps = F(scene["fps"])
    dt = F(1.0) / fps
    start, end = F(scene["first"]) * dt, F(scene["last"]) * dt
    times = []
    t = start
    while t + F(0.001) < end:
        times.append(t)
        t = F(t + dt)
    times.append(end)
    active = 0
    for n in animated:
        active |= n["mask"]

    def index_of(mask):
        return bin(active & (mask - 1)).count("1")

    keys = []
    for t in times:
        position = to_database([root.channels[a](float(t)) for a in range(3)])
        rots = [(0.0, 0.0, 0.0)] * len(animated)
        for n in animated:
            o = n["obj"]
            heading, pitch, bank = (o.channels[c](float(t)) for c in (3, 4, 5))
            assert sum(1 for v in (heading, pitch, bank) if abs(v) > 1e-9) <= 1, o.name + " turns about two axes"
            rots[index_of(n["mask"])] = (pitch, heading, -bank)
        keys.append({"time": float(F(t - times[0])), "pos": position, "rots": rots, "move": (0.0, 0.0, 0.0)})
    duration = F(F(times[-1] - times[0]) + dt)

    triggers = []
    for o in scene["objects"]:
        kind = ("trigger_", 0), ("movetrigger_", 3), ("event_", 4)
        low = o.raw.lower() if o.null else ""
        match = [k for k in kind if low.startswith(k[0])]
        if not match:
            continue
        rest = o.raw.split("_", 1)[1]
        name, frame = (rest.rsplit("_", 1) if "_" in rest else (rest, rest))
        frame = int(frame) if frame.lstrip("-").isdigit() else 0
        typ = match[0][1]
        time = float(F(F(frame) * dt - times[0]))
        if typ == 4:
            value = int(name, 0) if name.isdigit() else constants.get(name, key(name))
            triggers.append((time, value, 4))
        elif typ == 3:
            triggers.append((time, 0, 3))
            first = keys[0]["pos"]
            for i in range(1, len(keys)):
                keys[i - 1]["move"] = tuple(keys[i]["pos"][a] - keys[i - 1]["pos"][a] for a in range(3))
            for k in keys[1:]:
                k["pos"] = first
        else:
            prefixed = o.raw.rsplit("_", 1)[0] if "_" in rest else o.raw
            value = int(name, 0) if name.isdigit() else constants.get(prefixed, constants.get(name))
            triggers.append((time, value, 0))
    if root.channels[0].post == 2:
        triggers.append((float(duration), 0, 2))
        duration = F(duration + F(0.02))
    else:
        triggers.append((float(duration), 0x80000000, 1))
    triggers.sort(key=lambda tr: tr[0])

    fade_in, fade_out = scene["first"], scene["last"]
    parts = root.name[5:].split("_") if root.name.lower().startswith("root_") else []
    if len(parts) == 2 and all(p.lstrip("-").isdigit() for p in parts):
        fade_in, fade_out = int(parts[0]), int(parts[1])
    fin = float(F(F(max(fade_in, scene["first"])) * dt - times[0]))
    out = F(F(fade_out) * dt - times[0])
    fout = float(out) if fade_out != scene["last"] and out < duration else float(F(duration - F(0.01)))

    weights = [1.0] * (len(animated) + 1)
    weights[0] = 1.0 - root.dissolve
    for n in animated:
        weights[index_of(n["mask"]) + 1] = 1.0 - n["obj"].dissolve

    return {"nodes": nodes, "top": top_node, "min": lo, "max": hi, "centre": centre, "animated": animated,
            "active": active, "keys": keys, "triggers": triggers, "end": float(duration), "fade_in": fin,
            "fade_out": fout, "weights": weights, "masks": mask_of}


# ---------------------------------------------------------------- comparison

class Checker:
    def __init__(self):
        self.errors = []

    def near(self, what, ours, theirs, tolerance=1e-4):
        if abs(ours - theirs) > tolerance * max(1.0, abs(theirs)):
            self.errors.append("%s: %r, expected %r" % (what, ours, theirs))

    def equal(self, what, ours, theirs):
        if ours != theirs:
            self.errors.append("%s: %r, expected %r" % (what, ours, theirs))


def check(zel_path, skeleton_label, animation_label, scene_path, constants):
    zel = Zel(zel_path)
    want = expect(read_scene(scene_path), skeleton_label, constants)
    c = Checker()
    sk = zel.public(skeleton_label)
    values = zel.read(sk + 4, "12f3f")
    for i, name in enumerate(("Centroid", "Center")):
        for a in range(3):
            c.near("%s[%d]" % (name, a), values[3 * i + a], want["centre"][a])
    for a in range(3):
        c.near("MaxSize[%d]" % a, values[6 + a], want["max"][a])
        c.near("MinSize[%d]" % a, values[9 + a], want["min"][a])
    d = [want["max"][a] - want["centre"][a] for a in range(3)]
    c.near("MaxRadius", values[12], math.sqrt(sum(x * x for x in d)))
    c.near("MaxRadiusXY", values[13], math.sqrt(d[0] ** 2 + d[1] ** 2))
    anim = zel.public(animation_label)
    c.equal("pAnimation", zel.pointer(sk + 64), None if constants.get("NOANIM") else anim)
    no_attach, no_nodes = zel.read(sk + 68, "II")
    c.equal("NoAttachPoints", no_attach, len(want["nodes"]) - 1)
    c.equal("NoNodes", no_nodes, len(want["animated"]))

    # StaticNodes follow the skeleton record, depth first over the sorted tree.
    static_place = {}

    def walk(node, at):
        static_place[node["name"]] = at[0]
        place = at[0]
        at[0] += 16
        count = zel.read(place + 4, "I")[0]
        c.equal(node["name"] + " NoAttachPoints", count, len(node["children"]))
        c.equal(node["name"] + " pResource", zel.pointer(place) is not None, not node["attach"])
        for child in node["children"]:
            if not child["attach"]:
                walk(child, at)

    walk(want["top"], [sk + 76])

    def tables(node):
        if node["attach"]:
            return
        place = static_place[node["name"]]
        children = zel.pointer(place + 12)
        points = zel.pointer(place + 8)
        for i, child in enumerate(node["children"]):
            target = zel.pointer(children + 4 * i)
            c.equal("%s child %d" % (node["name"], i), target,
                    None if child["attach"] else static_place[child["name"]])
            x, y, z, crc = zel.read(points + 16 * i, "3fI")
            for a, v in enumerate((x, y, z)):
                c.near("%s attach %d [%d]" % (node["name"], i, a), v, child["pos"][a])
            c.equal("%s attach %d name" % (node["name"], i), crc, key(child["obj"].raw))
        for child in node["children"]:
            tables(child)

    tables(want["top"])

    head = zel.read(anim + 4, "I3fHHIIII")
    p_triggers, end, fade_in, fade_out, channels, key_size, active, _, no_keys, _ = head[:10]
    c.near("EndTime", end, want["end"])
    c.near("FadeIn", fade_in, want["fade_in"])
    c.near("FadeOut", fade_out, want["fade_out"])
    c.equal("NumChannels", channels, len(want["animated"]))
    c.equal("KeySize", key_size, 16 + 4 * len(want["animated"]))
    c.equal("ActiveChannels", active, want["active"])
    c.equal("pSkeleton", zel.pointer(anim + 28), sk)
    c.equal("NoKeys", no_keys, len(want["keys"]))
    weights = zel.read(anim + 44, "%df" % len(want["weights"]))
    for i, w in enumerate(want["weights"]):
        c.near("weight %d" % i, weights[i], w)
    keys_at = zel.pointer(anim + 36)
    moves_at = zel.pointer(anim + 40)
    moving = any(t[2] == 3 for t in want["triggers"])
    c.equal("pMovementKeys set", moves_at is not None, moving)
    for i, k in enumerate(want["keys"][:no_keys]):
        record = zel.read(keys_at + i * key_size, "4f%dI" % len(k["rots"]))
        c.near("key %d time" % i, record[0], k["time"])
        for a in range(3):
            c.near("key %d position %d" % (i, a), record[1 + a], k["pos"][a], 1e-3)
        for r, angles in enumerate(k["rots"]):
            c.equal("key %d rotation %d" % (i, r), "%08X" % record[4 + r], "%08X" % pack(angles))
        if moving:
            move = zel.read(moves_at + 12 * i, "3f")
            for a in range(3):
                c.near("key %d movement %d" % (i, a), move[a], k["move"][a], 1e-3)
    at = zel.pointer(anim + 4)
    for i, (time, flag, typ) in enumerate(want["triggers"]):
        t, f, ty, _ = zel.read(at + 12 * i, "fIHH")
        c.near("trigger %d time" % i, t, time)
        c.equal("trigger %d flag" % i, f, flag)
        c.equal("trigger %d type" % i, ty, typ)
    c.equal("trigger list end", zel.read(at + 12 * len(want["triggers"]) + 8, "H")[0], 0xFFFF)
    if c.errors:
        fail("\n".join(c.errors[:40]))
    print("skeleton %d nodes, %d channels, %d keys, %d triggers" %
          (len(want["nodes"]), len(want["animated"]), len(want["keys"]), len(want["triggers"])))


def evaluate(scene_path, ours_path):
    scene = read_scene(scene_path)
    count, worst = 0, 0.0
    for line in open(ours_path):
        index, channel, t, value = line.split()
        env = scene["objects"][int(index)].channels[int(channel)]
        theirs = env(float(F(t)))
        worst = max(worst, abs(float(value) - theirs))
        if abs(float(value) - theirs) > 1e-4 * max(1.0, abs(theirs)):
            fail("object %s channel %s at %s: ours %s, reference %r" % (index, channel, t, value, theirs))
        count += 1
    print("%d values agree, largest difference %.3g" % (count, worst))


def to_v3(source, out):
    lines = open(source).read().split("\n")
    at = lines.index("ObjectMotion") + 1
    body, channels, depth = [], 0, 0
    for line in lines[at:]:
        body.append(line)
        channels += line.startswith("Channel ")
        depth += line.count("{") - line.count("}")
        if channels == 9 and depth == 0 and line.strip() == "}":
            break
    open(out, "w").write("LWSC\n3\n\nFirstFrame 0\nLastFrame 60\nFramesPerSecond 30\n\n"
                         "LoadObjectLayer 1 cube.lwo\nObjectMotion\n" + "\n".join(body) + "\nShadowOptions 7\n")


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == "eval":
        evaluate(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "v3":
        to_v3(sys.argv[2], sys.argv[3])
    elif len(sys.argv) >= 6 and sys.argv[1] == "check":
        constants = {}
        for pair in sys.argv[6:]:
            name, _, value = pair.partition("=")
            constants[name] = int(value, 0)
        check(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], constants)
    else:
        fail(__doc__)


if __name__ == "__main__":
    main()
