#!/usr/bin/env python3
"""Finds where the kick drum of song channel 0 starts in a recording of the demo's sound.

The kick is instrument 0 played at 16,388 Hz and full level. In the song, instrument 1 holds
the same sample and plays the same notes on channel 1, so the two sound as one kick of twice
the size. What tells it from the other channels is its shape: a square wave falling in pitch
through a low-pass filter, a long positive swell that no other instrument has. The script
synthesizes that sample from the instrument's parameters, resamples it as the mixer plays it,
and finds it in the recording by correlation: first on a decimated signal over the whole
window, then at full rate around each find.

Usage: sound_onsets.py RECORDING
  checks a recording of the demo from its start: sound is there, no dropouts around song
  positions 8 and 9, and their kicks (pattern 3 then 4 on channel 0, a note every 4 rows)
  keep a beat of 4 rows of a little over 90 ms (see check). Exit code 1 on a failure.
Usage: sound_onsets.py --sample-exact RECORDING
  the same for a player that applies each row at its exact sample (every 3,969 samples), as the
  browser's sound engine does: there every kick interval must be 4 rows to within a few samples.
  The block-grid check is left out: exact rows are themselves a grid of every block length that
  divides 4 rows, so only the exact interval tells such a player from a block-granular one.
Usage: sound_onsets.py --gaps-after S RECORDING
  the same check, and no run of silence over GAP_MS anywhere from S seconds after the first
  sound to the recording's end (the song rests only in its first second).
Usage: sound_onsets.py RECORDING START_S END_S
  prints the kick onsets found between START_S and END_S, in seconds from the recording's start.
RECORDING: 8-bit unsigned mono at 44,100 Hz, raw bytes or a WAV file (.wav).
"""
import struct
import sys

RATE = 44100            # Hz, output rate
KICK_HZ = 16388         # Hz, pitch table entry 84 (note byte 0xE1)
TEMPLATE_S = 0.08       # s of the kick's start used to find it
DECIMATE = 16           # samples averaged for the coarse search
MIN_GAP_S = 0.1         # s: two kicks closer than this are one (bass notes come 0.18 s apart)
PEAK_SHARE = 0.5        # a find must reach this share of the strongest one
# Positions 8 and 9 (rows 128..159) start 11.52 s into the song; the live song runs a little
# slower than 90 ms a row, so the window reaches a little past where their last kick would be.
WINDOW_S = (11.2, 14.9)     # s after the first sound
ROW_MS = 90.0               # the sequencer's wait after each row
BEAT_ROWS = 4
# The wait is relative, so a row lasts 90 ms plus its own time and the wake-up's delay: the
# fitted row period may only exceed 90 ms, by a little.
ROW_PERIOD_MS = (89.9, 92.0)
# Each interval against the run's own beat (the median interval): most are within a fraction of
# a millisecond; a wake-up delayed by a loaded machine lengthens one interval and, the wait
# being relative, moves every later kick with it, which the intervals after it do not show.
MEDIAN_DEVIATION_MS = 1.5
NEXT_WORST_DEVIATION_MS = 6.0  # all intervals but the worst one
MAX_DEVIATION_MS = 30.0        # a lost or doubled row moves a kick by 90 ms
EXACT_DEVIATION_MS = 0.1   # a sample-exact player: 4 samples; one 128-sample render quantum is 2.9 ms
BLOCK_SAMPLES = (128, 2048) # a mixer that starts sounds only at block boundaries shows as
                            # intervals all whole multiples of one block length in this range
BEAT_COARSE_S = (0.30, 0.42)
MIN_BEAT_ONSETS = 8         # rows 128, 132, ..., 156
MIN_RMS = 20.0              # of 128; the song's RMS is about 75
DROPOUT_S = 0.003           # the song's own exact silences in these rows last under 1 ms
GAP_MS = 5.0                # a longer silence after the song's first second is a dropout


def f32(x):
    """The single-precision float the instrument table stores."""
    return struct.unpack("f", struct.pack("f", x))[0]


def round16(x):
    r = round(x)  # ties to even, as the synthesizer rounds
    return r if -32768 <= r <= 32767 else -32768


def instrument_0():
    """The 4,096 bytes of instrument row 0: raw-ramp square wave (flags 6), pitch sweep, linear
    fade and the two-pole resonant low-pass."""
    count, step, step_delta = 4096, f32(2.90909), f32(-0.00071)
    gain, gain_delta, cutoff, resonance = f32(1.0), f32(-0.000244), f32(0.003262), f32(0.944551)
    phase = y = v = 0.0
    out = []
    for _ in range(count):
        phase += step
        step += step_delta
        w = round16(phase) & 0xFF
        w = w - 256 if w >= 128 else w      # the ramp's low byte, signed
        w = round16(w) & 0x80               # WAVE_PULSE
        w = abs(w)                          # WAVE_ABS
        x = w * gain
        gain += gain_delta
        v += (x - y) * cutoff
        y += v
        out.append((round16(y) + 127) & 0xFF)
        v *= resonance
    return out


