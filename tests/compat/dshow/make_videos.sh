#!/usr/bin/env bash
# Makes the videos the video tests play, with FFmpeg's command-line tool, into the folder given:
#   clip.avi       640x480, 30 fps, 2 s, MPEG-4 video; 22,050 Hz mono PCM sound: 440 Hz for
#                  the first second, 880 Hz for the second. Every frame differs: the left and
#                  right halves ramp with the frame number, green ramps down the picture and
#                  the top half's blue steps by 37 a frame.
#   small.avi      64x48, 10 fps, 1 s, no sound.
#   truncated.avi  clip.avi cut off after 40% of its bytes.
#   garbage.avi    bytes that are no video at all.
set -euo pipefail
out=$1
mkdir -p "$out"
picture="format=rgb24,geq=r='if(lt(X,W/2),mod(N*8,256),255-mod(N*8,256))':g='Y*255/H':b='if(lt(Y,H/2),mod(N*37,256),64)'"
ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "color=c=gray:s=640x480:r=30:d=2,$picture" \
    -f lavfi -i "aevalsrc='0.5*sin(2*PI*(440+440*gte(t,1))*t)':s=22050:d=2" \
    -c:v mpeg4 -q:v 2 -pix_fmt yuv420p -c:a pcm_s16le -shortest "$out/clip.avi"
ffmpeg -nostdin -loglevel error -y -f lavfi -i "color=c=gray:s=64x48:r=10:d=1,$picture" \
    -c:v mpeg4 -q:v 2 -pix_fmt yuv420p "$out/small.avi"
size=$(stat -c %s "$out/clip.avi")
head -c $((size * 4 / 10)) "$out/clip.avi" > "$out/truncated.avi"
printf 'RIFF this is not a video at all, only a few words of text\n%.0s' $(seq 1 64) > "$out/garbage.avi"
