# Independent oracle for the name keys: reads hex-encoded names, one a line, and prints the
# complement of zlib's CRC-32 of each.
import sys
import zlib

for line in open(sys.argv[1]):
    name = bytes.fromhex(line.strip())
    print("%08X" % (zlib.crc32(name) ^ 0xFFFFFFFF))
