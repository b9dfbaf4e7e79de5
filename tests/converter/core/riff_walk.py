#!/usr/bin/env python3
"""Walks a RIFF file chunk by chunk and prints its tree, written independently of the
converter's chunk writer: every size must fit inside its parent, odd sizes must be followed
by one zero pad byte, and nothing may trail the top chunk. For chunks whose id ends in "X"
the leading 32-bit raw size is printed too.

Output, one line per chunk, indented two spaces per level:
    RIFF ZEL2 50
      LIST PCX  38
        PUBL 12
        DATX 100 raw=1026
Exit status 1 and a message on stderr when the file is malformed."""
import struct
import sys

CONTAINERS = (b"RIFF", b"LIST")


def fail(message):
    sys.stderr.write(message + "\n")
    sys.exit(1)


def walk(data, start, end, depth, out):
    pos = start
    while pos < end:
        if end - pos < 8:
            fail("truncated chunk header at %d" % pos)
        cid, size = struct.unpack_from("<4sI", data, pos)
        body = pos + 8
        if body + size > end:
            fail("chunk %r at %d: size %d runs past its parent" % (cid, pos, size))
        line = "  " * depth + cid.decode("latin-1")
        if cid in CONTAINERS:
            if size < 4:
                fail("list chunk %r at %d has no list type" % (cid, pos))
            line += " " + data[body:body + 4].decode("latin-1")
        line += " %d" % size
        if cid.endswith(b"X") and size >= 4:
            line += " raw=%d" % struct.unpack_from("<I", data, body)[0]
        out.append(line)
        if cid in CONTAINERS:
            walk(data, body + 4, body + size, depth + 1, out)
        pos = body + size
        if size % 2:
            if pos >= end or data[pos] != 0:
                fail("odd chunk %r at %d lacks its zero pad byte" % (cid, body - 8))
            pos += 1
    if pos != end:
        fail("chunks overrun their parent at %d" % pos)


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF":
        fail("not a RIFF file")
    top_size = struct.unpack_from("<I", data, 4)[0]
    top_end = 8 + top_size + (top_size % 2)
    if top_end != len(data):
        fail("file is %d bytes, the top chunk says %d" % (len(data), top_end))
    out = []
    walk(data, 0, len(data), 0, out)
    print("\n".join(out))


if __name__ == "__main__":
    main()
