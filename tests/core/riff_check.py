# Independent side of the chunk-file tests, on Python's standard library only.
#   readwav FILE        prints the WAV's parameters and its frames in hex
#   writewav FILE       writes a 16-bit stereo WAV with Python's wave module
#   writeaiff FILE      writes a FORM AIFF file (big-endian sizes) with an odd-sized chunk,
#                       followed by a RIFF block that switches back to little-endian
import struct
import sys
import wave

command, path = sys.argv[1], sys.argv[2]
if command == "readwav":
    with wave.open(path, "rb") as w:
        print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
        print(w.readframes(w.getnframes()).hex())
elif command == "writewav":
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(22050)
        w.writeframes(b"".join(struct.pack("<hh", i * 7, -i * 3) for i in range(333)))
elif command == "writeaiff":
    comm = struct.pack(">hLh", 2, 1000, 16) + b"\x40\x0e\xac\x44" + b"\x00" * 6
    name = b"odd"
    chunks = b"COMM" + struct.pack(">L", len(comm)) + comm
    chunks += b"NAME" + struct.pack(">L", len(name)) + name + b"\x00"
    chunks += b"SSND" + struct.pack(">L", 12) + struct.pack(">LL", 0, 0) + b"\x01\x02\x03\x04"
    form = b"FORM" + struct.pack(">L", 4 + len(chunks)) + b"AIFF" + chunks
    riff = b"RIFF" + struct.pack("<L", 4 + 8 + 2) + b"TEST" + b"abcd" + struct.pack("<L", 2) + b"xy"
    open(path, "wb").write(form + riff)
