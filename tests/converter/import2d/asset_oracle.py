#!/usr/bin/env python3
"""Independent makers and checkers of the converter's sound, sprite and font records, from the
record layouts and Python's own readers alone.

    asset_oracle.py wavs OUTDIR
        Writes WAV files with the wave module: 8- and 16-bit, mono and stereo, one with a LIST
        chunk before its data, one with an odd-sized data chunk, one with a 16-byte format
        chunk; and refused ones: a float format, 24-bit, a truncated data chunk.
    asset_oracle.py sound ZEL LABEL FADE WAV...
        The CSoundDefinition with LABEL's key must list one CSoundSample per WAV whose 18-byte
        format and PCM are what the wave module reads from that file.
    asset_oracle.py stream ZEL LABEL NAME
        The sound's one sample is streamed: Length SOUND_STREAM and the file name as its data.
    asset_oracle.py sheet OUT | big OUT | font OUT
        A sprite sheet with control marks, a 300 by 100 frame without control points, a font strip.
    asset_oracle.py stray OUT
        The sheet with a pixel of an unknown colour outside its box.
    asset_oracle.py sprite ZEL | font ZEL
        The records of the sheet's sprite "Marked", the big frame "Big" and the font "Strip"."""
import json
import struct
import sys
import wave
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "core"))
from zel_reader import Zel, fail, key  # noqa: E402

SOUND_STREAM = 1


# ---------------------------------------------------------------- sounds

def tone(frames, channels, width):
    out = bytearray()
    for i in range(frames):
        for c in range(channels):
            v = ((i * 37 + c * 11) % 200) - 100
            out += bytes([(v + 128) & 0xFF]) if width == 1 else struct.pack("<h", v * 300)
    return bytes(out)


def write_wav(path, channels, width, rate, frames):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(tone(frames, channels, width))


def riff(form, parts):
    body = b"".join(cid + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"") for cid, data in parts)
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + form + body


def make_wavs(out):
    write_wav(out + "/mono8.wav", 1, 1, 11025, 1000)
    write_wav(out + "/stereo8.wav", 2, 1, 22050, 700)
    write_wav(out + "/mono16.wav", 1, 2, 22050, 900)
    write_wav(out + "/stereo16.wav", 2, 2, 44100, 800)
    write_wav(out + "/odd.wav", 1, 1, 8000, 333)  # a data chunk of 333 bytes and its pad byte
    fmt = struct.pack("<HHIIHH", 1, 1, 16000, 32000, 2, 16)
    info = b"INFO" + b"ICMT" + struct.pack("<I", 5) + b"note\0" + b"\0"
    open(out + "/listed.wav", "wb").write(riff(b"WAVE", [(b"fmt ", fmt), (b"LIST", info), (b"data", tone(64, 1, 2))]))
    open(out + "/float.wav", "wb").write(riff(b"WAVE", [(b"fmt ", struct.pack("<HHIIHHH", 3, 1, 8000, 32000, 4, 32, 0)),
                                                        (b"data", b"\0" * 64)]))
    open(out + "/deep.wav", "wb").write(riff(b"WAVE", [(b"fmt ", struct.pack("<HHIIHHH", 1, 1, 8000, 24000, 3, 24, 0)),
                                                       (b"data", b"\0" * 60)]))
    # The file ends 50 bytes into a data chunk that claims 200; the RIFF size agrees with the file.
    cut = bytearray(riff(b"WAVE", [(b"fmt ", fmt), (b"data", tone(100, 1, 2))])[:-150])
    struct.pack_into("<I", cut, 4, len(cut) - 8)
    open(out + "/cut.wav", "wb").write(bytes(cut))


def wave_reading(path):
    with wave.open(path, "rb") as w:
        channels, width, rate, frames = w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()
        pcm = w.readframes(frames)
    header = struct.pack("<HHIIHHH", 1, channels, rate, rate * channels * width, channels * width, width * 8, 0)
    return header, pcm


