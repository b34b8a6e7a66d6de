#!/usr/bin/env bash
# The other outputs of demo-capture on a short range: the lossless Matroska file holds FFV1 and
# FLAC whose decoded pictures and sound are exactly the PNG frames and WAV of the same options;
# --scale 3 --filter smooth gives a 1920x1440 H.264 video with the range's frame count.
set -u
. "$(dirname "$0")/../lib/lib.bash"
build=$(cd "$1" && pwd)
tool="$build/demo-capture"
work=$(mktemp -d /tmp/capture-formats.XXXXXX)
trap 'rm -rf "$work"' EXIT
range="--fps 12 --start 7800 --end 8500"   # 9 frames: the first caption over the backdrop

"$tool" $range -f lossless -o "$work/demo.mkv" || fail "lossless capture failed"
"$tool" $range -f png -o "$work/frames" || fail "PNG capture failed"
streams=$(ffprobe -v error -show_entries stream=codec_name,pix_fmt,width,height,sample_rate -of csv=p=0 "$work/demo.mkv")
grep -qx "ffv1,640,480,bgr0" <<<"$streams" || fail "no 640x480 RGB FFV1 stream: $streams"
grep -qx "flac,44100" <<<"$streams" || fail "no 44,100 Hz FLAC stream: $streams"

ffmpeg -v error -i "$work/demo.mkv" -map 0:v -f rawvideo -pix_fmt rgb24 "$work/mkv.rgb" || fail "decoding the video failed"
ffmpeg -v error -i "$work/frames/frame_%05d.png" -f rawvideo -pix_fmt rgb24 "$work/png.rgb" || fail "decoding the PNGs failed"
[ "$(stat -c %s "$work/png.rgb")" = $(( 9 * 640 * 480 * 3 )) ] || fail "expected 9 PNG frames"
cmp -s "$work/mkv.rgb" "$work/png.rgb" || fail "the lossless pictures differ from the PNG frames"

ffmpeg -v error -i "$work/demo.mkv" -map 0:a -f u8 -ac 1 "$work/mkv.u8" || fail "decoding the sound failed"
# 9 / 12 s at 44,100 Hz; the WAV's data chunk carries one pad byte after an odd count.
tail -c +45 "$work/frames/audio.wav" | head -c 33075 >"$work/wav.u8"
cmp -s "$work/mkv.u8" "$work/wav.u8" || fail "the lossless sound differs from the WAV"

"$tool" $range --scale 3 --filter smooth -o "$work/big.mp4" || fail "scaled capture failed"
video=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=codec_name,width,height,pix_fmt,nb_read_frames \
    -of csv=p=0 "$work/big.mp4")
[ "$video" = "h264,1920,1440,yuv420p,9" ] || fail "scaled video: $video"
echo "lossless: FFV1 + FLAC equal to the PNG frames and WAV; --scale 3: $video"
