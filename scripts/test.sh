#!/usr/bin/env bash
# Builds everything from scratch in build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
# Under user-mode emulation (see setup.sh) the leak checker cannot stop the process's
# threads to scan them and waits for ever at exit; memory errors are still caught.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
# The Direct3D 9 layer's threads under ThreadSanitizer, which needs a 64-bit build of the layer.
JOBS="$jobs" bash scripts/d3d9_native64.sh tsan
