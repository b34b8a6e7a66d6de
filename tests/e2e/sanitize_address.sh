#!/usr/bin/env bash
# AddressSanitizer and UndefinedBehaviorSanitizer: a build of its own ($1/asan, only the tool it
# needs) renders the whole script headless at 60 frames per second, t = 0 to 82000 ms (4,921
# frames, captions and effects included), then the whole song offline (832 rows). No report.
set -u
. "$(dirname "$0")/lib.bash"
build=$1
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
variant=$build/asan
log=$(artifacts)/sanitize_address.log

build_variant "$src" "$variant" address,undefined "$log" headless_run

export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1
export LSAN_OPTIONS=suppressions=$here/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
out=$(mktemp) err=$(mktemp)
"$variant/tests/headless_run" script song >"$out" 2>"$err"
rc=$?
cat "$out"
report=$(grep -E "Sanitizer|runtime error" "$err")
[ -z "$report" ] || { cat "$err"; fail "sanitizer report"; }
[ "$rc" = 0 ] || { cat "$err"; fail "exit code $rc"; }
grep -q "^script: 4921 frames" "$out" || fail "the script did not run to its end"
grep -q "^song: 832 rows" "$out" || fail "the song did not run to its end"
rm -f "$out" "$err"
echo "no AddressSanitizer or UndefinedBehaviorSanitizer report"
