#!/usr/bin/env bash
# Without any sound server or sound card the demo plays silently: the whole script runs (the
# test shim makes its clock run 8 times faster) and ends with exit code 0, and stderr holds one
# line, the demo's own, saying that there is no sound.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
dir=$(artifacts)
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
[ -e /dev/snd ] && echo "note: this machine has /dev/snd; the run may find a card"

err=$dir/no_sound.err
# A server address where none listens, so the sound library neither finds nor starts one.
PULSE_SERVER="unix:/nonexistent/no-sound-server" PULSE_RUNTIME_PATH=/nonexistent \
    DEMO_SHIM_LOG="$dir/no_sound.log" DEMO_SHIM_TICK_SCALE=8 LD_PRELOAD="$build/tests/libdemo_shim.so" \
    launch_demo "$build" "$err" 60
wait $pid
rc=$?
echo "stderr:"; cat "$err"
[ "$rc" = 0 ] || fail "exit code $rc"
lines=$(wc -l <"$err")
[ "$lines" = 1 ] || fail "expected one line on stderr, got $lines"
grep -qiE "sound|audio" "$err" || fail "the line does not say that there is no sound"
python3 "$e2e_lib/frame_log.py" "$dir/no_sound.log" --name "no sound" --scale 8 --end-only || fail "the script did not run to its end"
echo "silent run: exit 0, one line on stderr"
