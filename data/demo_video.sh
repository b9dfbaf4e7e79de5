#!/usr/bin/env bash
# Makes the demo's opening video, "intro.avi", in the given folder with FFmpeg's command-line
# tool: a second and a half of a zooming fractal at 640x480 and 30 frames a second, with a
# rising two-note chime.
#
# Usage: demo_video.sh OUTDIR
set -euo pipefail
out=${1:-.}
mkdir -p "$out"
ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "mandelbrot=s=640x480:rate=30:start_scale=2:end_scale=0.05:end_pts=60,trim=duration=1.5" \
    -f lavfi -i "aevalsrc='0.4*exp(-3*mod(t,0.75))*sin(2*PI*(523.25+261.6*gte(t,0.75))*t)':s=22050:d=1.5" \
    -c:v mpeg4 -q:v 3 -pix_fmt yuv420p -c:a pcm_s16le -shortest "$out/intro.avi"
