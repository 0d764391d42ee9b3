#!/usr/bin/env bash
# Builds everything with gcov instrumentation into build-cov/, runs the whole suite there
# (the real-X tests included: they end their programs as a user would, so that their coverage
# data is written) and reports the line and branch coverage of each folder given, boxes/ by
# default. Branches that only throw are left out of the count. Besides the summary, the lines
# and the branches missed are listed per file in build-cov/coverage.txt and coverage-branches.txt,
# and per function and line in build-cov/coverage/index.html.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
calvexa_install_missing gcovr
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-cov -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCALVEXA_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage
cmake --build build-cov
find build-cov -name '*.gcda' -delete
status=0
ctest --test-dir build-cov --output-on-failure -j2 || status=$?
filters=()
for folder in "${@:-boxes}"; do filters+=(--filter "${folder%/}/"); done
gcov_args=(--root . --object-directory build-cov --exclude-directories 'build-cov/CMakeFiles'
  "${filters[@]}" --exclude '.*/tests/.*' --exclude '.*/fuzz/.*' --exclude '.*/xtest/.*'
  --exclude-throw-branches --exclude-unreachable-branches)
mkdir -p build-cov/coverage
gcovr "${gcov_args[@]}" --print-summary --txt build-cov/coverage.txt \
  --html-details build-cov/coverage/index.html
gcovr "${gcov_args[@]}" --branches --txt build-cov/coverage-branches.txt
cat build-cov/coverage.txt build-cov/coverage-branches.txt
# The figures count what ran; a failing test is said, not hidden.
[ "$status" -eq 0 ] || echo "coverage.sh: some tests failed (ctest exit status $status)" >&2
exit "$status"
