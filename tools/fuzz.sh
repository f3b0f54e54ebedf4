#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ with clang, generates the
# seed corpus and runs each target for a bounded time with a fixed seed.
# Exits non-zero when a target crashes, leaks, times out, runs out of memory
# or any sanitizer reports; the input that did it is left in
# build-fuzz/crashes/<target>/ (reproduce: build-fuzz/fuzz/<target> FILE).
#
# usage: tools/fuzz.sh [TARGET...]        (default: fuzz_load fuzz_convert)
#   FUZZ_SECONDS=60     time per target (libFuzzer -max_total_time)
#   FUZZ_SEED=1         libFuzzer -seed
#   FUZZ_PARALLEL=0     1: run the targets at the same time
#   FUZZ_ARGS=...       more libFuzzer options, e.g. "-max_len=65536"
#
# A long session, e.g. eight hours with both targets at once:
#   FUZZ_SECONDS=28800 FUZZ_PARALLEL=1 tools/fuzz.sh
# What the fuzzers learn is kept in build-fuzz/corpus/<target>/ and used
# again by the next run (delete it for a run that starts from the seeds).
# Once the fault behind a crash is fixed, copy its input into
# fuzz/regression/<target>/: every ordinary test run replays that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/install-deps.sh clang libclang-rt-14-dev

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQUORVANT_BUILD_FUZZERS=ON \
  -DQUORVANT_BUILD_GUI=OFF -DQUORVANT_BUILD_TESTS=OFF -DQUORVANT_BUILD_BENCHMARKS=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_load fuzz_convert)
cmake --build "$build" --target "${targets[@]}"

python3 fuzz/make_seed_corpus.py "$build/seeds"

seconds="${FUZZ_SECONDS:-60}"
seed="${FUZZ_SEED:-1}"
read -r -a extra <<< "${FUZZ_ARGS:-}"

run_target() {
  local target=$1
  local corpus="$build/corpus/$target" crashes="$build/crashes/$target" log="$build/logs/$target.log"
  mkdir -p "$corpus" "$crashes" "$build/logs"
  # First folder: the working corpus (written); the others are only read.
  # -timeout: no single input may take this long (the entries cap every block).
  "$build/fuzz/$target" -seed="$seed" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
    -dict="$root/fuzz/wave.dict" -artifact_prefix="$crashes/" -print_final_stats=1 "${extra[@]}" \
    "$corpus" "$build/seeds/$target" "$root/fuzz/regression/$target" >"$log" 2>&1
}

report() {
  local target=$1 status=$2 log="$build/logs/$1.log"
  local runs units
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  # libFuzzer's last status line: the units it keeps in memory, seeds included.
  units=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -1 | cut -d' ' -f2)
  echo "$target: ${runs:-?} executions, corpus ${units:-?} in use, $(find "$build/corpus/$target" -type f | wc -l)" \
    "files kept in $build/corpus/$target (log: $log)"
  # Sanitizer reports end the run, but look for them too in case one recovered.
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    echo "$target FAILED (status $status):" >&2
    grep -E -A 30 'ERROR:|runtime error:|fuzz_(load|convert): ' "$log" | head -60 >&2
    return 1
  fi
}

failed=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  declare -A pids
  for t in "${targets[@]}"; do run_target "$t" & pids[$t]=$!; done
  for t in "${targets[@]}"; do
    status=0; wait "${pids[$t]}" || status=$?
    report "$t" "$status" || failed=1
  done
else
  for t in "${targets[@]}"; do
    status=0; run_target "$t" || status=$?
    report "$t" "$status" || failed=1
  done
fi
exit "$failed"
