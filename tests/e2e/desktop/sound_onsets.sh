#!/usr/bin/env bash
# The real demo's sound, recorded from the null sink's monitor while it plays: the song is
# there, without dropouts, and the kick of song positions 8 and 9 (a note every 4 rows on
# channel 0) keeps the beat of the sequencer's 90 ms rows (sound_onsets.py says how closely).
# The sequencer thread's scheduling class is printed: where real-time scheduling is refused, a
# loaded machine wakes it late now and then.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
[ -n "${PULSE_SERVER:-}" ] || fail "no PULSE_SERVER"
pactl list short sinks | grep -q "^[0-9]*[[:space:]]nul[[:space:]]" || fail "no null sink named nul"
dir=$(artifacts)
raw="$dir/sound_onsets.u8"
err="$dir/sound_onsets.stderr"

# The monitor delivers data from the moment the demo opens its stream, so the recording starts
# with the demo's sound; the song's first row is the first sample that is not silence.
record_sink "$raw"
launch_demo "$build" "$err"
# Positions 8 and 9 end 14.4 s into the song; wait for 17 s of recording (start-up included).
need=$(( 44100 * 17 ))
deadline=$(( $(now_ms) + 60000 ))
while [ "$(stat -c %s "$raw")" -lt "$need" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    kill -0 $pid 2>/dev/null || break
    sleep 0.2
done
kill $rec 2>/dev/null; wait $rec 2>/dev/null
# By now the sequencer has long asked for its priority (at its first wait).
ps -L -o cls=,rtprio=,comm= -p $pid | awk '$3 == "sequencer" { found = 1; print "sequencer thread scheduling: class " $1 ", real-time priority " $2 }
    END { if (!found) print "sequencer thread scheduling: no thread named sequencer seen" }'
xdotool key Escape
wait_pid_ms $pid 2000
[ "$rc" = timeout ] && { kill -9 $pid; wait $pid 2>/dev/null; }

grep -q "no audio device" "$err" && fail "the demo found no audio device: $(cat "$err")"
python3 "$e2e_lib/sound_onsets.py" "$raw" || fail "sound check failed (recording: $raw)"
echo "sound and kick timing ok ($(( $(stat -c %s "$raw") / 44100 )) s recorded)"
