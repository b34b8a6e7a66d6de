#!/usr/bin/env bash
# Escape held while the demo starts ends it at its first poll, before any frame: exit code 0,
# and the shim's frame log shows the exit with no frame presented.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
log=$(artifacts)/escape_held_frames.log
rm -f "$log"

# xdotool releases its keys when it exits, so it stays alive while the key must be held.
xdotool keydown Escape sleep 15 keyup Escape & holder=$!
sleep 0.3
started=$(now_ms)
DEMO_SHIM_LOG=$log LD_PRELOAD=$build/tests/libdemo_shim.so launch_demo "$build"
wait_pid_ms $pid 30000
took=$(( $(now_ms) - started ))
kill $holder 2>/dev/null; xdotool keyup Escape
[ "$rc" = timeout ] && { kill -9 $pid; fail "Escape held at start-up did not end the demo"; }
[ "$rc" = 0 ] || fail "exit code $rc"
grep -q '^exit code 0 ' "$log" || fail "no exit through the demo's own exit in the frame log"
shown=$(grep -c '^frame ' "$log")
[ "$shown" = 0 ] || fail "$shown frames presented although Escape was held from the start"
echo "exit 0 after ${took} ms with Escape held, no frame presented"
