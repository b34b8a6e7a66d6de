#!/usr/bin/env bash
# The player with --sharp full screen on a 1920x1080 display of its own: the picture fills the
# centred 1440x1080 box with black bars as the classic picture does, and at the same scene time
# (11,450 ms: "mad", "for", "world", "insanity" over the strokes) its words lie where the classic
# picture's words lie, scaled to the box, within 2 % of the box's size. Drawn at the box's own
# size, the words' pixels are one grey with hard edges, where the classic picture scaled up by
# 2.25 has a ramp of in-between greys around every glyph.
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
target=11450

# shot NAME ARGS...: plays the demo with ARGS, takes a screenshot when the scene time reaches
# the target (timed from the shim's frame log: scene time and wall clock of each frame), ends it.
shot() {
    local name=$1 log=$work/$1.log
    shift
    DEMO_SHIM_LOG=$log LD_PRELOAD=$build/tests/libdemo_shim.so start_demo "$build" "$@"
    local deadline=$(( $(now_ms) + 60000 )) at=""
    while [ "$(now_ms)" -lt "$deadline" ]; do
        # The wall time the target frame falls on, once a frame from 10 s on has shown the pace.
        at=$(awk -v t=$target '$1 == "frame" && $3 >= 10000 && $3 < t { w = $NF + (t - $3) } END { if (w) printf "%.0f", w }' "$log" 2>/dev/null)
        [ -n "$at" ] && break
        sleep 0.05
    done
    [ -n "$at" ] || fail "$name: the frame log never reached 10 s of scene time"
    while [ "$(now_ms)" -lt "$at" ]; do sleep 0.01; done
    import -window root "$dir/sharp_$name.png"
    xdotool key Escape
    wait_pid_ms $pid 15000
    [ "$rc" = 0 ] || fail "$name: exit code $rc"
    pid=""
    local t
    t=$(awk -v w=$(( at + 250 )) '$1 == "frame" && $NF <= w { t = $3 } END { print t }' "$log")
    echo "$name: last frame before the screenshot's end at t=$t ms"
    [ "$t" -gt 11300 ] && [ "$t" -lt 11700 ] || fail "$name: the screenshot missed the words (t=$t)"
}

shot classic
shot sharp --sharp
python3 "$e2e_lib/picture_bars.py" "$dir/sharp_sharp.png" sharp || exit 1

python3 - "$dir/sharp_classic.png" "$dir/sharp_sharp.png" <<'PY' || exit 1
import subprocess, sys

def grey_words(path):
    w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", path]).split())
    raw = subprocess.check_output(["convert", path, "-depth", "8", "rgb:-"])
    bw, bh = h * 4 // 3, h
    x0 = (w - bw) // 2
    words, ramp = [], 0
    for y in range(h):
        row = raw[y * w * 3:(y + 1) * w * 3]
        for x in range(x0, x0 + bw):
            r, g, b = row[3 * x:3 * x + 3]
            if r == g == b and r >= 130:
                words.append(((x - x0) / bw, y / bh))
            elif abs(r - g) <= 1 and abs(g - b) <= 1 and 100 <= r < 130:
                ramp += 1
    return words, ramp, bw, bh

def summary(words):
    xs = sorted(p[0] for p in words)
    ys = sorted(p[1] for p in words)
    n = len(words)
    # Robust extents: the 1st and 99th percentiles, and the mean.
    return (xs[n // 100], xs[-1 - n // 100], ys[n // 100], ys[-1 - n // 100], sum(xs) / n, sum(ys) / n)

cw, cramp, bw, bh = grey_words(sys.argv[1])
sw, sramp, _, _ = grey_words(sys.argv[2])
print(f"box {bw}x{bh}; word pixels: classic {len(cw)} (ramp {cramp}), sharp {len(sw)} (ramp {sramp})")
if len(cw) < 2000 or len(sw) < 2000:
    sys.exit("FAIL: too few word pixels to compare")
names = ["left", "right", "top", "bottom", "mean x", "mean y"]
worst = 0
for name, a, b in zip(names, summary(cw), summary(sw)):
    print(f"  {name}: classic {a:.4f}, sharp {b:.4f} of the box")
    worst = max(worst, abs(a - b))
if worst > 0.02:
    sys.exit(f"FAIL: the sharp words lie {worst:.3f} of the box away from the classic ones")
# Hard edges: in-between greys are a few per cent of the word pixels, not a ramp around each.
if sramp > 0.25 * cramp:
    sys.exit(f"FAIL: the sharp words have {sramp} in-between grey pixels, the classic {cramp}")
PY
echo "sharp: the words where the classic picture has them, with hard edges"
