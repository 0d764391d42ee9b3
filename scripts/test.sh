#!/usr/bin/env bash
# Installs what is missing, builds Calvexa with its tests and runs the whole suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure -j2
