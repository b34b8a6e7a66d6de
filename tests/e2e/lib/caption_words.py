#!/usr/bin/env python3
"""Compares the caption words of two screenshots of the demo's picture, classic and sharp, taken
at the same scene time: the words are the neutral grey pixels of 130 and above inside the
centred 4:3 box (the strokes behind them are darker, the scenes coloured). Their extents and
mean, as fractions of the box, must agree within 2 % of the box; the sharp words must have hard
edges: in-between greys (100 to 129) at most a quarter of the classic picture's, whose scaled-up
glyphs have a ramp around every edge. Prints what it found; exits non-zero with the reason.
Usage: caption_words.py CLASSIC.png SHARP.png LABEL"""
import subprocess
import sys


def grey_words(path):
    w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", path]).split())
    raw = subprocess.check_output(["convert", path, "-depth", "8", "rgb:-"])
    bw, bh = (h * 4 // 3, h) if w * 3 >= h * 4 else (w, w * 3 // 4)
    x0, y0 = (w - bw) // 2, (h - bh) // 2
    words, ramp = [], 0
    for y in range(y0, y0 + bh):
        row = raw[y * w * 3:(y + 1) * w * 3]
        for x in range(x0, x0 + bw):
            r, g, b = row[3 * x:3 * x + 3]
            if r == g == b and r >= 130:
                words.append(((x - x0) / bw, (y - y0) / bh))
            elif abs(r - g) <= 1 and abs(g - b) <= 1 and 100 <= r < 130:
                ramp += 1
    return words, ramp, bw, bh


def summary(words):
    xs = sorted(p[0] for p in words)
    ys = sorted(p[1] for p in words)
    n = len(words)
    # Robust extents: the 1st and 99th percentiles; and the mean.
    return (xs[n // 100], xs[-1 - n // 100], ys[n // 100], ys[-1 - n // 100], sum(xs) / n, sum(ys) / n)


classic, sharp, label = sys.argv[1:4]
cw, cramp, bw, bh = grey_words(classic)
sw, sramp, _, _ = grey_words(sharp)
print(f"{label}: box {bw}x{bh}; word pixels: classic {len(cw)} (in-between {cramp}), sharp {len(sw)} "
      f"(in-between {sramp})")
if len(cw) < 1000 or len(sw) < 1000:
    sys.exit(f"FAIL: {label}: too few word pixels to compare")
worst = 0
for name, a, b in zip(["left", "right", "top", "bottom", "mean x", "mean y"], summary(cw), summary(sw)):
    print(f"  {name}: classic {a:.4f}, sharp {b:.4f} of the box")
    worst = max(worst, abs(a - b))
if worst > 0.02:
    sys.exit(f"FAIL: {label}: the sharp words lie {worst:.3f} of the box away from the classic ones")
if sramp > 0.25 * cramp:
    sys.exit(f"FAIL: {label}: the sharp words have {sramp} in-between grey pixels, the classic {cramp}")
