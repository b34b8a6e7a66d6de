#!/usr/bin/env bash
# No heap in the demo: with the census shim loaded, the headless demo (its code in a library of
# its own) renders 1,000 frames spread over the whole script and plays 1,000 sequencer rows
# through the mixer after start-up; the demo's code makes no allocation call in either. The
# platform libraries' calls are counted apart and printed. A control phase first shows that
# the census does see allocations made by code of the program under test.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
census=$(artifacts)/heap_census.txt
out=$(mktemp)
DEMO_CENSUS=$census LD_PRELOAD=$build/tests/libdemo_shim.so "$build/tests/headless_run" control census >"$out" 2>&1
rc=$?
cat "$out"; rm -f "$out"
[ "$rc" = 0 ] || fail "headless_run exit code $rc"
[ -s "$census" ] || fail "no census written"
cat "$census"

# calls PHASE OBJECT: allocation calls of OBJECT in PHASE ("" when not listed).
calls() {
    awk -v phase="$1" -v object="$2" '
        /^phase / { in_phase = ($2 == phase) }
        in_phase && $1 == object { print $3 }' "$census"
}
demo=libdemo_core_shared.so
[ "$(calls control headless_run)" = 3 ] || fail "the census missed the control allocations"
for phase in frames rows; do
    n=$(calls $phase $demo)
    [ -n "$n" ] || fail "$demo not in the census of phase $phase"
    [ "$n" = 0 ] || fail "the demo's code made $n allocation calls in phase $phase"
done
platform=$(awk '/^phase frames/ { p = 1; next } /^phase / { p = 0 } p && $1 != "'$demo'" { n += $3 } END { print n + 0 }' "$census")
[ "$platform" -gt 0 ] || fail "no platform allocation seen in the frames: the census is not counting"
echo "demo code: 0 allocation calls in 1,000 frames and 1,000 rows (start-up: $(calls start-up $demo)); platform libraries: $platform calls in the frames"
