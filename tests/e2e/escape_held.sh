#!/usr/bin/env bash
# Escape held while the demo starts ends it at its first poll, before any frame: exit code 0,
# about as soon as start-up is over.
set -u
. "$(dirname "$0")/lib.bash"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"

# xdotool releases its keys when it exits, so it stays alive while the key must be held.
xdotool keydown Escape sleep 15 keyup Escape & holder=$!
sleep 0.3
started=$(now_ms)
launch_demo "$build"
wait_pid_ms $pid 10000
took=$(( $(now_ms) - started ))
kill $holder 2>/dev/null; xdotool keyup Escape
[ "$rc" = timeout ] && { kill -9 $pid; fail "Escape held at start-up did not end the demo"; }
[ "$rc" = 0 ] || fail "exit code $rc"
echo "exit 0 after ${took} ms with Escape held"
