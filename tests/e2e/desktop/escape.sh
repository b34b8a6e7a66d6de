#!/usr/bin/env bash
# The real demo ends with code 0 on an Escape key press, having presented at most the frame it
# was drawing and the next: it polls the key after every frame. Counted in frames from the
# shim's frame log, so a loaded machine's slow frames do not count against it.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
log=$(artifacts)/escape_frames.log
rm -f "$log"

DEMO_SHIM_LOG=$log LD_PRELOAD=$build/tests/libdemo_shim.so start_demo "$build"
sleep 2
asked=$(now_ms)
xdotool key Escape
pressed=$(now_ms)  # xdotool has sent the key by the time it returns
wait_pid_ms $pid 15000
took=$(( $(now_ms) - pressed ))
[ "$rc" = timeout ] && { kill -9 $pid; fail "still running 15 s after Escape"; }
[ "$rc" = 0 ] || fail "exit code $rc"
late=$(frames_after "$log" "$pressed")
echo "exit 0, ${took} ms and $late frames after Escape (xdotool itself took $(( pressed - asked )) ms)"
[ "$late" -le 2 ] || fail "$late frames presented after Escape was sent"
