#!/usr/bin/env bash
# Builds Quorvant with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ (or the folder given as ASAN_BUILD_DIR) and runs the whole
# test suite there: library units, the command-line tool and the windows
# (offscreen). Any sanitizer report, leaks included, fails the run.
#
# usage: tools/test-sanitized.sh [extra cmake options]
#   CTEST_ARGS="-LE large"   leaves out the 2 GiB and 3.9 GiB inputs (about
#                            2.5 minutes of the run under the sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build="${ASAN_BUILD_DIR:-build-asan}"
# Benchmarks are not tests; they would only lengthen the build.
cmake -S . -B "$build" -G Ninja -DQUORVANT_SANITIZE=ON -DQUORVANT_BUILD_BENCHMARKS=OFF "$@"
cmake --build "$build"

# Full stacks for leaks, so that a suppression can name the test it is for.
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Qt's bookkeeping that one GUI test abandons on purpose; see the file.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan-suppressions.txt:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
read -r -a ctest_args <<< "${CTEST_ARGS:-}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "${ctest_args[@]}"
