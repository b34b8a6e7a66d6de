#!/usr/bin/env bash
# Without a bold sans-serif face the captions stay blank and the demo runs on: the whole script
# (the test shim makes its clock run twice as fast) ends with exit code 0, the strokes behind
# the phrases still show, the words do not, and stderr holds one line saying why. Two cases, run
# side by side: fontconfig knowing only a regular (not bold) face, and knowing no font at all.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
dir=$(artifacts)
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
regular=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
[ -f "$regular" ] || fail "no $regular (fonts-liberation2)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/regular" "$work/none"
ln -s "$regular" "$work/regular/"
pids=()
for case in regular none; do
    cat >"$work/$case.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>$work/$case</dir><cachedir>$work/cache-$case</cachedir></fontconfig>
CONF
    FONTCONFIG_FILE="$work/$case.conf" DEMO_SHIM_LOG="$dir/no_font_$case.log" DEMO_SHIM_TICK_SCALE=2 \
        LD_PRELOAD="$build/tests/libdemo_shim.so" launch_demo "$build" "$dir/no_font_$case.err" 120
    pids+=($pid)
done
status=0
for i in 0 1; do
    case=$([ $i = 0 ] && echo regular || echo none)
    wait "${pids[$i]}"; rc=$?
    err=$dir/no_font_$case.err
    echo "$case: exit code $rc, stderr: $(cat "$err")"
    [ "$rc" = 0 ] || { echo "$case: exit code $rc"; status=1; }
    [ "$(wc -l <"$err")" = 1 ] || { echo "$case: expected one line on stderr"; status=1; }
    grep -qi "font" "$err" || { echo "$case: the line does not name the font"; status=1; }
    python3 "$e2e_lib/frame_log.py" "$dir/no_font_$case.log" --name "$case" --scale 2 --words missing || status=1
done
[ "$status" = 0 ] || fail "see above"
echo "no bold face: captions blank, exit 0"
