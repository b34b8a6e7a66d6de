#!/usr/bin/env bash
# The player on a desktop with a real window manager (openbox), on a display of its own at
# 1920x1080: before the manager starts, a full-screen start already carries the title
# "Swirlcoil", the window class of the desktop entry and the desktop icon (openbox would set an
# icon of its own); then a window gets decorations, F11 covers the screen and comes back to
# the size and place the user gave the window, the manager's own full-screen command is
# followed so that the next F11 leaves it, and closing through the manager (wmctrl -c, Alt+F4)
# ends the demo with 0 within 0.5 s.
set -u
here=$(dirname "$0")
. "$here/../lib/lib.bash"
. "$here/../../../scripts/lib.sh"
build=$1
title=Swirlcoil
work=$(mktemp -d /tmp/demo-wm.XXXXXX)
pid=""
cleanup() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    stop_openbox
    kill "$xvfb_started_pid" 2>/dev/null && wait "$xvfb_started_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
start_xvfb "$work" 1920x1080

# window_of_demo: the demo's mapped window (the client, not openbox's frame).
window_of_demo() { xdotool search --onlyvisible --name "^$title\$" | head -1; }
# geometry: X Y WIDTH HEIGHT of the demo's window, on the screen.
geometry() { eval "$(xdotool getwindowgeometry --shell "$win")"; }
# wait_geometry DESCRIPTION TEST: waits up to 5 s for the shell test on X Y WIDTH HEIGHT.
wait_geometry() {
    local deadline=$(( $(now_ms) + 5000 ))
    until geometry && eval "$2"; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "$1: the window is ${WIDTH}x${HEIGHT} at ($X, $Y)"
        sleep 0.05
    done
    echo "$1: ${WIDTH}x${HEIGHT} at ($X, $Y)"
}
# ends_within_ms WHAT MS: the demo ends with 0 within MS of now.
ends_within_ms() {
    local asked
    asked=$(now_ms)
    wait_pid_ms "$pid" 5000
    local took=$(( $(now_ms) - asked ))
    [ "$rc" = timeout ] && fail "$1: still running 5 s later"
    [ "$rc" = 0 ] || fail "$1: exit code $rc"
    echo "$1: exit 0 after $took ms"
    [ "$took" -le "$2" ] || fail "$1: took $took ms, more than $2"
    pid=""
}

# Before any window manager: a full-screen start.
"$build/demo" 2>"$work/full.err" & pid=$!
wait_for_window "$title" 20 || fail "no window named $title appeared: $(cat "$work/full.err")"
win=$(window_of_demo)
class=$(xprop -id "$win" WM_CLASS)
echo "$class"
[ "$class" = 'WM_CLASS(STRING) = "swirlcoil", "swirlcoil"' ] || fail "window class is not swirlcoil"
name=$(xprop -id "$win" _NET_WM_NAME)
[ "$name" = '_NET_WM_NAME(UTF8_STRING) = "Swirlcoil"' ] || fail "full-screen title: $name"
# The icon against the desktop icon scaled by ImageMagick: same size, pixels close (the two
# scalers average differently at the edges of their boxes). The player sets it just after the
# window is mapped, so it may take a moment to appear.
deadline=$(( $(now_ms) + 5000 ))
until xprop -id "$win" _NET_WM_ICON | grep -q '='; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "no _NET_WM_ICON 5 s after the window appeared"
    sleep 0.05
done
xprop -id "$win" -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON | python3 -c '
import re, subprocess, sys
nums = [int(v) for v in re.findall(r"\d+", sys.stdin.read().split("=", 1)[1])]
if len(nums) < 2:
    sys.exit("FAIL: no _NET_WM_ICON")
w, h = nums[0], nums[1]
argb = nums[2:2 + w * h]
ref = subprocess.run(["convert", sys.argv[1], "-filter", "box", "-resize", f"{w}x{h}!", "rgba:-"],
                     check=True, capture_output=True).stdout
diff = 0
for i, p in enumerate(argb):
    mine = ((p >> 16) & 255, (p >> 8) & 255, p & 255, (p >> 24) & 255)
    diff += sum(abs(a - b) for a, b in zip(mine, ref[4 * i:4 * i + 4]))
mean = diff / (4 * w * h)
print(f"window icon {w}x{h}, mean difference from the desktop icon {mean:.2f} of 255")
if len(argb) != w * h or w < 16 or mean > 6:
    sys.exit("FAIL: the window icon is not the desktop icon")
' "$here/../../../packaging/icon.png" || fail "window icon"
kill "$pid"; wait "$pid" 2>/dev/null; pid=""

start_openbox "$work" || fail "openbox did not start: $(cat "$work/openbox.log")"

# A window: decorations, then a size and place of the user's own.
"$build/demo" --window 2>"$work/window.err" & pid=$!
wait_for_window "$title" 20 || fail "no window named $title appeared"
win=$(window_of_demo)
extents=$(xprop -id "$win" _NET_FRAME_EXTENTS)
echo "$extents"
read -r _ _ left right top bottom < <(echo "$extents" | tr -d ',')
[ "${top:-0}" -gt 0 ] || fail "no title bar: $extents"
sleep 1
xdotool windowsize "$win" 800 600
xdotool windowmove "$win" 300 200
wait_geometry "the user's window" '[ "$WIDTH $HEIGHT" = "800 600" ]'
sleep 0.5
geometry
user="$X $Y"
xdotool windowactivate --sync "$win" 2>/dev/null
xdotool key F11
wait_geometry "F11" '[ "$X $Y $WIDTH $HEIGHT" = "0 0 1920 1080" ]'
xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "F11: the manager does not hold it full screen"
xdotool key F11
wait_geometry "F11 again" '[ "$WIDTH $HEIGHT" = "800 600" ] && [ "$X $Y" = "$user" ]'

# Full screen by the manager's own command; the next F11 leaves it for the user's window.
wmctrl -i -r "$win" -b add,fullscreen
wait_geometry "the manager's full screen" '[ "$WIDTH $HEIGHT" = "1920 1080" ]'
sleep 0.3
xdotool key F11
wait_geometry "F11 after the manager's full screen" '[ "$WIDTH $HEIGHT" = "800 600" ] && [ "$X $Y" = "$user" ]'

sleep 0.5
wmctrl -c "$title" || fail "wmctrl could not ask the window to close"
ends_within_ms "wmctrl -c" 500

# A full-screen start under the manager, closed with Alt+F4 once it draws frames (a key that
# comes during start-up waits for the frame loop's first poll, which is not the close's time).
frames="$work/alt-f4.frames"
DEMO_SHIM_LOG=$frames LD_PRELOAD=$build/tests/libdemo_shim.so "$build/demo" 2>"$work/alt-f4.err" & pid=$!
wait_for_window "$title" 20 || fail "no window named $title appeared"
win=$(window_of_demo)
deadline=$(( $(now_ms) + 20000 ))
until grep -q '^frame' "$frames" 2>/dev/null; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "no frame 20 s after the window appeared"
    sleep 0.1
done
sleep 0.5
xdotool windowactivate --sync "$win" 2>/dev/null
xdotool key alt+F4
ends_within_ms "Alt+F4" 500
