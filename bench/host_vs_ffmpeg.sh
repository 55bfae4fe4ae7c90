#!/usr/bin/env bash
# tonefade-host against what bounds it: the ffmpeg program decoding the same clip and
# doing nothing else (the reading of the clip is the limit of any render), and ffmpeg
# encoding it with the host's encoder settings (from H.264 at 1920x1080 and from raw
# frames at 3840x2160). Every job runs once per round, the rounds
# interleaved, and the median of the rounds counts (the machine may be shared). The same
# rectangle job in ffmpeg's filter graph, GStreamer and MLT's melt (each skipped when the
# program is missing) shows where the host stands among the tools people use. Prints
# frames per second of each job, then each ratio with its target and PASS or MISS.
#
# usage: bench/host_vs_ffmpeg.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  the CMake build folder with bin/tonefade-host (default: build)
#   WORK_DIR   where the clips are made and kept (default: ${TMPDIR:-/tmp}/tonefade-bench;
#              the raw clips take FRAMES x 8.3 MB and FRAMES_4K x 33 MB)
# Environment:
#   ROUNDS     rounds (default 3)
#   FRAMES     frames of the 1920x1080 clips (default 120; 30 for a quick look)
#   FRAMES_4K  frames of the 3840x2160 clip (default 40)
#   BASELINE   another build folder whose host runs beside this one (before and after)
set -euo pipefail

BUILD=${1:-build}
WORK=${2:-${TMPDIR:-/tmp}/tonefade-bench}
ROUNDS=${ROUNDS:-3}
FRAMES=${FRAMES:-120}
FRAMES_4K=${FRAMES_4K:-40}
BASELINE=${BASELINE:-}
HOST=$BUILD/bin/tonefade-host
WRITE_PREFS=$BUILD/libexec/tonefade-write-prefs
for tool in "$HOST" "$WRITE_PREFS" ${BASELINE:+"$BASELINE/bin/tonefade-host"}; do
  [[ -x $tool ]] || { echo "bench: $tool is missing; build the project first" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "bench: the ffmpeg command is not installed" >&2; exit 1; }
mkdir -p "$WORK"

clip() {  # clip FILE SIZE FRAMES FFMPEG-OUTPUT-OPTIONS...
  local file=$1 size=$2 frames=$3; shift 3
  [[ -s $file ]] && return
  echo "making $file" >&2
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=30,trim=end_frame=$frames" "$@" "$file"
}
RAW=$WORK/raw-1080-$FRAMES.mov
RAW4K=$WORK/raw-2160-$FRAMES_4K.mov
H264=$WORK/h264-1080-$FRAMES.mp4
clip "$RAW" 1920x1080 "$FRAMES" -pix_fmt bgra -c:v rawvideo
clip "$RAW4K" 3840x2160 "$FRAMES_4K" -pix_fmt bgra -c:v rawvideo
clip "$H264" 1920x1080 "$FRAMES" -pix_fmt yuv420p -c:v libx264 -preset fast -crf 18
# GStreamer reads the same frames from a file with no header (its QuickTime reader takes no B,G,R,A).
RAWBGRA=$WORK/raw-1080-$FRAMES.bgra
[[ -s $RAWBGRA ]] || ffmpeg -v error -i "$RAW" -f rawvideo -pix_fmt bgra "$RAWBGRA"
# Amount 50 on the middle quarter of the frame, written by the plug-in's own code.
PREFS=$WORK/prefs
"$WRITE_PREFS" "$PREFS" --amount 50 --rect 0.25,0.25,0.75,0.75
OUT=$WORK/out.mp4

FF1=(ffmpeg -v error -nostdin -threads 1)
FFN=(ffmpeg -v error -nostdin)
ONE=(env TONEFADE_SINGLE_THREAD=1)
ALL=(env TONEFADE_SINGLE_THREAD=0)
# The host's encoder settings (VideoWriter): libx264, fast, CRF 18, a key frame every 2 s, BT.709.
X264=(-c:v libx264 -preset fast -crf 18 -g 60 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709
      -color_trc bt709 -an)

