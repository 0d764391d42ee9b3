#!/usr/bin/env bash
# Builds everything with gcov instrumentation into build-cov/, runs the whole suite there
# (the real-X tests included) and reports the line and branch coverage of each folder given,
# boxes/ by default. Branches that only throw are left out of the count.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
calvexa_install_missing gcovr
cmake -S . -B build-cov -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCALVEXA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage
cmake --build build-cov
find build-cov -name '*.gcda' -delete
ctest --test-dir build-cov --output-on-failure -j2 || true
filters=()
for folder in "${@:-boxes}"; do filters+=(--filter "${folder%/}/"); done
gcovr --root . --object-directory build-cov "${filters[@]}" --exclude '.*/tests/.*' \
  --exclude '.*/fuzz/.*' --exclude '.*/xtest/.*' --exclude-throw-branches \
  --exclude-unreachable-branches --print-summary --txt build-cov/coverage.txt
cat build-cov/coverage.txt
