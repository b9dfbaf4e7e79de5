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
if [ ! -x build/bin/wexlorn ]; then
    echo "demo: the converter build/bin/wexlorn was not built, so the demo cannot be converted" >&2
    exit 1
fi
build/bin/wexlorn "$demo/zel"
cp build/bin/marlgate_host "$demo/bin/"
"$demo/bin/marlgate_host" --frames 120 --frame-time 0.016666667 --screenshot-frame 120 \
    --input-script data/demo.input "$@"
echo "demo: frame 120 is in $demo/PCX_Cap_000000.tga"
