# An independent decoder of the word-oriented LZ stream, written from its format alone:
# a header word W, then groups of a flag word (bits from 0x8000 down) and 16 items; a clear bit
# is a literal word, a set bit a token (distance << L | length), L = 16 - bitlength(W); token 0
# ends the stream. Run as a program it reads the stream from the file named first, which must
# end with the end token, and writes the data to stdout; other checkers import decode().
import struct
import sys


def decode(data):
    """The decoded bytes and how many bytes of data the stream took up to its end token."""
    words = struct.unpack("<%dH" % (len(data) // 2), data[: len(data) // 2 * 2])
    w = words[0]
    assert w in (0xFF, 0x1FF, 0x3FF, 0x7FF), "bad window %d" % w
    shift = 16 - w.bit_length()
    out, pos = [], 1
    while True:
        flags = words[pos]
        pos += 1
        for bit in range(15, -1, -1):
            item = words[pos]
            pos += 1
            if not flags & (1 << bit):
                out.append(item)
            elif item == 0:
                return struct.pack("<%dH" % len(out), *out), pos * 2
            else:
                distance, length = item >> shift, item & ((1 << shift) - 1)
                assert 2 <= length <= distance <= w and distance <= len(out)
                out.extend(out[len(out) - distance : len(out) - distance + length])


if __name__ == "__main__":
    data = open(sys.argv[1], "rb").read()
    decoded, used = decode(data)
    assert used == len(data) // 2 * 2, "bytes after the end token"
    sys.stdout.buffer.write(decoded)
