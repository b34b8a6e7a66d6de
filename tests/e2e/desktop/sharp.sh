#!/usr/bin/env bash
# The player with --sharp on a 1920x1080 display of its own, against the classic player at the
# same scene time (11,550 ms: "mad", "for", "world", "insanity" over the strokes). Full screen:
# the picture fills the centred 1440x1080 box with black bars, and its words lie where the
# classic picture's lie, scaled to the box, within 2 % of its size, with hard edges (drawn at
# the box's own size; the classic picture scaled up by 2.25 has a ramp around every glyph).
# In a window resized to 1000x750 after the first frames, the same: the sharp picture is made
# again at the window's new size (scaled down from 1280x960 it would have ramps too).
set -u
here=$(dirname "$0")
. "$here/../lib/lib.bash"
. "$here/../../../scripts/lib.sh"
build=$1
dir=$(artifacts)
work=$(mktemp -d /tmp/demo-sharp.XXXXXX)
pid=""
cleanup() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    kill "$xvfb_started_pid" 2>/dev/null && wait "$xvfb_started_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
start_xvfb "$work" 1920x1080
target=11550

# attempt NAME RESIZE ARGS...: plays the demo with ARGS at tick_scale times real time (resizing
# its window to RESIZE, e.g. 1000x750, once it draws, unless RESIZE is -), takes a screenshot of
# its window when the scene time reaches the target (timed from the shim's frame log: scene time and wall clock of each
# frame), and ends it. False when the frame on screen may lie outside the words' window (a busy
# machine's slow frames).
attempt() {
    local name=$1 resize=$2 log=$work/$1.log
    shift 2
    rm -f "$log"
    DEMO_SHIM_TICK_SCALE=$tick_scale DEMO_SHIM_LOG=$log LD_PRELOAD=$build/tests/libdemo_shim.so start_demo "$build" "$@"
    local win
    win=$(xdotool search --onlyvisible --name "^Swirlcoil\$" | head -1)
    if [ "$resize" != - ]; then
        DEMO_SHIM_TICK_SCALE=$tick_scale wall_at_scene_time "$log" 0 1000 90 >/dev/null || fail "$name: no frame drawn"
        xdotool windowsize "$win" "${resize%x*}" "${resize#*x}"
    fi
    local at stopped
    at=$(DEMO_SHIM_TICK_SCALE=$tick_scale wall_at_scene_time "$log" 10000 $target 90) || fail "$name: the frame log never reached 10 s of scene time"
    while [ "$(now_ms)" -lt "$at" ]; do sleep 0.01; done
    # Stopped while the screenshot is taken: the window keeps the last frame it presented.
    kill -STOP $pid
    stopped=$(now_ms)
    import -window "$win" "$dir/sharp_$name.png"
    kill -CONT $pid
    xdotool key Escape
    wait_pid_ms $pid 15000
    [ "$rc" = 0 ] || fail "$name: exit code $rc"
    pid=""
    # The last two frames logged before the stop (a frame is logged just before its swap).
    local range
    range=$(awk -v s="$stopped" '$1 == "frame" && $NF <= s { before = last; last = $3 } END { print before + 0, last + 0 }' "$log")
    echo "$name: $(identify -format %wx%h "$dir/sharp_$name.png"), frame at t=${range/ / or } ms on screen"
    [ "${range% *}" -gt 11300 ] && [ "${range#* }" -lt 11700 ]
}

# shot NAME RESIZE ARGS...: attempt, once more if the screenshot missed the words.
shot() {
    attempt "$@" || attempt "$@" || attempt "$@" || fail "$1: the screenshots missed the words"
}

# The sharp runs' clock at 0.4 times real time: a sharp frame can take a quarter second on a
# busy machine, and the words stay only 400 ms of scene time. Classic frames are quick: their
# runs keep real time (the retries cover a busy machine's slow frame).
tick_scale=1
shot classic -
tick_scale=0.4
shot sharp - --sharp
python3 "$e2e_lib/picture_bars.py" "$dir/sharp_sharp.png" sharp || exit 1
python3 "$e2e_lib/caption_words.py" "$dir/sharp_classic.png" "$dir/sharp_sharp.png" "full screen" || exit 1

tick_scale=1
shot classic_window 1000x750 --window
tick_scale=0.4
shot sharp_window 1000x750 --window --sharp
python3 "$e2e_lib/caption_words.py" "$dir/sharp_classic_window.png" "$dir/sharp_sharp_window.png" \
    "window resized to 1000x750" || exit 1
echo "sharp: the words where the classic picture has them, with hard edges, full screen and resized"
