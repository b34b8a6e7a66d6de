#!/usr/bin/env bash
# demo.exe cross-builds as a small 32-bit Windows GUI program that needs only Windows' own
# DLLs and carries its DPI-awareness manifest.
set -u
. "$(dirname "$0")/../lib/win32_lib.bash"
build=$1
win32_build "$build"
exe="$build/win32/demo.exe"
[ -f "$exe" ] || fail "no $exe"

headers=$(i686-w64-mingw32-objdump -f -p "$exe") || fail "objdump cannot read $exe"
grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit PE program"
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || fail "not a GUI-subsystem program"

# Windows' own libraries only: nothing from MinGW (libgcc, libstdc++, winpthread) at run time.
# msvcrt.dll is the C runtime every Windows carries; the MinGW start-up code imports it.
allowed=" kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll dsound.dll msvcrt.dll "
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
    [[ "$allowed" == *" $dll "* ]] || fail "imports $dll"
done
for dll in dsound.dll opengl32.dll glu32.dll gdi32.dll user32.dll kernel32.dll; do
    grep -qx "$dll" <<<"$dlls" || fail "does not import $dll"
done
echo "imports:" $dlls

# The manifest is resource 1 of type 24; its DPI settings must reach the file.
i686-w64-mingw32-objdump -s -j .rsrc "$exe" | grep -q . || fail "no resource section"
manifest=$(strings -n 8 "$exe" | tr -d '\n')
[[ "$manifest" == *"<dpiAware"*">true</dpiAware>"* ]] || fail "no dpiAware in the linked manifest"
[[ "$manifest" == *"PerMonitorV2"* ]] || fail "no dpiAwareness in the linked manifest"

size=$(stat -c %s "$exe")
echo "demo.exe: $size bytes ($(( (size + 1023) / 1024 )) KiB)"
[ "$size" -le 65536 ] || fail "demo.exe is $size bytes, over the 64 KiB budget"
