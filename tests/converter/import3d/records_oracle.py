#!/usr/bin/env python3
"""Independent checks of the records scripts define (tables, parameter blocks, particle and
emitter definitions, event scripts) and writer of recording files, from the record layouts alone.

    records_oracle.py script ZEL
        Checks the records of the script of ScriptRecordsTest (see there) in an uncompressed file.
    records_oracle.py record OUT
        Writes a recording: a float start time, then frames of an 84-byte header {"/cOe", time,
        target key, 64-byte target label, payload size, message id} and the payload. Prints one
        JSON line per frame with the payload bytes in hex.
    records_oracle.py events ZEL SCRIPT FRAMES
        The event script SCRIPT's messages, in time order, must hold the payload bytes that FRAMES
        (the JSON lines of "record") list, except pointer fields, which must point at the events
        named there."""
import json
import struct
import sys

from scene_oracle import Checker, Zel, fail, key

import numpy as np

F = np.float32
DEG = F(0.017453289)


def cstring(zel, place):
    segment = zel.segments[place >> 28]
    at = place & 0x0FFFFFFF
    return segment[at:segment.index(b"\0", at)].decode("latin-1")


def table(zel, place):
    # Count and HasResources are 16-bit; the entries' pointers follow from offset 4.
    count, resources = zel.read(place, "HH")
    return resources, [zel.pointer(place + 4 + 4 * i) for i in range(count)]


def fill_data(zel, place):
    fields, at = [], place
    while True:
        crc = zel.read(at, "I")[0]
        if crc == 0:
            return fields
        length, index, flags = zel.read(at + 4, "HBB")
        fields.append((crc, index, flags, bytes(zel.segments[at >> 28][(at & 0x0FFFFFFF) + 8:(at & 0x0FFFFFFF) + 8 + length])))
        at += (8 + length + 3) & ~3


