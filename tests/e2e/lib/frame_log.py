#!/usr/bin/env python3
"""Checks a frame log that the test shim (tests/tools/demo_shim.cpp, DEMO_SHIM_LOG) wrote during
a run of the real demo: every presented frame's scene time, raw tick, real time and picture
digest, then the exit. Used by the end-to-end scripts; prints what it found and exits 1 with the
reasons when a check fails.

Checks always made: exit code 0 after the first frame past 82,000 ms, with no frame past it
presented; scene times in order with no jump; the end after 82 s of (scaled) real time; the
first 200 ms and every flash window black, the tube and the coil drawn between the flashes; the
caption strokes in the first phrase's window. Options add the words of the 68 s phrase (there
or missing), a frame-rate range and a wrap of the raw tick counter, or leave out the pictures.
"""
import argparse
import sys

SCRIPT_END = 82000  # ms
FLASH_LENGTH = 200  # ms


def flash_times():
    times = [0]  # the table's zero entries blank 0 < t < 200
    for k in range(9):
        a, b, c = 40300 + 1200 * k, 70300 + 600 * k, 78000 + 500 * k
        times += [a - 300, a, a + 200, a + 500, c]
        if c < 80000:
            times += [b - 300, b]
    return sorted(set(times))


def in_flash(t, flashes):
    return any(e < t < e + FLASH_LENGTH for e in flashes)


def in_window(frames, lo, hi, what, notes):
    """The frames with lo < t < hi. None when there are none because the run itself stepped over
    the whole window (a slow or loaded run's frame period is longer than the window): then there
    is nothing to judge there, and a note says so."""
    inside = [f for f in frames if lo < f["t"] < hi]
    if inside:
        return inside
    before = [f["t"] for f in frames if f["t"] <= lo]
    after = [f["t"] for f in frames if f["t"] >= hi]
    if before and after and after[0] - before[-1] > hi - lo:
        notes.append(f"{what}: the run stepped from t = {before[-1]:.0f} to {after[0]:.0f}, over the whole window")
        return None
    return inside


