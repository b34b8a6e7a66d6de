#!/usr/bin/env bash
# On a 16:9 screen the 640x480 picture is shown scaled to 4:3, centred, with black bars: a
# screenshot during the opening scene has picture content only inside the centred 4:3 area.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
shot="$(artifacts)/window_bars.png"

start_demo "$build"
sleep 4
import -window root "$shot"
xdotool key Escape
wait_pid_ms $pid 15000
[ "$rc" = 0 ] || { kill -9 $pid 2>/dev/null; fail "exit code $rc"; }

python3 "$e2e_lib/picture_bars.py" "$shot" screen || exit 1