def find_sound(zel, label):
    for place in zel.typed("CSoundDefinition"):
        if zel.read(place + 4, "I")[0] == key(label):
            return place
    fail("no CSoundDefinition with the key of " + label)


def check_sound(path, label, fade, files):
    zel = Zel(path)
    place = find_sound(zel, label)
    flags, use, count, previous, priority, multiplier, volume = zel.read(place + 8, "BBBBfff")
    errors = []
    if count != len(files):
        errors.append("SampleCount %d, expected %d" % (count, len(files)))
    want = 1.0 / (2.0 * float(fade))
    if abs(multiplier - want) > 1e-6:
        errors.append("FadeMultiplier %r, expected %r" % (multiplier, want))
    for i, name in enumerate(files):
        sample = zel.pointer(place + 28 + 4 * i)
        length = zel.read(sample + 4, "I")[0]
        raw = zel.pointer(sample + 8)
        header, pcm = wave_reading(name)
        if raw is None or raw >> 28 != 1:
            errors.append("%s: raw data not in the load-time segment" % name)
            continue
        if zel.bytes(raw, 18) != header:
            errors.append("%s: header %s, expected %s" % (name, zel.bytes(raw, 18).hex(), header.hex()))
        if length != len(pcm) or zel.bytes(raw + 18, length) != pcm:
            errors.append("%s: %d bytes of PCM differ from the wave module's %d" % (name, length, len(pcm)))
    if errors:
        fail("\n".join(errors))
    print("ok", label, count)


def check_stream(path, label, name):
    zel = Zel(path)
    place = find_sound(zel, label)
    flags = zel.read(place + 8, "B")[0]
    sample = zel.pointer(place + 28)
    length = zel.read(sample + 4, "I")[0]
    raw = zel.pointer(sample + 8)
    text = zel.bytes(raw, len(name) + 1)
    if length != SOUND_STREAM or text != name.encode() + b"\0" or not flags & SOUND_STREAM:
        fail("stream sample: Length %d, flags %d, data %r" % (length, flags, text))
    print("ok stream")


# ---------------------------------------------------------------- sprites and fonts

BACK, BOUND, HOT, ATTACH, WHITE = (0, 0, 255), (255, 0, 255), (255, 0, 0), (0, 255, 0), (255, 255, 255)


def image(width, height):
    from PIL import Image
    return Image.new("RGB", (width, height), BACK)


def fill(img, left, top, right, bottom, colour):
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            img.putpixel((x, y), colour)


def make_sheet(out):
    """Key: bound, hot spot, attach point. The box (10,5)-(29,24) holds a cyan 8 by 6 block at
    (14,10) with a white 4 by 3 corner at its top left; the hot spot's marks give y 12 (a row left of the box) and x 16 (a column below it),
    the attach point's y 11 and x 20: hot spot (2,2) in the frame, attach point (4,-1) from it."""
    img = image(40, 30)
    fill(img, 0, 0, 1, 0, BOUND)
    fill(img, 2, 0, 3, 0, HOT)
    fill(img, 4, 0, 5, 0, ATTACH)
    fill(img, 10, 5, 29, 24, BOUND)
    fill(img, 14, 10, 21, 15, (0, 255, 255))
    fill(img, 14, 10, 17, 12, WHITE)
    fill(img, 2, 12, 5, 12, HOT)
    fill(img, 16, 26, 16, 28, HOT)
    fill(img, 32, 11, 35, 11, ATTACH)
    fill(img, 20, 1, 20, 3, ATTACH)
    img.save(out)


def make_stray(out):
    """The sheet with one pixel of an unknown colour right of the box."""
    make_sheet(out)
    from PIL import Image
    img = Image.open(out)
    img.putpixel((36, 20), (0, 128, 0))
    img.save(out)


