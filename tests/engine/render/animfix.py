#!/usr/bin/env python3
"""Skeleton and animation fixtures, and the independent reckoning of their poses.

  animfix.py write OUTDIR        writes anim.zel (a three-node skeleton and three animations)
                                 and animbad.zel (damaged records) with the packed-data writer
  animfix.py check DUMP          recomputes the node matrices and attach points of the test's
                                 schedule with numpy and compares them with the dump

The reckoning follows the animation rules from the records' values alone: key interpolation,
cross-fades, the weighted angle mean around a reference, the overlay blend, the sine table of
the matrix code and the node chain.
"""
import math
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "zel"))
import zelfix  # noqa: E402


def F(value):
    return np.float32(value)


# ---- the fixture ----

# Nodes: (attach points [(x, y, z, name, child node or None)]).
NODES = [
    [((0.0, 1.0, 0.0), "Arm", 1), ((0.5, 0.0, 0.25), "Head", None)],
    [((0.0, 2.0, 0.0), "Elbow", 2)],
    [((0.3, 1.5, 0.0), "Tip", None)],
]

# Animations: keys are (time, position, [(x, y, z) packed angles per channel]).
ANIMS = {
    "Walk": dict(fade_in=0.0, fade_out=1.0, end=1.0, active=0b111, root_weight=1.0, weights=[1.0, 1.0, 1.0],
                 keys=[(0.0, (0.0, 0.0, 0.0), [(1020, 10, 100), (200, 0, 0), (0, 0, 512)]),
                       (0.5, (0.0, 0.5, 0.1), [(8, 20, 110), (300, 50, 0), (10, 0, 600)]),
                       (1.0, (0.0, 1.0, 0.0), [(30, 40, 120), (100, 0, 0), (0, 0, 700)])]),
    "Wave": dict(fade_in=0.5, fade_out=1.0, end=1.0, active=0b111, root_weight=0.5, weights=[1.0, 0.5, 1.0],
                 keys=[(0.0, (1.0, 0.0, 0.0), [(1000, 0, 90), (250, 1000, 3), (0, 5, 512)]),
                       (1.0, (1.0, 0.0, 0.2), [(990, 0, 95), (260, 1010, 9), (0, 15, 530)])]),
    "Nod": dict(fade_in=0.0, fade_out=0.9, end=1.0, active=0b100, root_weight=0.25, weights=[0.0, 0.0, 1.0],
                keys=[(0.0, (0.0, 0.0, 1.0), [(0, 0, 0), (0, 0, 0), (100, 0, 0)]),
                      (1.0, (0.0, 0.0, 1.0), [(0, 0, 0), (0, 0, 0), (200, 0, 0)])]),
}


def packed(angles):
    x, y, z = angles
    return (x & 1023) | (y & 1023) << 10 | (z & 1023) << 20


def skeleton_record(block, label, nodes, bad_child=False, node_resource=None, animation=None):
    count = len(nodes)
    points = sum(len(n) for n in nodes)
    payload = struct.pack("<12f", *([0.0] * 12)) + struct.pack("<3f", 3.0, 3.0, 1.0)
    payload += struct.pack("<III", 0, points, count)
    payload += b"\0" * (16 * count)
    where = block.record("CRendStaticSkeleton", payload, export=label)
    seg = block.segments[0]
    if animation is not None:
        block.pointer(where + 64, animation)
    if node_resource is not None:
        block.pointer(where + 76, node_resource)
    for i, node in enumerate(nodes):
        field = where + 76 + 16 * i
        if not node:
            continue
        ap = seg.add(b"".join(struct.pack("<3fI", *pos, zelfix.name_key(name)) for pos, name, _ in node))
        children = seg.add(b"\0" * (4 * len(node)))
        struct.pack_into("<I", seg.data, (field & 0x0FFFFFFF) + 4, len(node))
        block.pointer(field + 8, ap)
        block.pointer(field + 12, children)
        for j, (_, _, child) in enumerate(node):
            if child is not None:
                target = where + 76 + 16 * child
                if bad_child:
                    target = where + 76 + 16 * (count + 3)
                block.pointer(children + 4 * j, target)
    return where


