#!/usr/bin/env bash
# Installs what is missing, builds Calvexa and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
cmake -S . -B build -G Ninja
cmake --build build --target calvexa
exec build/app/calvexa "$@"
