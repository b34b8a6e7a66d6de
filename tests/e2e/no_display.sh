#!/usr/bin/env bash
# Without any display the demo says why in one line on stderr and exits with code 1.
set -u
. "$(dirname "$0")/lib.bash"
build=$1
err=$(mktemp)
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$build/demo" 2>"$err" >/dev/null
rc=$?
lines=$(wc -l <"$err")
msg=$(cat "$err"); rm -f "$err"
[ "$rc" = 1 ] || fail "exit code $rc (stderr: $msg)"
[ "$lines" = 1 ] || fail "expected one line on stderr, got $lines: $msg"
grep -qi "display" <<<"$msg" || fail "message does not say why: $msg"
echo "exit 1: $msg"
