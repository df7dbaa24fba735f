#!/usr/bin/env bash
# Sets up, builds and starts Linesift, on the file given or empty.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DLINESIFT_BUILD_TESTS=OFF -DLINESIFT_BUILD_BENCH=OFF >/dev/null
cmake --build build --target linesift
exec build/linesift "$@"
