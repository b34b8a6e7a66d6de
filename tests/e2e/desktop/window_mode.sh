#!/usr/bin/env bash
# The player with --window: a window smaller than the screen, 4:3 and as large as fits, named
# after the demo, the picture filling it; resized to other shapes it keeps the 4:3 picture
# with black bars; Alt+Enter switches to full screen (the picture 4:3 with bars on the wide
# screen) and F11 back to the window at the size the user gave it. The cursor hides over the
# picture only, and Escape ends it with code 0. Screenshots of each step are kept with the test's artifacts.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
out="$(artifacts)/window_mode"
mkdir -p "$out"
bars="$e2e_lib/picture_bars.py"
title=Swirlcoil
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"

"$build/demo" --window & pid=$!
trap 'kill -9 $pid 2>/dev/null' EXIT
wait_for_window "$title" 20 || fail "no window named $title appeared"
appeared=$(now_ms)
win=$(xdotool search --onlyvisible --name "^$title\$" | head -1)
read -r screen_w screen_h < <(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')

# geometry: sets X Y WIDTH HEIGHT of the window.
geometry() { eval "$(xdotool getwindowgeometry --shell "$win")"; }
# wait_geometry W H: waits up to 3 s for the window to have this size.
wait_geometry() {
    local deadline=$(( $(now_ms) + 3000 ))
    while geometry && [ "$WIDTH $HEIGHT" != "$1 $2" ]; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}
# shot NAME: the window's content into NAME.png, checked for the 4:3 picture with its bars.
# A few tries: the first frames after a resize may not be drawn yet. The swirl fills the
# picture until the squeeze at 15 s of scene time, which starts after the window appeared;
# later shots check the bars but not that the picture reaches its edges.
shot() {
    local edges="" try
    if [ $(( $(now_ms) - appeared )) -gt 14000 ]; then
        edges=--no-edges
        echo "note: past the swirl's first 14 s, the picture's edges are not checked"
    fi
    for try in 1 2 3 4 5; do
        sleep 0.5
        import -window "$win" "$out/$1.png" || fail "no screenshot of the window"
        python3 "$bars" $edges "$out/$1.png" "$1" && return 0
    done
    fail "$1: the picture is not 4:3 with black bars"
}
# cursor_at NAME X Y EXPECTED: the pointer moved to (X, Y) of the screen shows or hides the
# cursor, within 2 s (the demo follows the pointer once a frame).
cursor_at() {
    xdotool mousemove "$2" "$3"
    local seen deadline=$(( $(now_ms) + 2000 ))
    while seen=$("$build/tests/cursor_shown") || fail "cannot read the cursor"; do
        [ "${seen%% *}" = "$4" ] || [ "$(now_ms)" -ge "$deadline" ] && break
        sleep 0.05
    done
    echo "cursor over the $1: $seen"
    [ "${seen%% *}" = "$4" ] || fail "cursor $seen over the $1, expected $4"
}

sleep 2
geometry
echo "screen ${screen_w}x${screen_h}, window ${WIDTH}x${HEIGHT} at ($X, $Y)"
[ "$WIDTH" -lt "$screen_w" ] && [ "$HEIGHT" -lt "$screen_h" ] || fail "the window is not smaller than the screen"
[ $(( WIDTH * 3 )) = $(( HEIGHT * 4 )) ] || fail "the window ${WIDTH}x${HEIGHT} is not 4:3"
[ "$WIDTH" -le 1280 ] && [ "$HEIGHT" -le 960 ] || fail "the window is larger than 1280x960"
# As large as fits: the screen's shorter side (here its height) is mostly used.
[ $(( HEIGHT * 4 )) -ge $(( screen_h * 3 )) ] || fail "the window uses less than 3/4 of the screen's height"
shot window

# Wide and tall shapes: bars at the sides, then above and below.
for size in 960x400 400x600; do
    xdotool windowsize "$win" "${size%x*}" "${size#*x}"
    wait_geometry "${size%x*}" "${size#*x}" || fail "the window did not take the size $size"
    shot "resized_$size"
done
geometry  # 400x600: a 400x300 picture between bars of 150 above and below
cursor_at "picture" $(( X + 200 )) $(( Y + 300 )) hidden
cursor_at "bar below the picture" $(( X + 200 )) $(( Y + 560 )) shown
cursor_at "picture again" $(( X + 200 )) $(( Y + 300 )) hidden
cursor_at "desktop beside the window" $(( X + 420 )) $(( Y + 300 )) shown

xdotool windowfocus "$win" 2>/dev/null
xdotool key alt+Return
wait_geometry "$screen_w" "$screen_h" || fail "Alt+Enter: the window is ${WIDTH}x${HEIGHT}, not full screen"
echo "Alt+Enter: full screen ${WIDTH}x${HEIGHT} at ($X, $Y)"
[ "$X $Y" = "0 0" ] || fail "the full-screen window is at ($X, $Y)"
shot full_screen
cursor_at "bar of the full screen" 20 $(( screen_h / 2 )) hidden

xdotool key F11
deadline=$(( $(now_ms) + 3000 ))
while geometry && [ "$WIDTH" -ge "$screen_w" ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "F11: still full screen"
    sleep 0.05
done
echo "F11: window ${WIDTH}x${HEIGHT} at ($X, $Y)"
# Back to the size the user last gave the window.
[ "${WIDTH}x${HEIGHT}" = 400x600 ] || fail "F11 gave a ${WIDTH}x${HEIGHT} window, not the user's 400x600"
shot window_again

xdotool key Escape
wait_pid_ms $pid 2000
[ "$rc" = timeout ] && fail "still running 2 s after Escape"
[ "$rc" = 0 ] || fail "exit code $rc"
echo "exit 0 after Escape"
