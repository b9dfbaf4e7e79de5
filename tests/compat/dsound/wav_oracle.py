"""Independent reader of the mix files the sound tests write (Python's wave, numpy and sox).

  info WAV                      rate channels width frames, and sox's length in seconds
  frames WAV START COUNT        the stereo frames as "left right" lines
  peak WAV START END            the largest absolute sample of the frames [START, END)
  stream WAV SOURCE START       frames of SOURCE (mono 16-bit, 44.1 kHz) found at START on both
                                channels: "matched N of M; silent-after X"
  resampled WAV SOURCE START    SOURCE resampled by sox to 44.1 kHz against the left channel
                                from START: "rms-error E rms-signal S lag L"
"""
import subprocess
import sys
import tempfile
import wave

import numpy as np


def read(path):
    with wave.open(path, "rb") as w:
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        return w.getparams(), data.reshape(-1, w.getnchannels())


def sox_seconds(path):
    out = subprocess.run(["sox", path, "-n", "stat"], capture_output=True, text=True).stderr
    for line in out.splitlines():
        if line.startswith("Length (seconds)"):
            return float(line.split(":")[1])
    return -1.0


def main(argv):
    cmd, path = argv[1], argv[2]
    params, frames = read(path)
    if cmd == "info":
        print(params.framerate, params.nchannels, params.sampwidth, params.nframes, "%.6f" % sox_seconds(path))
    elif cmd == "frames":
        start, count = int(argv[3]), int(argv[4])
        for left, right in frames[start:start + count]:
            print(left, right)
    elif cmd == "peak":
        start, end = int(argv[3]), int(argv[4])
        part = frames[start:end].astype(np.int32)
        print(int(np.abs(part).max()) if part.size else 0)
    elif cmd == "stream":
        _, source = read(argv[3])
        start = int(argv[4])
        source = source[:, 0]
        part = frames[start:start + len(source)]
        n = min(len(part), len(source))
        matched = int(np.sum((part[:n, 0] == source[:n]) & (part[:n, 1] == source[:n])))
        after = frames[start + len(source):].astype(np.int32)
        print("matched %d of %d; silent-after %d" % (matched, len(source), int(np.abs(after).max()) if after.size else 0))
    elif cmd == "resampled":
        start = int(argv[4])
        with tempfile.NamedTemporaryFile(suffix=".wav") as ref:
            subprocess.run(["sox", argv[3], "-r", "44100", ref.name], check=True)
            _, expected = read(ref.name)
        expected = expected[:, 0].astype(np.float64)
        best = None
        for lag in range(max(-4, -start), 5):
            got = frames[start + lag:start + lag + len(expected), 0].astype(np.float64)
            n = min(len(got), len(expected)) - 8
            if n <= 0:
                continue
            err = np.sqrt(np.mean((got[:n] - expected[:n]) ** 2))
            if best is None or err < best[0]:
                best = (err, lag)
        print("rms-error %.3f rms-signal %.3f lag %d" % (best[0], np.sqrt(np.mean(expected ** 2)), best[1]))
    else:
        print("unknown command", cmd)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
