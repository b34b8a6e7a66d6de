#!/usr/bin/env bash
# Builds the demo and plays it: installs what is missing, builds build-play/demo, runs it.
# On a machine with no display it says so instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

install_missing scripts/play-packages.txt
cmake -S . -B build-play -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF >/dev/null
ninja -C build-play demo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): the demo needs a screen to play on." >&2
    exit 1
fi
exec build-play/demo
