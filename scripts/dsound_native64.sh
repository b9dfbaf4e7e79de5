#!/usr/bin/env bash
# The sound mixer benchmark built 64-bit natively: on machines that run 32-bit programs under
# user-mode emulation, the 32-bit dsound_mix_bench times the emulator as much as the mixer.
#   scripts/dsound_native64.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/dsound-native
mkdir -p "$out"
g++ -std=c++17 -O2 -msse2 -DMG_WIN32_TYPES_64 -Icompat/dsound/include -Icompat/dsound/src \
    -Icompat/win32/include -Ibench compat/dsound/src/*.cpp compat/win32/src/perf_counter.cpp \
    compat/win32/src/paths.cpp bench/dsound/MixBench.cpp -o "$out/dsound_mix_bench"
"$out/dsound_mix_bench" "$@"
