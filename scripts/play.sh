#!/usr/bin/env bash
# Builds the demo and plays it: installs what is missing, builds build-play/demo, runs it with
# the arguments given (e.g. --window). On a machine with no display, and with no arguments, it
# renders the demo with its music to build-play/demo.mp4 instead (demo-capture) and says so.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

install_missing scripts/{build,play}-packages.txt
cmake -S . -B build-play -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF >/dev/null
ninja -C build-play demo demo-capture

if [ $# = 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): rendering the demo to a video instead." >&2
    build-play/demo-capture -o build-play/demo.mp4
    echo "The demo with its music is in $root/build-play/demo.mp4"
    exit 0
fi
exec build-play/demo "$@"
