#!/usr/bin/env bash
# Builds Quorvant for speed and times whole conversions of 1 GiB inputs
# against cp, sox and (when installed) ffmpeg. Inputs are generated once in
# BENCH_DIR (default /tmp/quorvant-bench, about 5 GiB).
#   bench/compare.sh [--runs N] [--jobs "16->8,stereo->mono"]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh time sox
BUILD_DIR="${BUILD_DIR:-build-release}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVANT_BUILD_GUI=ON -DQUORVANT_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" --target quorvant-convert whole_block_convert main_window_convert bench_engine
exec python3 bench/compare.py "$BUILD_DIR" "${BENCH_DIR:-/tmp/quorvant-bench}" "$@"
