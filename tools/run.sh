#!/usr/bin/env bash
# Builds Quorvant and starts the desktop application.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Quorvant is a desktop application and needs a display (DISPLAY or WAYLAND_DISPLAY is not set)." >&2
  echo "Without one, use the command-line converter: build/cli/quorvant-convert --help" >&2
  exit 1
fi
exec "${BUILD_DIR:-build}/app/Quorvant"
