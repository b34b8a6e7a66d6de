#!/usr/bin/env bash
# The real demo ends with code 0 on an Escape key press, having presented at most the frame it
# was drawing and the next: it polls the key after every frame. Counted in frames from the
# shim's frame log, so a loaded machine's slow frames do not count against it. Run twice: on
# the fixed-function layer (the default, an OpenGL ES 3 context) and with --gl legacy (a
# legacy GL context), each checked by the GL_VERSION of the context it drew with.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1

# escape_run NAME VERSION_PATTERN [ARGS...]
escape_run() {
    local name=$1 pattern=$2 asked pressed took late gl
    start_demo_logged "$build" "escape_frames_$name.log" "${@:3}"
    # Frames first (a loaded machine may take seconds from the window to the first one), so the
    # log names the context.
    local deadline=$(( $(now_ms) + 30000 ))
    while [ -z "$(gl_of "$log")" ] && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.1; done
    sleep 1
    asked=$(now_ms)
    xdotool key Escape
    pressed=$(now_ms)  # xdotool has sent the key by the time it returns
    wait_pid_ms $pid 15000
    took=$(( $(now_ms) - pressed ))
    [ "$rc" = timeout ] && { kill -9 $pid; fail "$name: still running 15 s after Escape"; }
    [ "$rc" = 0 ] || fail "$name: exit code $rc"
    late=$(frames_after "$log" "$pressed")
    gl=$(gl_of "$log")
    echo "$name ($gl): exit 0, ${took} ms and $late frames after Escape (xdotool itself took $(( pressed - asked )) ms)"
    [[ $gl =~ $pattern ]] || fail "$name: drew with \"$gl\""
    [ "$late" -le 2 ] || fail "$name: $late frames presented after Escape was sent"
}

escape_run layer '^OpenGL ES 3'
escape_run legacy '^[1-4]\.[0-9]( \(Compatibility Profile\))? ' --gl legacy
