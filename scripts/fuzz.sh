#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) for a while:
#
#   bash scripts/fuzz.sh TARGET [SECONDS]      (targets: the names in fuzz/CMakeLists.txt)
#
# It starts from the committed corpus fuzz/corpus/TARGET and never writes
# into it: new inputs go to build-fuzz/corpus-TARGET, an input that finds a
# fault to build-fuzz/findings-TARGET/. Put such an input, once its fault is
# fixed, into fuzz/corpus/TARGET so that CTest replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: bash scripts/fuzz.sh TARGET [SECONDS]" >&2
  exit 2
fi
target="$1"
seconds="${2:-60}"
bash scripts/install-deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DQUARLEX_FUZZ=ON \
  -DQUARLEX_BUILD_APP=OFF -DQUARLEX_BUILD_TESTS=OFF -DQUARLEX_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "fuzz_${target}"
work="build-fuzz/corpus-${target}"
findings="build-fuzz/findings-${target}"
mkdir -p "$work" "$findings"
dict=()
[ -f "fuzz/${target}.dict" ] && dict=("-dict=fuzz/${target}.dict")
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "build-fuzz/fuzz/fuzz_${target}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
  "$work" "fuzz/corpus/${target}"
