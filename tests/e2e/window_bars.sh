#!/usr/bin/env bash
# On a 16:9 screen the 640x480 picture is shown scaled to 4:3, centred, with black bars: a
# screenshot during the opening scene has picture content only inside the centred 4:3 area.
set -u
. "$(dirname "$0")/lib.bash"
build=$1
shot="$(artifacts)/window_bars.png"

start_demo "$build"
sleep 4
import -window root "$shot"
xdotool key Escape
wait_pid_ms $pid 2000
[ "$rc" = 0 ] || { kill -9 $pid 2>/dev/null; fail "exit code $rc"; }

python3 - "$shot" <<'PY' || exit 1
import subprocess, sys
shot = sys.argv[1]
w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", shot]).split())
raw = subprocess.check_output(["convert", shot, "-depth", "8", "rgb:-"])
ph = h; pw = h * 4 // 3
x0 = (w - pw) // 2
lit_in, lit_out = 0, 0
for y in range(h):
    row = raw[y * w * 3:(y + 1) * w * 3]
    for x in range(w):
        if max(row[3 * x:3 * x + 3]) > 16:
            if x0 + 2 <= x < x0 + pw - 2: lit_in += 1
            elif x < x0 - 1 or x >= x0 + pw + 1: lit_out += 1
print(f"screen {w}x{h}, picture {pw}x{ph} at x={x0}: {lit_in} lit pixels inside, {lit_out} in the bars")
if lit_out: sys.exit("picture content in the black bars")
if lit_in < 1000: sys.exit("no picture inside the 4:3 area")
PY