def check_script(path):
    zel = Zel(path)
    c = Checker()
    # The table of the help text: ANIM1 = 1 and ANIM2 = 4 place the nested tables.
    resources, entries = table(zel, zel.public("Moves"))
    c.equal("Moves HasResources", resources, 0)
    c.equal("Moves Count", len(entries), 5)
    c.equal("Moves null entries", [entries[i] for i in (0, 2, 3)], [None] * 3)
    for index, names in ((1, ["One", "Two", "Three"]), (4, ["Aaaa", "Bbbb", "Ccccc", "dee", "eeee", "efff"])):
        r, nested = table(zel, entries[index])
        c.equal("Moves[%d] HasResources" % index, r, 1)
        c.equal("Moves[%d] entries" % index, nested, [("extern", key(n)) for n in names])
    resources, derived = table(zel, zel.public("More"))
    c.equal("More starts as Moves", derived[:5], entries)
    c.equal("More's own block", table(zel, derived[5])[1] if len(derived) == 6 else None, [("extern", key("Four"))])
    resources, words = table(zel, zel.public("Words"))
    c.equal("Words HasResources", resources, 1)
    c.equal("Words", [cstring(zel, w) for w in words], ["alpha", "beta", "alpha"])
    c.equal("equal texts, separate strings", words[0] != words[2], True)

    # Parameter blocks: a chain of three embedded blocks, each overriding its parent.
    def block(label):
        place = zel.public(label)
        class_id, label_id = zel.read(place + 4, "II")
        player = zel.read(place + 16, "i")[0]
        fields = {crc: (i, data) for crc, i, _, data in fill_data(zel, zel.pointer(place + 12))}
        return class_id, label_id, player, fields

    for label, speed, player in (("Base", 3, 0), ("Hero", 7, 0), ("Villain", 7, 2)):
        class_id, label_id, got_player, fields = block(label)
        c.equal(label + " ClassId", class_id, key("GFoo"))
        c.equal(label + " LabelId", label_id, key(label))
        c.equal(label + " Player", got_player, player)
        c.equal(label + " Speed", struct.unpack("<i", fields[key("Speed")][1])[0], speed)
        c.near(label + " Size", struct.unpack("<f", fields[key("Size")][1])[0], 1.5)
        c.equal(label + " Tag", struct.unpack("<I", fields[key("Tag")][1])[0], key(label))
        c.equal(label + " field count", len(fields), 3)

    # Particle definitions.
    def particle(label):
        place = zel.public(label)
        v = zel.read(place, "8f3f3f3f3f3f3ffi3fIff3f")
        return v, zel.pointer(place + 148), zel.pointer(place + 152)

    spin = float(F(180) * DEG)
    v, texture, following = particle("Spark")
    c.equal("Spark colours", v[0:8], (1.0, 0.0, 0.0, 1.0) * 2)
    c.equal("Spark Scale", v[11:14], (2.0, 2.0, 1.0))
    c.near("Spark MinSpin.X", v[20], spin)
    c.near("Spark MaxSpin.X", v[23], spin)
    c.near("Spark MinSpin.X is pi", v[20], 3.1415927)
    c.equal("Spark Facing", v[27], 2)
    c.equal("Spark Flags", v[31], 2 | 8)
    c.equal("Spark Wind", v[33], 1.0)
    c.equal("Spark pTexture", texture, ("extern", key("Tex")))
    c.equal("Spark pNextDef", following, zel.public("Smoke"))
    v, texture, following = particle("Smoke")
    c.equal("Smoke colours", v[0:8], (1.0,) * 8)
    c.equal("Smoke Flags", v[31], 4 | 8)
    c.equal("Smoke Lifespan", v[34:37], (1.0, 2.0, 0.5))
    c.equal("Smoke Wind", v[33], 0.5)
    c.equal("Smoke chain ends", (texture, following), (None, None))
    v, texture, following = particle("Ember")
    c.equal("Ember colours", v[0:8], (1.0, 0.0, 0.0, 1.0, 0.0, 0.0, 1.0, 0.5))
    c.equal("Ember keeps Spark's", (v[27], v[31], texture, following), (2, 10, ("extern", key("Tex")), zel.public("Smoke")))

    place = zel.public("Fountain")
    e = zel.read(place, "24f")
    c.near("Fountain Vector.X", e[0], float(F(90) * DEG))
    c.near("Fountain ArpetureIn", e[3], float(F(10) * DEG))
    c.near("Fountain ArpetureIn.Max", e[4], float(F(20) * DEG))
    c.equal("Fountain ArpetureIn.Bias", e[5], 1.0)
    c.equal("Fountain Count", e[18:21], (3.0, 5.0, 2.0))
    c.equal("Fountain pParticle", zel.pointer(place + 96), zel.public("Spark"))
    c.equal("Fountain pNextDef", zel.pointer(place + 100), zel.public("Fountain2"))
    c.equal("Fountain2 Period", zel.read(zel.public("Fountain2") + 60, "3f"), (-1.0, -1.0, 1.0))

    # The event script: events in time order, targets, handles, message members.
    place = zel.public("Intro")
    c.equal("Intro BaseTime, LoopCount", zel.read(place + 4, "fi"), (1.0, -1))
    events = []
    at = place + 12
    while zel.pointer(at) is not None:
        events.append(zel.pointer(at))
        at += 4
    c.equal("event count", len(events), 3)
    times = [zel.read(e, "f")[0] for e in events]
    c.equal("event times", times, [1.0, 1.5, 2.0])
    sound, create, move = events
    c.equal("sound target", zel.read(sound + 4, "I")[0], 0)
    c.equal("sound message", zel.read(sound + 12, "I")[0], 0x1001C)
    c.equal("sound members", zel.read(sound + 12 + 12, "I3fi"), (5, 0.0, 0.0, 0.0, 1))
    c.equal("create target", zel.read(create + 4, "I")[0], 16)
    handle1, handle2 = zel.read(create + 8, "hh")
    c.equal("create Handle1 reaches hObject", handle1, 12 + 20 - 8)
    c.equal("create Handle2", handle2, 0)
    c.equal("create hObject", zel.read(create + 12 + 20, "I")[0], key("Door"))
    c.equal("create TemplateId", zel.read(create + 12 + 12, "I")[0], 7)
    c.equal("move target", zel.read(move + 4, "I")[0], key("Door"))
    c.equal("move message", zel.read(move + 12, "I")[0], 17)
    c.equal("move Pos", zel.read(move + 24, "3f"), (1.0, 2.0, 3.0))
    if c.errors:
        fail("\n".join(c.errors))
    print("script records agree")


