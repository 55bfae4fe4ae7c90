#!/usr/bin/env bash
# The configuration dialog on a real X display, driven like a person drives it: Xvfb is
# the screen, xdotool the mouse and keyboard. `tonefade-host configure` opens the dialog
# on a short clip; the amount slider is dragged from 40 to 75, a corner of the effect
# rectangle is dragged (a screenshot taken mid-drag must show the rectangle's corner
# where the mouse is), OK is clicked, and the saved settings must hold the new amount and
# rectangle. A second run is cancelled with Escape and must save nothing; a third, with
# --no-display, must not open a window at all.
#
# usage: xvfb_configure_test.sh BUILD_DIR [SHOT_DIR]
#   SHOT_DIR keeps the screenshots (live-dialog.png, live-drag.png).
# Exits 77 (skipped) when Xvfb, xdotool, xprop, ImageMagick's import or ffmpeg is missing.
set -euo pipefail

build=${1:?usage: xvfb_configure_test.sh BUILD_DIR [SHOT_DIR]}
shots=${2:-}
host=$build/bin/tonefade-host
probe=$build/bin/tonefade-live-probe
write_prefs=$build/bin/tonefade-write-prefs

for tool in Xvfb xdotool xprop import ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb_pid=""
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/host*.err; do [ -s "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  exit 1
}

# --- The screen: Xvfb chooses a free display and tells which ---------------------------
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
export DISPLAY=:$(head -1 "$work/display")
unset WAYLAND_DISPLAY SDL_VIDEODRIVER

# --- A clip, known settings, and where the dialog shows what ---------------------------
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 12 -c:v mpeg4 -q:v 3 "$work/clip.mp4"
"$write_prefs" "$work/prefs" --amount 40 --rect 0.25,0.25,0.75,0.75 >/dev/null
eval "$("$probe" layout "$work/prefs" 75)"
drag_x=$((CORNER_X + 60))
drag_y=$((CORNER_Y + 40))

# What a window shows now, for pixel() to read.
capture() {  # WINDOW
  import -window "$1" "$work/window.ppm"
}

# The colour of one pixel of the last capture, as "R G B".
pixel() {  # X Y
  python3 - "$work/window.ppm" "$1" "$2" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    if data[pos:pos + 1] == b"#":
        pos = data.index(b"\n", pos)
        continue
    end = pos
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[pos:end]); pos = end
pos += 1
width, maxval = int(fields[1]), int(fields[3])
x, y = int(sys.argv[2]), int(sys.argv[3])
size = 1 if maxval < 256 else 2
at = pos + (y * width + x) * 3 * size
print(*(data[at + i * size] for i in range(3)))
EOF
}

# Starts configure in the background and waits for its dialog to be on the screen.
open_dialog() {  # LOG_NAME [more configure arguments]
  local log=$1; shift
  "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" --frame 6 "$@" 2>"$work/$log.err" &
  host_pid=$!
  win=""
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --pid "$host_pid" 2>/dev/null | head -1 || true)
    [ -n "$win" ] && capture "$win" && [ "$(pixel 4 4)" = "232 232 232" ] && break
    kill -0 "$host_pid" 2>/dev/null || fail "configure ended before its dialog showed"
    win=""
    sleep 0.1
  done
  [ -n "$win" ] || fail "no dialog window appeared"
  eval "$(xdotool getwindowgeometry --shell "$win")"
  [ "$WIDTH" = "$WINDOW_W" ] && [ "$HEIGHT" = "$WINDOW_H" ] ||
    fail "the desktop window is ${WIDTH}x$HEIGHT, the dialog ${WINDOW_W}x$WINDOW_H"
  local title
  title=$(LC_ALL=C.UTF-8 xprop -id "$win" _NET_WM_NAME)
  [ "$title" = "_NET_WM_NAME(UTF8_STRING) = \"$TITLE\"" ] || fail "the desktop window's title is $title, not $TITLE"
}

# A press, a drag in steps, with the button held for the caller to look, and no release.
press_and_drag() {  # FROM_X FROM_Y TO_X TO_Y
  xdotool mousemove --window "$win" "$1" "$2" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --window "$win" $(($1 + ($3 - $1) * step / 8)) $(($2 + ($4 - $2) * step / 8))
    sleep 0.03
  done
  sleep 0.3  # the dialog redraws, and the display shows it at its own pace
}

