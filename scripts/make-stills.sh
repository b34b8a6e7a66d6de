#!/usr/bin/env bash
# Makes docs/stills.jpg, the strip of stills in the README, with demo-capture: one lossless
# capture at 60 fps up to the last still (every frame before a still is rendered, so trails and
# zooms are as they play), then the frames at the chosen scene times scaled down and tiled in
# one row by ffmpeg. Usage: scripts/make-stills.sh [build folder, default build-play]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# Scene times in ms, each a 60 fps frame time (a multiple of 50 ms): the swirl, a phrase over
# its strokes, the squeeze under the name, the reopening with trails, the cube swarm, the
# tunnel, the coil.
times=(${STILL_TIMES:-6000 8300 20450 24100 52000 73000 80350})
fps=60
width=256   # pixels per still
out=${STILL_OUTPUT:-docs/stills.jpg}

build=${1:-build-play}
. scripts/lib.sh
ensure_capture_tool "$build"

work=$(mktemp -d /tmp/make-stills.XXXXXX)
trap 'rm -rf "$work"' EXIT

last=0
select=""
for t in "${times[@]}"; do
    if (( t * fps % 1000 != 0 )); then
        echo "make-stills: $t ms is not a frame time at $fps fps" >&2
        exit 2
    fi
    (( t > last )) && last=$t
    select+="${select:++}eq(n\\,$(( t * fps / 1000 )))"
done

"$build/demo-capture" --format lossless --fps "$fps" --end "$last" -o "$work/demo.mkv"
mkdir -p "$(dirname "$out")"
ffmpeg -v error -y -i "$work/demo.mkv" \
    -vf "select='$select',scale=$width:-1:flags=area,tile=${#times[@]}x1" \
    -frames:v 1 -q:v 4 "$out"
echo "wrote $out (scene times ${times[*]} ms)"
