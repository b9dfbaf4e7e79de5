#!/usr/bin/env python3
"""The pose of a skeleton the converter made from a LightWave scene, reckoned from the scene
alone and compared with the engine's.

  converted_pose.py SCENE DUMP

SCENE is the scene the converter read. DUMP holds the engine's values after it played the
skeleton's own animation: "render_pos x y z", "render_rot x y z", "frames n dt" (the frames
played, the first starting the animation), "node<i> <16 floats>" per node and "point <i> <name key> x y z" per attach point.

The scene reader evaluates the envelopes and samples them into keys as the records describe
(one key a frame, angles packed into 10 bits a turn); the pose between two keys, the Euler
matrices of the engine's sine table and the node chain follow the animation rules, as the
skeleton fixture's reckoning does.
"""
import math
import sys
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "converter" / "import3d"))
sys.path.insert(0, str(HERE))
import animfix  # noqa: E402
import scene_oracle  # noqa: E402

F = np.float32


def unpacked(angles):
    word = scene_oracle.pack(angles)
    return [(word >> (10 * axis)) & 1023 for axis in range(3)]


def pose_at(want, time):
    """Root position and per channel the rotation (radians) at the animation's time."""
    keys = want["keys"]
    k = 1 if len(keys) > 1 else 0
    while time >= F(keys[k]["time"]) and k + 1 < len(keys):
        k += 1
    g, prev = F(0.0), keys[k]
    if k > 0 and time < F(keys[k]["time"]):
        prev = keys[k - 1]
        g = F(F(time - F(prev["time"])) / F(F(keys[k]["time"]) - F(prev["time"])))
    nxt = keys[k]
    pos = [F(F(p) + F(F(F(q) - F(p)) * g)) for p, q in zip(prev["pos"], nxt["pos"])]
    rots = []
    for c in range(len(want["animated"])):
        a, b = unpacked(prev["rots"][c]), unpacked(nxt["rots"][c])
        angles = [animfix.lerp_angle(a[ax] << 22, b[ax] << 22, g) for ax in range(3)]
        rots.append([F(animfix.s32(v) * (2 * math.pi / 2 ** 32)) for v in angles])
    return pos, rots


def expected(want, values):
    frames, dt = values["frames"]
    time = F(0.0)
    for _ in range(int(frames) - 1):
        time = F(time + F(dt))
    pos, rots = pose_at(want, time)
    # Nodes are stored depth first over the name-sorted tree: the order of their mask bits.
    order = sorted(want["animated"], key=lambda n: n["mask"])
    channel = {id(n): i for i, n in enumerate(order)}
    mats = {id(order[0]): animfix.euler(pos, rots[0]) @ animfix.euler(values["render_pos"], values["render_rot"])}
    out = {}
    point = 0
    for i, node in enumerate(order):
        m = mats[id(node)]
        out["node%d" % i] = m.flatten()
        for child in node["children"]:
            if not child["attach"]:
                mats[id(child)] = animfix.euler(child["pos"], rots[channel[id(child)]]) @ m
            world = animfix.point_world(child["pos"], m)
            out["point%d" % point] = np.array([scene_oracle.key(child["obj"].raw)] + list(world))
            point += 1
    return out


def main():
    scene_path, dump = sys.argv[1], sys.argv[2]
    animfix.np = np
    animfix.TABLE = np.array([F(math.sin(i * (float(F(2 * math.pi)) / 2048.0))) for i in range(2048)])
    animfix.INDEX_SCALE = float(F(325.9493))
    values = {}
    for line in Path(dump).read_text().split("\n"):
        if line.strip():
            name, *nums = line.split()
            if name == "point":
                name, nums = "point" + nums[0], nums[1:]
            values[name] = np.array([float(v) for v in nums])
    want = scene_oracle.expect(scene_oracle.read_scene(scene_path), None, {})
    bad = 0
    checks = expected(want, values)
    # Points of the same name (two copies of one mesh hang on the same parent) are found by
    # name, so any one of them may answer.
    same_name = {}
    for name, ref in checks.items():
        if name.startswith("point"):
            same_name.setdefault(ref[0], []).append(ref)
    for name, ref in checks.items():
        got = values.get(name)
        refs = same_name[ref[0]] if name.startswith("point") else [ref]
        if got is None or got.shape != ref.shape or not any(np.allclose(got, r, atol=2e-4) for r in refs):
            print("%s: got %s, expected %s" % (name, got, ref))
            bad += 1
    extra = [n for n in values if (n.startswith("node") or n.startswith("point")) and n not in checks]
    for name in extra:
        print("%s: not in the scene" % name)
    print("checked %d values, %d differ" % (len(checks), bad + len(extra)))
    return 1 if bad or extra else 0


if __name__ == "__main__":
    sys.exit(main())
