"""Independent reader for the video tests: FFmpeg's command-line tool decodes the video, Pillow
reads the screenshots, and each screenshot is matched against every decoded frame.

  frames VIDEO                 the number of frames ffmpeg decodes
  match VIDEO SHOT...          per screenshot: "best=I err=E p99=P next=N", I the decoded frame it
                               is closest to, E the mean absolute difference from it per channel,
                               P the 99th percentile of those differences, N the mean difference
                               from the second-closest frame
  tones WAV                    per half second of the WAV's left channel: the strongest
                               frequency in Hz (0 for silence), as "f1 f2 ..."
"""
import subprocess
import sys
import wave

import numpy as np
from PIL import Image


def decode(video):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=width,height", "-of", "csv=p=0", video],
                           capture_output=True, text=True, check=True).stdout.strip().split(",")
    width, height = int(probe[0]), int(probe[1])
    raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", video, "-f", "rawvideo",
                          "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
    return np.frombuffer(raw, dtype=np.uint8).reshape(-1, height, width, 3).astype(np.int16)


def shot(path, width, height):
    image = np.asarray(Image.open(path).convert("RGB"), dtype=np.int16)
    return image[:height, :width]


def main(argv):
    cmd = argv[1]
    if cmd == "frames":
        print(len(decode(argv[2])))
    elif cmd == "match":
        frames = decode(argv[2])
        height, width = frames.shape[1:3]
        for path in argv[3:]:
            picture = shot(path, width, height)
            errors = [float(np.abs(picture - f).mean()) for f in frames]
            order = np.argsort(errors)
            best = int(order[0])
            p99 = float(np.percentile(np.abs(picture - frames[best]), 99))
            following = errors[int(order[1])] if len(order) > 1 else 0.0
            print("best=%d err=%.2f p99=%.0f next=%.2f" % (best, errors[best], p99, following))
    elif cmd == "tones":
        with wave.open(argv[2], "rb") as w:
            rate, channels = w.getframerate(), w.getnchannels()
            data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").reshape(-1, channels)
        left = data[:, 0].astype(np.float64)
        step = rate // 2
        tones = []
        for start in range(0, len(left) - step + 1, step):
            part = left[start:start + step]
            if np.abs(part).max() < 200:
                tones.append(0)
                continue
            spectrum = np.abs(np.fft.rfft(part * np.hanning(len(part))))
            tones.append(int(round(np.argmax(spectrum) * rate / len(part))))
        print(" ".join(str(t) for t in tones))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
