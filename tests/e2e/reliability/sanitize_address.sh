#!/usr/bin/env bash
# AddressSanitizer and UndefinedBehaviorSanitizer: a build of its own ($1/asan, only the tool it
# needs) renders the whole script headless at 60 frames per second, t = 0 to 82000 ms (4,921
# frames, captions and effects included), then the whole song offline (832 rows); the script
# once more through the fixed-function GL layer. No report.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
variant=$build/asan
log=$(artifacts)/sanitize_address.log

build_variant "$src" "$variant" address,undefined "$log" headless_run

export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export LSAN_OPTIONS=suppressions=$e2e_lib/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
out=$(mktemp) err=$(mktemp)
# run GL MODES...: headless_run on legacy GL or the fixed-function layer (DEMO_GL).
run() {
    local gl=$1
    shift
    DEMO_GL=$gl "$variant/tests/headless_run" "$@" >"$out" 2>"$err"
    local rc=$?
    cat "$out"
    report=$(grep -E "Sanitizer|runtime error" "$err")
    [ -z "$report" ] || { cat "$err"; fail "sanitizer report ($gl GL)"; }
    [ "$rc" = 0 ] || { cat "$err"; fail "exit code $rc ($gl GL)"; }
    grep -q "^script: 4921 frames" "$out" || fail "the script did not run to its end ($gl GL)"
}
run legacy script song
grep -q "^song: 832 rows" "$out" || fail "the song did not run to its end"
run layer script
rm -f "$out" "$err"
echo "no AddressSanitizer or UndefinedBehaviorSanitizer report"
