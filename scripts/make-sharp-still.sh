#!/usr/bin/env bash
# Makes docs/sharp.jpg, the README's close-up of one moment classic and sharp: demo-capture at
# 2560x1920 twice, the 640x480 picture scaled up (bicubic) and the picture drawn sharp at that
# size, each up to the same frame (every frame before it rendered, so the strokes, trails and
# words are as they play), then the same corner of both, one above the other.
# Usage: scripts/make-sharp-still.sh [build folder, default build-play]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

t=${STILL_TIME:-8300}             # ms, a frame time at 20 fps: "i become a bad" over the strokes
crop=${STILL_CROP:-880:300:100:880}  # width:height:x:y of the 2560x1920 picture
out=${STILL_OUTPUT:-docs/sharp.jpg}

build=${1:-build-play}
. scripts/lib.sh
ensure_capture_tool "$build"

work=$(mktemp -d /tmp/make-sharp-still.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$build/demo-capture" --format png --fps 20 --start "$t" --end "$t" --size 2560x1920 --filter smooth \
    -o "$work/classic" >/dev/null
"$build/demo-capture" --format png --fps 20 --start "$t" --end "$t" --size 2560x1920 --sharp \
    -o "$work/sharp" >/dev/null
mkdir -p "$(dirname "$out")"
ffmpeg -v error -y -i "$work/classic/frame_00000.png" -i "$work/sharp/frame_00000.png" \
    -filter_complex "[0]crop=$crop[a];[1]crop=$crop[b];[a][b]vstack" -frames:v 1 -q:v 5 "$out"
echo "wrote $out (scene time $t ms: above scaled up from 640x480, below drawn sharp)"
