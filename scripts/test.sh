#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting check, the normal build,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# short run of each fuzz target (FUZZ_SECONDS each, 20 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== formatting"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files

echo "== build and test (Release, as packagers build it, with assertions kept)"
cmake -S . -B build -G Ninja -DLINESIFT_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O3" >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build and test under ASan and UBSan"
cmake -S . -B build-asan -G Ninja -DLINESIFT_WERROR=ON -DLINESIFT_SANITIZE=ON -DLINESIFT_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets, ${FUZZ_SECONDS:-20} s each on one core"
cmake -S . -B build-fuzz -G Ninja -DLINESIFT_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ -DLINESIFT_FUZZ=ON \
  -DLINESIFT_BUILD_GUI=OFF -DLINESIFT_BUILD_TESTS=OFF -DLINESIFT_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
fuzz_work=$(mktemp -d "${TMPDIR:-/tmp}/linesift-fuzz-XXXXXX")
if ! fuzz/run.sh build-fuzz "${FUZZ_SECONDS:-20}" "$fuzz_work"; then
  echo "fuzzing found a fault; the inputs are kept in $fuzz_work/artifacts"
  exit 1
fi
rm -rf "$fuzz_work"