CHAIN_ID = 0x00777001


def frame(time, target_key, label, message_id, payload, size=None):
    size = len(payload) if size is None else size
    header = struct.pack("<IfI64sII", 0x654F632F, time, target_key, label.encode("latin-1"), size, message_id)
    return header + payload


def write_recording(out):
    frames, lines = [], []

    def add(time, label, target_key, message_id, payload, name):
        frames.append(frame(time, target_key, label, message_id, payload))
        lines.append({"time": time, "event": name, "payload": payload.hex()})

    # Three moves of the door, a sound with no target label, and a chain of two linked messages
    # of a class the test declares, whose pointer members reach the previous and the next one.
    for i, pos in enumerate(((1.0, 2.0, 3.0), (1.5, -2.25, 0.1), (3.0, 4.0, 5.0))):
        add(0.5 * i, "Door", key("Door"), 17, struct.pack("<IIB3x3f", 17, 0, 10, *pos),
            "CSetPosMessage_Door_%03d" % i)
    add(0.75, "", 0x1234, 0x1001C, struct.pack("<IIB3xI3fi", 0x1001C, 0, 10, 99, 1.0, 2.0, 3.0, 1),
        "CPlaySoundMessage_0x00001234_000")
    for i in range(2):
        add(1.0 + i, "Lamp", key("Lamp"), CHAIN_ID, struct.pack("<IIB3xIIf", CHAIN_ID, 0, 10, 0, 0, 0.25 * (i + 1)),
            "CChainMessage_Lamp_%03d" % i)
    with open(out, "wb") as f:
        f.write(struct.pack("<f", 1.5) + b"".join(frames))
    for line in lines:
        print(json.dumps(line))


def check_events(path, script, frames_path):
    zel = Zel(path)
    c = Checker()
    frames = [json.loads(line) for line in open(frames_path) if line.strip()]
    place = zel.public(script)
    events = []
    while zel.pointer(place + 12 + 4 * len(events)) is not None:
        events.append(zel.pointer(place + 12 + 4 * len(events)))
    c.equal("event count", len(events), len(frames))
    by_name = {}
    for f, e in zip(sorted(frames, key=lambda f: f["time"]), events):
        by_name[f["event"]] = e
    for f, e in zip(sorted(frames, key=lambda f: f["time"]), events):
        payload = bytes.fromhex(f["payload"])
        c.near(f["event"] + " time", zel.read(e, "f")[0], f["time"])
        got = bytes(zel.segments[e >> 28][(e & 0x0FFFFFFF) + 12:(e & 0x0FFFFFFF) + 12 + len(payload)])
        if f["event"].startswith("CChainMessage"):
            number = int(f["event"][-3:])
            prev_name = "CChainMessage_Lamp_%03d" % (number - 1)
            next_name = "CChainMessage_Lamp_%03d" % (number + 1)
            c.equal(f["event"] + " pPrev", zel.pointer(e + 12 + 12), by_name.get(prev_name))
            c.equal(f["event"] + " pNext", zel.pointer(e + 12 + 16), by_name.get(next_name))
            got, payload = got[:12] + got[20:], payload[:12] + payload[20:]
        c.equal(f["event"] + " message bytes", got.hex(), payload.hex())
    if c.errors:
        fail("\n".join(c.errors))
    print("%d messages agree" % len(events))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "script":
        check_script(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "record":
        write_recording(sys.argv[2])
    elif len(sys.argv) == 5 and sys.argv[1] == "events":
        check_events(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        fail(__doc__)


if __name__ == "__main__":
    main()
