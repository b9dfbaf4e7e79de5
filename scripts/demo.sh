#!/usr/bin/env bash
# The main job: builds, converts the demo game's scripts with wexlorn into build/demo/zel/
# and runs the engine's host program on them.
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
(cd "$demo/zel" && ../../bin/wexlorn)
/usr/bin/python3 data/demo_sounds.py "$demo/zel"
cp build/bin/marlgate_host "$demo/bin/"
"$demo/bin/marlgate_host" --frames 120 --frame-time 0.016666667 --screenshot-frame 120 \
    --audio-out "$demo/demo_sound.wav" --input-script data/demo.input "$@"
echo "demo: frame 120 is in $demo/PCX_Cap_000000.tga"
echo "demo: the sound of the run is in $demo/demo_sound.wav"