declare -a NAMES=() FRAMECOUNT=()
declare -A CMD SAMPLES
job() {  # job NAME FRAMES COMMAND...
  local name=$1 frames=$2; shift 2
  NAMES+=("$name"); FRAMECOUNT+=("$frames")
  CMD[$name]=$(printf '%q ' "$@")
}
host_jobs() {  # host_jobs LABEL HOST
  local l=$1 h=$2
  job "$l raw 1080p, one thread"        "$FRAMES"    "${ONE[@]}" "$h" render "$RAW" /dev/null --threads 1 --quiet --prefs-dir "$PREFS"
  job "$l raw 1080p"                    "$FRAMES"    "${ALL[@]}" "$h" render "$RAW" /dev/null --quiet --prefs-dir "$PREFS"
  job "$l raw 1080p, all in fades, one thread" "$FRAMES" "${ONE[@]}" "$h" render "$RAW" /dev/null --threads 1 --quiet \
      --prefs-dir "$PREFS" --fade-in "$((FRAMES / 2))" --fade-out "$((FRAMES / 2))"
  job "$l raw 2160p, one thread"        "$FRAMES_4K" "${ONE[@]}" "$h" render "$RAW4K" /dev/null --threads 1 --quiet --prefs-dir "$PREFS"
  job "$l raw 2160p"                    "$FRAMES_4K" "${ALL[@]}" "$h" render "$RAW4K" /dev/null --quiet --prefs-dir "$PREFS"
  job "$l h264 1080p, one thread"       "$FRAMES"    "${ONE[@]}" "$h" render "$H264" /dev/null --threads 1 --quiet --prefs-dir "$PREFS"
  job "$l h264 1080p"                   "$FRAMES"    "${ALL[@]}" "$h" render "$H264" /dev/null --quiet --prefs-dir "$PREFS"
  job "$l h264 1080p to H.264"          "$FRAMES"    "${ALL[@]}" "$h" render "$H264" "$OUT" -y --quiet --prefs-dir "$PREFS"
  job "$l raw 2160p to H.264"           "$FRAMES_4K" "${ALL[@]}" "$h" render "$RAW4K" "$OUT" -y --quiet --prefs-dir "$PREFS"
}
job "ffmpeg raw 1080p decode, one thread"  "$FRAMES"    "${FF1[@]}" -i "$RAW" -f null -
job "ffmpeg raw 1080p decode"              "$FRAMES"    "${FFN[@]}" -i "$RAW" -f null -
job "ffmpeg raw 2160p decode, one thread"  "$FRAMES_4K" "${FF1[@]}" -i "$RAW4K" -f null -
job "ffmpeg raw 2160p decode"              "$FRAMES_4K" "${FFN[@]}" -i "$RAW4K" -f null -
job "ffmpeg h264 1080p decode, one thread" "$FRAMES"    "${FF1[@]}" -i "$H264" -f null -
job "ffmpeg h264 1080p decode"             "$FRAMES"    "${FFN[@]}" -i "$H264" -f null -
job "ffmpeg h264 1080p to H.264"           "$FRAMES"    "${FFN[@]}" -y -i "$H264" "${X264[@]}" "$OUT"
job "ffmpeg raw 2160p to H.264"            "$FRAMES_4K" "${FFN[@]}" -y -i "$RAW4K" "${X264[@]}" "$OUT"
# The same rectangle job the way a user of each program would write it: the middle
# quarter cropped out, its saturation halved, laid back over the frame.
HALF_GREY=colorchannelmixer=rr=.6495:rg=.2935:rb=.057:gr=.1495:gg=.7935:gb=.057:br=.1495:bg=.2935:bb=.557
job "ffmpeg raw 1080p rectangle graph"     "$FRAMES"    "${FFN[@]}" -i "$RAW" -filter_complex \
    "[0]split[a][b];[b]crop=960:540:480:270,$HALF_GREY[c];[a][c]overlay=480:270" -f null -
if command -v gst-launch-1.0 >/dev/null; then
  job "gstreamer raw 1080p rectangle"      "$FRAMES"    gst-launch-1.0 -q filesrc location="$RAWBGRA" blocksize=8294400 \
      ! rawvideoparse width=1920 height=1080 format=bgra framerate=30/1 ! tee name=t t. ! queue ! comp.sink_0 \
      t. ! queue ! videocrop left=480 right=480 top=270 bottom=270 ! videobalance saturation=0.5 ! comp.sink_1 \
      compositor name=comp sink_1::xpos=480 sink_1::ypos=270 ! fakesink