def kick_template():
    """Channels 0 and 1 together as the mixer plays them: linear interpolation at KICK_HZ."""
    data = instrument_0()
    n = int(TEMPLATE_S * RATE)
    t = []
    for k in range(n):
        p = k * KICK_HZ / RATE
        i = int(p)
        a = data[i] - 128
        b = data[min(i + 1, len(data) - 1)] - 128
        t.append(2.0 * (a + (b - a) * (p - i)))
    mean = sum(t) / n
    return [s - mean for s in t]  # zero mean: a steady offset in the recording adds nothing


def read_recording(path):
    with open(path, "rb") as f:
        data = f.read()
    if path.endswith(".wav"):
        at = data.find(b"data")
        data = data[at + 8:]
    return [b - 128 for b in data]


def decimate(x, k):
    return [sum(x[i:i + k]) / k for i in range(0, len(x) - k + 1, k)]


def correlate_at(x, t, lag):
    return sum(a * b for a, b in zip(x[lag:lag + len(t)], t))


def find_onsets(signal, start, end):
    template = kick_template()
    ct = decimate(template, DECIMATE)
    part = signal[start:end + len(template)]
    cx = decimate(part, DECIMATE)
    coarse = [correlate_at(cx, ct, j) for j in range(len(cx) - len(ct))]
    strongest = max(coarse)
    gap = int(MIN_GAP_S * RATE / DECIMATE)
    peaks = []
    for j, c in enumerate(coarse):
        if c < PEAK_SHARE * strongest:
            continue
        if c < max(coarse[max(0, j - gap):j + gap + 1]):
            continue  # not the best within the gap
        if peaks and j - peaks[-1] < gap:
            continue
        peaks.append(j)
    onsets = []
    for j in peaks:
        centre = j * DECIMATE
        lags = range(max(0, centre - 2 * DECIMATE), min(len(part) - len(template), centre + 2 * DECIMATE) + 1)
        best = max(lags, key=lambda lag: correlate_at(part, template, lag))
        onsets.append((start + best) / RATE)
    return onsets


def first_sound(signal):
    """Index of the first sample that is not silence: the song's first row."""
    for i, v in enumerate(signal):
        if v != 0:
            return i
    return None


def dropouts(signal, start, end):
    """Runs of exact silence longer than DROPOUT_S in a part where the song never rests:
    blocks the sound server played without data from the demo."""
    out, run = [], 0
    for i in range(start, end):
        if signal[i] == 0:
            run += 1
            continue
        if run > DROPOUT_S * RATE:
            out.append(((i - run) / RATE, run / RATE))
        run = 0
    return out


def longest_beat_run(onsets):
    """The longest chain of consecutive onsets spaced like a 4-row beat (coarsely: 0.3..0.42 s);
    the kicks one and two rows before position 8 and the softer one at its end fall outside."""
    best, run = [], onsets[:1]
    for a, b in zip(onsets, onsets[1:]):
        if BEAT_COARSE_S[0] <= b - a <= BEAT_COARSE_S[1]:
            run.append(b)
        else:
            run = [b]
        if len(run) > len(best):
            best = list(run)
    return best


def block_grid(onsets):
    """The block length in samples that every interval is a whole multiple of (within a sample),
    or None: a fine-grained mixer's intervals follow the sequencer's own times, which drift."""
    gaps = [round((b - a) * RATE) for a, b in zip(onsets, onsets[1:])]
    for block in range(BLOCK_SAMPLES[1], BLOCK_SAMPLES[0] - 1, -1):
        if all(min(g % block, block - g % block) <= 1 for g in gaps):
            return block
    return None


