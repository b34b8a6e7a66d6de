#!/usr/bin/env bash
# A sound device that goes away while the demo plays: the demo says so, keeps running, and
# when a default device is there again it reopens it and the song goes on there.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
[ -n "${PULSE_SERVER:-}" ] || fail "no PULSE_SERVER"
dir=$(artifacts)
err="$dir/sound_device_lost.stderr"
raw="$dir/sound_device_lost.u8"

sink_module() { pactl list short modules | awk '$2 == "module-null-sink" && /sink_name=nul/ { print $1; exit }'; }
module=$(sink_module)
[ -n "$module" ] || fail "no null sink named nul"
pid=""
restore() {
    [ -n "$(sink_module)" ] || pactl load-module module-null-sink sink_name=nul >/dev/null
    [ -n "$pid" ] && kill -9 $pid 2>/dev/null
}
trap restore EXIT

launch_demo "$build" "$err"
wait_for_window Swirlcoil 20 || fail "no window appeared"
sleep 3
pactl unload-module "$module"   # the only sink: the demo's stream goes with it
sleep 2.5
kill -0 $pid 2>/dev/null || fail "the demo ended when its device went away: $(cat "$err")"
pactl load-module module-null-sink sink_name=nul >/dev/null
# The watcher retries once a second; give it two.
deadline=$(( $(now_ms) + 5000 ))
until grep -q "audio device back" "$err" || [ "$(now_ms)" -ge "$deadline" ]; do sleep 0.1; done
grep -q "audio device lost" "$err" || fail "no word of the lost device: $(cat "$err")"
grep -q "audio device back" "$err" || fail "the device was not reopened: $(cat "$err")"
record_sink "$raw"
sleep 3
kill $rec; wait $rec 2>/dev/null
xdotool key Escape
wait_pid_ms $pid 15000
[ "$rc" = timeout ] && fail "still running 15 s after Escape"
pid=""
[ "$rc" = 0 ] || fail "exit code $rc"
sounding=$(python3 -c "import sys; d=open(sys.argv[1],'rb').read(); print(sum(b != 128 for b in d) * 100 // max(1, len(d)))" "$raw")
[ "$sounding" -ge 50 ] || fail "only ${sounding} % of the 3 s after the reopen sound"
echo "device lost and reopened; ${sounding} % of the samples after it sound"
