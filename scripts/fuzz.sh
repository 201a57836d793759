#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz/ (clang, ASan+UBSan, in build-asan/) and runs
# each for SECONDS (default 60) on its seed corpus and dictionary. Exits non-zero when a
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
build $(cd "$ROOT/tests/fuzz" && for f in *_fuzz.cpp; do echo "--target fuzz-${f%_fuzz.cpp}"; done)
ensure_display
export GDK_BACKEND=x11 NO_AT_BRIDGE=1

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    for f in "$ROOT"/tests/fuzz/*_fuzz.cpp; do
        name="$(basename "$f")"
        harnesses+=("${name%_fuzz.cpp}")
    done
fi

out="$BUILD_DIR/fuzz"
status=0
for name in "${harnesses[@]}"; do
    corpus="$out/corpus/$name"
    findings="$out/findings/$name"
    mkdir -p "$corpus" "$findings"
    args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=60 -max_len=4096
          -print_final_stats=1 -artifact_prefix="$findings/")
    if [ -f "$ROOT/tests/fuzz/$name.dict" ]; then
        args+=(-dict="$ROOT/tests/fuzz/$name.dict")
    fi
    echo "== fuzz-$name, $seconds s"
    started=$(date +%s)
    if "$out/fuzz-$name" "${args[@]}" "$corpus" "$ROOT/tests/fuzz/corpus/$name" >"$out/$name.log" 2>&1; then
        echo "   ok after $(( $(date +%s) - started )) s: $(grep -a -m1 'stat::number_of_executed_units' "$out/$name.log" | awk '{print $2}') runs"
    else
        status=1
        echo "   FINDING after $(( $(date +%s) - started )) s; log: $out/$name.log" >&2
        grep -a -m8 -E 'ERROR|runtime error|assertion|SUMMARY|Test unit written' "$out/$name.log" >&2 || true
    fi
done
exit $status
