#!/usr/bin/env bash
# ThreadSanitizer: a build of its own ($1/tsan, only the tool it needs) runs the real sequencer
# thread driving the SDL2 mixer on the default sound device (the test command's PulseAudio null
# sink) for 12 s of real time, with SDL's audio thread and the device watcher beside it.
# No report; the null sink's monitor shows that the song was played.
set -u
. "$(dirname "$0")/lib.bash"
build=$1
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
variant=$build/tsan
log=$(artifacts)/sanitize_thread.log
[ -n "${PULSE_SERVER:-}" ] || fail "no PULSE_SERVER: the test command starts the sound server"

build_variant "$src" "$variant" thread "$log" sequencer_drive

recorded=$(mktemp) out=$(mktemp) err=$(mktemp)
record_sink "$recorded"; recorder=$rec
export TSAN_OPTIONS="suppressions=$here/tsan.supp halt_on_error=0 second_deadlock_stack=1"
started=$(now_ms)
"$variant/tests/sequencer_drive" 12 >"$out" 2>"$err"
rc=$?
took=$(( $(now_ms) - started ))
sleep 0.3
kill $recorder 2>/dev/null; wait $recorder 2>/dev/null
cat "$out"
grep -q "ThreadSanitizer" "$err" && { cat "$err"; fail "ThreadSanitizer report"; }
[ "$rc" = 0 ] || { cat "$err"; fail "exit code $rc"; }
grep -q "9 instrument buffers" "$out" || { cat "$err"; fail "the sound device or its buffers could not be had"; }
[ "$took" -ge 12000 ] || fail "ran only $took ms"
# Sound reached the sink: samples away from the 8-bit silence level over at least 8 s of audio.
python3 - "$recorded" <<'PY' || fail "the null sink heard no song"
import sys
data = open(sys.argv[1], "rb").read()
audible = sum(1 for b in data if abs(b - 128) > 4)
print(f"null sink: {len(data) / 44100:.1f} s recorded, {audible / 44100:.1f} s of it away from silence")
sys.exit(0 if audible > 0 and len(data) >= 8 * 44100 else 1)
PY
rm -f "$recorded" "$out" "$err"
echo "no ThreadSanitizer report in $took ms of the sequencer driving the SDL2 mixer"
