#!/usr/bin/env bash
# Sound under load: the desktop player recorded from a null sink's monitor at CPU loads of 0, 4
# and 8 busy workers (stress-ng) on PulseAudio and on PipeWire (SDL's default backend, SDL asked
# for its native one, and the native backend forced by hiding the PulseAudio server; there each
# playback is recorded by parec and by pw-record at once). Each recording is judged as the sound
# tests judge it (DEMO_BENCH_KEEP names a folder for their full output): gaps over 5 ms after
# the song's first second, and how far the kicks of song positions 8 and 9 stray from their
# 360 ms beat. Prints a table row a run, with the load average measured during it; never fails
# on a figure.
# Usage: scripts/bench-sound.sh [BUILD] [SECONDS per run, default 20; under heavy load start-up
# is slow and the kicks of positions 8 and 9 need 26 or more]
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. scripts/lib.sh
build=${1:-$root/build}
seconds=${2:-20}
work=$(mktemp -d /tmp/demo-bench-sound.XXXXXX)
stress=""
cleanup() {
    [ -n "$stress" ] && kill "$stress" 2>/dev/null
    stop_pipewire
    stop_servers
    rm -rf "$work"
}
trap cleanup EXIT
start_servers "$work"
pulse_server=$PULSE_SERVER

# verdict_of RECORDING: gaps and kick spread of one recording, as a table cell.
verdict_of() {
    python3 tests/e2e/lib/sound_onsets.py --gaps-after 1 "$1" >"$1.txt"
    [ -n "${DEMO_BENCH_KEEP:-}" ] && cp "$1.txt" "$DEMO_BENCH_KEEP/$load_workers-$(basename "$1").txt"
    awk '/^gaps over/ { gaps = $8; longest = $10 }
         /intervals off the beat/ { for (i = 1; i < NF; i++) { if ($i == "median") med = $(i + 1); if ($i == "worst") worst = $(i + 1) } }
         END { sub(",", "", gaps); sub(",", "", med); printf "%s gaps (longest %s ms), kicks off the beat: %s", gaps, longest, med == "" ? "no 4-row beat found" : "median " med " ms, worst " worst " ms" }' "$1.txt"
}

# run NAME [VAR=value...]: one recording of the demo under the current server, then its row.
# On PipeWire the same playback is also recorded by pw-record, PipeWire's own client: a fault
# of the playback is in both recordings, one of a recorder in its recording only.
run() {
    local name=$1 raw="$work/$1.u8" rec second="" pid load second_verdict="-"
    shift
    parec -d nul.monitor --format=u8 --channels=1 --rate=44100 --raw >"$raw" 2>/dev/null &
    rec=$!
    if [ -n "$pipewire_up" ]; then
        pw_record_sink "$raw.wav"
        second=$pw_rec
    fi
    env "$@" DEMO_AUDIO_STATS=1 timeout "$seconds" "$build/demo" --window 2>"$work/$name.err" &
    pid=$!
    wait $pid
    kill $rec $second 2>/dev/null; wait $rec $second 2>/dev/null
    load=$(cut -d' ' -f1 /proc/loadavg)
    [ -n "$second" ] && second_verdict=$(verdict_of "$raw.wav")
    driver=$(grep -o 'audio stats ([a-z]*)' "$work/$name.err" | tail -1 | tr -d '()' | awk '{ print $3 }')
    echo "| $load_workers | $name | ${driver:-?} | $load | $(verdict_of "$raw") | $second_verdict |"
}

pipewire_up=""
echo "| workers | path | SDL driver used | load average | parec's recording | pw-record's, the same playback |"
echo "|---|---|---|---|---|---|"
for load_workers in 0 4 8; do
    stress=""
    if [ "$load_workers" -gt 0 ]; then
        stress-ng --cpu "$load_workers" --quiet >/dev/null 2>&1 &
        stress=$!
        sleep 5
    fi
    export PULSE_SERVER=$pulse_server
    run pulseaudio
    run pulseaudio-100ms PULSE_LATENCY_MSEC=100
    start_pipewire "$work" && pipewire_up=1 || echo "PipeWire did not start"
    run pipewire-default
    run pipewire-asked SDL_AUDIODRIVER=pipewire
    run pipewire-native-forced SDL_AUDIODRIVER=pipewire PULSE_SERVER=unix:/nonexistent
    stop_pipewire
    pipewire_up=""
    if [ -n "$stress" ]; then kill "$stress"; wait "$stress" 2>/dev/null; stress=""; fi
done
