#!/usr/bin/env bash
# The script keeps real time at any frame rate: two runs of the real demo side by side, one
# uncapped (Xvfb does not pace swaps) and one held to 10 frames per second by the test shim
# making each swap wait. Both end by themselves after 82 s with exit code 0, with every flash
# and the captions at their scene times (checked on a digest of each presented picture).
# The uncapped run also starts its tick counter 8 s below 2^32 (start-up takes some of that),
# so the counter wraps during the run and the script must go on in order, and counts the heap allocations after the first frame
# by object: the demo executable makes none.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
shim=$build/tests/libdemo_shim.so
dir=$(artifacts)
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
[ -f "$shim" ] || fail "no $shim"

DEMO_SHIM_LOG=$dir/frames_uncapped.log DEMO_SHIM_FIRST_TICK=$(( (1 << 32) - 8000 )) \
    DEMO_CENSUS=$dir/census_live.txt LD_PRELOAD=$shim \
    launch_demo "$build" "$dir/frames_uncapped.err" 200; fast=$pid
DEMO_SHIM_LOG=$dir/frames_10fps.log DEMO_SHIM_FRAME_MS=100 LD_PRELOAD=$shim \
    launch_demo "$build" "$dir/frames_10fps.err" 200; slow=$pid
wait $fast; fast_rc=$?
wait $slow; slow_rc=$?

status=0
for run in uncapped 10fps; do
    [ -s "$dir/frames_$run.err" ] && { echo "$run: stderr:"; cat "$dir/frames_$run.err"; }
done
[ "$fast_rc" = 0 ] || { echo "uncapped run: exit code $fast_rc"; status=1; }
[ "$slow_rc" = 0 ] || { echo "10 fps run: exit code $slow_rc"; status=1; }
# Not paced: more frames than the paced run beside it, whatever the machine's load leaves it.
python3 "$e2e_lib/frame_log.py" "$dir/frames_uncapped.log" --name uncapped --wrap \
    --more-frames-than "$dir/frames_10fps.log" || status=1
python3 "$e2e_lib/frame_log.py" "$dir/frames_10fps.log" --name "10 fps" --min-fps 5 --max-fps 10.5 || status=1

census=$dir/census_live.txt
if [ -s "$census" ]; then
    cat "$census"
    demo_calls=$(awk '/^phase frames/ { p = 1; next } /^phase / { p = 0 } p && $1 == "demo" { print $3 }' "$census")
    [ "$demo_calls" = 0 ] || { echo "the demo executable made ${demo_calls:-?} allocation calls after its first frame"; status=1; }
else
    echo "no census written"; status=1
fi
[ "$status" = 0 ] || fail "see above"
echo "both runs kept real time and ended after 82 s"
