#!/usr/bin/env bash
# Sets up, builds and runs every test; exits with the tests' status, after printing each
# stage's time.
#   scripts/test.sh                     the plain suite, then the ASan+UBSan suite and every
#                                       fuzzing harness for ZILUI_FUZZ_SECONDS (15) each;
#                                       ZILUI_SANITIZER_STAGES=0 skips the last two; before
#                                       them the GUI suite on a headless Wayland compositor with
#                                       the accessibility bridge (ZILUI_WAYLAND_STAGE=0 skips it)
#   scripts/test.sh --quick [ctest arguments]   the plain suite only, for the edit-build-test loop
#   scripts/test.sh -R Suite            extra ctest arguments: only the plain suite, and only
#                                       its matching entries (one per GoogleTest suite)
#   scripts/test.sh --sanitize=address|thread [ctest arguments]   clang build in build-asan/ or
#       build-tsan/; without ctest arguments the test programs run whole
# Without clang 14 the sanitizer stages are skipped with one line saying so; with CI=true the
# run fails instead, before building anything.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

quick=0
sanitize=""
case "${1:-}" in
--quick)
    quick=1
    shift
    ;;
--sanitize=*)
    sanitize="${1#--sanitize=}"
    shift
    ;;
esac

run_ctest() {
    (cd "$BUILD_DIR" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
}

# Under a sanitizer each test program runs as a whole (a process per suite would start GTK
# under the sanitizer dozens of times), leaks checked at its end, split into one shard per
# processor (GoogleTest's sharding), the shards side by side; each shard's lines are printed
# when it ends. The consumer programs and the snippet check build with the system's compiler
# flags and are left to the plain run.
# TSan runs every test too, not a list of the threaded ones: such a list goes stale with each
# new worker, and GLib and Pango start threads in every GUI test anyway.
run_sanitized_suite() {
    local shards i status=0 pids=() logs=()
    shards="$(nproc)"
    for ((i = 0; i < shards; i++)); do
        logs+=("$(mktemp)")
        (
            cd "$BUILD_DIR" || exit 1
            export GTEST_TOTAL_SHARDS="$shards" GTEST_SHARD_INDEX="$i"
            failed=0
            bin/zil-tests --gtest_brief=1 || failed=1
            bin/zilui-tests --gtest_brief=1 || failed=1
            exit "$failed"
        ) >"${logs[i]}" 2>&1 &
        pids+=($!)
    done
    for ((i = 0; i < shards; i++)); do
        wait "${pids[i]}" || status=1
        echo "-- shard $((i + 1)) of $shards"
        cat "${logs[i]}"
        rm -f "${logs[i]}"
    done
    return "$status"
}

# shellcheck disable=SC2046 # target arguments
sanitized_build() {
    use_sanitizer "$1" && build $(sanitized_targets "$1")
}

setup
ensure_bus_daemon
# In this shell, so that the consumers' builds that the plain suite starts see it.
use_ccache

if [ -n "$sanitize" ]; then
    what="$(sanitizer_tools_missing)"
    if [ -n "$what" ]; then
        say_missing "cannot build with --sanitize=$sanitize: $what is not installed"
        exit 1
    fi
    status=0
    use_sanitizer "$sanitize"
    stage "$sanitize build" sanitized_build "$sanitize" || { stage_summary; exit 1; }
    ensure_display
    export GDK_BACKEND=x11 NO_AT_BRIDGE=1
    if [ $# -gt 0 ]; then
        stage "$sanitize suite" run_ctest "$@" || status=1
    else
        stage "$sanitize suite" run_sanitized_suite || status=1
    fi
    stage_summary
    exit $status
fi

# Only a full run goes on to the sanitizer stages: ctest arguments or --quick mean the plain
# suite alone.
sanitizers=0
if [ "$quick" = 0 ] && [ $# -eq 0 ]; then
    if [ "${ZILUI_SANITIZER_STAGES:-1}" != 1 ]; then
        stage_skip "ASan+UBSan, fuzzing" "ZILUI_SANITIZER_STAGES=${ZILUI_SANITIZER_STAGES}"
    else
        what="$(sanitizer_tools_missing)"
        if [ -z "$what" ]; then
            sanitizers=1
        elif [ "${CI:-}" = "true" ]; then
            say_missing "CI needs the ASan+UBSan and fuzzing stages, and $what is not installed"
            exit 1
        else
            say_missing "skipping the ASan+UBSan and fuzzing stages: $what is not installed"
            stage_skip "ASan+UBSan, fuzzing" "$what is not installed"
        fi
    fi
fi

status=0
stage "plain build" build || { stage_summary; exit 1; }
ensure_display
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
# The sanitized build compiles while the plain suite runs: the GUI tests spend much of their time
# waiting for the display, and the build yields the processor to them.
if [ "$sanitizers" = 1 ]; then
    stage_bg "ASan+UBSan build" sanitized_build address
fi
stage "plain suite" run_ctest "$@" || status=1
if [ "$quick" = 0 ] && [ $# -eq 0 ]; then
    if [ "${ZILUI_WAYLAND_STAGE:-1}" = 1 ]; then
        stage "Wayland suite" run_wayland_stage || status=1
    else
        stage_skip "Wayland suite" "ZILUI_WAYLAND_STAGE=${ZILUI_WAYLAND_STAGE}"
    fi
fi
if [ "$sanitizers" = 1 ]; then
    if stage_wait "ASan+UBSan build"; then
        use_sanitizer address
        stage "ASan+UBSan suite" run_sanitized_suite || status=1
        stage "fuzzing" bash "$ROOT/scripts/fuzz.sh" "${ZILUI_FUZZ_SECONDS:-15}" || status=1
    else
        status=1
    fi
fi
stage_summary
exit $status
