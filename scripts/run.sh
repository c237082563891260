#!/usr/bin/env bash
# Installs what is missing, builds Quarlex and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARLEX_BUILD_TESTS=OFF -DQUARLEX_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target quarlex quarlex-cli
exec ./build/app/quarlex "$@"
