#!/usr/bin/env python3
"""Writes the demo's sounds as a packed data file, "sounds.zel", into the given folder.

The converter's sound command is not built yet, so the records are written directly: a
synthesised chime (a decaying major chord, 22,050 Hz 16-bit mono) as a memory sample, and the
sound definition "DemoChime" that plays it. The level loads the file with LoadZel.

Usage: demo_sounds.py OUTDIR
"""
import math
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "engine" / "zel"))
import zelfix  # noqa: E402  the project's own packed data writer

RATE = 22050


def chime(seconds=0.6):
    frames = []
    for i in range(int(RATE * seconds)):
        t = i / RATE
        level = math.exp(-5.0 * t) * min(1.0, t * 200.0)
        v = sum(math.sin(2 * math.pi * f * t) for f in (523.25, 659.25, 783.99)) / 3.0
        frames.append(int(round(12000 * level * v)))
    return struct.pack("<%dh" % len(frames), *frames)


def main(out):
    block = zelfix.Block()
    samples = chime()
    fmt = struct.pack("<HHIIHHH", 1, 1, RATE, RATE * 2, 2, 16, 0)
    raw = block.segments[1].add(fmt + samples)  # format and samples stay in the load-time segment
    sample = block.record("CSoundSample", struct.pack("<III", len(samples), 0, RATE))
    block.pointer(sample + 8, raw)
    # CSoundDefinition: Id, Flags, UseCount, SampleCount, PreviousRandom, Priority,
    # FadeMultiplier, Volume, pNext, then the sample pointers.
    definition = block.record("CSoundDefinition",
                              struct.pack("<IBBBBfffII", zelfix.name_key("DemoChime"), 0, 0, 1, 0,
                                          1.0, 0.0, 0.8, 0, 0))
    block.pointer(definition + 28, sample)
    Path(out).mkdir(parents=True, exist_ok=True)
    (Path(out) / "sounds.zel").write_bytes(zelfix.zel_file([("PCX ", block)]))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
