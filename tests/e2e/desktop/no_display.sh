#!/usr/bin/env bash
# Without any display the demo says why in one line on stderr and exits with code 1.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
err=$(mktemp)
(unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER; launch_demo "$build" "$err" 20 >/dev/null; wait $pid)
rc=$?
lines=$(wc -l <"$err")
msg=$(cat "$err"); rm -f "$err"
[ "$rc" = 1 ] || fail "exit code $rc (stderr: $msg)"
[ "$lines" = 1 ] || fail "expected one line on stderr, got $lines: $msg"
grep -qi "display" <<<"$msg" || fail "message does not say why: $msg"
echo "exit 1: $msg"
