#!/usr/bin/env bash
# The main job: builds, converts the demo game's scripts with wexlorn into build/demo/zel/
# and runs the engine's host program on them: the opening video, then the menu level.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/zel" "$demo/bin"
cp data/*.rhu "$demo/zel/" 2>/dev/null || true
cp data/render.cfg "$demo/"
if [ ! -x build/bin/wexlorn ]; then
    echo "demo: the converter build/bin/wexlorn was not built, so the demo cannot be converted" >&2
    exit 1
fi
# The demo's art is made here, by the project's own generator; scripts name it relative to the
# folder they are converted in.
/usr/bin/python3 scripts/demo_art.py "$demo/zel"
/usr/bin/python3 data/demo_menu.py "$demo/zel"
(cd "$demo/zel" && ../../bin/wexlorn)
bash data/demo_video.sh "$demo/zel"
cp build/bin/marlgate_host "$demo/bin/"
# First the opening video on its own, its frame 31 kept; then the menu level with the demo's
# input script, which moves the cursor there.
"$demo/bin/marlgate_host" --frames 100 --frame-time 0.016666667 --screenshot-frame 31 "$@" intro.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_video_frame.tga"
# The figure's level, seen from close by: its skeleton swings its arms; frame 40 kept.
"$demo/bin/marlgate_host" --frames 40 --frame-time 0.016666667 --screenshot-frame 40 \
    --camera 0,-5,1.2 --look-at 0,0,1 "$@" figure.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_figure.tga"
# The fog-of-war level from above: the post's walk uncovers the ground; frame 90 kept.
"$demo/bin/marlgate_host" --frames 90 --frame-time 0.033333 --screenshot-frame 90 \
    --camera 12,-4,34 --look-at 12,12,0 "$@" fogwalk.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_fog.tga"
# The effects level from above the map's near edge: sparks, ribbons, decals and a beam; frame 60 kept.
"$demo/bin/marlgate_host" --frames 60 --frame-time 0.033333 --screenshot-frame 60 \
    --camera 12,-6,16 --look-at 12,11,0 "$@" effects.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_effects.tga"
# The weather level from the valley's south end: rain, chimney smoke in the wind and midges;
# frame 60 kept.
"$demo/bin/marlgate_host" --frames 60 --frame-time 0.033333 --screenshot-frame 60 \
    --camera 12,-6,9 --look-at 12,12,2 "$@" weather.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_weather.tga"
# The cinematic level from afar: its recorded script slides the block; frame 45 kept.
"$demo/bin/marlgate_host" --frames 45 --frame-time 0.016666667 --screenshot-frame 45 \
    --camera 0,-70,10 --look-at 0,0,10 "$@" cinema.zel
mv "$demo/PCX_Cap_000000.tga" "$demo/demo_cinema.tga"
"$demo/bin/marlgate_host" --frames 120 --frame-time 0.016666667 --screenshot-frame 120 \
    --audio-out "$demo/demo_sound.wav" --input-script data/demo.input "$@"
echo "demo: frame 31 of the opening video is in $demo/demo_video_frame.tga"
echo "demo: frame 40 of the animated figure is in $demo/demo_figure.tga"
echo "demo: frame 90 of the fog-of-war level is in $demo/demo_fog.tga"
echo "demo: frame 60 of the effects level is in $demo/demo_effects.tga"
echo "demo: frame 60 of the weather level is in $demo/demo_weather.tga"
echo "demo: frame 45 of the cinematic level is in $demo/demo_cinema.tga"
echo "demo: frame 120 of the menu level is in $demo/PCX_Cap_000000.tga"
echo "demo: the sound of the menu level is in $demo/demo_sound.wav"
