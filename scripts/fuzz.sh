#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz/ (clang, ASan+UBSan, in build-asan/) and runs
# each for SECONDS (default 60) on its seed corpus and dictionary, as many at a time as there
# are processors (ZILUI_FUZZ_JOBS). Exits non-zero when a
# harness finds something; the input is left as build-asan/fuzz/findings/<harness>/crash-*.
#   scripts/fuzz.sh [seconds] [harness...]
# New inputs that grow coverage go to build-asan/fuzz/corpus/<harness>/, not into the
# repository; promote a useful one to tests/fuzz/corpus/ by hand.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

seconds="${1:-60}"
shift || true

setup
use_sanitizer address
# shellcheck disable=SC2046 # target arguments
build $(for name in $(fuzz_harnesses); do echo "--target fuzz-$name"; done)
ensure_display
export GDK_BACKEND=x11 NO_AT_BRIDGE=1

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    mapfile -t harnesses < <(fuzz_harnesses)
fi

out="$BUILD_DIR/fuzz"
# One harness; its verdict goes to $out/<name>.status, its lines to $out/<name>.summary.
fuzz_one() {
    local name="$1" corpus="$out/corpus/$1" findings="$out/findings/$1" started
    mkdir -p "$corpus" "$findings"
    local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -max_len=4096
                -print_final_stats=1 -artifact_prefix="$findings/")
    if [ -f "$ROOT/tests/fuzz/$name.dict" ]; then
        args+=(-dict="$ROOT/tests/fuzz/$name.dict")
    fi
    started=$(date +%s)
    if "$out/fuzz-$name" "${args[@]}" "$corpus" "$ROOT/tests/fuzz/corpus/$name" >"$out/$name.log" 2>&1; then
        echo "== fuzz-$name: ok after $(( $(date +%s) - started )) s, $(grep -a -m1 'stat::number_of_executed_units' "$out/$name.log" | awk '{print $2}') runs" >"$out/$name.summary"
        echo 0 >"$out/$name.status"
    else
        { echo "== fuzz-$name: FINDING after $(( $(date +%s) - started )) s; log: $out/$name.log"
          grep -a -m8 -E 'ERROR|runtime error|assertion|SUMMARY|Test unit written' "$out/$name.log" || true
        } >"$out/$name.summary"
        echo 1 >"$out/$name.status"
    fi
}

echo "== fuzzing ${#harnesses[@]} harnesses, $seconds s each"
jobs_max="${ZILUI_FUZZ_JOBS:-$(nproc)}"
mkdir -p "$out"
# Only the harnesses are waited for: a private Xvfb is a child of this shell too.
pids=()
for name in "${harnesses[@]}"; do
    rm -f "$out/$name.status" "$out/$name.summary"
    while [ "$(jobs -rp | wc -l)" -ge "$(( jobs_max + ${XVFB_PID:+1} + 0 ))" ]; do
        wait -n || true
    done
    fuzz_one "$name" &
    pids+=($!)
done
wait "${pids[@]}" || true
status=0
for name in "${harnesses[@]}"; do
    cat "$out/$name.summary" 2>/dev/null || echo "== fuzz-$name: did not run"
    [ "$(cat "$out/$name.status" 2>/dev/null)" = 0 ] || status=1
done
exit $status
