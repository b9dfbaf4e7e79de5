#!/usr/bin/env bash
# scripts/fuzz.sh READER [COUNT] [SEED]
# Runs COUNT (default 1000) seeded mutations of real inputs through one reader of outside data,
# built with AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/, and reports every
# crash, hang (time-out, MG_FUZZ_TIMEOUT seconds a case, default 30) and sanitizer report with
# the input that reproduces it (build-fuzz/findings/READER-SEED-CASE.input and .log). Exit 0
# when nothing was found. Readers:
#   script      .rhu scripts (with includes) through the whole conversion
#   grammar     compiled grammar images through the parser runtime
#   compressed  compressed streams through the decompressor
#   chunk       chunk files through the chunk reader
#   image       image files (PNG, BMP, TGA, GIF, JPEG, PSD) through the bitmap loader
#   model       LightWave object files through the mesh import
#   scene       LightWave scenes (the demo figure's and the third-party ones) through the
#               skeleton command (its tree, meshes and animation)
#   zel         packed data files through the engine's loader
#   profile     profile files and save slot headers through the profile manager
#   wav         WAV files through the sound streamer
#   datagram    a peer's datagrams through the network endpoint
set -euo pipefail
cd "$(dirname "$0")/.."

reader=${1:-}
count=${2:-1000}
seed=${3:-1}
case "$reader" in
    script | grammar | compressed | chunk | image | model | scene) driver=bin/fuzz_converter ;;
    zel | profile | wav | datagram) driver=tests/engine/zel/zeldata/bin/fuzz_engine ;;
    *)
        sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' >&2
        exit 2
        ;;
esac

build=build-fuzz
# The sanitizer build of the tests (-DMG_SANITIZE=ON: AddressSanitizer over the C heap, the
# undefined-behaviour checks but vptr and alignment, warnings kept as warnings since the
# instrumentation brings false ones), with every undefined-behaviour report ending the case.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMG_SANITIZE=ON \
    -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=undefined" -DCMAKE_EXE_LINKER_FLAGS="" -DCMAKE_SHARED_LINKER_FLAGS="" >/dev/null
# Discovering the test programs' cases runs them: the leak checker must be off already
# (it waits for ever under user-mode emulation).
export ASAN_OPTIONS="detect_leaks=0:exitcode=99${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:exitcode=99:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
cmake --build "$build" -j"${MG_FUZZ_JOBS:-2}" --target fuzz_converter fuzz_engine
exec "$build/$driver" "$reader" "$count" "$seed" "$build/findings"
