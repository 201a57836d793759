#!/usr/bin/env bash
# Sets up, builds and runs every test; exits with the tests' status.
#   scripts/test.sh [extra ctest arguments, e.g. -R Path]
#   scripts/test.sh --sanitize=address|thread [ctest arguments]   clang build in build-asan/ or
#       build-tsan/; without ctest arguments the test binaries run whole
# A full run (no ctest arguments) with clang 14 present then runs the ASan+UBSan suite and
# every fuzzing harness for ZILUI_FUZZ_SECONDS (15) each; ZILUI_SANITIZER_STAGES=0 skips them.
# A full run also runs the GUI suite on a headless Wayland compositor with the accessibility
# bridge loaded (scripts/lib.sh, run_wayland_stage); ZILUI_WAYLAND_STAGE=0 skips it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

sanitize=""
if [[ "${1:-}" == --sanitize=* ]]; then
    sanitize="${1#--sanitize=}"
    shift
fi

run_ctest() {
    (cd "$BUILD_DIR" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@")
}

# Under a sanitizer each test binary runs once as a whole (a process per test would start
# GTK under the sanitizer 250 times), leaks checked at its end. The consumer programs and the
# snippet check build with the system's compiler flags and are left to the plain run.
# TSan runs every test too, not a list of the threaded ones: such a list goes stale with each
# new worker, and GLib and Pango start threads in every GUI test anyway (about 5 minutes).
run_sanitized_suite() {
    local filter=(--gtest_brief=1)
    (cd "$BUILD_DIR" && bin/zil-tests "${filter[@]}" && bin/zilui-tests "${filter[@]}")
}

setup
if [ -n "$sanitize" ]; then
    use_sanitizer "$sanitize"
    # shellcheck disable=SC2046 # target arguments
    build $(sanitized_targets "$sanitize")
    ensure_display
    export GDK_BACKEND=x11 NO_AT_BRIDGE=1
    if [ $# -gt 0 ]; then
        run_ctest "$@"
    else
        run_sanitized_suite "$sanitize"
    fi
    exit $?
fi

build
ensure_display
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
status=0
run_ctest "$@" || status=$?
if [ "${ZILUI_WAYLAND_STAGE:-1}" = 1 ] && [ $# -eq 0 ]; then
    echo "== GUI suite on Wayland (headless sway) with the accessibility bridge"
    run_wayland_stage || status=1
fi
# After the plain suite, so that its result comes first.
if [ "${ZILUI_SANITIZER_STAGES:-1}" = 1 ] && [ $# -eq 0 ] && command -v "$CLANG_CXX" >/dev/null 2>&1; then
    echo "== ASan+UBSan suite"
    # shellcheck disable=SC2046 # target arguments
    (use_sanitizer address && build $(sanitized_targets address) && run_sanitized_suite address) || status=1
    echo "== fuzzing harnesses, ${ZILUI_FUZZ_SECONDS:-15} s each"
    bash "$ROOT/scripts/fuzz.sh" "${ZILUI_FUZZ_SECONDS:-15}" || status=1
fi
exit $status
