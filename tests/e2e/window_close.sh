#!/usr/bin/env bash
# A close request from the window system (close button, Alt+F4) ends the demo like Escape.
set -u
. "$(dirname "$0")/lib.bash"
build=$1

start_demo "$build"
sleep 1
"$build/tests/close_window" EDIT || { kill -9 $pid; fail "could not ask the window to close"; }
wait_pid_ms $pid 1000
[ "$rc" = timeout ] && { kill -9 $pid; fail "still running 1 s after the close request"; }
[ "$rc" = 0 ] || fail "exit code $rc"
echo "exit 0 after the close request"
