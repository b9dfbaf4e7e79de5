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
        out += b"\0" * (-len(data) % 4)  # records start on 4-byte boundaries
    return out + struct.pack("<I", 0)  # the end: a lone zero name key


def fill_record(block, cls, class_name, label, fields, extra=b"", segment=0, export=None):
    """CFillData and its subclasses: table pointer, ClassId, LabelId, pData, then extra."""
    where = block.record(cls, struct.pack("<III", name_key(class_name), name_key(label) if label else 0, 0) + extra,
                         segment=segment, export=export)
    # The values follow their record, so a file's last run ends exactly at its segment's end.
    block.pointer(where + 12, block.segments[segment].add(fill_data(fields)))
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


# ---------------------------------------------------------------------------------------------
# The engine tests' data set.

def probe(block, value, text=None, export=None, handle=None, imported=None, segment=0):
    """CZelProbe, a record type of the tests: Value, pText, Handle, pImport (20 bytes)."""
    where = block.record("CZelProbe", struct.pack("<IIII", value, 0, 0, 0), segment=segment, export=export)
    if text is not None:
        block.pointer(where + 8, block.segments[segment].add(text.encode() + b"\0"))
    if handle is not None:
        block.hndl.append((name_key(handle), where + 12))
    if imported is not None:
        block.extn.append((name_key(imported), where + 16))
    return where


def preset(block, class_name, label, fields, player=0, handle=0):
    return fill_record(block, "CPresetFillData", class_name, label, fields, struct.pack("<iI", player, handle))


def label_fixup(block, key_name, label):
    block.record("CVeskLabelFixup", struct.pack("<I", name_key(key_name)) + label.encode() + b"\0")


def zel_load(block, name):
    block.record("CZelLoad", struct.pack("<I", 0) + name.encode() + b"\0")


def text(block, value):
    return block.segments[0].add(value.encode() + b"\0")


def template(block, class_name, label, name):
    """CVeskTemplateFillData: CFillData, Player, pName, pNext."""
    where = fill_record(block, "CVeskTemplateFillData", class_name, label, [], struct.pack("<iII", 0, 0, 0))
    block.pointer(where + 20, text(block, name))


def extra_data(block, file_name, label):
    """CVeskExtraData: pNext, pFileName, pReference, pLabel, bDumped and filler, LabelCRC."""
    where = block.record("CVeskExtraData", struct.pack("<IIIIBxxxI", 0, 0, 0, 0, 0, name_key(label)))
    if file_name:
        block.pointer(where + 8, text(block, file_name))
    block.pointer(where + 16, text(block, label))


def vesk_file(templates, extras):
    b = Block()
    for class_name, label, name in templates:
        template(b, class_name, label, name)
    for file_name, label in extras:
        extra_data(b, file_name, label)
    return zel_file([("PCX ", b)])


def i32(v):
    return struct.pack("<i", v)


def f32(v):
    return struct.pack("<f", v)


def master_file():
    b = Block()
    probe(b, 1, text="master text", export="MasterThing")
    probe(b, 2, export="TempThing", segment=1)
    label_fixup(b, "MasterThing", "MasterThing")
    fill_record(b, "CDefaultFillData", "GZelProbeObject", None, [("Count", i32(7), 0, 0)])
    return zel_file([("PCX ", b)], compress_segments=True)


def level_file():
    everyone = Block()
    probe(everyone, 10, export="AllThing")
    pc = Block()
    where = probe(pc, 11, text="level text", export="LevelThing", handle="MasterThing", imported="MasterThing")
    probe(pc, 13, handle="NoSuchThing", imported="NoSuchImport")
    # A pointer whose target lies in the platform segment, which the PC never loads.
    far = probe(pc, 14)
    pc.pointer(far + 8, place(3, 16))
    probe(pc, 12, export="ExtraSegmentThing", segment=2)
    preset(pc, "GZelProbeObject", "Probe1", [("Speed", f32(2.5), 0, 0)], player=1)
    where = preset(pc, "GNotAClass", "Nobody", [], handle=0x12345)
    pc.publ.append((name_key("NobodyPreset"), where))
    pc.record("CNotARecord", struct.pack("<I", 0xC0FFEE))
    zel_load(pc, "extra.zel")
    windows = Block()
    probe(windows, 99, export="WindowsThing")
    del where
    return zel_file([("ALL ", everyone), ("WIN ", windows), ("PCX ", pc)])


