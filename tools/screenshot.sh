#!/usr/bin/env bash
# Regenerates the documentation screenshots from the real binary on a virtual
# X server (Xvfb):
#   docs/main-window.png   the main window as it starts;
#   docs/batch-window.png  the batch window after converting three files of
#                          our own, driven through its buttons and Qt's file
#                          dialogs with xdotool.
# Usage: tools/screenshot.sh [MAIN_PNG [BATCH_PNG]]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
main_out="${1:-docs/main-window.png}"
batch_out="${2:-docs/batch-window.png}"
timeout_s=20  # for each step that waits on the application
unset DISPLAY  # set once our own X server runs; never the caller's

tools/install-deps.sh imagemagick x11-apps xdotool
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target Quorvant
mkdir -p "$(dirname "$main_out")" "$(dirname "$batch_out")"

# A readable folder name: the batch window shows the start of its path.
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvant-shot.XXXXXX")"
xvfb_pid="" app_pid=""
cleanup() {
  for pid in $app_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "screenshot: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then
    local shot="${TMPDIR:-/tmp}/quorvant-screenshot-failure.png"
    import -window root "$shot" 2>/dev/null && echo "screenshot: the screen at the failure: $shot" >&2
    echo "screenshot: visible windows:" >&2
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
      echo "  $w \"$(xdotool getwindowname "$w")\" $(window_size "$w")" >&2
    done
  fi
  [ -s "$work/app.log" ] && { echo "screenshot: Quorvant's output:" >&2; sed 's/^/  /' "$work/app.log" >&2; }
  exit 1
}

# Polls a condition (a command) every 0.1 s until it holds or time runs out.
wait_for() {
  local what="$1"; shift
  for _ in $(seq $((timeout_s * 10))); do
    "$@" && return 0
    [ -z "$app_pid" ] || kill -0 "$app_pid" 2>/dev/null || fail "Quorvant exited while waiting for $what"
    sleep 0.1
  done
  fail "timed out after ${timeout_s}s waiting for $what"
}

window_size() {
  local WIDTH="" HEIGHT=""
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
  echo "${WIDTH}x${HEIGHT}"
}

# Sets $found to the visible window with exactly this title (and this size,
# when given). Both of Quorvant's windows are titled "Quorvant"; the size
# tells them apart.
find_window() {
  local title="$1" size="${2:-}"
  found=""
  for w in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null); do
    if [ -z "$size" ] || [ "$(window_size "$w")" = "$size" ]; then
      found="$w"
      return 0
    fi
  done
  return 1
}
window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# Captures a window as PNG, without the time stamps that would make every
# run's file differ.
capture() {
  xwd -silent -id "$1" | convert xwd:- -define png:exclude-chunks=date,time "png:$2"
  echo "Wrote $2"
}

# Clicks at a point inside a window's client area.
click() { xdotool mousemove --sync --window "$1" "$2" "$3" click 1; }

# Types into a dialog's file-name field, which has the focus when the dialog
# opens. Without a window manager nobody gives the dialog the keyboard, so
# it is focused by hand first.
type_into() {
  xdotool windowfocus --sync "$1"
  xdotool type --delay 30 "$2"
  sleep 0.3  # the name completer settles before Enter
  xdotool key Return
}

# --- the inputs: three small WAVE files of different formats --------------
mkdir -p "$work/in" "$work/out" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
python3 - "$work/in" <<'EOF'
import math, sys, wave
# A tenth of a second of a 440 Hz tone each: 8-bit mono, 16-bit stereo, 24-bit mono.
for name, channels, rate, width in [("a.wav", 1, 22050, 1), ("b.wav", 2, 44100, 2), ("c.wav", 1, 48000, 3)]:
    frames = bytearray()
    for i in range(rate // 10):
        v = 0.5 * math.sin(2 * math.pi * 440 * i / rate)
        if width == 1:
            sample = bytes([round(128 + 127 * v)])  # 8-bit samples are unsigned
        else:
            sample = round(v * (2 ** (8 * width - 1) - 1)).to_bytes(width, "little", signed=True)
        frames += sample * channels
    with wave.open(f"{sys.argv[1]}/{name}", "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(bytes(frames))
EOF

# --- the X server ------------------------------------------------------------
# Large enough for the batch window and the file dialogs over it. Xvfb
# picks a free display itself and writes its number to the given descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
display_known() { [ -s "$work/display" ]; }
wait_for "Xvfb to start" display_known
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
server_answers() { xdotool getmouselocation >/dev/null 2>&1; }
wait_for "Xvfb to accept connections" server_answers

# --- the main window ---------------------------------------------------------
# Its own settings and runtime folders: the file dialog's remembered folders
# neither come from nor go to the user's home.
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
  "$build/app/Quorvant" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for "the main window" find_window Quorvant
main_win="$found"
sleep 1  # lets it finish painting
capture "$main_win" "$main_out"

# --- the batch window: list three files, convert them ------------------------
# "Batch processing." spans the client area's width, 36 pixels above the
# bottom edge (the menu bar's height varies with the font, the rest is fixed).
main_h="$(window_size "$main_win")"; main_h="${main_h#*x}"
click "$main_win" 124 $((main_h - 36))
wait_for "the batch window (658x447)" find_window Quorvant 658x447
batch_win="$found"

click "$batch_win" 45 292  # "IN File"
wait_for "the open dialog" find_window Open
open_dlg="$found"
type_into "$open_dlg" "$work/in/"  # goes to the folder
type_into "$open_dlg" '"a.wav" "b.wav" "c.wav"'
wait_for "the open dialog to close" window_gone Open

click "$batch_win" 221 292  # "OUT Folder"
wait_for "the folder dialog" find_window 'フォルダ選択'
folder_dlg="$found"
# The trailing slash leaves the empty folder's completer without a popup.
type_into "$folder_dlg" "$work/out/"
wait_for "the folder dialog to close" window_gone 'フォルダ選択'

# Each output appears under its final name only once it is complete.
three_outputs() { [ "$(find "$work/out" -maxdepth 1 -name '?.wav' | wc -l)" -eq 3 ]; }
wait_for "three converted files in the output folder" three_outputs
only_two_windows() { [ "$(xdotool search --onlyvisible --name . | wc -l)" -eq 2 ]; }
wait_for "no window but the main and the batch window" only_two_windows
sleep 1  # the last row's result and the hidden progress bar get painted
capture "$batch_win" "$batch_out"