def judge_beat(beat, sample_exact=False):
    """The kicks of one 4-row beat, in seconds: the beat the run kept (its median interval) gives
    the row period; each interval is held against that beat, the median, all but the worst and
    the worst bounded; and no block grid. Returns the failures."""
    if len(beat) < MIN_BEAT_ONSETS:
        return [f"only {len(beat)} kicks on the 4-row beat, expected at least {MIN_BEAT_ONSETS}"]
    failures = []
    intervals = sorted((b - a) * 1000 for a, b in zip(beat, beat[1:]))
    beat_ms = intervals[len(intervals) // 2]
    row_ms = beat_ms / BEAT_ROWS
    deviations = sorted(abs(i - beat_ms) for i in intervals)
    median, next_worst, worst = deviations[len(deviations) // 2], deviations[-2], deviations[-1]
    print(f"row period {row_ms:.3f} ms (median beat {beat_ms:.2f} ms); intervals off the beat (ms): "
          f"median {median:.2f}, all but the worst within {next_worst:.2f}, worst {worst:.2f}")
    if not ROW_PERIOD_MS[0] <= row_ms <= ROW_PERIOD_MS[1]:
        failures.append(f"row period {row_ms:.3f} ms, expected {ROW_PERIOD_MS[0]} to {ROW_PERIOD_MS[1]}")
    if median > MEDIAN_DEVIATION_MS:
        failures.append(f"median interval {median:.2f} ms off the beat, at most {MEDIAN_DEVIATION_MS}")
    if next_worst > NEXT_WORST_DEVIATION_MS:
        failures.append(f"two intervals or more over {NEXT_WORST_DEVIATION_MS} ms off the beat")
    if worst > MAX_DEVIATION_MS:
        failures.append(f"an interval {worst:.2f} ms off the beat, at most {MAX_DEVIATION_MS}")
    if sample_exact:
        exact_ms = ROW_MS * BEAT_ROWS
        off = [i for i in intervals if abs(i - exact_ms) > EXACT_DEVIATION_MS]
        if off:
            failures.append(f"{len(off)} kick intervals more than {EXACT_DEVIATION_MS} ms from "
                            f"{exact_ms:.0f} ms (e.g. {off[0]:.3f}): rows not at their exact samples")
        return failures
    block = block_grid(beat)
    if block is not None:
        failures.append(f"every kick interval is a whole number of {block}-sample blocks: "
                        "sounds start on a block grid, not when the sequencer calls")
    return failures


def gaps_after(signal, head, after_s):
    """Dropouts over GAP_MS from after_s seconds after the first sound to the end, as (start in
    seconds after the first sound, length in ms)."""
    found = dropouts(signal, head + int(after_s * RATE), len(signal))
    return [(at - head / RATE, length * 1000) for at, length in found if length * 1000 > GAP_MS]


def check(path, sample_exact=False):
    """Sound is there, without dropouts around positions 8 and 9, and their kicks keep the
    4-row beat (judge_beat). Prints what it found; returns the failures."""
    signal = read_recording(path)
    head = first_sound(signal)
    if head is None:
        return ["the recording is silent"]
    failures = []
    song = signal[head:head + 10 * RATE]
    rms = (sum(v * v for v in song) / max(1, len(song))) ** 0.5
    print(f"first sound at {head / RATE:.3f} s of the recording; RMS of the next 10 s: {rms:.1f} of 128")
    if rms < MIN_RMS:
        failures.append(f"too quiet: RMS {rms:.1f}")
    start, end = head + int(WINDOW_S[0] * RATE), head + int(WINDOW_S[1] * RATE)
    if end + len(kick_template()) > len(signal):
        return failures + [f"recording too short: {len(signal) / RATE:.1f} s"]
    gaps = dropouts(signal, start, end)
    for at, length in gaps:
        print(f"dropout at {at:.3f} s: {length * 1000:.1f} ms of silence")
    onsets = find_onsets(signal, start, end)
    beat = longest_beat_run(onsets)
    intervals = [(b - a) * 1000 for a, b in zip(beat, beat[1:])]
    print("kick onsets (s after the first sound):", " ".join(f"{t - head / RATE:.4f}" for t in onsets))
    print("beat intervals (ms):", " ".join(f"{i:.2f}" for i in intervals))
    failures += judge_beat(beat, sample_exact)
    if gaps:
        failures.append(f"{len(gaps)} dropouts in the analysed part")
    return failures


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--gaps-after":
        failures = check(sys.argv[3])
        signal = read_recording(sys.argv[3])
        head = first_sound(signal)
        gaps = gaps_after(signal, head, float(sys.argv[2])) if head is not None else []
        longest = max((length for _, length in gaps), default=0.0)
        print(f"gaps over {GAP_MS:.0f} ms after {sys.argv[2]} s: {len(gaps)}, longest {longest:.1f} ms",
              " ".join(f"{at:.2f}s:{length:.0f}ms" for at, length in gaps[:12]))
        if gaps:
            failures.append(f"{len(gaps)} gaps over {GAP_MS:.0f} ms after the first {sys.argv[2]} s")
        for f in failures:
            print("FAIL:", f)
        sys.exit(1 if failures else 0)
    if len(sys.argv) == 2 or (len(sys.argv) == 3 and sys.argv[1] == "--sample-exact"):
        failures = check(sys.argv[-1], sample_exact=len(sys.argv) == 3)
        for f in failures:
            print("FAIL:", f)
        sys.exit(1 if failures else 0)
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    signal = read_recording(sys.argv[1])
    start = max(0, int(float(sys.argv[2]) * RATE))
    end = min(len(signal), int(float(sys.argv[3]) * RATE))
    if end - start < 2 * len(kick_template()):
        sys.exit("recording too short for the window")
    for t in find_onsets(signal, start, end):
        print(f"{t:.5f}")


if __name__ == "__main__":
    main()
