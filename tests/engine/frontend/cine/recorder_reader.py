#!/usr/bin/env python3
"""Reads the engine's cinematic recording on its own: a float start time, then frames of an
84-byte header (magic "/cOe", time, target label key, 64-byte editor label, size, message id)
and the message bytes. Prints one line per frame; a position or rotation message shows its
vector. Exits 1 naming the frame on anything malformed."""
import struct
import sys

HEADER = struct.Struct("<4sfI64sII")
MESSAGE = struct.Struct("<IIB3x")


def fail(path, text):
    print(f"{path}: {text}")
    sys.exit(1)


def main(path):
    data = open(path, "rb").read()
    if len(data) < 4:
        fail(path, "shorter than its start time")
    (start,) = struct.unpack_from("<f", data, 0)
    print(f"start {start:g}")
    at, index, previous = 4, 0, None
    while at < len(data):
        if at + HEADER.size > len(data):
            fail(path, f"frame {index} cut off in its header")
        magic, time, key, label, size, kind = HEADER.unpack_from(data, at)
        if magic != b"/cOe":
            fail(path, f"frame {index} has the magic {magic!r}")
        if size < MESSAGE.size or size > 4012 or at + HEADER.size + size > len(data):
            fail(path, f"frame {index} holds {size} bytes")
        body = data[at + HEADER.size : at + HEADER.size + size]
        message_id, _, priority = MESSAGE.unpack_from(body, 0)
        if message_id != kind:
            fail(path, f"frame {index}: id {kind:#x} in the header, {message_id:#x} in the message")
        if previous is not None and time < previous:
            fail(path, f"frame {index} goes back in time")
        name = label.split(b"\0", 1)[0].decode("ascii")
        line = f"{time:g} {key:08X} {name or '-'} id {kind} size {size} priority {priority}"
        if kind in (17, 18) and size == 24:
            line += " %g,%g,%g" % struct.unpack_from("<3f", body, 12)
        print(line)
        at += HEADER.size + size
        previous, index = time, index + 1


if __name__ == "__main__":
    main(sys.argv[1])
