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

for p in cmake g++ g++-multilib googletest python3 libstb-dev \
         libsqlite3-dev:i386 zlib1g-dev:i386 libbenchmark-dev:i386 \
         libosmesa6-dev:i386; do
    have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
