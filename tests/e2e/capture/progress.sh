#!/usr/bin/env bash
# demo-capture draws a progress bar (frames done/total, rate, speed, time left) and a summary
# on a terminal, and prints nothing at all when its output is not a terminal.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/capture-progress.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmd="$build/demo-capture --format png --fps 10 --end 3000"

# On a pseudo-terminal (script(1) gives the program one).
script -qec "$cmd -o $work/tty" /dev/null >"$work/tty.out" </dev/null || fail "capture on a terminal failed"
screen=$(tr '\r' '\n' <"$work/tty.out")
grep -qE '\] 31/31 frames .* fps .*x real time .*0:00 left' <<<"$screen" || fail "no finished progress bar: $screen"
grep -q "wrote $work/tty: 31 frames (3.10 s)" <<<"$screen" || fail "no summary: $screen"

# Not a terminal: silent.
$cmd -o "$work/pipe" >"$work/pipe.out" 2>"$work/pipe.err" || fail "capture into a pipe failed"
[ -s "$work/pipe.out" ] && fail "stdout not empty: $(cat "$work/pipe.out")"
[ -s "$work/pipe.err" ] && fail "stderr not empty: $(cat "$work/pipe.err")"
[ -f "$work/pipe/frame_00030.png" ] || fail "frames missing"
echo "terminal: $(grep -m1 wrote <<<"$screen")"
