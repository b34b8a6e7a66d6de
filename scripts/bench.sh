#!/usr/bin/env bash
# Benchmark report, in one run: start-up time, frames per second of each scene against the
# empty-script frame, instrument synthesis time, offline mixing speed, capture speed, peak
# resident memory of the live program and of the headless renderer, the demo's static data and
# what the platform libraries allocate per frame; the browser version's size, start and frame
# rates against the native renderer. Calls the benchmark programs in bench/ and the
# test tools; prints figures and never fails on a time.
#
# Usage: scripts/bench.sh [seconds per scene, default 3]
# Builds build/ (the test command's build folder; DEMO_BUILD names another) when needed. The live program runs under a
# virtual display (Xvfb) and a PulseAudio null sink that this script starts and stops.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

seconds=${1:-3}
install_missing scripts/{build,play,package,web,test}-packages.txt
build=${DEMO_BUILD:-$root/build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 demo demo-capture bench_startup bench_effects bench_music bench_mixer headless_run demo_shim \
    web_reference >/dev/null
scripts/web.sh --no-serve >/dev/null

work=$(mktemp -d /tmp/demo-bench.XXXXXX)
cleanup() {
    stop_servers
    rm -rf "$work"
}
trap cleanup EXIT

section() { printf '\n== %s\n' "$1"; }

echo "Benchmark report, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -m);" \
     "commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "GL: headless Mesa llvmpipe (EGL surfaceless); live: SDL2 under Xvfb. Figures vary with the load."

section "Start-up (headless; bench/bench_startup)"
"$build/bench/bench_startup" 1

section "Frames per second per scene, ratio to the empty-script frame, legacy GL (DEMO_GL=legacy; bench/bench_effects, ${seconds} s each)"
DEMO_GL=legacy "$build/bench/bench_effects" "$seconds"

section "The same on the fixed-function GL layer (the default: OpenGL ES 3 on llvmpipe, as the browser draws)"
DEMO_GL=layer "$build/bench/bench_effects" "$seconds"

for size in 1440x1080 2880x2160; do
    section "The same drawn sharp at $size (bench_effects --size $size)"
    DEMO_GL=layer "$build/bench/bench_effects" --size "$size" "$seconds"
done

section "Instrument synthesis (bench/bench_music)"
"$build/bench/bench_music" | tail -3

section "Offline mixing (bench/bench_mixer)"
"$build/bench/bench_mixer"

# capture_speed END_MS OPTIONS...: times demo-capture over 0..END_MS at 60 fps to MP4.
capture_speed() {
    local end=$1
    shift
    if ! command -v ffmpeg >/dev/null; then
        echo "ffmpeg not installed: no capture figure"
        return
    fi
    local start ns
    start=$(date +%s%N)
    if "$build/demo-capture" --end "$end" "$@" -o "$work/capture.mp4" >/dev/null 2>"$work/capture.err"; then
        ns=$(( $(date +%s%N) - start ))
        awk -v ns="$ns" -v end="$end" 'BEGIN { s = ns / 1e9; f = int(end * 60 / 1000) + 1
            printf "%d frames in %.2f s: %.1f frames/s, %.3f x real time\n", f, s, f / s, end / 1000 / s }'
    else
        echo "capture failed:"; cat "$work/capture.err"
    fi
}

section "Capture speed (demo-capture, 0 to 10 s of script at 60 fps to MP4)"
capture_speed 10000

section "Sharp capture speed (demo-capture --sharp --size 2880x2160, 0 to 2 s of script at 60 fps to MP4)"
capture_speed 2000 --sharp --size 2880x2160

section "Headless renderer: 1,000 frames over the whole script and 1,000 sequencer rows (tests/tools/headless_run)"
echo "frames back to back, nothing read back (the renderer may queue many frames):"
"$build/tests/headless_run" census | grep -E "^(census|peak)" | sed 's/^/  /'
echo "every picture read back, as the capture tool does:"
"$build/tests/headless_run" readback census | grep -E "^(census: .*frames|peak)" | sed 's/^/  /'

section "Live program (SDL2 under Xvfb, clock 8 x real time through the test shim: the whole script in 10 s)"
start_servers "$work"
DEMO_SHIM_LOG="$work/live.log" DEMO_SHIM_TICK_SCALE=8 DEMO_CENSUS="$work/census.txt" \
    LD_PRELOAD="$build/tests/libdemo_shim.so" timeout 60 "$build/demo" 2>"$work/live.err" || true
if grep -q "^exit code 0" "$work/live.log" 2>/dev/null; then
    awk '/^exit/ {
        for (i = 2; i < NF; i += 2) v[$i] = $(i + 1)
        printf "process start to the visual clock (start-up done): %.0f ms, to the first presented frame: %.0f ms\n",
               v["clock_ms"], v["first_frame_ms"]
        printf "%d frames in %.1f s: %.1f frames/s (1280x720 window, picture scaled from 640x480)\n",
               v["frames"], v["real"] / 1000, v["frames"] / (v["real"] / 1000)
        printf "peak resident memory: %.1f MiB\n", v["maxrss_kb"] / 1024
    }' "$work/live.log"
    frames=$(awk '/^exit/ { for (i = 2; i < NF; i += 2) if ($i == "frames") print $(i + 1) }' "$work/live.log")
    echo "heap allocation calls from the process start to the first frame, by object:"
    awk '/^phase process start/ { p = 1; next } /^phase / { p = 0 }
        p && $2 == "calls" { printf "  %-24s %9d calls, %12.0f bytes\n", $1, $3, $5 }' "$work/census.txt"
    echo "heap allocation calls after the first frame, by object (per frame):"
    awk -v f="$frames" '/^phase frames/ { p = 1; next } /^phase / { p = 0 }
        p && $2 == "calls" { printf "  %-24s %9d calls (%6.1f), %12.0f bytes (%9.0f)\n", $1, $3, $3 / f, $5, $5 / f }' \
        "$work/census.txt"
else
    echo "the live run did not end normally:"; cat "$work/live.err"
fi

section "Live program full screen on a 1920x1080 display, the layer against legacy GL back to back (DEMO_FRAME_STATS=1; clock 2 x real time through the test shim: the whole script in 41 s each)"
big=$(free_display)
Xvfb ":$big" -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb-1080.log" 2>&1 &
big_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$big" ] && break; sleep 0.1; done
for gl in layer legacy; do
    echo "--gl $gl:"
    DISPLAY=":$big" DEMO_FRAME_STATS=1 DEMO_SHIM_TICK_SCALE=2 LD_PRELOAD="$build/tests/libdemo_shim.so" \
        timeout 120 "$build/demo" --gl "$gl" 2>"$work/live-$gl.err" | sed 's/^frame stats: /  /' || true
    [ -s "$work/live-$gl.err" ] && sed 's/^/  stderr: /' "$work/live-$gl.err"
done
kill "$big_pid" 2>/dev/null && wait "$big_pid" 2>/dev/null || true

section "The browser version (headless Chromium, SwiftShader WebGL 2; bench/web_bench.py)"
PYTHONPATH="$root/tests/e2e/lib" /usr/bin/python3 bench/web_bench.py "$build" "$root/build-web" || echo "the browser figures could not be taken"

section "The demo's static data (size -A on libdemo_core.a)"
bash tests/e2e/reliability/static_data.sh "$build" || true
