#!/usr/bin/env bash
# The configuration dialog on a real X display, driven like a person drives it: Xvfb is
# the screen, xdotool the mouse and keyboard. `tonefade-host configure` opens the dialog
# on a short clip in a window of its size and title; the amount slider is dragged from 40
# to 75, a corner of the effect rectangle is dragged (a screenshot taken mid-drag must
# show the rectangle ending at the mouse), OK is clicked, and the saved settings must hold
# the new amount and rectangle. A second run opens About (the window becomes About, and
# closing it brings the dialog back), then cancels with Escape; a third closes the window
# as a window manager does; neither may save anything. --no-display, no display at all,
# and a display no server answers must not open a window.
#
# usage: xvfb_configure_test.sh BUILD_DIR [SHOT_DIR]
#   SHOT_DIR keeps the screenshots (live-dialog.png, live-drag.png).
# Exits 77 (skipped) when Xvfb, xdotool, xprop, ImageMagick's import or ffmpeg is missing.
set -euo pipefail

build=${1:?usage: xvfb_configure_test.sh BUILD_DIR [SHOT_DIR]}
shots=${2:-}
host=$build/bin/tonefade-host
probe=$build/libexec/tonefade-live-probe
write_prefs=$build/libexec/tonefade-write-prefs

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
  expect_window "$WINDOW_W" "$WINDOW_H" "$WINDOW_TITLE"
}

# Waits until the desktop window has the size and title of the toolbox window it must show.
expect_window() {  # WIDTH HEIGHT TITLE
  local geometry title
  for _ in $(seq 100); do
    geometry=$(xdotool getwindowgeometry "$win" | sed -n 's/.*Geometry: //p')
    title=$(LC_ALL=C.UTF-8 xprop -id "$win" _NET_WM_NAME)
    [ "$geometry" = "$1x$2" ] && [ "$title" = "_NET_WM_NAME(UTF8_STRING) = \"$3\"" ] && return 0
    sleep 0.1
  done
  fail "the desktop window is $geometry, $title; it should show $3 at $1x$2"
}

# Closes a window as a window manager does: WM_DELETE_WINDOW, as its close button sends.
close_window() {  # WINDOW
  python3 - "$1" <<'EOF'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = x.XOpenDisplay(None)
e = Event()
e.xclient.type, e.xclient.window, e.xclient.format = 33, int(sys.argv[1]), 32  # ClientMessage
e.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
e.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
sent = x.XSendEvent(display, e.xclient.window, 0, 0, ctypes.byref(e))
x.XCloseDisplay(display)  # sends it
sys.exit(0 if sent else 1)
EOF
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
# Mid-drag, the rectangle's red right and bottom edges run into the mouse (they are drawn
# just inside the corner), and no longer into the corner where the drag began. A busy
# machine may take a moment to show it.
at_mouse=""
for _ in $(seq 50); do
  capture "$win"
  edges_now="$(pixel $((drag_x - 1)) $((drag_y - 20))) $(pixel $((drag_x - 20)) $((drag_y - 1)))"
  edges_before="$(pixel $((CORNER_X - 1)) $((CORNER_Y - 20))) $(pixel $((CORNER_X - 20)) $((CORNER_Y - 1)))"
  python3 - "$edges_now" "$edges_before" <<'EOF' && at_mouse=yes && break
import sys
red = lambda c: c[0] > 200 and c[1] < 60 and c[2] < 60
now, before = (list(map(int, s.split())) for s in sys.argv[1:])
sys.exit(0 if red(now[:3]) and red(now[3:]) and not red(before[:3]) and not red(before[3:]) else 1)
EOF
  sleep 0.1
done
[ -n "$at_mouse" ] || fail "mid-drag, the rectangle does not end at the mouse (edges there: $edges_now; at the" \
  "start: $edges_before)"
[ -n "$shots" ] && import -window "$win" "$shots/live-drag.png"
xdotool mouseup 1
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

# --- Run 2: a drag, About in turn, closed; then Escape: Cancel saves nothing ------------
cp "$work/prefs/vardo-Prefs" "$work/saved-prefs"
open_dialog host2
press_and_drag "$AMOUNT_X" "$AMOUNT_Y" "$THUMB_X" "$THUMB_Y"
xdotool mouseup 1
xdotool mousemove --window "$win" "$ABOUT_X" "$ABOUT_Y" click 1
expect_window "$ABOUTBOX_W" "$ABOUTBOX_H" "$ABOUTBOX_TITLE"
close_window "$win"
expect_window "$WINDOW_W" "$WINDOW_H" "$WINDOW_TITLE"
kill -0 "$host_pid" 2>/dev/null || fail "closing About ended the dialog too"
xdotool mousemove --window "$win" 20 20 key Escape
wait_for_exit host2
grep -q "settings unchanged" "$work/host2.err" || fail "Escape did not cancel the dialog"
cmp -s "$work/prefs/vardo-Prefs" "$work/saved-prefs" || fail "Cancel changed the saved settings"

# --- Run 3: closing the window is Cancel ------------------------------------------------
open_dialog host3
press_and_drag "$THUMB_X" "$THUMB_Y" "$AMOUNT_X" "$AMOUNT_Y"
xdotool mouseup 1
close_window "$win"
wait_for_exit host3
grep -q "settings unchanged" "$work/host3.err" || fail "closing the window did not cancel the dialog"
cmp -s "$work/prefs/vardo-Prefs" "$work/saved-prefs" || fail "closing the window changed the saved settings"

# --- Run 4: --no-display keeps the dialog off the screen, as without a display ---------
timeout 60 "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" --no-display 2>"$work/host4.err" ||
  fail "configure --no-display failed"
grep -q "settings unchanged" "$work/host4.err" || fail "configure --no-display did not close the dialog at once"
DISPLAY= timeout 60 "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" 2>"$work/host5.err" ||
  fail "configure without a display failed"
grep -q "settings unchanged" "$work/host5.err" || fail "configure without a display did not close the dialog at once"
# A display that no server answers is said in one line, and the dialog closes at once.
DISPLAY=:99999 timeout 60 "$host" configure "$work/clip.mp4" --prefs-dir "$work/prefs" 2>"$work/host6.err" ||
  fail "configure on a display without a server failed or hung"
grep -q "cannot open the display :99999" "$work/host6.err" || fail "configure did not say the display cannot be opened"
grep -q "settings unchanged" "$work/host6.err" || fail "configure on a display without a server did not close the dialog"

echo "PASS: slider to 75 and corner dragged, OK saved them; About came and went; Escape, closing the window" \
  "and --no-display saved nothing"