wait_for_exit() {  # LOG_NAME
  local status=0
  for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$host_pid" 2>/dev/null && fail "configure did not end after the dialog closed"
  wait "$host_pid" || status=$?
  host_pid=""
  [ "$status" = 0 ] || fail "configure failed with status $status"
}

# --- Run 1: slider, corner drag, OK ----------------------------------------------------
open_dialog host1
press_and_drag "$THUMB_X" "$THUMB_Y" "$AMOUNT_X" "$AMOUNT_Y"
xdotool mouseup 1
sleep 0.2
[ -n "$shots" ] && import -window "$win" "$shots/live-dialog.png"
press_and_drag "$CORNER_X" "$CORNER_Y" "$drag_x" "$drag_y"
import -window root "$work/live-drag-screen.png"
[ -n "$shots" ] && import -window "$win" "$shots/live-drag.png"
# Mid-drag, the rectangle's red right and bottom edges run into the mouse (they are drawn
# just inside the corner), and no longer into the corner where the drag began.
capture "$win"
edges_now="$(pixel $((drag_x - 1)) $((drag_y - 20))) $(pixel $((drag_x - 20)) $((drag_y - 1)))"
edges_before="$(pixel $((CORNER_X - 1)) $((CORNER_Y - 20))) $(pixel $((CORNER_X - 20)) $((CORNER_Y - 1)))"
xdotool mouseup 1
python3 - "$edges_now" "$edges_before" <<'EOF' ||
import sys
red = lambda c: c[0] > 200 and c[1] < 60 and c[2] < 60
now, before = (list(map(int, s.split())) for s in sys.argv[1:])
sys.exit(0 if red(now[:3]) and red(now[3:]) and not red(before[:3]) and not red(before[3:]) else 1)
EOF
  fail "mid-drag, the rectangle does not end at the mouse (edges there: $edges_now; at the start: $edges_before)"
xdotool mousemove --window "$win" "$OK_X" "$OK_Y" click 1
wait_for_exit host1
grep -q "settings saved" "$work/host1.err" || fail "OK did not save the settings"
eval "$("$probe" prefs "$work/prefs")"
[ "$AMOUNT" = 75 ] || fail "the saved amount is $AMOUNT, not 75"
python3 - "$RECT_RIGHT" "$RECT_BOTTOM" "$drag_x" "$drag_y" "$CLIP_LEFT" "$CLIP_TOP" "$CLIP_W" "$CLIP_H" <<'EOF' ||
import sys
right, bottom = map(float, sys.argv[1:3])
x, y, left, top, w, h = map(int, sys.argv[3:])
want = ((x - left) / w, (y - top) / h)
ok = abs(right - want[0]) < 2.5 / w and abs(bottom - want[1]) < 2.5 / h
print(f"saved corner {right:.4f},{bottom:.4f}; the mouse left it at {want[0]:.4f},{want[1]:.4f}")
sys.exit(0 if ok else 1)
EOF
  fail "the saved rectangle does not end where the corner was dropped"

# --- Run 2: a drag, then Escape: Cancel saves nothing ----------------------------------
cp "$work/prefs/vardo-Prefs" "$work/saved-prefs"
open_dialog host2
press_and_drag "$AMOUNT_X" "$AMOUNT_Y" "$THUMB_X" "$THUMB_Y"
xdotool mouseup 1
xdotool key Escape
wait_for_exit host2
grep -q "settings unchanged" "$work/host2.err" || fail "Escape did not cancel the dialog"
cmp -s "$work/prefs/vardo-Prefs" "$work/saved-prefs" || fail "Cancel changed the saved settings"

# --- Run 3: --no-display keeps the dialog off the screen, as without a display ---------
timeout 60 "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" --no-display 2>"$work/host3.err" ||
  fail "configure --no-display failed"
grep -q "settings unchanged" "$work/host3.err" || fail "configure --no-display did not close the dialog at once"
DISPLAY= timeout 60 "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" 2>"$work/host4.err" ||
  fail "configure without a display failed"
grep -q "settings unchanged" "$work/host4.err" || fail "configure without a display did not close the dialog at once"

echo "PASS: slider to 75, corner dragged, OK saved them; Escape and --no-display saved nothing"
