# Shared by the play, test and package commands: package installation, the servers of the
# end-to-end runs, and whether this kernel runs 32-bit programs.

# install_missing FILE...: installs the Debian packages listed in the FILEs that are not
# installed yet. A command's list names only what it adds to the lists it is given with.
install_missing() {
    local missing=() pkg
    while read -r pkg; do
        pkg=${pkg%%#*}
        pkg=${pkg//[[:space:]]/}
        [ -n "$pkg" ] || continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" && continue
        # A command of that name from another package counts (npm comes inside NodeSource's
        # nodejs, which conflicts with Debian's npm).
        command -v "$pkg" >/dev/null 2>&1 && continue
        missing+=("$pkg")
    done < <(cat "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# ensure_capture_tool BUILD: builds BUILD/demo-capture (Release, no tests) unless it is there,
# installing the play command's packages first where missing.
ensure_capture_tool() {
    [ -x "$1/demo-capture" ] && return 0
    install_missing scripts/{build,play}-packages.txt
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_TESTS=OFF >/dev/null
    ninja -C "$1" demo-capture
}

# free_display: a display number nobody uses, from 90 up.
free_display() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    echo "$n"
}

# start_servers WORK: starts a virtual display (Xvfb, 1280x720, a display number nobody uses)
# and a PulseAudio server with a null sink named `nul`, their logs and sockets under WORK, and
# exports DISPLAY, PULSE_RUNTIME_PATH and PULSE_SERVER. stop_servers ends both.
xvfb_pid=""
pulse_pid=""
start_servers() {
    local work=$1
    start_xvfb "$work" 1280x720
    xvfb_pid=$xvfb_started_pid

    export PULSE_RUNTIME_PATH="$work/pulse"
    mkdir -p "$PULSE_RUNTIME_PATH"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --load="module-null-sink sink_name=nul" --load="module-native-protocol-unix" \
        >"$work/pulse.log" 2>&1 &
    pulse_pid=$!
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    # Real-time scheduling where allowed, for all its threads (its main thread carries the
    # streams, the sink's thread makes the sound), or a loaded machine starves it into dropouts.
    # Level 9: above the round-robin 5 that WebKit, run as root, gives its own busy main thread,
    # which at the same level takes turns of up to 100 ms with the server (WebKit's fullscreen
    # playback lost 75 to 330 ms in most runs then, 7 ms in one of four since); below the
    # players' own audio threads at 10.
    chrt -r -a -p 9 "$pulse_pid" >/dev/null 2>&1 || true
    export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
}

# start_xvfb WORK SIZE: a virtual display of SIZE (e.g. 1920x1080) on a display number nobody
# uses, its log under WORK; exports DISPLAY and sets xvfb_started_pid.
xvfb_started_pid=""
start_xvfb() {
    local n
    n=$(free_display)
    Xvfb ":$n" -screen 0 "${2}x24" -nolisten tcp >"$1/xvfb-$n.log" 2>&1 &
    xvfb_started_pid=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
    unset WAYLAND_DISPLAY
}

# start_openbox WORK: the openbox window manager on DISPLAY, its log under WORK; returns once it
# manages the screen (the root window names it). stop_openbox ends it.
openbox_pid=""
start_openbox() {
    openbox --sm-disable >"$1/openbox.log" 2>&1 &
    openbox_pid=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        sleep 0.1
    done
    return 1
}

stop_openbox() {
    if [ -n "$openbox_pid" ]; then kill "$openbox_pid" 2>/dev/null && wait "$openbox_pid" 2>/dev/null; fi
    openbox_pid=""
}

stop_servers() {
    if [ -n "$pulse_pid" ]; then kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; fi
    pulse_pid=""
    xvfb_pid=""
}

# runs_32_bit_code: true where the kernel executes i386 programs. Machines of the same kind
# differ (some refuse with ENOEXEC), so this is asked at run time: a 96-byte static i386
# program that exits with 42, a code no refusal or shell fallback gives.
runs_32_bit_code() {
    local probe rc=0
    probe=$(mktemp /tmp/ia32-probe.XXXXXX)
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    [ "$rc" -eq 42 ]
}

# start_pipewire WORK: starts a PipeWire sound server as a desktop runs it (a session bus,
# pipewire, wireplumber, pipewire-pulse) with a null sink named `nul` as the default sink, its
# sockets and logs under WORK/pipewire, and exports XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS
# and PULSE_SERVER (pipewire-pulse's socket), so both SDL's PulseAudio backend and its native
# PipeWire one reach it. False when it does not come up. stop_pipewire ends it all.
pipewire_pids=()
start_pipewire() {
    local dir=$1/pipewire name
    mkdir -p "$dir/run"
    chmod 700 "$dir/run"
    export XDG_RUNTIME_DIR="$dir/run"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    unset PULSE_RUNTIME_PATH
    dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >"$dir/dbus.log" 2>&1 &
    pipewire_pids+=($!)
    for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/bus" ] && break; sleep 0.1; done
    for name in pipewire wireplumber pipewire-pulse; do
        "$name" >"$dir/$name.log" 2>&1 &
        pipewire_pids+=($!)
        [ "$name" = pipewire ] && for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
    done
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    # Mono at the demo's rate, as the song is made: no channel mixing changes its levels on the
    # way to the monitor (a stereo sink came out about 3 dB louder than PulseAudio's).
    pactl load-module module-null-sink sink_name=nul channels=1 rate=44100 >/dev/null || return 1
    pactl set-default-sink nul
    # wireplumber takes a moment to see the new sink as the default one.
    for _ in $(seq 50); do [ "$(pactl get-default-sink 2>/dev/null)" = nul ] && return 0; sleep 0.1; done
    return 1
}

# pw_record_sink FILE [LOG]: records the PipeWire null sink's monitor into FILE (WAV, 8-bit
# mono at the demo's 44,100 Hz) through PipeWire's own client, in the background, its messages
# in LOG; sets pw_rec. A second ear beside parec, which goes through pipewire-pulse.
pw_rec=""
pw_record_sink() {
    pw-record --target nul -P stream.capture.sink=true --rate 44100 --channels 1 --format u8 \
        "$1" 2>"${2:-/dev/null}" &
    pw_rec=$!
}

stop_pipewire() {
    local i
    for (( i = ${#pipewire_pids[@]} - 1; i >= 0; i-- )); do
        kill "${pipewire_pids[i]}" 2>/dev/null && wait "${pipewire_pids[i]}" 2>/dev/null
    done
    pipewire_pids=()
}
