#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs the whole suite there. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
cmake -S . -B build-asan -G Ninja -DCALVEXA_SANITIZE=ON -DCALVEXA_BENCH=OFF
cmake --build build-asan
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The real-X comparison checks behaviour, not memory; it runs in the plain suite.
ctest --test-dir build-asan --output-on-failure -j2 -LE realx
