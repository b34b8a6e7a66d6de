# Helpers for the demo.exe tests under Wine: sourced by tests/e2e/win32/*.sh, not run.
#
# win32_build BUILD: cross-builds demo.exe into BUILD/win32 (i686, the program that ships) and,
#   where this kernel runs no 32-bit code, the same sources for x86_64 into BUILD/win32-x64.
# win32_wine_setup BUILD: picks the exe and the Wine that runs it here (WINE_LOADER, DEMO_EXE,
#   DEMO_ARCH) and says which, and a Wine prefix shared by all Wine tests of one ctest run,
#   booted once (WINEPREFIX). The real i686 demo.exe under wine32 wherever the kernel runs
#   32-bit code (asked at run time); elsewhere the x86_64 build under wine64.
# Everything expects DISPLAY from the test command (and PULSE_SERVER where sound is wanted).

. "$(dirname "${BASH_SOURCE[0]}")/lib.bash"

. "$src/scripts/lib.sh"  # runs_32_bit_code

# cmake + ninja for one toolchain into one folder; output in BUILD/<folder>.log on failure.
win32_cross_build() {
    local toolchain=$1 dir=$2
    if ! { cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
              -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$toolchain" && ninja -C "$dir" -j2; } \
            >"$dir.log" 2>&1; then
        tail -30 "$dir.log" >&2
        fail "cross build with $toolchain failed (log: $dir.log)"
    fi
}

# True where this kernel runs 32-bit code, so the i686 demo.exe can run under wine32. Asked
# once per script.
win32_i386_runs() {
    if [ -z "${win32_i386:-}" ]; then
        win32_i386=no
        runs_32_bit_code && win32_i386=yes
    fi
    [ "$win32_i386" = yes ]
}

win32_build() {
    local build=$1
    mkdir -p "$build"
    win32_cross_build mingw-i686.cmake "$build/win32"
    if ! win32_i386_runs; then
        win32_cross_build mingw-x86_64.cmake "$build/win32-x64"
    fi
}

win32_wine_setup() {
    local build=$1
    [ -n "${DISPLAY:-}" ] || fail "no DISPLAY"
    if win32_i386_runs; then
        WINE_LOADER=/usr/lib/wine/wine
        DEMO_ARCH=win32
        DEMO_EXE="$build/win32/demo.exe"
        # Where the real program can run, a missing wine32 must not quietly test another one.
        [ -x "$WINE_LOADER" ] && "$WINE_LOADER" --version >/dev/null 2>&1 ||
            fail "this kernel runs 32-bit code but wine32 does not run (scripts/ensure-wine.sh installs it)"
        echo "running the 32-bit i686 demo.exe under wine32 (this kernel runs 32-bit code)"
    elif [ -x /usr/lib/wine/wine64 ]; then
        WINE_LOADER=/usr/lib/wine/wine64
        DEMO_ARCH=win64
        DEMO_EXE="$build/win32-x64/demo.exe"
        echo "running the 64-bit x86_64 build of demo.exe under wine64 (this kernel runs no 32-bit code)"
    else
        fail "no Wine installed (scripts/ensure-wine.sh installs it)"
    fi
    [ -f "$DEMO_EXE" ] || fail "no $DEMO_EXE"
    echo "demo.exe: $(file -b "$DEMO_EXE")"
    export WINEARCH=$DEMO_ARCH WINELOADER=$WINE_LOADER
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
    export WINEDEBUG=-all

    # One prefix per ctest run (ctest is this script's parent): booting a fresh one takes a
    # while, and every Wine test of the run can share it. Prefixes of finished runs go.
    local owner=$PPID stale
    for stale in /tmp/demo-wineprefix-*; do
        [ -d "$stale" ] || continue
        kill -0 "${stale##*-}" 2>/dev/null || rm -rf "$stale"
    done
    export WINEPREFIX="/tmp/demo-wineprefix-$DEMO_ARCH-$owner"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        local started
        started=$(now_ms)
        timeout 300 "$WINE_LOADER" wineboot -i >"$build/wineboot.log" 2>&1 \
            || fail "wineboot failed (log: $build/wineboot.log)"
        wineserver -w
        echo "fresh $DEMO_ARCH prefix booted in $(( $(now_ms) - started )) ms"
    fi
}

# win32_start STDOUT TRACE: starts demo.exe, its output in STDOUT and Wine's trace in TRACE, sets
# pid and returns once its window shows (or it ended, or 60 s passed: the caller judges). Wine's
# display driver comes from its desktop process, which a loaded machine can start too late for
# the first window: Wine then says "no driver could be loaded" and the program has no window.
# That is Wine's start-up, not the demo's, so the program is started afresh, twice at most.
win32_start() {
    local try deadline
    for try in 1 2 3; do
        "$WINE_LOADER" "$DEMO_EXE" >"$1" 2>"$2" &
        pid=$!
        deadline=$(( $(now_ms) + 60000 ))
        while kill -0 $pid 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do
            xdotool search --onlyvisible --classname '^demo\.exe$' >/dev/null 2>&1 && return 0
            sleep 0.05
        done
        kill -0 $pid 2>/dev/null && return 0
        grep -q 'nodrv_CreateWindow' "$2" || return 0
        echo "Wine had no display driver for the window (its desktop started late): starting again"
        wait $pid 2>/dev/null
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    done
}

# win32_shot FILE: the demo's 640 x 480 corner of the screen.
win32_shot() {
    import -window root -crop 640x480+0+0 +repage "$1" 2>/dev/null
}

# win32_lit_share FILE: share of pixels brighter than a quarter of full scale (0..1).
win32_lit_share() {
    convert "$1" -colorspace Gray -threshold 25% -format '%[fx:mean]' info:
}

# win32_wait_first_picture TIMEOUT_S FILE: polls the screen until it shows the demo's picture
# (at least 0.5 % lit pixels), keeps that screenshot in FILE. Fails on timeout.
win32_wait_first_picture() {
    local deadline=$(( $(now_ms) + $1 * 1000 )) share
    while [ "$(now_ms)" -lt "$deadline" ]; do
        if win32_shot "$2" && share=$(win32_lit_share "$2") &&
                awk -v s="$share" 'BEGIN { exit !(s > 0.005) }'; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# win32_press_escape: an Escape tap on the demo's window. Wine's window is unmanaged (no
# window manager gives it the keyboard), so the X input focus is set on it first.
win32_press_escape() {
    win32_focus_newest
    xdotool key Escape
}

# win32_hold_escape: presses Escape on the newest window without releasing it; the caller
# releases it (xdotool keyup Escape) once the program has ended.
win32_hold_escape() {
    win32_focus_newest
    xdotool keydown Escape
}

win32_focus_newest() {
    local window
    window=$(xdotool search --onlyvisible --classname '^demo\.exe$' 2>/dev/null | tail -1)
    [ -n "$window" ] && xdotool windowfocus "$window" 2>/dev/null
}

# win32_raise_sound_threads PID: raises the threads that make the sound: the demo's own threads
# besides the main one (the sequencer among them), Wine's DirectSound mixer and PulseAudio
# threads, and the prefix's wineserver, through which every one of their waits goes. Windows
# runs them time-critical, above the drawing main thread; Wine can only do so with a raised
# RLIMIT_NICE, which a test cannot set. Real-time round-robin where the machine allows it (as
# the SDL2 build takes for its own sequencer), which keeps their waits on time beside a loaded
# machine's other work; else nice -10. Prints what each got.
win32_raise_sound_threads() {
    local task tid comm server raised=()
    raise() {  # raise TID NAME
        if chrt -r -p 20 "$1" >/dev/null 2>&1; then
            raised+=("$2:rr")
        elif renice -n -10 -p "$1" >/dev/null 2>&1; then
            raised+=("$2:nice-10")
        fi
    }
    for server in $(pgrep -x wineserver64; pgrep -x wineserver32); do
        tr '\0' '\n' <"/proc/$server/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
        raise "$server" wineserver
    done
    for task in /proc/"$1"/task/*; do
        tid=${task##*/}
        comm=$(cat "$task/comm" 2>/dev/null) || continue
        case "$comm" in
            winepulse*|wine_dsound*) ;;
            demo.exe) [ "$tid" != "$1" ] || continue ;;
            *) continue ;;
        esac
        raise "$tid" "$comm"
    done
    echo "sound threads raised (rr: real-time round-robin): ${raised[*]:-nothing}"
}

# win32_end PID: kills a demo that is still running and waits for Wine to wind down.
win32_end() {
    kill -9 "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
