#!/usr/bin/env bash
# Speed of the frei0r filter inside ffmpeg against ffmpeg's own filter graph for the same
# job (a 50 % pull toward grey inside the middle quarter of a 1920x1080 frame: split,
# crop, colorchannelmixer, overlay), in the same run, with the same decoder and a null
# sink, single-threaded. Prints frames per second of each, by wall-clock and CPU time
# (the best of RUNS runs by CPU time), and the ratios.
#
# usage: bench/frei0r_vs_ffmpeg.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  the CMake build folder with lib/frei0r-1/tonefade.so (default: build)
#   WORK_DIR   where the clips are made and kept (default: ${TMPDIR:-/tmp}/tonefade-bench;
#              the raw clip of FRAMES 1920x1080 RGBA frames takes 8 MB a frame)
# Environment: RUNS (default 3), FRAMES (default 150).
set -euo pipefail

BUILD=${1:-build}
WORK=${2:-${TMPDIR:-/tmp}/tonefade-bench}
RUNS=${RUNS:-3}
FRAMES=${FRAMES:-150}
PLUGINS=$(cd "$BUILD/lib/frei0r-1" 2>/dev/null && pwd) ||
  { echo "bench: $BUILD/lib/frei0r-1 is missing; build the project first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "bench: the ffmpeg command is not installed" >&2; exit 1; }
mkdir -p "$WORK"
export FREI0R_PATH=$PLUGINS XDG_CONFIG_HOME=$WORK/frei0r-config  # no saved settings: the defaults

RAW=$WORK/clip-rgba-$FRAMES.mov
H264=$WORK/clip-h264-$FRAMES.mp4
SOURCE="testsrc2=size=1920x1080:rate=30,trim=end_frame=$FRAMES"
[[ -s $RAW ]] || ffmpeg -v error -y -f lavfi -i "$SOURCE" -pix_fmt rgba -c:v rawvideo "$RAW"
[[ -s $H264 ]] || ffmpeg -v error -y -f lavfi -i "$SOURCE" -pix_fmt yuv420p -c:v libx264 -preset fast -crf 18 "$H264"

MIX="colorchannelmixer=rr=0.6667:rg=0.1667:rb=0.1667:gr=0.1667:gg=0.6667:gb=0.1667:br=0.1667:bg=0.1667:bb=0.6667"
GRAPH="[0:v]format=rgba,split[a][b];[b]crop=960:540:480:270,$MIX[g];[a][g]overlay=480:270:format=rgb"
TONEFADE="[0:v]frei0r=tonefade:0.5|0.25|0.25|0.75|0.75"
# Every frame inside a fade: the unprocessed frame is blended over the processed one too.
TONEFADE_FADE="$TONEFADE|100000|0|100000"
FF=(ffmpeg -v error -nostdin -threads 1 -filter_threads 1 -filter_complex_threads 1)

measure() {  # prints "wall cpu" seconds of the run with the least CPU time
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

printf '%-40s %8s %8s %9s %9s\n' "job ($FRAMES frames 1920x1080, 1 thread)" "wall s" "cpu s" "fps wall" "fps cpu"
declare -A WALL CPU
run() {
  local name=$1 input=$2; shift 2
  cat "$input" >/dev/null  # the clip comes from the page cache for everyone
  read -r w c < <(measure "${FF[@]}" -i "$input" "$@" -f null -)
  WALL[$name]=$w; CPU[$name]=$c
  awk -v n="$name" -v w="$w" -v c="$c" -v f="$FRAMES" \
    'BEGIN{printf "%-40s %8.2f %8.2f %9.1f %9.1f\n", n, w, c, f/w, f/c}'
}
ratio() {  # how many times faster $1 is than $2
  awk -v a="${CPU[$2]}" -v b="${CPU[$1]}" -v wa="${WALL[$2]}" -v wb="${WALL[$1]}" -v t="$3" \
    'BEGIN{printf "  %-52s %5.2fx (cpu)  %5.2fx (wall)\n", t, a/b, wa/wb}'
}

for kind in raw h264; do
  input=$RAW; [[ $kind == h264 ]] && input=$H264
  run "$kind: ffmpeg read only"          "$input"
  run "$kind: ffmpeg rectangle graph"    "$input" -filter_complex "$GRAPH"
  run "$kind: frei0r tonefade"           "$input" -filter_complex "$TONEFADE"
  run "$kind: frei0r tonefade, in a fade" "$input" -filter_complex "$TONEFADE_FADE"
done
echo "frei0r tonefade against ffmpeg's rectangle graph (higher is faster):"
for kind in raw h264; do
  ratio "$kind: frei0r tonefade" "$kind: ffmpeg rectangle graph" "$kind"
  ratio "$kind: frei0r tonefade, in a fade" "$kind: ffmpeg rectangle graph" "$kind, every frame in a fade"
done
