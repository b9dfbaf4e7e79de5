#!/usr/bin/env bash
# The Direct3D 9 layer built 64-bit natively (see compat/d3d9/native64/CMakeLists.txt).
#   scripts/d3d9_native64.sh tsan    its tests under ThreadSanitizer
#   scripts/d3d9_native64.sh bench   d3d9_raster_bench, optimised, against 64-bit Mesa
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-tsan}
jobs=${JOBS:-3}
case "$mode" in
tsan)
    cmake -S compat/d3d9/native64 -B build/d3d9-tsan -DMG_TSAN=ON -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
    cmake --build build/d3d9-tsan -j"$jobs" --target d3d9_tests
    # One raster thread per core; the thread tests set 0 to 8 threads themselves.
    unset MG_RASTER_THREADS
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build/d3d9-tsan/d3d9_tests --gtest_brief=1
    ;;
bench)
    cmake -S compat/d3d9/native64 -B build/d3d9-native -DCMAKE_BUILD_TYPE=Release \
        -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
    cmake --build build/d3d9-native -j"$jobs" --target d3d9_raster_bench
    build/d3d9-native/d3d9_raster_bench "${@:2}"
    ;;
*)
    echo "usage: $0 tsan|bench" >&2
    exit 2
    ;;
esac
