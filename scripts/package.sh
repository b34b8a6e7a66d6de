#!/usr/bin/env bash
# Builds the packages with CPack into build-package/ (or the folder given): the Debian package
# of the player and the capture tool (<name>_<version>_<arch>.deb) and <name>-win32.zip with
# the 32-bit demo.exe and a README.txt. Installs what is missing.
# Usage: scripts/package.sh [output folder, default build-package]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-build-package}")
cd "$root"
. scripts/lib.sh

install_missing scripts/{build,play,package}-packages.txt

mkdir -p "$out"
rm -f "$out"/*.deb "$out"/*-win32.zip
cmake -S . -B "$out/linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF >/dev/null
ninja -C "$out/linux"
cpack --config "$out/linux/CPackConfig.cmake" -B "$out" -G DEB

cmake -S . -B "$out/win32" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
ninja -C "$out/win32"
cpack --config "$out/win32/CPackConfig.cmake" -B "$out" -G ZIP

rm -rf "$out/_CPack_Packages"
echo "packages in $out:"
ls -l "$out"/*.deb "$out"/*-win32.zip
