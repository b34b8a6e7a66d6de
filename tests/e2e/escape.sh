#!/usr/bin/env bash
# The real demo ends with code 0 within one second of an Escape key press.
set -u
. "$(dirname "$0")/lib.bash"
build=$1

start_demo "$build"
sleep 2
asked=$(now_ms)
xdotool key Escape
pressed=$(now_ms)  # xdotool has sent the key by the time it returns
wait_pid_ms $pid 1000
took=$(( $(now_ms) - pressed ))
[ "$rc" = timeout ] && { kill -9 $pid; fail "still running 1 s after Escape"; }
[ "$rc" = 0 ] || fail "exit code $rc"
echo "exit 0, ${took} ms after Escape (xdotool itself took $(( pressed - asked )) ms)"
