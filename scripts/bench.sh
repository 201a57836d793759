#!/usr/bin/env bash
# Sets up, builds (optimised) and runs every benchmark. Each benchmark measures its
# baseline in the same run and prints the ratio.
#   scripts/bench.sh [google-benchmark arguments, e.g. --benchmark_filter=P]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

setup
BUILD_DIR="${ZILUI_BENCH_BUILD_DIR:-$ROOT/build-bench}"
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZILUI_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" --parallel "$(nproc)" --target zilui-bench
ensure_display
"$BUILD_DIR/bin/zilui-bench" "$@"
