#!/usr/bin/env bash
# Builds the demo and runs every test: unit and headless picture tests, benchmarks' smoke runs
# and the end-to-end runs of the real programs. Installs what is missing, starts a virtual
# display (Xvfb, 1280x720) and a PulseAudio server with a null sink for the end-to-end tests,
# and stops them again. Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh

install_missing scripts/test-packages.txt
[ -f scripts/ensure-wine.sh ] && bash scripts/ensure-wine.sh

build="$root/build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build"

work=$(mktemp -d /tmp/demo-test.XXXXXX)
xvfb_pid=""
pulse_pid=""
cleanup() {
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x720x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n"
unset WAYLAND_DISPLAY

export PULSE_RUNTIME_PATH="$work/pulse"
mkdir -p "$PULSE_RUNTIME_PATH"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
    --load="module-null-sink sink_name=nul" --load="module-native-protocol-unix" \
    >"$work/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
# Real-time scheduling where allowed (the server itself settles for a nice level at start): its
# main thread carries the demo's stream, and a loaded machine would starve it into dropouts.
chrt -r -p 5 "$pulse_pid" >/dev/null 2>&1 || true
export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"

ctest --test-dir "$build" --output-on-failure -j2 "$@"
