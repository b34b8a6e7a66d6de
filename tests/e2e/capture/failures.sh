#!/usr/bin/env bash
# demo-capture's refusals and failures: bad options (exit 2), ffmpeg missing from PATH, ffmpeg
# failing half-way, an output folder that does not exist, an existing PNG folder, and an
# interrupt (exit 1 or 130) each say why on stderr and leave nothing behind: no file under the
# final name and no temporary file beside it.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$(cd "$1" && pwd)
tool="$build/demo-capture"
work_folder capture-failures

# expect NAME CODE PATTERN -- COMMAND...: runs COMMAND in an empty folder $work/NAME/out,
# checks its exit code, that stderr matches PATTERN and that the folder is still empty.
expect() {
    local name=$1 code=$2 pattern=$3
    shift 4
    local dir="$work/$name/out"
    mkdir -p "$dir"
    (cd "$dir" && "$@") >"$work/$name/stdout" 2>"$work/$name/stderr"
    local rc=$?
    local err
    err=$(cat "$work/$name/stderr")
    [ "$rc" = "$code" ] || fail "$name: exit code $rc, expected $code (stderr: $err)"
    grep -qiE -e "$pattern" <<<"$err" || fail "$name: stderr does not say why: $err"
    [ -z "$(ls -A "$dir")" ] || fail "$name: left files behind: $(ls -A "$dir")"
    echo "$name: exit $rc: $err"
}

expect unknown-option 2 "unknown option" -- "$tool" --frobnicate
expect zero-fps 2 "bad value '0' for --fps" -- "$tool" --fps 0
expect bad-format 2 "bad value 'gif' for --format" -- "$tool" --format gif
expect start-after-end 2 "--start is after --end" -- "$tool" --start 5000 --end 4000
expect no-frame-in-range 2 "no frame" -- "$tool" --fps 10 --start 1001 --end 1099
expect missing-value 2 "needs a value" -- "$tool" -o
expect size-not-4-3 2 "bad value '1000x700' for --size" -- "$tool" --sharp --size 1000x700
expect size-too-large 2 "bad value '3200x2400' for --size" -- "$tool" --sharp --size 3200x2400
expect size-and-scale 2 "use one" -- "$tool" --scale 2 --size 1280x960

# PATH without ffmpeg: found out before any rendering.
expect no-ffmpeg 1 "ffmpeg was not found on PATH.*apt-get install ffmpeg" -- \
    env PATH="$work/empty-bin" "$tool" -o out.mp4

# An ffmpeg that takes a few frames, writes part of its output and fails.
mkdir -p "$work/bad-bin"
cat >"$work/bad-bin/ffmpeg" <<'SH'
#!/bin/sh
for last; do :; done
head -c 3000000 >/dev/null
echo "partial" >"$last"
echo "ffmpeg stand-in: giving up" >&2
exit 3
SH
chmod +x "$work/bad-bin/ffmpeg"
expect ffmpeg-fails 1 "ffmpeg failed \(exit status 3\).*nothing was written" -- \
    env PATH="$work/bad-bin:$PATH" "$tool" --fps 10 --end 2000 -o out.mp4
expect ffmpeg-fails-png 1 "ffmpeg failed \(exit status 3\)" -- \
    env PATH="$work/bad-bin:$PATH" "$tool" --format png --fps 10 --end 2000 -o frames

# One that fails only after taking every frame, and one that stops taking them but says 0.
mkdir -p "$work/late-bin" "$work/quit-bin"
sed 's/^head -c 3000000/cat/; s/^exit 3/exit 1/' "$work/bad-bin/ffmpeg" >"$work/late-bin/ffmpeg"
sed 's/^exit 3/exit 0/' "$work/bad-bin/ffmpeg" >"$work/quit-bin/ffmpeg"
chmod +x "$work/late-bin/ffmpeg" "$work/quit-bin/ffmpeg"
expect ffmpeg-fails-at-end 1 "ffmpeg failed \(exit status 1\); nothing was written" -- \
    env PATH="$work/late-bin:$PATH" "$tool" --fps 10 --end 2000 -o out.mp4
expect ffmpeg-quits 1 "ffmpeg stopped taking frames.*nothing was written" -- \
    env PATH="$work/quit-bin:$PATH" "$tool" --fps 10 --end 2000 -o out.mp4

expect no-such-folder 1 "cannot write 'missing/out.mp4'" -- "$tool" --fps 10 --end 100 -o missing/out.mp4

# An existing PNG folder is neither used nor touched.
mkdir -p "$work/existing"
echo keep >"$work/existing/mine.txt"
expect png-folder-exists 1 "already exists" -- "$tool" --format png --fps 10 --end 100 -o "$work/existing"
[ "$(ls -A "$work/existing")" = "mine.txt" ] || fail "the existing folder was changed"

# Interrupted while encoding: ffmpeg is stopped and the temporary file removed.
dir="$work/interrupt"
mkdir -p "$dir"
(cd "$dir" && exec "$tool" -o out.mp4 2>"$work/interrupt.err") &
pid=$!
for _ in $(seq 600); do
    compgen -G "$dir/.out.mp4.part-*" >/dev/null && break
    sleep 0.05
done
compgen -G "$dir/.out.mp4.part-*" >/dev/null || fail "interrupt: no temporary file appeared"
sleep 0.5
kill -TERM "$pid"
wait_pid_ms "$pid" 20000
[ "$rc" = 130 ] || fail "interrupt: exit code $rc, expected 130 ($(cat "$work/interrupt.err"))"
[ -z "$(ls -A "$dir")" ] || fail "interrupt: left files behind: $(ls -A "$dir")"
if pgrep -f "out\.mp4\.part-$pid" >/dev/null; then fail "interrupt: ffmpeg still runs"; fi
echo "interrupt: exit 130: $(cat "$work/interrupt.err")"

# --help says where the default head start comes from.
help=$("$tool" --help) || fail "--help failed"
grep -q "bench_startup" <<<"$help" || fail "--help does not explain the head start"
echo "all refusals and failures left nothing behind"
