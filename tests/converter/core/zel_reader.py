"""The parts of an uncompressed packed data file that the Python checkers read, taken from the
file layout alone (not from the converter): RIFF "ZEL2" with one LIST per platform holding the
segments (DATA 0, TEMP 1, EXTA 2, PLAT 3), the public labels and typed records (PUBL, TYPE:
pairs of a name key and a place), the places of the pointer fields (OFFS) and the pointers left
to other files (EXTN: pairs of a name key and the field's place). A place word holds the
segment in its top four bits; a name key is the CRC-32 of the name, inverted."""
import struct
import sys
import zlib

SEGMENTS = {b"DATA": 0, b"TEMP": 1, b"EXTA": 2, b"PLAT": 3}


def fail(message):
    sys.stderr.write(message + "\n")
    sys.exit(1)


def key(name):
    return zlib.crc32(name.encode("latin-1")) ^ 0xFFFFFFFF


def chunks(data, start, end):
    while start + 8 <= end:
        cid, size = struct.unpack_from("<4sI", data, start)
        yield cid, start + 8, size
        start += 8 + size + (size & 1)


class Zel:
    def __init__(self, path):
        data = open(path, "rb").read()
        if data[0:4] != b"RIFF" or data[8:12] != b"ZEL2":
            fail("not a packed data file")
        self.segments, self.publics, self.types, self.pointers, self.externs = {}, {}, [], set(), {}
        for cid, body, size in chunks(data, 12, len(data)):
            if cid != b"LIST":
                continue
            for inner, at, length in chunks(data, body + 4, body + size):
                if inner in SEGMENTS:
                    self.segments[SEGMENTS[inner]] = data[at:at + length]
                elif inner in (b"DATX", b"TEMX", b"PLAX"):
                    fail("compressed segment: convert with NoCompression")
                elif inner in (b"PUBL", b"TYPE", b"EXTN"):
                    count = struct.unpack_from("<I", data, at)[0]
                    for i in range(count):
                        k, place = struct.unpack_from("<II", data, at + 4 + 8 * i)
                        if inner == b"PUBL":
                            self.publics[k] = place
                        elif inner == b"TYPE":
                            self.types.append((k, place))
                        else:
                            self.externs[place] = k
                elif inner == b"OFFS":
                    count = struct.unpack_from("<I", data, at)[0]
                    for i in range(count):
                        self.pointers.add(struct.unpack_from("<I", data, at + 4 + 4 * i)[0])

    def at(self, place):
        """The segment's bytes and the offset of a place in them."""
        return self.segments[place >> 28], place & 0x0FFFFFFF

    def public(self, label):
        if key(label) not in self.publics:
            fail("no public record " + label)
        return self.publics[key(label)]

    def typed(self, class_name):
        return [place for k, place in self.types if k == key(class_name)]

    def read(self, place, fmt):
        return struct.unpack_from("<" + fmt, *self.at(place))

    def bytes(self, place, count):
        segment, offset = self.at(place)
        return segment[offset:offset + count]

    def pointer(self, place):
        """The place a pointer field points to; None when null, ("extern", key) when left to
        another file."""
        if place in self.pointers:
            return self.read(place, "I")[0]
        if place in self.externs:
            return ("extern", self.externs[place])
        if self.read(place, "I")[0] != 0:
            fail("pointer at %08X neither null nor fixed up" % place)
        return None
