#!/usr/bin/env bash
# What scripts/package.sh makes. The Debian package: its control names the libraries the
# programs load, a bold sans font, and ffmpeg as a recommendation only; extracted, it holds
# both programs, a desktop entry that desktop-file-validate accepts and whose Exec and Icon
# resolve inside the package, and a 256 x 256 icon with a picture in it; the extracted capture
# tool renders a short range; lintian reports no error. The zip holds the 32-bit demo.exe (at
# most 64 KiB) and a README.txt.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$1
out="$build/package"
work=$(mktemp -d /tmp/demo-packages.XXXXXX)
trap 'rm -rf "$work"' EXIT

started=$(now_ms)
bash "$src/scripts/package.sh" "$out" >"$build/package.log" 2>&1 ||
    { tail -30 "$build/package.log"; fail "scripts/package.sh failed (log: $build/package.log)"; }
echo "scripts/package.sh took $(( $(now_ms) - started )) ms"
debs=("$out"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $out, found: ${debs[*]}"
deb=${debs[0]}
dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb cannot read $deb"

# Each library the programs link against, by its Debian package; the font the captions ask
# fontconfig for; ffmpeg only recommended.
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
for pkg in libsdl2-2.0-0 libfreetype6 libfontconfig1 libegl1 libx11-6 fonts-liberation2; do
    grep -Eq "(^|[ ,|])$pkg( |,|$)" <<<"$depends" || fail "Depends lacks $pkg"
done
grep -q ffmpeg <<<"$depends" && fail "ffmpeg is in Depends; only the capture tool needs it"
grep -Eq "(^|[ ,])ffmpeg( |,|$)" <<<"$recommends" || fail "ffmpeg is not recommended"

dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
name=$(dpkg-deb -f "$deb" Package)
bin="$work/root/usr/bin"
for program in "$name" "$name-capture"; do
    [ -x "$bin/$program" ] || fail "no usr/bin/$program in the package"
done
version=$("$bin/$name" --version) || fail "$name --version failed"
[[ "$version" == *" $(dpkg-deb -f "$deb" Version)" ]] || fail "$name --version says '$version', the package is $(dpkg-deb -f "$deb" Version)"

entry="$work/root/usr/share/applications/$name.desktop"
[ -f "$entry" ] || fail "no desktop entry usr/share/applications/$name.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
while read -r exec; do
    [ -x "$bin/${exec%% *}" ] || fail "desktop entry runs '$exec', not a program of the package"
done < <(sed -n 's/^Exec=//p' "$entry")
icon_name=$(sed -n 's/^Icon=//p' "$entry")
icon="$work/root/usr/share/icons/hicolor/256x256/apps/$icon_name.png"
[ -f "$icon" ] || fail "no icon for Icon=$icon_name under usr/share/icons/hicolor/256x256/apps"
size=$(identify -format '%m %wx%h' "$icon") || fail "the icon is not an image"
[ "$size" = "PNG 256x256" ] || fail "the icon is $size, expected a 256x256 PNG"
# Share of pixels whose brightest channel is above a quarter of full scale.
lit=$(convert "$icon" -colorspace HSB -channel B -separate -threshold 25% -format '%[fx:mean]' info:)
echo "icon: $size, ${lit} of it lit"
awk -v s="$lit" 'BEGIN { exit !(s > 0.1) }' || fail "the icon is nearly black"

# Scene times 0, 100, ..., 1000 ms at 10 fps: eleven frames, with a WAV as long as they last.
"$bin/$name-capture" --format png --fps 10 --end 1000 -o "$work/frames" >"$work/capture.log" 2>&1 ||
    { cat "$work/capture.log"; fail "the packaged capture tool failed"; }
frames=$(ls "$work/frames"/frame_*.png | wc -l)
[ "$frames" = 11 ] || fail "the packaged capture tool wrote $frames frames for 0..1000 ms at 10 fps, expected 11"
[ -s "$work/frames/audio.wav" ] || fail "the packaged capture tool wrote no sound"
echo "packaged capture tool: $frames frames and audio.wav"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
grep -q '^E:' "$work/lintian.log" && { cat "$work/lintian.log"; fail "lintian reports errors"; }
echo "lintian: $(grep -c '^[EW]:' "$work/lintian.log") warnings, no errors"

zip="$out/$name-win32.zip"
[ -f "$zip" ] || fail "no $zip"
python3 - "$zip" <<'PY' || fail "the Windows zip is not as it should be"
import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
print("zip:", ", ".join(f"{i.filename} ({i.file_size} bytes)" for i in z.infolist()))
if names != ["README.txt", "demo.exe"]: sys.exit(f"zip holds {names}, expected demo.exe and README.txt")
exe = z.read("demo.exe")
if len(exe) > 65536: sys.exit(f"demo.exe is {len(exe)} bytes, over 64 KiB")
pe = struct.unpack_from("<I", exe, 0x3C)[0]
if exe[:2] != b"MZ" or exe[pe:pe + 4] != b"PE\0\0": sys.exit("demo.exe is not a Windows program")
machine = struct.unpack_from("<H", exe, pe + 4)[0]
if machine != 0x14C: sys.exit(f"demo.exe is for machine {machine:#x}, not i386 (0x14c)")
readme = z.read("README.txt").decode("ascii")
if "demo.exe" not in readme or "Escape" not in readme: sys.exit("README.txt says nothing of demo.exe or Escape")
PY
