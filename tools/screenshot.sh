#!/usr/bin/env bash
# Regenerates docs/main-window.png: builds Quorvant, starts the real binary
# on a virtual X server (Xvfb) and captures its main window.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
out="${1:-docs/main-window.png}"

if [ "${QUORVANT_SCREENSHOT_INSIDE:-}" != 1 ]; then
  tools/install-deps.sh imagemagick x11-apps
  tools/build.sh
  mkdir -p "$(dirname "$out")"
  # xvfb-run picks a free display number and removes the server afterwards.
  QUORVANT_SCREENSHOT_INSIDE=1 exec xvfb-run --auto-servernum --server-args="-screen 0 640x480x24" \
    "$0" "$out"
fi

QT_QPA_PLATFORM=xcb "$build/app/Quorvant" &
app=$!
# xwd finds the window by its title (and, unlike ImageMagick's import, fails
# at once while it is not there yet); a moment more lets it finish painting.
shot="$(mktemp --suffix=.xwd)"
trap 'rm -f "$shot"; kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  if xwd -silent -name Quorvant -out "$shot" 2>/dev/null; then
    sleep 1
    xwd -silent -name Quorvant -out "$shot"
    convert "xwd:$shot" "png:$out"
    echo "Wrote $out"
    exit 0
  fi
  kill -0 "$app" 2>/dev/null || { echo "Quorvant exited before its window appeared" >&2; exit 1; }
  sleep 0.1
done
echo "Quorvant's window did not appear" >&2
exit 1
