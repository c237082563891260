#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole
# test suite, then again under AddressSanitizer and UndefinedBehaviorSanitizer.
# The window tests run on Qt's offscreen platform: no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="$(nproc)"

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARLEX_WERROR=ON
cmake --build build-test -j"$jobs"
ctest --test-dir build-test --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARLEX_WERROR=ON \
  -DQUARLEX_SANITIZE=ON -DQUARLEX_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
