#!/usr/bin/env bash
# demo.exe makes the Windows calls of its start-up with the values the demo is built on, as
# Wine's own trace channels report them, and an Escape tap during start-up ends it with code 0
# before its first frame. The sequencer's first row reaches DirectSound with its pitches and
# levels.
set -u
. "$(dirname "$0")/../lib/win32_lib.bash"
build=$1
[ -n "${PULSE_SERVER:-}" ] || fail "no PULSE_SERVER: this test needs the test command's sound server"
win32_build "$build"
win32_wine_setup "$build"
out=$(artifacts)/win32_calls
mkdir -p "$out"
log="$out/trace.log"

export WINEDEBUG=+timestamp,+system,+win,+wgl,+opengl,+font,+dsound
trap 'xdotool keyup Escape 2>/dev/null; win32_end ${pid:-0}' EXIT
win32_start "$out/stdout.log" "$log"
xdotool search --onlyvisible --classname '^demo\.exe$' >/dev/null 2>&1 || fail "no window within 60 s"
# The window exists from start-up step 3; the first Escape poll comes after all of start-up.
# Wine replaces the X window when the pixel format is set, and a tap sent in between can be
# lost, or land after that poll on a loaded machine: hold the key instead, pressing it again on
# whichever window is newest, so Wine's key state says "down" whenever the poll comes.
escape_during_start_up() {
    local deadline=$(( $(now_ms) + 30000 ))
    while kill -0 $pid 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do
        win32_hold_escape
        sleep 0.05
    done
    xdotool keyup Escape 2>/dev/null
    wait_pid_ms $pid 1000
}
escape_during_start_up
# QUIRK: once, in a loaded run of every test, Wine's own Unix side died of SIGSEGV (code 139, not
# the code a Windows-side fault gives) as the process ended right after start-up, and passed
# six runs in a row afterwards; that is Wine's exit, not the demo's, so the run is made once more.
if [ "$rc" = 139 ]; then
    echo "Wine's loader died of SIGSEGV at the exit (code 139): running once more"
    win32_end $pid
    win32_start "$out/stdout.log" "$log"
    escape_during_start_up
fi
[ "$rc" = timeout ] && fail "still running 30 s after an Escape tap during start-up"
[ "$rc" = 0 ] || fail "exit code $rc"
grep -q 'wglSwapBuffers' "$log" && fail "a frame was presented although Escape came during start-up"
echo "Escape during start-up: exit code 0, no frame presented"

# expect WHAT REGEX: the trace has a line matching REGEX.
expect() {
    grep -Eq "$2" "$log" || fail "$1: no trace line matching /$2/ (trace: $log)"
}
z='0+'  # a null pointer or handle, 8 or 16 digits

# Display and window (Part of start-up before the sound).
expect "mode switch with CDS_FULLSCREEN" "NtUserChangeDisplaySettings \(null\) 0x[0-9a-f]+ \(nil\) 0x4 \(nil\)"
expect "popup window" "WIN_CreateWindowEx \"EDIT\" L\"EDIT\" ex=00000000 style=90000000 0,0 640x480 parent=$z menu=$z inst=$z params=$z"