fi
if command -v melt >/dev/null; then
  job "melt raw 1080p rectangle"           "$FRAMES"    timeout 600 melt -silent -profile atsc_1080p_30 \
      "$RAW" out=$((FRAMES - 1)) -track "$RAW" out=$((FRAMES - 1)) \
      -attach-track crop left=480 right=480 top=270 bottom=270 -attach-track frei0r.saturat0r 0=0.0625 \
      -transition composite a_track=0 b_track=1 geometry=480/270:960x540 \
      -consumer null real_time=-2 terminate_on_pause=1
fi
host_jobs host "$HOST"
[[ -n $BASELINE ]] && host_jobs baseline "$BASELINE/bin/tonefade-host"

cat "$RAW" "$RAW4K" "$H264" "$RAWBGRA" >/dev/null  # the clips come from the page cache for everyone
for ((round = 1; round <= ROUNDS; round++)); do
  echo "round $round of $ROUNDS" >&2
  for name in "${NAMES[@]}"; do
    start=$(date +%s.%N)
    eval "${CMD[$name]}" >/dev/null 2>"$WORK/stderr.txt" || { cat "$WORK/stderr.txt" >&2; echo "bench: failed: $name" >&2; exit 1; }
    SAMPLES[$name]+="$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN{printf "%.4f ", e - s}')"
  done
done

declare -A FPS
printf '%-48s %9s %9s\n' "job (median of $ROUNDS rounds)" "seconds" "frames/s"
for i in "${!NAMES[@]}"; do
  name=${NAMES[$i]}
  median=$(tr ' ' '\n' <<<"${SAMPLES[$name]}" | grep . | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}')
  FPS[$name]=$(awk -v s="$median" -v f="${FRAMECOUNT[$i]}" 'BEGIN{printf "%.1f", f/s}')
  printf '%-48s %9.3f %9s\n' "$name" "$median" "${FPS[$name]}"
done

echo
printf '%-66s %7s %8s %s\n' "ratio" "value" "target" ""
ratio() {  # ratio TEXT A B TARGET at-least|at-most|none: A/B in frames per second
  awk -v t="$1" -v a="${FPS[$2]}" -v b="${FPS[$3]}" -v g="$4" -v k="$5" 'BEGIN{
    r = a / b; ok = (k == "at-least") ? r >= g : r <= g
    if (k == "none") { printf "%-66s %7.2f\n", t, r; exit }
    printf "%-66s %7.2f %2s %5.2f %s\n", t, r, (k == "at-least") ? ">=" : "<=", g, ok ? "PASS" : "MISS" }'
}
report() {  # report LABEL
  local l=$1
  ratio "$l raw 1080p, one thread / ffmpeg decode, one thread" "$l raw 1080p, one thread" "ffmpeg raw 1080p decode, one thread" 0.60 at-least
  ratio "$l raw 1080p / ffmpeg decode" "$l raw 1080p" "ffmpeg raw 1080p decode" 0.90 at-least
  ratio "$l raw 2160p, one thread / ffmpeg decode, one thread" "$l raw 2160p, one thread" "ffmpeg raw 2160p decode, one thread" 0.60 at-least
  ratio "$l raw 2160p / ffmpeg decode" "$l raw 2160p" "ffmpeg raw 2160p decode" 0.90 at-least
  ratio "$l h264 1080p / ffmpeg decode" "$l h264 1080p" "ffmpeg h264 1080p decode" 0.90 at-least
  ratio "$l h264 1080p, one thread / ffmpeg decode, one thread" "$l h264 1080p, one thread" "ffmpeg h264 1080p decode, one thread" 0 none
  ratio "$l h264 to H.264 / ffmpeg libx264, same settings" "$l h264 1080p to H.264" "ffmpeg h264 1080p to H.264" 0.90 at-least
  ratio "$l raw 2160p to H.264 / ffmpeg libx264, same settings" "$l raw 2160p to H.264" "ffmpeg raw 2160p to H.264" 0.90 at-least
  for other in "ffmpeg raw 1080p rectangle graph" "gstreamer raw 1080p rectangle" "melt raw 1080p rectangle"; do
    [[ -n ${FPS[$other]:-} ]] && ratio "$l raw 1080p / ${other% raw*}'s rectangle job" "$l raw 1080p" "$other" 0 none
  done
  # Cost of a frame: every frame in a fade against none, one thread each.
  ratio "$l frame in a fade / frame outside (cost)" "$l raw 1080p, one thread" "$l raw 1080p, all in fades, one thread" 1.50 at-most
}
report host
[[ -n $BASELINE ]] && report baseline
exit 0
