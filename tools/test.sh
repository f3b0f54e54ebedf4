#!/usr/bin/env bash
# Builds Quorvant and runs every test: library units, the command-line tool
# (its files read back by sox and Python), and the windows, headless.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh "$@"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"