# Sound: device, exclusive level, primary buffer and its format, nine instrument buffers.
record=$([ "$DEMO_ARCH" = win32 ] && echo 36 || echo 40)  # DSBUFFERDESC of this build
expect "default sound device" "DirectSoundCreate \(\(null\),[0-9A-F]+,$z\)"
expect "exclusive level" "SetCooperativeLevel \([0-9A-F]+,[0-9A-F]+,DSSCL_EXCLUSIVE\)"
expect "primary buffer flags" "CreateSoundBuffer \(flags=0x00004001:"
expect "primary format" "primarybuffer_SetFormat \(formattag=0x0001,chans=1,samplerate=44100,bytespersec=44100,blockalign=1,bitspersamp=8,cbSize=0\)"
sizes=$(grep -o 'DirectSoundDevice_CreateSoundBuffer (structsize=[0-9]*)' "$log" | grep -o '[0-9]*' | sort -u | tr '\n' ' ')
[ "$sizes" = "$record " ] || fail "DSBUFFERDESC sizes passed: $sizes, expected $record"
flags=$(grep -o 'CreateSoundBuffer (flags=0x[0-9a-f]*' "$log" | sed 's/.*=//' | tr '\n' ' ')
[ "$flags" = "0x00004001 $(printf '0x000140e0 %.0s' 1 2 3 4 5 6 7 8 9)" ] || fail "buffer flags in order: $flags"
bytes=$(grep -o 'CreateSoundBuffer (bufferbytes=[0-9]*' "$log" | sed 's/.*=//' | tr '\n' ' ')
[ "$bytes" = "0 4096 4096 16500 4096 4096 4096 4096 4096 4096 " ] || fail "buffer sizes in order: $bytes"
formats=$(grep -c 'DirectSoundDevice_CreateSoundBuffer (formattag=0x0001,chans=1,samplerate=44100,bytespersec=44100,blockalign=1,bitspersamp=8,cbSize=0)' "$log")
[ "$formats" = 9 ] || fail "$formats instrument buffers in the 8-bit mono 44,100 Hz format, expected 9"
locks=$(grep -Ec "IDirectSoundBufferImpl_Lock Locked [0-9A-F]+\((4096|16500) bytes\) and $z\(0 bytes\)" "$log")
[ "$locks" = 9 ] || fail "$locks whole-buffer locks with no second region, expected 9"
unlocks=$(grep -Ec "IDirectSoundBufferImpl_Unlock \([0-9A-F]+,[0-9A-F]+,(4096|16500),$z,0\)" "$log")
[ "$unlocks" = 9 ] || fail "$unlocks unlocks of the locked region, expected 9"

# Pixel format, context and caption font.
expect "pixel format request" "wglChoosePixelFormat [0-9A-F]+ [0-9A-F]+: size 40 version 1 flags 37 type 0 color 32 0,0,0,0 accum 0 depth 32 stencil 0 aux 0$"
chosen=$(grep -o 'wglChoosePixelFormat returning [0-9]*' "$log" | head -1 | grep -o '[0-9]*$')
expect "the chosen format set" "wglSetPixelFormat hdc [0-9A-F]+, ipfd ${chosen:-none},"
expect "context made current" "wglMakeCurrent 0x[0-9a-f]+,0x[0-9a-f]+ returning 1"
expect "caption font" "NtGdiHfontCreate \(92 0 0 0 0 4 0 4 0\) L\"ARIAL\" Bold"
expect "font selected" "font_SelectFont L\"ARIAL\", h=92, it=0, weight=700, PandF=00, charset=0"
base=$(grep -Eo 'wglUseFontBitmaps_common Glyph: +0 / List: [0-9]+' "$log" | head -1 | grep -o '[0-9]*$')
[ -n "$base" ] || fail "no glyph list for character 0"
expect "glyph lists 0..255" "wglUseFontBitmaps_common Glyph: 255 / List: $(( base + 255 ))( |$)"

# The sequencer's first row, on the buffers in the order they were made (instrument 0..8):
# channels 0 and 1 play instruments 0 and 1 at 16388 Hz and level 0, channel 2 instrument 2
# at 14600 Hz and -700, channel 4 instrument 3 at 5162 Hz and 0.
mapfile -t buffers < <(grep -o 'secondarybuffer_create Created buffer at [0-9A-F]*' "$log" | awk '{print $NF}')
[ ${#buffers[@]} = 9 ] || fail "${#buffers[@]} instrument buffers created, expected 9"
calls=$(grep -Eo 'IDirectSoundBufferImpl_(Stop|SetCurrentPosition|SetFrequency|SetVolume|Play) \([^)]*\)' "$log" |
    head -20 | sed -E 's/IDirectSoundBufferImpl_//')
note() {  # the five calls of one note on buffer $1 at frequency $2 and level $3
    printf 'Stop (%s)\nSetCurrentPosition (%s,0)\nSetFrequency (%s,%s)\nSetVolume (%s,%s)\nPlay (%s,00000000,00000000,00000000)\n' \
        "$1" "$1" "$1" "$2" "$1" "$3" "$1"
}
wanted=$(note "${buffers[0]}" 16388 0; note "${buffers[1]}" 16388 0; note "${buffers[2]}" 14600 -700; note "${buffers[3]}" 5162 0)
[ "$calls" = "$wanted" ] || fail "first row's buffer calls:
$calls
expected:
$wanted"
echo "start-up calls, buffer descriptions and the first row's buffer calls as expected"
