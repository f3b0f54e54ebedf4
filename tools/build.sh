#!/usr/bin/env bash
# Configures and builds Quorvant into build/ (or the folder given as BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build"