def animation_record(block, label, a, skeleton, key_size=None, no_keys=None, channels=None, end_trigger=True):
    n = channels if channels is not None else 3
    keys = a["keys"]
    key_size = key_size if key_size is not None else 16 + 4 * n
    head = struct.pack("<Ifff", 0, a["end"], a["fade_in"], a["fade_out"])
    head += struct.pack("<HHI", n, key_size, a["active"])
    head += struct.pack("<II", 0, no_keys if no_keys is not None else len(keys))
    head += struct.pack("<II", 0, 0) + struct.pack("<f", a["root_weight"])
    head += struct.pack("<%df" % len(a["weights"]), *a["weights"])
    where = block.record("CHierarchyAnimation", head, export=label)
    seg = block.segments[0]
    data = b""
    for t, pos, rots in keys:
        data += struct.pack("<4f", t, *pos) + b"".join(struct.pack("<I", packed(r)) for r in rots)
    kp = seg.add(data)
    block.pointer(where + 36, kp)
    if skeleton is not None:
        block.pointer(where + 28, skeleton)
    if not end_trigger:
        # A trigger list with no end record: it runs to the end of the data.
        tp = seg.add(struct.pack("<fIHH", 0.5, 1, 0, 0))
        block.pointer(where + 4, tp)
    return where


