#!/usr/bin/env bash
# Without any sound device the demo says so in one line on stderr and plays its pictures
# silently: it keeps running, and Escape still ends it with code 0.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
err=$(mktemp)
# A sound server address where nothing listens; SDL finds no other driver on this machine.
PULSE_SERVER=unix:/nonexistent/pulse/native launch_demo "$build" "$err"
wait_for_window Swirlcoil 20 || { kill -9 $pid; fail "no window appeared: $(cat "$err")"; }
sleep 3
kill -0 $pid 2>/dev/null || { wait $pid; fail "the demo ended (code $?) without sound: $(cat "$err")"; }
xdotool key Escape
wait_pid_ms $pid 15000
[ "$rc" = timeout ] && { kill -9 $pid; fail "still running 15 s after Escape"; }
msg=$(cat "$err"); rm -f "$err"
[ "$rc" = 0 ] || fail "exit code $rc (stderr: $msg)"
[ "$(wc -l <<<"$msg")" = 1 ] || fail "expected one line on stderr, got: $msg"
grep -q "^demo: no audio device (.*): playing without sound$" <<<"$msg" || fail "unexpected message: $msg"
echo "silent run, exit 0: $msg"
