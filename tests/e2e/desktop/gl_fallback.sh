#!/usr/bin/env bash
# Where no OpenGL ES 3 or OpenGL 3.3 context can be made (Mesa held to GL 2.1 and ES 2.0), the
# player says so in one line on stderr and draws with legacy GL: the whole script (the test
# shim makes its clock run twice as fast) plays with its flashes and words at their times and
# ends with exit code 0. The context drawn with is read from the shim's frame log.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
dir=$(artifacts)
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
log=$dir/gl_fallback.log
err=$dir/gl_fallback.err

MESA_GL_VERSION_OVERRIDE=2.1 MESA_GLES_VERSION_OVERRIDE=2.0 DEMO_SHIM_LOG=$log DEMO_SHIM_TICK_SCALE=2 \
    LD_PRELOAD=$build/tests/libdemo_shim.so launch_demo "$build" "$err" 120
wait $pid
rc=$?
gl=$(gl_of "$log")
echo "exit code $rc, drew with \"$gl\", stderr: $(cat "$err")"
[ "$rc" = 0 ] || fail "exit code $rc"
[ "$(wc -l <"$err")" = 1 ] || fail "expected one line on stderr"
grep -q "legacy OpenGL" "$err" || fail "the line does not say legacy OpenGL draws"
[[ $gl =~ ^2\.1\  ]] || fail "drew with \"$gl\", not the legacy GL 2.1 context"
python3 "$e2e_lib/frame_log.py" "$log" --name fallback --scale 2 || fail "see above"
echo "no ES 3 / GL 3.3: one line, legacy GL, exit 0"