def write(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    b = zelfix.Block()
    skel = skeleton_record(b, "Skel3", NODES)
    for name, a in ANIMS.items():
        animation_record(b, name, a, skel)
    (out / "anim.zel").write_bytes(zelfix.zel_file([("PCX ", b)]))

    bad = zelfix.Block()
    animation_record(bad, "TooManyKeys", ANIMS["Walk"], None, no_keys=100000)
    animation_record(bad, "ShortKeys", ANIMS["Walk"], None, key_size=8)
    animation_record(bad, "WideChannels", ANIMS["Walk"], None, channels=40)
    skeleton_record(bad, "StraySkeleton", NODES, bad_child=True)
    animation_record(bad, "EndlessTriggers", ANIMS["Walk"], None, end_trigger=False)
    # Records of a class the engine does not know stay unbuilt: no table of functions to call.
    unbuilt = bad.record("NoSuchRecordClass", b"\0" * 96)
    skeleton_record(bad, "UnbuiltNodeResource", NODES, node_resource=unbuilt)
    skeleton_record(bad, "UnbuiltAnimation", NODES, animation=unbuilt)
    (out / "animbad.zel").write_bytes(zelfix.zel_file([("PCX ", bad)]))


# ---- the reckoning ----

TABLE = None
INDEX_SCALE = None


def table_sin_cos(angle):
    angle = float(F(angle))
    if angle == 0.0:
        return 0.0, 1.0
    i = int(np.rint(angle * INDEX_SCALE)) & 2047
    return TABLE[i], TABLE[(i + 512) & 2047]


def euler(position, angles):
    sx, cx = table_sin_cos(angles[0])
    sy, cy = table_sin_cos(angles[1])
    sz, cz = table_sin_cos(angles[2])
    m = np.zeros((4, 4))
    m[0, :3] = [cy * cz, cy * sz, -sy]
    m[1, :3] = [sy * sx * cz - cx * sz, sy * sx * sz + cx * cz, sx * cy]
    m[2, :3] = [sx * sz + sy * cx * cz, sy * cx * sz - sx * cz, cx * cy]
    m[3, :3] = position
    m[3, 3] = 1.0
    return m.astype(np.float32).astype(np.float64)


def s32(v):
    v &= 0xFFFFFFFF
    return v - (1 << 32) if v & 0x80000000 else v


def lerp_angle(a, b, g):
    return (a + int(float(g) * s32(b - a))) & 0xFFFFFFFF


class Slot:
    def __init__(self, anim, speed, weight, rate, target):
        self.a, self.speed, self.weight, self.rate, self.target = anim, F(speed), F(weight), F(rate), F(target)
        self.time = F(-1.0)

    def advance(self, dt):
        if self.time < 0:
            self.time = F(0.0)
            return
        self.time = F(self.time + F(dt * self.speed))
        self.weight = F(self.weight + F(dt * self.rate))
        if self.weight > self.target:
            self.weight, self.rate = self.target, F(0.0)

    def pose(self):
        keys = self.a["keys"]
        k = 1 if len(keys) > 1 else 0
        while self.time >= keys[k][0] and k + 1 < len(keys):
            k += 1
        g = F(0.0)
        prev = keys[k]
        if k > 0 and self.time < keys[k][0]:
            prev = keys[k - 1]
            g = F(F(self.time - F(prev[0])) / F(F(keys[k][0]) - F(prev[0])))
        nxt = keys[k]
        pos = [F(F(p) + F(F(F(q) - F(p)) * g)) for p, q in zip(prev[1], nxt[1])]
        angles, weights = [], []
        for c in range(32):
            active = c < 3 and (self.a["active"] >> c) & 1
            if active:
                angles.append([lerp_angle(prev[2][c][ax] << 22, nxt[2][c][ax] << 22, g) for ax in range(3)])
                weights.append(F(self.weight * F(self.a["weights"][c])))
            else:
                angles.append([0, 0, 0])
                weights.append(F(0.0))
        return dict(pos=pos, rw=F(self.weight * F(self.a["root_weight"])), angles=angles, weights=weights)


def mean_angle(angles, weights):
    idx = [k for k in range(len(angles)) if weights[k] > 0]
    if not idx:
        return 0
    best, ref = None, None
    for r in idx:
        widest = max((angles[k] - angles[r]) & 0xFFFFFFFF for k in idx)
        if best is None or widest < best:
            best, ref = widest, r
    total = sum(float(weights[k]) for k in idx)
    s = sum(float(weights[k]) * ((angles[k] - angles[ref]) & 0xFFFFFFFF) for k in idx)
    return (angles[ref] + int(s / total)) & 0xFFFFFFFF


def blend(slots):
    poses = [s.pose() for s in slots]
    if not poses:
        return None
    if len(poses) == 1:
        return poses[0]
    total = sum(p["rw"] for p in poses)
    pos = [F(sum(F(p["pos"][i] * p["rw"]) for p in poses) / total) for i in range(3)]
    out = dict(pos=pos, rw=max(p["rw"] for p in poses), angles=[], weights=[])
    for c in range(32):
        ws = [p["weights"][c] for p in poses]
        out["weights"].append(max(ws))
        out["angles"].append([mean_angle([p["angles"][c][ax] for p in poses], ws) for ax in range(3)])
    return out


def combine(a, b):
    only = a or b
    if a and b:
        pos = [F(F(x) + F(F(F(y) - F(x)) * b["rw"])) for x, y in zip(a["pos"], b["pos"])]
        angles = [[lerp_angle(a["angles"][c][ax], b["angles"][c][ax], b["weights"][c]) for ax in range(3)]
                  for c in range(32)]
    else:
        pos, angles = only["pos"], only["angles"]
    rots = [[F(s32(v) * (2 * math.pi / 2 ** 32)) for v in ch] for ch in angles]
    return pos, rots


def schedule():
    """The test's schedule: returns the pose after it."""
    dt = 0.1
    base, over = [], []
    walk = Slot(ANIMS["Walk"], 1.0, 1.0, 0.0, 1.0)
    base.append(walk)
    for _ in range(4):
        for s in base + over:
            s.advance(dt)
    rate = F(1.0 / 0.5)
    walk.rate = F(-(rate * walk.weight))
    base.append(Slot(ANIMS["Wave"], 1.0, 0.0, rate, 1.0))
    for _ in range(2):
        for s in base + over:
            s.advance(dt)
    over.append(Slot(ANIMS["Nod"], 1.0, 0.5, 0.0, 0.5))
    for _ in range(2):
        for s in base + over:
            s.advance(dt)
    return combine(blend(base), blend(over))


def node_matrices(pos, rots, render_pos, render_rot):
    placement = euler(render_pos, render_rot)
    mats = {0: euler(pos, rots[0]) @ placement}
    channel = 1
    order = [(0, 0)]
    for parent, _ in order:
        for (point, _, child) in NODES[parent]:
            if child is None:
                continue
            mats[child] = euler(point, rots[channel]) @ mats[parent]
            channel += 1
            order.append((child, 0))
    return mats


def point_world(point, m):
    return (np.array(list(point) + [1.0]) @ m)[:3]


def check(dump):
    values = {}
    for line in Path(dump).read_text().split("\n"):
        if line.strip():
            name, *nums = line.split()
            values[name] = np.array([float(v) for v in nums])
    pos, rots = schedule()
    mats = node_matrices(pos, rots, values["render_pos"], values["render_rot"])
    expected = {"node%d" % i: mats[i].flatten() for i in mats}
    expected["Tip"] = point_world(NODES[2][0][0], mats[2])
    expected["Head"] = point_world(NODES[0][1][0], mats[0])
    expected["index0"] = point_world(NODES[0][0][0], mats[0])
    bad = 0
    for name, want in expected.items():
        got = values.get(name)
        if got is None or got.shape != want.shape or not np.allclose(got, want, atol=2e-4):
            print("%s: got %s, expected %s" % (name, got, want))
            bad += 1
    print("checked %d values, %d differ" % (len(expected), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2])
    elif sys.argv[1] == "check":
        # Only the reckoning needs numpy; the writer runs with any Python.
        import numpy as np
        TABLE = np.array([np.float32(math.sin(i * (float(F(2 * math.pi)) / 2048.0))) for i in range(2048)])
        INDEX_SCALE = float(F(325.9493))
        sys.exit(check(sys.argv[2]))
