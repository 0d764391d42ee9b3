#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/ (clang, libFuzzer) and runs each of the targets named
# (all by default) for 10 million inputs or 30 minutes, whichever comes first, one at a time,
# each on a fresh corpus in build-fuzz/corpus/. A finding stops the script with the fuzzer's
# report. At the end, one line per target: inputs run, seconds taken, inputs a second.
#   scripts/fuzz.sh [codec quickhash numtext classic textmodel incremental64]
# FUZZ_RUNS and FUZZ_SECONDS change the two limits.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
calvexa_install_missing clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCALVEXA_FUZZ=ON >/dev/null
cmake --build build-fuzz

# Each target with its input limit: short inputs reach the same paths faster.
declare -A target=([codec]=codec/codec_fuzz [quickhash]=hash/quickhash_fuzz
  [numtext]=numtext/numtext_fuzz [classic]=classic/classic_fuzz
  [textmodel]=boxes/textmodel_fuzz [incremental64]=tabs/incremental64_fuzz)
declare -A max_len=([codec]=4096 [quickhash]=4096 [numtext]=4096 [classic]=24 [textmodel]=512
  [incremental64]=96)
runs=${FUZZ_RUNS:-10000000}
seconds=${FUZZ_SECONDS:-1800}
summary=()
for name in "${@:-codec quickhash numtext classic textmodel incremental64}"; do
  for one in $name; do
    [[ -n ${target[$one]:-} ]] || { echo "no fuzz target $one" >&2; exit 2; }
    corpus=build-fuzz/corpus/$one log=build-fuzz/$one.log
    rm -rf "$corpus" && mkdir -p "$corpus"
    echo "== $one: up to $runs inputs or $seconds s, inputs up to ${max_len[$one]} bytes"
    start=$(date +%s)
    if ! "build-fuzz/${target[$one]}" -runs="$runs" -max_total_time="$seconds" \
        -max_len="${max_len[$one]}" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
      tail -n 40 "$log"
      exit 1
    fi
    taken=$(( $(date +%s) - start ))
    done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    summary+=("$(awk -v n="$one" -v r="$done_runs" -v t="$taken" \
      'BEGIN { printf "%-14s %10d inputs %6d s %8.0f a second", n, r, t, r / (t ? t : 1) }')")
  done
done
printf '%s\n' "${summary[@]}"
