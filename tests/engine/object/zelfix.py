#!/usr/bin/env python3
"""Independent writer of packed data fixtures (.zel files, the pack "zlp.zlp" and hashed
".zlx" copies), written from the file format alone and sharing no code with the converter.

Usage: zelfix.py FIXTURE OUTDIR [ARGS...]
"""
import struct
import sys
import zlib
from pathlib import Path


def name_key(text):
    """CRC-32 of the bytes with no final inversion: the complement of the usual checksum."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return (~zlib.crc32(text)) & 0xFFFFFFFF


def fourcc(text):
    return text.encode("ascii").ljust(4, b" ")[:4]


def chunk(cid, payload):
    data = fourcc(cid) + struct.pack("<I", len(payload)) + payload
    if len(payload) & 1:
        data += b"\0"
    return data


def list_chunk(cid, list_type, children):
    return chunk(cid, fourcc(list_type) + b"".join(children))


def place(segment, offset):
    return (segment << 28) | offset


def compress(data, window=2047):
    """Word-oriented LZ stream: header word W, groups of a flag word and up to 16 items,
    literal words or tokens (distance << L | length), ended by the token 0."""
    if len(data) & 1:
        data += b"\0"
    words = list(struct.unpack("<%dH" % (len(data) // 2), data))
    shift = 16 - window.bit_length()
    max_len = (1 << shift) - 1
    items = []
    i = 0
    while i < len(words):
        best_len, best_dist = 0, 0
        for dist in range(min(window, i), 1, -1):
            n = 0
            while n < dist and n < max_len and i + n < len(words) and words[i - dist + n] == words[i + n]:
                n += 1
            if n > best_len:
                best_len, best_dist = n, dist
            if best_len == max_len:
                break
        if best_len >= 2:
            items.append((True, (best_dist << shift) | best_len))
            i += best_len
        else:
            items.append((False, words[i]))
            i += 1
    items.append((True, 0))
    out = [window]
    for g in range(0, len(items), 16):
        group = items[g:g + 16]
        flags = 0
        for n, (is_token, _) in enumerate(group):
            if is_token:
                flags |= 0x8000 >> n
        out.append(flags)
        out.extend(value for _, value in group)
    return struct.pack("<%dH" % len(out), *out)


class Segment:
    def __init__(self, number):
        self.number = number
        self.data = bytearray()

    def add(self, payload, align=4):
        while len(self.data) % align:
            self.data.append(0)
        offset = len(self.data)
        self.data += payload
        return place(self.number, offset)


class Block:
    """One platform block: segments and the tables that patch them."""

    def __init__(self):
        self.segments = [Segment(n) for n in range(4)]
        self.offs, self.publ, self.extn, self.type, self.hndl = [], [], [], [], []

    def pointer(self, field_place, target_place):
        seg = self.segments[field_place >> 28]
        off = field_place & 0x0FFFFFFF
        seg.data[off:off + 4] = struct.pack("<I", target_place)
        self.offs.append(field_place)

    def record(self, cls, payload, segment=0, export=None):
        """A typed record: a zero table pointer, then the payload."""
        where = self.segments[segment].add(b"\0\0\0\0" + payload)
        self.type.append((name_key(cls), where))
        if export:
            self.publ.append((name_key(export), where))
        return where

    def chunks(self, compress_segments=False):
        def pairs(entries):
            return struct.pack("<I", len(entries)) + b"".join(struct.pack("<II", k, p) for k, p in entries)
        out = [chunk("TYPE", pairs(self.type)), chunk("HNDL", pairs(self.hndl)),
               chunk("OFFS", struct.pack("<I", len(self.offs)) + b"".join(struct.pack("<I", p) for p in self.offs)),
               chunk("PUBL", pairs(self.publ)), chunk("EXTN", pairs(self.extn))]
        for seg, plain, packed in ((0, "DATA", "DATX"), (1, "TEMP", "TEMX"), (2, "EXTA", None), (3, "PLAT", "PLAX")):
            data = bytes(self.segments[seg].data)
            if not data and seg != 0:
                continue
            if compress_segments and packed:
                even = len(data) + (len(data) & 1)
                out.append(chunk(packed, struct.pack("<I", even) + compress(data)))
            else:
                out.append(chunk(plain, data))
        return out


def zel_file(blocks, compress_segments=False):
    """blocks: list of (platform, Block)."""
    return list_chunk("RIFF", "ZEL2", [list_chunk("LIST", plat, b.chunks(compress_segments)) for plat, b in blocks])


def fill_data(fields):
    """EditableFillData run: {crc, u16 length, u8 index, u8 flags, data}..., then crc 0."""
    out = b""
    for name, data, index, flags in fields:
        out += struct.pack("<IHBB", name_key(name), len(data), index, flags) + data
    return out + struct.pack("<IHBB", 0, 0, 0, 0)


def fill_record(block, cls, class_name, label, fields, extra=b"", segment=0, export=None):
    """CFillData and its subclasses: table pointer, ClassId, LabelId, pData, then extra."""
    data_place = block.segments[segment].add(fill_data(fields))
    where = block.record(cls, struct.pack("<III", name_key(class_name), name_key(label) if label else 0, 0) + extra,
                         segment=segment, export=export)
    block.pointer(where + 12, data_place)
    return where


def pack(members):
    """members: list of (name as asked for, zel bytes). Returns the bytes of "zlp.zlp"."""
    keyed = sorted(((name_key(n.upper().replace("/", "\\")), n.upper(), data) for n, data in members),
                   key=lambda m: (m[0] & 15, m[1]))
    n = len(keyed)
    offset = 8 * n + 84
    pairs, bodies = [], []
    for key, _, data in keyed:
        body = chunk("LIST", data[8:])  # the member's RIFF data becomes a LIST of type ZEL2
        pairs.append((key, offset))
        bodies.append(body)
        offset += len(body)
    starts = [0xFFFFFFFF] * 16
    for i, (key, _, _) in enumerate(keyed):
        if starts[key & 15] == 0xFFFFFFFF:
            starts[key & 15] = i
    index = b"".join(struct.pack("<II", k, o) for k, o in pairs) + struct.pack("<II", 0, 0)
    index += struct.pack("<16I", *starts)
    return list_chunk("RIFF", "ZLPK", [chunk("INDX", index)] + bodies)


def hashed_name(name):
    last = name.replace("/", "\\").split("\\")[-1]
    return "%08X.zlx" % name_key(last.upper())
