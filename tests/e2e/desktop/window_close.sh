#!/usr/bin/env bash
# A close request from the window system (close button, Alt+F4) ends the demo like Escape:
# code 0, at most the frame it was drawing and the next presented after the request.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
start_demo_logged "$build" window_close_frames.log
sleep 1
"$build/tests/close_window" Swirlcoil || { kill -9 $pid; fail "could not ask the window to close"; }
asked=$(now_ms)  # the request has been sent by the time the tool returns
wait_pid_ms $pid 15000
[ "$rc" = timeout ] && { kill -9 $pid; fail "still running 15 s after the close request"; }
[ "$rc" = 0 ] || fail "exit code $rc"
late=$(frames_after "$log" "$asked")
echo "exit 0 after the close request, $late frames presented after it"
[ "$late" -le 2 ] || fail "$late frames presented after the close request"
