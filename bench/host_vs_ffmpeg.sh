#!/usr/bin/env bash
# End-to-end speed of tonefade-host against the ffmpeg command line doing the same kind
# of job (a 50 % pull toward grey inside a rectangle) on the same clip, with the same
# decoder and a null sink, single-threaded. Prints frames per second of each and their
# ratio, by wall-clock time and by CPU time (the machine may be shared; CPU time is what
# a single-threaded job costs no matter who else runs).
#
# usage: bench/host_vs_ffmpeg.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  the CMake build folder with bin/tonefade-host (default: build)
#   WORK_DIR   where the 1920x1080, 300-frame clips are made and kept (default:
#              ${TMPDIR:-/tmp}/tonefade-bench; the raw clip takes 2.5 GB)
# Environment: RUNS (default 3, the best run counts), FRAMES (default 300).
set -euo pipefail

BUILD=${1:-build}
WORK=${2:-${TMPDIR:-/tmp}/tonefade-bench}
RUNS=${RUNS:-3}
FRAMES=${FRAMES:-300}
HOST=$BUILD/bin/tonefade-host
WRITE_PREFS=$BUILD/libexec/tonefade-write-prefs
for tool in "$HOST" "$WRITE_PREFS"; do
  [[ -x $tool ]] || { echo "bench: $tool is missing; build the project first" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "bench: the ffmpeg command is not installed" >&2; exit 1; }
mkdir -p "$WORK"

RAW=$WORK/clip-bgra-$FRAMES.mov
H264=$WORK/clip-h264-$FRAMES.mp4
SOURCE="testsrc2=size=1920x1080:rate=30,trim=end_frame=$FRAMES"
if [[ ! -s $RAW ]]; then
  echo "making $RAW (raw BGRA)" >&2
  ffmpeg -v error -y -f lavfi -i "$SOURCE" -pix_fmt bgra -c:v rawvideo "$RAW"
fi
if [[ ! -s $H264 ]]; then
  echo "making $H264 (H.264)" >&2
  ffmpeg -v error -y -f lavfi -i "$SOURCE" -pix_fmt yuv420p -c:v libx264 -preset fast -crf 18 "$H264"
fi
# Amount 50 on the middle quarter of the frame, written by the plug-in's own code.
PREFS=$WORK/prefs
"$WRITE_PREFS" "$PREFS" --amount 50 --rect 0.25,0.25,0.75,0.75

# ffmpeg's version of the job: the middle 960x540 pulled halfway to its grey (r+g+b)/3.
MIX="colorchannelmixer=rr=0.6667:rg=0.1667:rb=0.1667:gr=0.1667:gg=0.6667:gb=0.1667:br=0.1667:bg=0.1667:bb=0.6667"
GRAPH="[0:v]format=bgra,split[a][b];[b]crop=960:540:480:270,$MIX[g];[a][g]overlay=480:270"
GRAPH_RGB="$GRAPH:format=rgb"
FF=(ffmpeg -v error -nostdin -threads 1 -filter_threads 1 -filter_complex_threads 1)

# Runs a command RUNS times; prints "wall cpu" seconds of the best run (least CPU).
measure() {
  local best="" line
  for ((i = 0; i < RUNS; i++)); do
    /usr/bin/time -f "%e %U %S" -o "$WORK/time.txt" "$@" >/dev/null 2>&1 ||
      { echo "bench: failed: $*" >&2; exit 1; }
    line=$(awk 'END{printf "%.3f %.3f", $1, $2 + $3}' "$WORK/time.txt")
    if [[ -z $best ]] || awk -v a="$line" -v b="$best" 'BEGIN{split(a,x," ");split(b,y," ");exit !(x[2]<y[2])}'; then
      best=$line
    fi
  done
  echo "$best"
}

printf '%-44s %8s %8s %9s %9s\n' "job ($FRAMES frames 1920x1080, 1 thread)" "wall s" "cpu s" "fps wall" "fps cpu"
declare -A WALL CPU
run() {
  local name=$1; shift
  cat "${INPUT}" >/dev/null  # the clip comes from the page cache for everyone
  read -r w c < <(measure "$@")
  WALL[$name]=$w; CPU[$name]=$c
  awk -v n="$name" -v w="$w" -v c="$c" -v f="$FRAMES" \
    'BEGIN{printf "%-44s %8.2f %8.2f %9.1f %9.1f\n", n, w, c, f/w, f/c}'
}
ratio() {
  awk -v a="${CPU[$2]}" -v b="${CPU[$1]}" -v wa="${WALL[$2]}" -v wb="${WALL[$1]}" -v t="$3" \
    'BEGIN{printf "  %-60s %5.2fx (cpu)  %5.2fx (wall)\n", t, a/b, wa/wb}'
}

INPUT=$RAW
run "raw: ffmpeg read only"              "${FF[@]}" -i "$RAW" -f null -
run "raw: ffmpeg rectangle graph"        "${FF[@]}" -i "$RAW" -filter_complex "$GRAPH" -f null -
run "raw: ffmpeg rectangle, overlay rgb" "${FF[@]}" -i "$RAW" -filter_complex "$GRAPH_RGB" -f null -
run "raw: tonefade-host render"          "$HOST" render "$RAW" /dev/null --threads 1 --quiet --prefs-dir "$PREFS"
INPUT=$H264
run "h264: ffmpeg read only"             "${FF[@]}" -i "$H264" -f null -
run "h264: ffmpeg rectangle graph"       "${FF[@]}" -i "$H264" -filter_complex "$GRAPH" -f null -
run "h264: ffmpeg rectangle, overlay rgb" "${FF[@]}" -i "$H264" -filter_complex "$GRAPH_RGB" -f null -
run "h264: tonefade-host render"         "$HOST" render "$H264" /dev/null --threads 1 --quiet --prefs-dir "$PREFS"

echo "tonefade-host against ffmpeg (higher is faster):"
ratio "raw: tonefade-host render" "raw: ffmpeg rectangle graph" "raw, against the rectangle graph (target 3x)"
ratio "raw: tonefade-host render" "raw: ffmpeg rectangle, overlay rgb" "raw, against the graph with overlay in RGB"
ratio "h264: tonefade-host render" "h264: ffmpeg rectangle graph" "H.264, against the rectangle graph (target 1x)"
ratio "h264: tonefade-host render" "h264: ffmpeg rectangle, overlay rgb" "H.264, against the graph with overlay in RGB"
