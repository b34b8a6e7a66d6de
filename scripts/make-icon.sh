#!/usr/bin/env bash
# Makes packaging/icon.png, the desktop icon: the spinning coil at 80.35 s as demo-capture
# renders it, cropped square around the coil and scaled to 256 x 256 by ffmpeg.
# Usage: scripts/make-icon.sh [build folder, default build-play]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

time_ms=80350   # a frame time at 20 fps; every frame before it is rendered, so the coil's spin is as it plays
crop=320:320:105:92   # the coil's bounding box in the 640 x 480 frame is 302 x 298 at (114, 103)
out=packaging/icon.png

build=${1:-build-play}
. scripts/lib.sh
ensure_capture_tool "$build"

work=$(mktemp -d /tmp/make-icon.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$build/demo-capture" --format png --fps 20 --start "$time_ms" --end "$time_ms" -o "$work/frames"
ffmpeg -v error -y -i "$work/frames/frame_00000.png" \
    -vf "crop=$crop,scale=256:256:flags=lanczos" -frames:v 1 "$out"
echo "wrote $out (scene time $time_ms ms)"