def single_probe_file(value, export, compress_segments=False):
    b = Block()
    probe(b, value, text="probe %d" % value, export=export)
    return zel_file([("PCX ", b)], compress_segments)


def shell_level(value, export, objects=()):
    b = Block()
    probe(b, value, export=export)
    for class_name, label in objects:
        preset(b, class_name, label, [("Count", i32(value), 0, 0)])
    return zel_file([("PCX ", b)])


def mutation_base():
    """Every table and both segment forms, for the damaged-file tests."""
    b = Block()
    probe(b, 70, text="mutant", export="MutantThing", handle="MasterThing", imported="MasterThing")
    probe(b, 71, export="MutantTemp", segment=1)
    probe(b, 72, segment=2)
    preset(b, "GZelProbeObject", "Mutant", [("Speed", f32(1.5), 0, 0), ("Count", i32(3), 0, 0)])
    label_fixup(b, "MutantThing", "MutantThing")
    return zel_file([("PCX ", b)], compress_segments=True), zel_file([("PCX ", b)])


def flat_file():
    """A top level without LIST chunks: its chunks form one block."""
    b = Block()
    probe(b, 84, text="flat", export="FlatThing")
    return list_chunk("RIFF", "ZEL2", b.chunks())


def export_over_type_file():
    """A damaged file: it exports a record under the name of a record type."""
    b = Block()
    where = b.segments[0].add(struct.pack("<II", 0, 0))
    b.publ.append((name_key("CZelProbe"), where))
    return zel_file([("PCX ", b)])


def typed_order_file(overlap=False, reverse=False):
    """Probes whose type entries come out of place order, with a record of an unknown class
    among them; with overlap the second probe starts inside the first (damage)."""
    b = Block()
    first = b.record("CZelProbe", struct.pack("<IIII", 71, 0, 0, 0))
    b.record("CNoSuchClass", struct.pack("<I", 0))
    third = b.record("CZelProbe", struct.pack("<IIII", 73, 0, 0, 0))
    if overlap:
        b.type[2] = (b.type[2][0], first + 8)
    if reverse:
        b.type.reverse()
    del third
    return zel_file([("PCX ", b)])


def write_test_data(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "master.zel": master_file(),
        "level.zel": level_file(),
        "extra.zel": single_probe_file(20, "ExtraThing"),
        "mainmenu.zel": shell_level(80, "MenuThing", [("GZelProbeObject", "MenuProbe")]),
        "second.zel": shell_level(81, "SecondThing", [("GZelProbeObject", "SecondProbe")]),
        "splash.zel": single_probe_file(82, "SplashThing"),
        "plainonly/level.zel": single_probe_file(60, "PlainThing"),
        "both/level.zel": single_probe_file(51, "BothPlainThing"),
        "vesk1.zel": vesk_file([("GZelProbeObject", "T1", "First"), ("GZelProbeObject", "T2", "Second")],
                               [("a.rhu", "One"), ("b.rhu", "Two"), ("a.rhu", "Three"), (None, "Four")]),
        "mutants/export_over_type.zel": export_over_type_file(),
        "typed/out_of_order.zel": typed_order_file(reverse=True),
        "mutants/overlap_in_order.zel": typed_order_file(overlap=True),
        "mutants/overlap_out_of_order.zel": typed_order_file(overlap=True, reverse=True),
        "flat.zel": flat_file(),
        "order.zel": shell_level(83, "OrderThing", [("GZelProbeObject", n) for n in ("First", "Second", "Third")]),
        "vesk2.zel": vesk_file([("GZelProbeObject", "T3", "Third")], [("c.rhu", "Five")]),
    }
    compressed, plain = mutation_base()
    files["mutants/base_x.zel"] = compressed
    files["mutants/base.zel"] = plain
    hashed = {
        "hashonly/Level.zel": single_probe_file(40, "HashThing", compress_segments=True),
        "both/level.zel": single_probe_file(50, "BothHashThing"),
    }
    for name, data in files.items():
        path = out / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    for name, data in hashed.items():
        folder = (out / name).parent
        folder.mkdir(parents=True, exist_ok=True)
        (folder / hashed_name(name)).write_bytes(data)
    (out / "zlp.zlp").write_bytes(pack([
        ("packed/Level.zel", single_probe_file(30, "PackedThing", compress_segments=True)),
        ("packed/Other.zel", single_probe_file(31, "OtherPackedThing")),
    ]))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "testdata":
        sys.exit("usage: zelfix.py testdata OUTDIR")
    write_test_data(sys.argv[2])
