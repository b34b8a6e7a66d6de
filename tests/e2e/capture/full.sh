#!/usr/bin/env bash
# The whole demo captured once at 60 fps into an MP4, timed: the speed against real time is
# printed as a benchmark figure (never a failure). ffprobe must show 4,921 frames (t = 0 to
# 82,000 ms), 82.02 s within one frame, H.264 yuv420p 640x480 and AAC mono 44,100 Hz, and the
# decoded music must line up with the song started the default head start (as --help gives it)
# before the first frame: it matches, sample for sample, the WAV a short PNG capture writes, and
# it does not match that WAV shifted by a sample or more, a row or the head start.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/capture-full.XXXXXX)
trap 'rm -rf "$work"' EXIT

start=$(now_ms)
"$build/demo-capture" -o "$work/demo.mp4" || fail "full capture failed"
elapsed=$(( $(now_ms) - start ))
[ -z "$(find "$work" -name '.*part*')" ] || fail "temporary files left: $(ls -A "$work")"
echo "full capture, 82.0 s of demo at 60 fps with H.264/AAC encoding: ${elapsed} ms," \
     "$(python3 -c "print(f'{82017 / $elapsed:.2f}')")x real time"

ffprobe -v error -count_packets -show_entries \
    format=duration:stream=codec_type,codec_name,pix_fmt,width,height,sample_rate,channels,duration,nb_read_packets \
    -of json "$work/demo.mp4" >"$work/probe.json" || fail "ffprobe failed"
python3 - "$work/probe.json" <<'PY' || fail "ffprobe shows the wrong streams or duration"
import json, sys
p = json.load(open(sys.argv[1]))
frame = 1 / 60
expected = 4921 / 60          # frames t = 0, 16, 33, ..., 82000 ms
streams = {s["codec_type"]: s for s in p["streams"]}
v, a = streams["video"], streams["audio"]
checks = [
    (len(p["streams"]) == 2, "two streams"),
    (abs(float(p["format"]["duration"]) - expected) <= frame, "container duration"),
    ((v["codec_name"], v["pix_fmt"], v["width"], v["height"]) == ("h264", "yuv420p", 640, 480), "video format"),
    (int(v["nb_read_packets"]) == 4921, "video frame count"),
    (abs(float(v["duration"]) - expected) <= frame, "video duration"),
    ((a["codec_name"], a["sample_rate"], a["channels"]) == ("aac", "44100", 1), "audio format"),
    (abs(float(a["duration"]) - expected) <= frame, "audio duration"),
]
for ok, what in checks:
    print(("ok   " if ok else "FAIL ") + what)
print("duration", p["format"]["duration"], "video", v["duration"], "audio", a["duration"])
sys.exit(0 if all(ok for ok, _ in checks) else 1)
PY

# The song's first 3 s under the pictures, exactly, from a PNG capture of three frames at 1 fps.
"$build/demo-capture" --format png --fps 1 --end 2000 -o "$work/reference" || fail "reference capture failed"
ffmpeg -v error -i "$work/demo.mp4" -map 0:a -t 3 -f u8 -ac 1 -ar 44100 "$work/decoded.u8" || fail "decoding failed"
head_start=$("$build/demo-capture" --help | sed -n 's/.*(default \([0-9]*\) ms: the live program.*/\1/p')
[ -n "$head_start" ] || fail "--help gives no default head start"
python3 - "$work/reference/audio.wav" "$work/decoded.u8" "$head_start" <<'PY' || fail "the music is not where the head start puts it"
import sys
ref = open(sys.argv[1], "rb").read()[44:]
dec = open(sys.argv[2], "rb").read()
head = round(int(sys.argv[3]) * 44.1)   # samples
lo, hi = 9000, 120000   # away from both ends
assert 0 < head < lo, "the comparison window starts after the head start"
def error(lag):         # mean squared difference with the decoded music moved by lag samples
    return sum((dec[i + lag] - ref[i]) ** 2 for i in range(lo, hi)) / (hi - lo)
mean = sum(ref[lo:hi]) / (hi - lo)
power = sum((x - mean) ** 2 for x in ref[lo:hi]) / (hi - lo)
at_zero = error(0)
print(f"music power {power:.1f}, difference at lag 0: {at_zero:.2f}")
best = True
for lag in sorted({-head, -3969, -441, -44, -5, -2, -1, 1, 2, 5, 44, 441, 3969, head} - {0}):
    e = error(lag)
    print(f"  lag {lag:6d} samples: {e:.2f}")
    # Neighbouring samples are alike, so one sample off is only somewhat worse; five are far off.
    best = best and e > at_zero and (abs(lag) < 5 or e > 4 * at_zero)
sys.exit(0 if at_zero < 0.05 * power and best else 1)
PY
echo "full capture: streams, duration and music placement as expected"
