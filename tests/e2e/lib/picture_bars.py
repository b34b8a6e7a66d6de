#!/usr/bin/env python3
"""Checks a screenshot of the demo's picture scaled to fit with its 4:3 aspect: picture content
lies only inside the centred 4:3 area that fits the image, and reaches near each of that area's
four edges (so the picture fills it rather than sitting smaller inside). Prints what it found;
exits non-zero with the reason otherwise. With --no-edges the edges are not asked for (a scene
that does not fill the picture). Usage: picture_bars.py [--no-edges] SHOT.png [LABEL]"""
import subprocess
import sys

args = sys.argv[1:]
check_edges = "--no-edges" not in args
args = [a for a in args if a != "--no-edges"]
shot = args[0]
label = args[1] if len(args) > 1 else shot
w, h = map(int, subprocess.check_output(["identify", "-format", "%w %h", shot]).split())
raw = subprocess.check_output(["convert", shot, "-depth", "8", "rgb:-"])
# The largest 4:3 area that fits, centred.
pw, ph = (h * 4 // 3, h) if w * 3 >= h * 4 else (w, w * 3 // 4)
x0, y0 = (w - pw) // 2, (h - ph) // 2
band_x, band_y = max(pw // 20, 2), max(ph // 20, 2)
lit_in = lit_out = 0
edges = {"left": 0, "right": 0, "top": 0, "bottom": 0}
for y in range(h):
    row = raw[y * w * 3:(y + 1) * w * 3]
    for x in range(w):
        if max(row[3 * x:3 * x + 3]) <= 16:
            continue
        inside_x = x0 + 2 <= x < x0 + pw - 2
        inside_y = y0 + 2 <= y < y0 + ph - 2
        if inside_x and inside_y:
            lit_in += 1
            edges["left"] += x < x0 + band_x
            edges["right"] += x >= x0 + pw - band_x
            edges["top"] += y < y0 + band_y
            edges["bottom"] += y >= y0 + ph - band_y
        elif x < x0 - 1 or x >= x0 + pw + 1 or y < y0 - 1 or y >= y0 + ph + 1:
            lit_out += 1
print(f"{label}: {w}x{h}, picture {pw}x{ph} at ({x0}, {y0}): {lit_in} lit pixels inside, "
      f"{lit_out} in the bars; near the edges: " + ", ".join(f"{k} {v}" for k, v in edges.items()))
if lit_out:
    sys.exit(f"{label}: picture content in the black bars")
if lit_in < 1000:
    sys.exit(f"{label}: no picture inside the 4:3 area")
empty = [k for k, v in edges.items() if v == 0]
if check_edges and empty:
    sys.exit(f"{label}: nothing lit near the {', '.join(empty)} edge of the 4:3 area")