def parse(path):
    frames, end = [], None
    with open(path) as f:
        for line in f:
            w = line.split()
            if not w:
                continue
            if w[0] == "frame":
                v = dict(zip(w[1::2], w[2::2]))
                frames.append({k: float(x) for k, x in v.items()})
            elif w[0] == "exit":
                end = dict(zip(w[1::2], w[2::2]))
    return frames, end


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("log")
    ap.add_argument("--name", default="run")
    ap.add_argument("--scale", type=float, default=1.0, help="tick scale the shim applied")
    ap.add_argument("--words", choices=["shown", "missing"], default="shown")
    ap.add_argument("--min-fps", type=float)
    ap.add_argument("--more-frames-than", help="another run's frame log, which this run must outdo")
    ap.add_argument("--max-fps", type=float)
    ap.add_argument("--wrap", action="store_true", help="the raw tick counter must wrap during the run")
    ap.add_argument("--end-only", action="store_true", help="check the timeline and the end, not the pictures")
    a = ap.parse_args()

    frames, end = parse(a.log)
    problems = []

    def check(ok, what):
        if not ok:
            problems.append(what)

    check(len(frames) > 0, "no frame was presented")
    check(end is not None, "no exit record (the process did not end through its exit)")
    if problems:
        return report(a.name, problems)

    ts = [f["t"] for f in frames]
    real_end = float(end["real"])
    fps = len(frames) / (real_end / 1000.0)
    gaps = [b - a_ for a_, b in zip(ts, ts[1:])]
    print(f"{a.name}: {len(frames)} frames in {real_end / 1000:.2f} s of real time ({fps:.1f} frames/s), "
          f"scene time {ts[0]:.0f} to {ts[-1]:.0f} ms, exit at t = {end['t']} ms with code {end['code']}, "
          f"largest step {max(gaps, default=0):.0f} ms, peak resident memory {int(end['maxrss_kb']) / 1024:.1f} MiB")

    # The end: code 0, in the first frame past the script, after 82 s of real time.
    check(end["code"] == "0", f"exit code {end['code']}")
    check(int(end["t"]) > SCRIPT_END, f"ended at t = {end['t']}, before the end of the script")
    check(ts[-1] <= SCRIPT_END, f"a frame past the end was presented (t = {ts[-1]:.0f})")
    expected_real = SCRIPT_END / a.scale
    slack = 2 * max(gaps, default=0) / a.scale + 1000
    check(expected_real <= real_end <= expected_real + slack,
          f"ended after {real_end:.0f} ms of real time, expected {expected_real:.0f} to {expected_real + slack:.0f}")

    # Scene time in order, with no jump (a wrap of the tick counter must not show).
    check(all(g >= 0 for g in gaps), "scene time went backwards")
    check(ts[0] < 1000, f"first frame at t = {ts[0]:.0f}")
    # A step of scene time is what the clock ran between two frame tops, and frame i's top lies
    # between swaps i - 1 and i: so no step exceeds the (scaled) real time from swap i - 2 to
    # swap i, however long a loaded machine stalled (the 2 ms are the ticks' whole
    # milliseconds).
    reals = [f["real"] for f in frames]
    jumps = [(ts[i] - ts[i - 1], a.scale * (reals[i] - (reals[i - 2] if i >= 2 else 0.0)))
             for i in range(1, len(ts)) if ts[i] - ts[i - 1] > a.scale * (reals[i] - (reals[i - 2] if i >= 2 else 0.0)) + 2]
    check(not jumps, f"scene time jumped ahead of real time: steps of {[round(j[0]) for j in jumps[:5]]} ms "
                     f"over {[round(j[1]) for j in jumps[:5]]} ms")
    if a.wrap:
        raws = [int(f["raw"]) for f in frames]
        wraps = [i for i in range(1, len(raws)) if raws[i] < raws[i - 1]]
        check(len(wraps) == 1, f"the tick counter wrapped {len(wraps)} times during the run, expected once")
        if wraps:
            i = wraps[0]
            print(f"{a.name}: tick counter wrapped between frames at t = {ts[i - 1]:.0f} (tick {raws[i - 1]}) "
                  f"and t = {ts[i]:.0f} (tick {raws[i]})")

    if a.min_fps is not None:
        check(fps >= a.min_fps, f"{fps:.1f} frames/s, expected at least {a.min_fps}")
    if a.max_fps is not None:
        check(fps <= a.max_fps, f"{fps:.1f} frames/s, expected at most {a.max_fps}")
    if a.more_frames_than is not None:
        other, _ = parse(a.more_frames_than)
        check(len(frames) > len(other), f"{len(frames)} frames, no more than the {len(other)} of {a.more_frames_than}")

    if a.end_only:
        return report(a.name, problems)

    # Flashes: every frame inside a flash window is black; between the flashes of the tube and
    # the coil scenes the picture is drawn.
    flashes = flash_times()
    flash_frames = [f for f in frames if in_flash(f["t"], flashes)]
    lit_flash = [f["t"] for f in flash_frames if f["lit"] > 0]
    check(not lit_flash, f"frames not black inside a flash window: t = {lit_flash[:10]}")
    # The tube's last second flies out of its end, so that picture may be empty.
    between = [f for f in frames
               if (70000 < f["t"] < 77000 or 78000 < f["t"] <= SCRIPT_END) and not in_flash(f["t"], flashes)]
    dark = [f["t"] for f in between if f["lit"] < 500]
    check(len(between) > 0, "no frame between the flashes of the tube and the coil")
    check(not dark, f"tube or coil frames between flashes without a picture: t = {dark[:10]}")
    print(f"{a.name}: {len(flash_frames)} frames inside flash windows, all black; "
          f"{len(between)} tube and coil frames between them, all drawn")

    # Captions. The strokes cover the picture in grey in the first phrase's window; the words of
    # the 68 s phrase are the only grey on a black picture.
    notes = []
    strokes = in_window(frames, 7800, 8500, "caption strokes", notes)
    before = [f for f in frames if 7000 < f["t"] < 7800]
    if strokes is not None:
        check(len(strokes) > 0 and all(f["grey"] > 100000 for f in strokes),
              f"caption strokes missing at 7.8-8.5 s: grey pixels {[int(f['grey']) for f in strokes][:10]}")
    check(all(f["grey"] < 5000 for f in before), "grey strokes before 7.8 s")
    phrase = in_window(frames, 68000, 68700, "68 s phrase", notes)
    quiet = [f for f in frames if 67000 < f["t"] < 68000]
    check(all(f["grey"] == 0 for f in quiet), "grey pixels before the 68 s phrase")
    if phrase is not None:
        check(len(phrase) > 0, "no frame in the 68 s phrase's window")
        words = [int(f["grey"]) for f in phrase]
        if a.words == "shown":
            check(all(g > 1500 for g in words), f"words of the 68 s phrase missing: grey pixels {words[:10]}")
        else:
            check(all(g == 0 for g in words), f"words drawn although no font was had: grey pixels {words[:10]}")
        print(f"{a.name}: 68 s phrase in {len(phrase)} frames, words {a.words} "
              f"(grey pixels {min(words, default=0)} to {max(words, default=0)})")
    if strokes is not None:
        print(f"{a.name}: strokes in {len(strokes)} frames at 7.8-8.5 s")
    for n in notes:
        print(f"{a.name}: not judged: {n}")
    # A run that stepped over both windows showed no caption at all: too slow to judge.
    check(strokes is not None or phrase is not None, "the run stepped over both caption windows")
    return report(a.name, problems)


def report(name, problems):
    for p in problems:
        print(f"{name}: FAIL: {p}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
