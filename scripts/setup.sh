#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test everything 32-bit.
# Safe to run again: it only installs what is missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# The 32-bit libraries come from Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# strace shows the tests which system calls a program makes (files synced before a rename);
# SDL2 gives the windows on a display, their input and the sound; Xvfb and xwd show the windows
# to the window tests, and xdotool types into them for the input test; FFmpeg's libraries decode
# videos, and its command-line tool makes the test and demo videos; Boost's header-only graph
# search is the path-finding benchmark's peer.
for p in cmake g++ g++-multilib googletest python3 libstb-dev \
         python3-numpy python3-scipy python3-pil imagemagick \
         libsqlite3-dev:i386 zlib1g-dev:i386 libbenchmark-dev:i386 \
         libosmesa6-dev:i386 libosmesa6-dev liblz4-dev:i386 libenet-dev:i386 flex bison strace assimp-utils \
         libsdl2-dev:i386 xvfb xdotool x11-apps sox \
         libavformat-dev:i386 libavcodec-dev:i386 libswscale-dev:i386 libswresample-dev:i386 \
         libavutil-dev:i386 ffmpeg libboost-dev; do
    have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# Some virtual machines run 64-bit programs only: the kernel refuses every 32-bit
# executable. There the 32-bit build runs under user-mode emulation, registered
# with the kernel so that tests, the converter and the host start as usual.
can_run_32bit() {
    local probe
    probe=$(mktemp -d)
    printf 'int main(void){return 0;}\n' > "$probe/p.c"
    gcc -m32 "$probe/p.c" -o "$probe/p" 2>/dev/null && "$probe/p" 2>/dev/null
    local rc=$?
    rm -rf "$probe"
    return $rc
}

if ! can_run_32bit; then
    if ! have_pkg qemu-user-static; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends qemu-user-static
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        # 32-bit little-endian x86 ELF executables and shared objects.
        magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
        mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
        echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" > "$binfmt/register"
    fi
    can_run_32bit || { echo "setup: 32-bit programs still cannot run on this machine" >&2; exit 1; }
fi