def make_big(out):
    img = image(310, 110)
    img.putpixel((0, 0), BOUND)
    fill(img, 3, 3, 304, 104, BOUND)
    fill(img, 4, 4, 303, 103, (0, 200, 0))
    fill(img, 4, 4, 153, 53, (200, 200, 0))
    img.save(out)


def make_font(out):
    """Cell colour yellow. Glyphs: a 3-wide, a 2-wide, a marker column, a 4-wide, all within rows
    4..10 (7 high); the marker runs the full inner height 3..11."""
    cell = (255, 255, 0)
    img = image(24, 15)
    img.putpixel((0, 0), cell)
    fill(img, 2, 2, 21, 12, cell)
    fill(img, 4, 4, 6, 10, WHITE)
    fill(img, 8, 5, 9, 10, WHITE)
    fill(img, 11, 3, 11, 11, (255, 0, 0))
    fill(img, 13, 4, 16, 9, WHITE)
    img.save(out)


def frames(zel, batch):
    flags, count, textures, p_textures, p_frames = zel.read(batch, "IHHII")
    out = []
    first = zel.pointer(batch + 12)
    for i in range(count):
        out.append(list(zel.read(first + 20 * i, "HHhhhhhhhh")))
    return flags, textures, out


def check_sprite(path):
    zel = Zel(path)
    place = zel.public("Marked")
    flags, textures, fr = frames(zel, place + 4)
    box_frame, = zel.read(place + 20, "i")
    count, = zel.read(place + 44, "I")
    attach = [zel.read(place + 48 + 4 * i, "hh") for i in range(count)]
    big = zel.public("Big")
    _, big_textures, big_frames = frames(zel, big + 4)
    result = {"marked": fr, "box": box_frame, "attach": attach, "big": big_frames}
    # Filtered (the default): coordinates without the unfiltered sampling offset of 7/4096.
    expected = {"marked": [[0, 0, -32, 96, -32, 64, 16, 144, 16, 112]], "box": -1, "attach": [(4, -1)],
                "big": [[1, 0, -2400, 1664, -800, 800, None, None, None, None],
                        [0, None, 1664, 2400, -800, 800, None, None, None, None]]}
    for want, got in zip(expected["big"], big_frames):
        for i, v in enumerate(want):
            if v is None:
                want[i] = got[i]
    if result != expected:
        fail("sprite records:\n%s\nexpected\n%s" % (json.dumps(result), json.dumps(expected)))
    print("ok sprite")


def check_font(path):
    zel = Zel(path)
    place = zel.public("Strip")
    space, kerning, height, leading = zel.read(place + 4, "IiII")
    _, textures, fr = frames(zel, place + 20)
    table = zel.bytes(place + 36, 256)
    widths = [(f[3] - f[2]) // 16 for f in fr]
    heights = [(f[5] - f[4]) // 16 for f in fr]
    got = {"metrics": [space, kerning, height, leading], "widths": widths, "heights": heights,
           "table": {c: table[c] for c in range(256) if table[c] != 255}}
    want = {"metrics": [4, 1, 7, 9], "widths": [3, 2, 4], "heights": [7, 7, 7], "table": {65: 0, 66: 1, 68: 2}}
    if got != want:
        fail("font records:\n%r\nexpected\n%r" % (got, want))
    print("ok font")


def main():
    command = sys.argv[1]
    if command == "wavs":
        make_wavs(sys.argv[2])
    elif command == "sound":
        check_sound(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    elif command == "stream":
        check_stream(sys.argv[2], sys.argv[3], sys.argv[4])
    elif command in ("sheet", "stray", "big", "font"):  # relative names are taken in the working folder
        {"sheet": make_sheet, "stray": make_stray, "big": make_big, "font": make_font}[command](sys.argv[2])
    elif command == "sprite":
        check_sprite(sys.argv[2])
    elif command == "fontcheck":
        check_font(sys.argv[2])
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main()
