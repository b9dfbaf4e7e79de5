"""Looks members up in a pack file the way the engine's loader does, written from the pack
layout alone: INDX pairs grouped in 16 buckets by key AND 15, offsets from the pack's data
start (its form type at offset 0) to each member's LIST "ZEL2" header.

usage: zlp_reader.py PACK NAME=SOURCE... [MISSING_NAME...]
Prints "found NAME at OFFSET" when the member's content equals SOURCE's RIFF content, "missing NAME"
for names not in the pack, and "bad NAME: reason" otherwise."""
import struct
import sys
import zlib


def name_key(name):
    data = name.upper().replace("/", "\\").encode("ascii")
    return zlib.crc32(data) ^ 0xFFFFFFFF


def riff_content(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[0:4] == b"RIFF" and data[8:12] == b"ZEL2", path
    size = struct.unpack("<I", data[4:8])[0]
    return data[12:8 + size]


def main():
    with open(sys.argv[1], "rb") as f:
        pack = f.read()
    assert pack[0:4] == b"RIFF" and pack[8:12] == b"ZLPK", "not a pack"
    data = pack[8:]
    assert data[4:8] == b"INDX", "no index first"
    index_size = struct.unpack("<I", data[8:12])[0]
    index = data[12:12 + index_size]
    pair_count = (index_size - 64) // 8
    pairs = [struct.unpack("<II", index[8 * i:8 * i + 8]) for i in range(pair_count)]
    buckets = struct.unpack("<16I", index[index_size - 64:index_size])
    for argument in sys.argv[2:]:
        name, _, source = argument.partition("=")
        key = name_key(name)
        start = buckets[key & 15]
        offset = None
        if start != 0xFFFFFFFF:
            for pair_key, pair_offset in pairs[start:]:
                if pair_key == 0:
                    break
                if pair_key == key:
                    offset = pair_offset
                    break
        if offset is None:
            print("missing " + name)
            continue
        header = data[offset:offset + 12]
        if header[0:4] != b"LIST" or header[8:12] != b"ZEL2":
            print("bad %s: no LIST ZEL2 at %d" % (name, offset))
            continue
        size = struct.unpack("<I", header[4:8])[0]
        member = data[offset + 12:offset + 8 + size]
        if member == riff_content(source):
            print("found %s at %d" % (name, offset))
        else:
            print("bad %s: content differs" % name)


main()
