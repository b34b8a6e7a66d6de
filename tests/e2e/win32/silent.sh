#!/usr/bin/env bash
# demo.exe under Wine with no sound server at all: DirectSound cannot be had, the demo says so
# in one line and plays silently, frames still reach the screen, and an Escape tap ends it with
# code 0. Prints the demo's own start-up time, from its first Windows call to its first frame.
set -u
. "$(dirname "$0")/../lib/win32_lib.bash"
build=$1
win32_build "$build"
win32_wine_setup "$build"
out=$(artifacts)/win32_silent
mkdir -p "$out"

# A server address where nothing listens; Wine's ALSA and OSS drivers find no card either.
export PULSE_SERVER="unix:/nonexistent/pulse/native"
export WINEDEBUG=+timestamp,+system,+wgl
launched=$(now_ms)
trap 'win32_end ${pid:-0}' EXIT
win32_start "$out/stdout.log" "$out/trace.log"
win32_wait_first_picture 60 "$out/picture.png" || fail "no picture within 60 s of the launch"
echo "first picture $(( $(now_ms) - launched )) ms after the launch (Wine start-up included)"
sleep 2
win32_press_escape
pressed=$(now_ms)
wait_pid_ms $pid 15000
[ "$rc" = timeout ] && fail "still running 15 s after Escape"
echo "exit code $rc, $(( $(now_ms) - pressed )) ms after Escape"
[ "$rc" = 0 ] || fail "exit code $rc"

grep -q "demo: no sound device, playing silently" "$out/trace.log" || fail "no line about the missing sound device"
# Wine's timestamps (seconds): the mode switch is the demo's first call, the first swap ends its
# first frame.
# Wine's own programs change display settings too; the demo's call is the CDS_FULLSCREEN one.
start=$(grep -m1 -E 'NtUserChangeDisplaySettings \(null\) 0x[0-9a-f]+ \(nil\) 0x4 ' "$out/trace.log" | cut -d: -f1)
swap=$(grep -m1 'wglSwapBuffers' "$out/trace.log" | cut -d: -f1)
[ -n "$start" ] && [ -n "$swap" ] || fail "no mode switch or no buffer swap in the trace"
awk -v a="$start" -v b="$swap" 'BEGIN { printf "start-up under Wine: %.0f ms from the mode switch to the first swap\n", (b - a) * 1000 }'
