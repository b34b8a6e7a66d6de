# Helpers for the end-to-end scripts: sourced, not run. They expect DISPLAY (and, for sound,
# PULSE_SERVER) from the test command. e2e_lib is this folder (the Python helpers and the
# sanitizers' suppressions sit beside it), src the source tree.
e2e_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
src=$(cd "$e2e_lib/../../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# wait_for_window NAME TIMEOUT_S: waits until a window of that name is mapped.
wait_for_window() {
    local deadline=$(( $(now_ms) + $2 * 1000 ))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

# wait_pid_ms PID TIMEOUT_MS: waits for PID (a child of this shell) to end; sets rc to its
# exit code, or to "timeout".
wait_pid_ms() {
    local deadline=$(( $(now_ms) + $2 ))
    while kill -0 "$1" 2>/dev/null; do
        if [ "$(now_ms)" -ge "$deadline" ]; then
            rc=timeout
            return
        fi
        sleep 0.01
    done
    wait "$1"
    rc=$?
}

# work_folder NAME: a fresh folder /tmp/NAME.XXXXXX in work, removed when the script ends.
work_folder() {
    work=$(mktemp -d "/tmp/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

artifacts() {
    local dir=${DEMO_TEST_ARTIFACTS:-/tmp/demo-artifacts}
    mkdir -p "$dir"
    echo "$dir"
}

# launch_demo BUILD [ERR [SECONDS [ARGS...]]]: starts the real demo with ARGS in the background,
# its stderr in ERR (default: this script's own), ended by timeout after SECONDS when given
# (empty: never); sets pid. Variables set before the call (VAR=value launch_demo ...) reach the
# demo.
launch_demo() {
    if [ -n "${3:-}" ]; then
        timeout "$3" "$1/demo" "${@:4}" 2>"${2:-/dev/stderr}" &
    else
        "$1/demo" "${@:4}" 2>"${2:-/dev/stderr}" &
    fi
    pid=$!
}

# start_demo BUILD [ARGS...]: starts the real demo with ARGS under DISPLAY and waits for its
# window; sets pid.
start_demo() {
    [ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
    launch_demo "$1" "" "" "${@:2}"
    wait_for_window Swirlcoil 20 || { kill -9 $pid; fail "no window appeared"; }
}

# start_demo_logged BUILD NAME [ARGS...]: start_demo with the test shim's frame log in the
# artifacts folder as NAME (fresh); sets log and pid.
start_demo_logged() {
    log=$(artifacts)/$2
    rm -f "$log"
    DEMO_SHIM_LOG=$log LD_PRELOAD=$1/tests/libdemo_shim.so start_demo "$1" "${@:3}"
}

# record_sink FILE [LOG]: records the null sink's monitor into FILE in the background, raw 8-bit
# unsigned mono at the demo's 44,100 Hz, parec's own messages in LOG; sets rec.
record_sink() {
    parec -d nul.monitor --format=u8 --channels=1 --rate=44100 --raw >"$1" 2>"${2:-/dev/stderr}" &
    rec=$!
}

# build_variant SRC DIR SANITIZE LOG TARGET: configures and builds one target of a sanitizer
# build in DIR, its output in LOG; fails the test if either step fails.
build_variant() {
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMO_SANITIZE="$3" >"$4" 2>&1 ||
        { cat "$4"; fail "cannot configure $2"; }
    ninja -C "$2" -j2 "$5" >>"$4" 2>&1 || { tail -40 "$4"; fail "cannot build $2"; }
}

# frames_after LOG WALL_MS: how many frames the shim's frame log shows presented after that
# moment of the wall clock (now_ms); the demo polls its keys after every frame, so this counts
# what it drew after a key or request reached the display whatever the machine's load.
frames_after() {
    awk -v at="$2" '$1 == "frame" { for (i = 2; i < NF; i += 2) if ($i == "wall" && $(i + 1) > at) n++ }
        END { print n + 0 }' "$1"
}

# wall_at_scene_time LOG FROM T TIMEOUT_S: waits until the shim's frame log shows a frame with
# scene time from FROM to below T (the pace known), then prints the wall time (now_ms) at which
# scene time T falls (at DEMO_SHIM_TICK_SCALE if set); fails after TIMEOUT_S seconds.
wall_at_scene_time() {
    local deadline=$(( $(now_ms) + $4 * 1000 )) at
    while [ "$(now_ms)" -lt "$deadline" ]; do
        # A frame's wall clock less its real time since the clock's origin is the origin's.
        at=$(awk -v from="$2" -v t="$3" -v k="${DEMO_SHIM_TICK_SCALE:-1}" '$1 == "frame" && $3 >= from && $3 < t { w = $NF - $7 + t / k }
            END { if (w) printf "%.0f", w }' "$1" 2>/dev/null)
        [ -n "$at" ] && { echo "$at"; return 0; }
        sleep 0.05
    done
    return 1
}

# gl_of LOG: the GL_VERSION of the context the run drew with, from the shim's frame log.
gl_of() { awk '$1 == "gl" { $1 = ""; sub(/^ /, ""); print; exit }' "$1"; }

# record_song FILE ERR SECONDS [VAR=value...]: plays the real demo (in a window) with the
# variables given while PipeWire's null sink's monitor is recorded twice at once: into FILE by
# parec (through pipewire-pulse) and into FILE.wav by pw-record (PipeWire's own client), until
# SECONDS of sound are in or 60 s have passed; the demo's stderr in ERR. Ends the demo and the
# recordings. Needs scripts/lib.sh (start_pipewire, pw_record_sink).
record_song() {
    local raw=$1 err=$2 need=$(( 44100 * $3 )) deadline=$(( $(now_ms) + 60000 ))
    shift 3
    record_sink "$raw" "$err.parec"
    pw_record_sink "$raw.wav" "$err.pw-record"
    local second=$pw_rec
    env "$@" "$build/demo" --window 2>"$err" &
    local demo=$!
    until [ "$(stat -c %s "$raw")" -ge "$need" ] || [ "$(now_ms)" -ge "$deadline" ]; do
        kill -0 $demo 2>/dev/null || break
        sleep 0.2
    done
    kill $rec $second $demo 2>/dev/null
    wait $rec $second $demo 2>/dev/null
}
