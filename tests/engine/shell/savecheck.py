#!/usr/bin/env python3
"""Independent reader of a save slot: the 416-byte header, then the compressed save stream
(the word-oriented LZ stream), then zero padding up to 512,000 bytes. Prints what it found as
JSON: header fields, the decoded stream's length, level name, times, the handles of the bitmap,
the first object header, whether the stream ends with the end record and 8 zero bytes, and
whether the header's stream length and checksum (the complement of the common CRC-32) match.

Usage: savecheck.py SLOTFILE
"""
import json
import os
import struct
import sys
import zlib

# The save stream goes through the core's independent decoder of the compressed format.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "core"))
from kzq_decode import decode  # noqa: E402

slot = open(sys.argv[1], "rb").read()
name, folder, key, stored_bytes, stored_sum, version, u0, u1, block = struct.unpack("<128s260sIIIIiiI", slot[:416])
stream, used = decode(slot[416:])
level = stream[:32].split(b"\0")[0].decode()
time1, = struct.unpack("<f", stream[32:36])
bitmap = struct.unpack("<2048I", stream[36:36 + 8192])
time2, = struct.unpack("<f", stream[8228:8232])
handles = [32 * w + b for w in range(2048) for b in range(32) if bitmap[w] >> b & 1]
first = list(struct.unpack("<4I", stream[8232:8248]))
print(json.dumps({
    "size": len(slot),
    "name": name.split(b"\0")[0].decode(),
    "key": key,
    "version": version,
    "unused": [u0, u1],
    "padding_zero": not any(slot[416 + used:]),
    "stream_bytes": len(stream),
    "level": level,
    "times_equal": time1 == time2,
    "handles": handles,
    "first": first,
    "stored_bytes_match": stored_bytes == used,
    "checksum_matches": stored_sum == zlib.crc32(slot[416:416 + stored_bytes]) ^ 0xFFFFFFFF,
    "ends_well": stream[-24:] == struct.pack("<4I", 0x7FEA419D, 0, 0, 0) + bytes(8),
}))
