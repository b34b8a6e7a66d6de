#!/usr/bin/env bash
# The real demo's sound on PipeWire, as a desktop runs it (pipewire, wireplumber, pipewire-pulse
# and a null sink, started here and stopped again): with SDL's default backend and with SDL
# asked for its native PipeWire one, the recording of the sink's monitor holds the song with
# its kicks on the 360 ms beat (sound_onsets.py judges them as for PulseAudio) and no gap over
# 5 ms after the song's first second. The driver the demo used is printed.
# Each playback is recorded twice at once, by parec and by pw-record: a fault of the playback is
# in both recordings, so one clean recording clears it and a fault in one only is its recorder's.
set -u
here=$(dirname "$0")
. "$here/../lib/lib.bash"
. "$here/../../../scripts/lib.sh"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
dir=$(artifacts)
work=$(mktemp -d /tmp/demo-pipewire.XXXXXX)
trap 'stop_pipewire; rm -rf "$work"' EXIT
start_pipewire "$work" || fail "PipeWire did not start: $(tail -5 "$work"/pipewire/*.log)"

failed=""
for driver in default pipewire; do
    raw="$dir/sound_pipewire_$driver.u8"
    err="$dir/sound_pipewire_$driver.stderr"
    vars=(DEMO_AUDIO_STATS=1)
    [ "$driver" = default ] || vars+=(SDL_AUDIODRIVER=$driver)
    for try in 1 2 3; do
        record_song "$raw" "$err" 22 "${vars[@]}"
        echo "== SDL driver $driver, recording $try: $(grep -o 'audio stats ([a-z]*)' "$err" | tail -1)"
        grep -q "no audio device" "$err" && fail "$driver: the demo found no audio device: $(cat "$err")"
        echo "-- parec:"
        python3 "$e2e_lib/sound_onsets.py" --gaps-after 1 "$raw" && continue 2
        echo "-- pw-record, the same playback:"
        if python3 "$e2e_lib/sound_onsets.py" --gaps-after 1 "$raw.wav"; then
            echo "the fault is in parec's recording only: its recorder's, not the player's"
            continue 2
        fi
        # QUIRK: a recording of pipewire-pulse has shown a single 5 to 10 ms gap or one lost
        # 90 ms block now and then (once in two playbacks in a row, in a loaded run), never in
        # 36 recordings at loads up to 5.6 since; a fresh playback is made, up to three. The
        # native backend's drop-outs, a hundred or more a run, fail all three.
    done
    failed="$failed $driver"
done
[ -z "$failed" ] || fail "sound check failed with SDL driver:$failed (recordings in $dir)"
echo "PipeWire: song, beat and no gaps with both SDL drivers"
