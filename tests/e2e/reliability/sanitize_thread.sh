#!/usr/bin/env bash
# ThreadSanitizer: a build of its own ($1/tsan, only the tool it needs) runs the real sequencer
# thread driving the SDL2 mixer on the default sound device (the test command's PulseAudio null
# sink) for 19 s of real time, with SDL's audio thread and the device watcher beside it.
# No report; the null sink's monitor shows that the song was played: its kicks of song
# positions 8 and 9 keep the 4-row beat, as sound_onsets.py judges the live demo's.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
variant=$build/tsan
log=$(artifacts)/sanitize_thread.log
[ -n "${PULSE_SERVER:-}" ] || fail "no PULSE_SERVER: the test command starts the sound server"

build_variant "$src" "$variant" thread "$log" sequencer_drive

recorded=$(mktemp) out=$(mktemp) err=$(mktemp)
record_sink "$recorded"; recorder=$rec
export TSAN_OPTIONS="suppressions=$e2e_lib/tsan.supp halt_on_error=0 second_deadlock_stack=1"
started=$(now_ms)
"$variant/tests/sequencer_drive" 19 >"$out" 2>"$err"
rc=$?
took=$(( $(now_ms) - started ))
sleep 0.3
kill $recorder 2>/dev/null; wait $recorder 2>/dev/null
cat "$out"
grep -q "ThreadSanitizer" "$err" && { cat "$err"; fail "ThreadSanitizer report"; }
[ "$rc" = 0 ] || { cat "$err"; fail "exit code $rc"; }
grep -q "9 instrument buffers" "$out" || { cat "$err"; fail "the sound device or its buffers could not be had"; }
[ "$took" -ge 19000 ] || fail "ran only $took ms"
# The song reached the sink, beat and all. The instrumented audio callback may miss a period
# on a loaded machine: such dropouts are shown, not judged here (sound_onsets.sh judges them).
report=$(python3 "$e2e_lib/sound_onsets.py" "$recorded")
echo "$report"
grep '^FAIL:' <<<"$report" | grep -qv 'dropouts in the analysed part' &&
    fail "the null sink did not hear the song keep its beat (recording: $recorded)"
rm -f "$recorded" "$out" "$err"
echo "no ThreadSanitizer report in $took ms of the sequencer driving the SDL2 mixer"
