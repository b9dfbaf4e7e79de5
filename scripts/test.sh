#!/usr/bin/env bash
# Builds everything from scratch and runs every test: first the normal build in build/, then the
# sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer, -DMG_SANITIZE=ON) in
# build-sanitize/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
# Under user-mode emulation (see setup.sh) the leak checker cannot stop the process's
# threads to scan them and waits for ever at exit; memory errors are still caught.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
fi
# A sanitizer report ends the process, so that it fails the test even when it comes from a
# child process whose output is discarded.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer pass covers the readers of outside data (the reader_tests target); the test
# programs it does not build stand in the list as "<program>_NOT_BUILT" and are left out.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMG_SANITIZE=ON
cmake --build build-sanitize -j"$jobs" --target reader_tests
# The two parser tests that drive the engine to its multi-megabyte input and 400 MB frame-stack
# bounds are left out here: an instrumented 32-bit process cannot hold that much beside the
# sanitizer's shadow memory. The normal pass runs them.
ctest --test-dir build-sanitize --output-on-failure -j"$jobs" \
    -E '_NOT_BUILT$|^Engine\.(MultiMegabyteInputsParse|BadInputEndsWithANumberedError)$'

# The Direct3D 9 layer's threads under ThreadSanitizer, which needs a 64-bit build of the layer.
JOBS="$jobs" bash scripts/d3d9_native64.sh tsan
