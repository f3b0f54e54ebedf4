#!/usr/bin/env bash
# Builds Quorvant and runs every test: library units, the command-line tool
# (its files read back by sox and Python), and the windows, headless.
# The large-file tests (label "large": 2 to 4 GiB inputs, about 14 GiB written)
# run too when QUORVANT_LARGE_TESTS=1.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh "$@"
build="${BUILD_DIR:-build}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE large
if [ "${QUORVANT_LARGE_TESTS:-0}" = 1 ]; then
  ctest --test-dir "$build" --output-on-failure -L large
fi
